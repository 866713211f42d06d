#!/usr/bin/env bash
# The unattended backup of a namespace of LINKS links x 2 targets from a Samba DC, against
# ldapsearch fetching the same link objects with the same attributes and paging from the same
# DC, in one run. Run it through the test DC (as root):
#
#   tests/samba/dc.sh run /tmp/kestrune-bench-dc bench/ldap_backup_bench.sh build/kestrune-cli [LINKS]
#
# or, to measure again without loading again: dc.sh start STATE once, then dc.sh exec STATE ...
#
# Prints the wall times (best of RUNS, 3 by default), their ratio, the backup's peak memory and
# its file size. The first backup writes the file; the others compare with it, as a nightly run
# does. Loading 50,000 links takes about half a minute.
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
exec env -u DISPLAY -u WAYLAND_DISPLAY KESTRUNE_PLATFORM=ldap://127.0.0.1 KESTRUNE_CODEPAGE=65001 \\
    KESTRUNE_BIND_USER=Administrator@EXAMPLE.COM KESTRUNE_BIND_PASSWORD_FILE="$password" \\
    "$kestrune" "" "$work/out" example.com 2>/dev/null
SH
chmod +x "$work/fetch" "$work/backup"
best() { # the best wall time of the runs of $1 recorded so far
    awk '{print $1}' "$work/times.$1" | sort -n | head -1
}
run() { # one timed run of $1, recorded; a failed run ends the bench
    /usr/bin/time -o "$work/time" -f "%e %M" "$work/$1" >/dev/null ||
        { echo "$1 failed with status $?" >&2; exit 1; }
    cat "$work/time" >>"$work/times.$1"
}

mkdir -p "$work/out"
"$work/fetch" # warm the DC's caches for both
# Each run of one followed by a run of the other: on a shared machine, a moment of load from
# elsewhere then falls on both sides alike.
for i in $(seq "$runs"); do
    run fetch
    run backup
done
ldapsearch_s=$(best fetch)
backup_s=$(best backup)
peak_kb=$(awk '{print $2}' "$work/times.backup" | sort -n | tail -1)
lines=$(wc -l <"$work/out/Bench.txt")
size=$(stat -c %s "$work/out/Bench.txt")
entries=$(grep -c '^dn:' "$work/ldapsearch.out")
echo "links: $links ($entries from ldapsearch), backup lines: $lines, file: $size bytes"
echo "ldapsearch: ${ldapsearch_s} s   backup: ${backup_s} s   ratio: $(awk "BEGIN {printf \"%.2f\", $backup_s / $ldapsearch_s}")"
echo "backup peak memory: $((peak_kb / 1024)) MB (limit 2 x file + 50 MB = $(((2 * size) / 1048576 + 50)) MB)"
