#!/usr/bin/env bash
# --forest against the Samba DC (run through dc.sh exec): the forest's domains come from the
# DC's global catalog, each domain's namespaces from that domain's DC, and the files of
# example.com are those of a backup of that domain alone, through the DC and through the
# simulated forest. A DC that stops answering halfway fails the run and leaves files alone.
#
#   forest_backup.sh KESTRUNE_CLI SAMPLE_LDIF
set -uo pipefail

cli=$1 sample=$2
export KESTRUNE_CODEPAGE=65001
here=$(cd "$(dirname "$0")" && pwd)
state=${KESTRUNE_TEST_DC:?run through dc.sh exec}
work=$(mktemp -d)
failures=0
cleanup() {
    [ -e "$state/pid" ] || "$here/dc.sh" restart "$state" >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}
as_admin=(KESTRUNE_PLATFORM=ldap://127.0.0.1 KESTRUNE_BIND_USER=Administrator@EXAMPLE.COM
    KESTRUNE_BIND_PASSWORD_FILE="$KESTRUNE_TEST_DC_PASSWORD_FILE")

# The simulated forest: both of the sample's domains, each in its folder.
cp "$sample" "$work/sim.ldif"
env KESTRUNE_PLATFORM="sim:$work/sim.ldif" "$cli" --forest "" "$work/sim" 2>"$work/stderr" ||
    fail "forest run over the simulated forest: $(cat "$work/stderr")"
[ -f "$work/sim/sales.example.com/Sales.txt" ] || fail "no sales.example.com/Sales.txt"

# The DC's forest holds example.com: its folder is the simulated forest's, byte for byte, and
# the same as a backup of that domain alone.
env "${as_admin[@]}" "$cli" --forest --keep 3 "" "$work/ldap" 2>"$work/stderr" ||
    fail "forest run over LDAP: $(cat "$work/stderr")"
grep -qx 'kestrune: domain example.com' "$work/stderr" ||
    fail "no line for the domain: $(cat "$work/stderr")"
diff -r "$work/sim/example.com" "$work/ldap/example.com" >&2 ||
    fail "the forest run's example.com differs from the simulated forest's"
env "${as_admin[@]}" "$cli" "" "$work/alone" example.com 2>/dev/null ||
    fail "backup of example.com alone"
diff -r "$work/alone" "$work/ldap/example.com" >&2 ||
    fail "the forest run's example.com differs from a backup of the domain alone"

# The DC gone: the run fails, names why, and the files stay as they were.
before=$(cd "$work/ldap" && find . -type f -exec sha256sum {} + | sort)
"$here/dc.sh" halt "$state" >/dev/null 2>&1
if env "${as_admin[@]}" KESTRUNE_LDAP_TIMEOUT=5 "$cli" --forest "" "$work/ldap" \
    2>"$work/stderr"; then
    fail "a forest run without its DC succeeded"
fi
grep -q 'The server is not operational' "$work/stderr" ||
    fail "the failure does not say why: $(cat "$work/stderr")"
after=$(cd "$work/ldap" && find . -type f -exec sha256sum {} + | sort)
[ "$before" = "$after" ] || fail "files changed when the DC was gone"
"$here/dc.sh" restart "$state" >/dev/null 2>&1 || fail "the DC did not start again"

[ "$failures" -eq 0 ] && echo "forest backup against the Samba DC: passed"
exit $((failures > 0))
