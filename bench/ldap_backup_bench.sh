#!/usr/bin/env bash
# The unattended backup of a namespace of LINKS links x 2 targets from a Samba DC, against
# ldapsearch fetching the same link objects with the same attributes and paging from the same
# DC, in one run. Run it through the test DC (as root):
#
#   tests/samba/dc.sh run /tmp/kestrune-bench-dc bench/ldap_backup_bench.sh build/kestrune [LINKS]
#
# or, to measure again without loading again: dc.sh start STATE once, then dc.sh exec STATE ...
#
# Prints the wall times (best of RUNS, 3 by default), their ratio, the backup's peak memory and
# its file size.
set -euo pipefail

kestrune=$(realpath "$1")
links=${2:-10000}
runs=${RUNS:-3}
here=$(cd "$(dirname "$0")" && pwd)
dc=$here/../tests/samba/dc.sh
state=${KESTRUNE_TEST_DC:?run through tests/samba/dc.sh run}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
base="CN=Bench,CN=Bench,CN=Dfs-Configuration,CN=System,DC=example,DC=com"
password=$KESTRUNE_TEST_DC_PASSWORD_FILE

# Loaded once per DC (a DC kept with dc.sh start / exec is measured again without reloading).
if [ ! -e "$state/bench-$links" ]; then
    echo "loading $links links into the DC ..."
    "$dc" halt "$state"
    start=$(date +%s.%N)
    /usr/bin/python3 "$here/generate_dfs_links.py" "$state/dc/etc/smb.conf" Bench "$links"
    echo "loaded in $(awk "BEGIN {print $(date +%s.%N) - $start}") s"
    "$dc" restart "$state"
    touch "$state/bench-$links"
fi

# Each side as a program of its own, for /usr/bin/time.
cat >"$work/fetch" <<SH
#!/bin/sh
exec ldapsearch -x -LLL -o ldif-wrap=no -H ldap://127.0.0.1 -D Administrator@EXAMPLE.COM \\
    -y "$password" -E pr=1000/noprompt -b "$base" -s one '(objectClass=msDFS-Linkv2)' \\
    msDFS-LinkPathv2 msDFS-Commentv2 msDFS-TargetListv2 >"$work/ldapsearch.out"
SH
cat >"$work/backup" <<SH
#!/bin/sh
exec env -u DISPLAY -u WAYLAND_DISPLAY KESTRUNE_PLATFORM=ldap://127.0.0.1 \\
    KESTRUNE_BIND_USER=Administrator@EXAMPLE.COM KESTRUNE_BIND_PASSWORD_FILE="$password" \\
    "$kestrune" "" "$work/out" example.com 2>/dev/null
SH
chmod +x "$work/fetch" "$work/backup"
seconds() { # best wall time of $runs runs of "$@"
    local best="" t i
    for i in $(seq "$runs"); do
        t=$( { /usr/bin/time -f "%e %M" "$work/$1" >/dev/null; } 2>&1 | tail -1)
        echo "$t" >>"$work/times.$1"
        t=${t%% *}
        if [ -z "$best" ] || awk "BEGIN {exit !($t < $best)}"; then best=$t; fi
    done
    echo "$best"
}

mkdir -p "$work/out"
"$work/fetch" # warm the DC's caches for both
ldapsearch_s=$(seconds fetch)
backup_s=$(seconds backup)
peak_kb=$(awk '{print $2}' "$work/times.backup" | sort -n | tail -1)
lines=$(wc -l <"$work/out/Bench.txt")
size=$(stat -c %s "$work/out/Bench.txt")
entries=$(grep -c '^dn:' "$work/ldapsearch.out")
echo "links: $links ($entries from ldapsearch), backup lines: $lines, file: $size bytes"
echo "ldapsearch: ${ldapsearch_s} s   backup: ${backup_s} s   ratio: $(awk "BEGIN {printf \"%.2f\", $backup_s / $ldapsearch_s}")"
echo "backup peak memory: $((peak_kb / 1024)) MB (limit 2 x file + 50 MB = $(((2 * size) / 1048576 + 50)) MB)"
