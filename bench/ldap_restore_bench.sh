#!/usr/bin/env bash
# The restore of a namespace of LINKS links x 2 targets from its backup file into the emptied
# namespace of a Samba DC, against ldapadd writing the same link objects to the same DC, in one
# run. Run it through the test DC (as root):
#
#   tests/samba/dc.sh run /tmp/kestrune-bench-dc bench/ldap_restore_bench.sh build/kestrune-cli [LINKS]
#
# On the default TDB store each of Samba's adds costs more as the directory grows (10,000 links:
# ldapadd 692 s against 157 s on LMDB); for 50,000 provision on LMDB with KESTRUNE_TEST_DC_STORE=mdb.
#
# Each side writes into a new namespace of its own (ldapadd: a copy of the namespace's objects;
# the restore: --as, which creates it), as deleting the links again takes Samba longer than
# either. Prints both wall times, their ratio, the restore's peak memory against the backup
# file's size, and whether the restored namespace backs up byte for byte as the file it came
# from, but for its name (its properties file too).
set -euo pipefail

kestrune=$(realpath "$1")
links=${2:-10000}
here=$(cd "$(dirname "$0")" && pwd)
dc=$here/../tests/samba/dc.sh
state=${KESTRUNE_TEST_DC:?run through tests/samba/dc.sh run}
work=$(mktemp -d)
base="CN=Bench,CN=Bench,CN=Dfs-Configuration,CN=System,DC=example,DC=com"
password=$KESTRUNE_TEST_DC_PASSWORD_FILE
ldap=(-x -H ldap://127.0.0.1 -D Administrator@EXAMPLE.COM -y "$password")

# The DC is provisioned anew by each run, its folder with it: the mark of the links loaded too.
if [ ! -e "$state/dc/bench-$links" ]; then
    echo "loading $links links into the DC ..."
    "$dc" halt "$state"
    /usr/bin/python3 "$here/generate_dfs_links.py" "$state/dc/etc/smb.conf" Bench "$links"
    "$dc" restart "$state"
    touch "$state/dc/bench-$links"
fi

kestrune_cli() {
    env -u DISPLAY -u WAYLAND_DISPLAY KESTRUNE_PLATFORM=ldap://127.0.0.1 KESTRUNE_CODEPAGE=65001 \
        KESTRUNE_BIND_USER=Administrator@EXAMPLE.COM KESTRUNE_BIND_PASSWORD_FILE="$password" \
        "$kestrune" "$@"
}
backup() { # the namespaces of example.com into folder $1
    mkdir -p "$1"
    kestrune_cli "" "$1" example.com 2>/dev/null || { echo "backup into $1 failed" >&2; exit 1; }
}
search() { # base, scope, filter, attributes...
    local base=$1 scope=$2
    shift 2
    ldapsearch "${ldap[@]}" -LLL -o ldif-wrap=no -E pr=1000/noprompt -b "$base" -s "$scope" "$@" |
        grep -v '^#'
}

# Both sides write into a namespace of their own that starts empty: emptying one by deleting its
# links takes Samba longer than anything measured here.
suffix=$$
added=BenchAdd$suffix
restored=BenchRestore$suffix
backup "$work/before"

# The same link objects as ldapadd takes them (what the directory holds of each, without what it
# adds itself), below a copy of the namespace's anchor and object.
anchor="CN=Bench,CN=Dfs-Configuration,CN=System,DC=example,DC=com"
{
    search "$anchor" base '(objectClass=*)' objectClass msDFS-SchemaMajorVersion
    echo
    search "$base" base '(objectClass=*)' objectClass msDFS-SchemaMajorVersion \
        msDFS-SchemaMinorVersion msDFS-GenerationGUIDv2 msDFS-NamespaceIdentityGUIDv2 \
        msDFS-LastModifiedv2 msDFS-Propertiesv2 msDFS-TargetListv2 msDFS-Ttlv2 msDFS-Commentv2
    echo
    search "$base" one '(objectClass=msDFS-Linkv2)' objectClass msDFS-LinkPathv2 msDFS-Commentv2 \
        msDFS-TargetListv2 msDFS-LinkIdentityGUIDv2 msDFS-GenerationGUIDv2 \
        msDFS-NamespaceIdentityGUIDv2 msDFS-LastModifiedv2 msDFS-Propertiesv2 msDFS-Ttlv2
} | sed "s/^dn: \(.*\)CN=Bench,CN=Dfs-Configuration/dn: \1CN=$added,CN=Dfs-Configuration/; s/^dn: \(.*\)CN=Bench,CN=$added,/dn: \1CN=$added,CN=$added,/" \
    >"$work/links.ldif"
entries=$(grep -c '^dn:' "$work/links.ldif")

# Each side starts from the same directory: Samba's database as it was before either wrote (an
# add costs more in a fuller database, so the side run second would be at a disadvantage).
snapshot=$state/bench-snapshot
from_snapshot() {
    "$dc" halt "$state"
    if [ -d "$snapshot" ]; then
        rm -rf "$state/dc/private"
        cp -a "$snapshot" "$state/dc/private"
    else
        cp -a "$state/dc/private" "$snapshot"
    fi
    "$dc" restart "$state"
}
trap 'rm -rf "$work" "$snapshot"' EXIT

from_snapshot
start=$(date +%s.%N)
ldapadd "${ldap[@]}" -f "$work/links.ldif" >/dev/null
ldapadd_s=$(awk "BEGIN {printf \"%.2f\", $(date +%s.%N) - $start}")
echo "ldapadd: ${ldapadd_s} s" >&2

from_snapshot
/usr/bin/time -o "$work/time" -f "%e %M" env -u DISPLAY -u WAYLAND_DISPLAY \
    KESTRUNE_PLATFORM=ldap://127.0.0.1 KESTRUNE_CODEPAGE=65001 \
    KESTRUNE_BIND_USER=Administrator@EXAMPLE.COM KESTRUNE_BIND_PASSWORD_FILE="$password" \
    "$kestrune" --quiet --restore "$work/before/Bench.txt" --as "\\\\example.com\\$restored" \
    >"$work/restore.out" 2>"$work/restore.err" ||
    { echo "the restore failed with status $?" >&2; grep -v '^restored: ' "$work/restore.out" | head >&2; exit 1; }
read -r restore_s peak_kb <"$work/time"

# The restored namespace backs up as the file it came from, but for its name.
backup "$work/after"
same=yes
# The properties file names its backup file by a hash, which the renaming changes.
unhashed='s/BackupFileSha256="[0-9a-f]*"/BackupFileSha256=""/'
sed "$unhashed" "$work/before/Bench.properties.xml" >"$work/before/unhashed.properties.xml"
for f in txt properties.xml; do
    sed "s/\\\\$restored\\([\\\\\"]\\)/\\\\Bench\\1/g; s/\"$restored\"/\"Bench\"/g; $unhashed" \
        "$work/after/$restored.$f" >"$work/after/renamed.$f"
    original=$work/before/Bench.$f
    [ "$f" = txt ] || original=$work/before/unhashed.$f
    cmp -s "$original" "$work/after/renamed.$f" ||
        { same=no; echo "Bench.$f differs after the restore:" >&2; diff "$original" "$work/after/renamed.$f" | head -5 >&2 || true; }
done
size=$(stat -c %s "$work/before/Bench.txt")
echo "links: $links ($entries objects for ldapadd), backup lines: $(wc -l <"$work/before/Bench.txt"), file: $size bytes"
echo "ldapadd: ${ldapadd_s} s   restore: ${restore_s} s   ratio: $(awk "BEGIN {printf \"%.2f\", $restore_s / $ldapadd_s}")"
# To a tenth of a MiB: whole ones rounded down hid a peak above the limit once.
awk -v peak="$peak_kb" -v size="$size" 'BEGIN {
    printf "restore peak memory: %.1f MB (limit 2 x file + 50 MB = %.1f MB)\n", peak / 1024, 2 * size / 1048576 + 50 }'

echo "backs up identical: $same"
