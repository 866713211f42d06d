#!/usr/bin/env bash
# A namespace deleted in the Samba DC comes back from its backup through LDAP: the objects as
# Windows creates them, written to the domain's PDC emulator; then the same backup restored
# into another namespace onto renamed file servers. Run through dc.sh exec.
#
#   namespace_recovery.sh KESTRUNE_CLI
set -uo pipefail

cli=$1
export KESTRUNE_CODEPAGE=65001 KESTRUNE_PLATFORM=ldap://127.0.0.1
export KESTRUNE_BIND_USER=Administrator@EXAMPLE.COM
export KESTRUNE_BIND_PASSWORD_FILE="${KESTRUNE_TEST_DC_PASSWORD_FILE:?run through dc.sh exec}"
work=$(mktemp -d)
trap '[ -n "${KEEP_WORK:-}" ] || rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}

dfs="CN=Dfs-Configuration,CN=System,DC=example,DC=com"
ldap() { "$@" -x -H ldap://127.0.0.1 -D "$KESTRUNE_BIND_USER" -y "$KESTRUNE_BIND_PASSWORD_FILE"; }
# One attribute's values of one object (base64 values as ldapsearch gives them).
value() {
    ldap ldapsearch -LLL -o ldif-wrap=no -b "$1" -s base '(objectClass=*)' "$2" 2>/dev/null |
        sed -n "s/^$2::\? //p"
}
backup() { "$cli" "" "$1" example.com 2>"$work/stderr"; }

# The other tests share the DC and its sample namespaces: this one works on a namespace of its
# own, Scratch, made from Public's backup and removed at the end.
backup "$work/public" || fail "the first backup: $(cat "$work/stderr")"
"$cli" --restore "$work/public/Public.txt" --as '\\example.com\Scratch' >"$work/made" 2>&1 ||
    fail "making Scratch: $(cat "$work/made")"
# Its management is delegated to the domain's users, as an administrator would with dsacl.
samba-tool dsacl set -H ldap://127.0.0.1 -U "$KESTRUNE_BIND_USER" --password="$(cat "$KESTRUNE_BIND_PASSWORD_FILE")" \
    --objectdn="CN=Scratch,$dfs" --sddl='(A;CI;RPWPCRCCDCLCLORCWOWDSDDTSW;;;DU)' >"$work/dsacl" 2>&1 ||
    fail "delegating Scratch: $(cat "$work/dsacl")"
backup "$work/first" || fail "the backup of Scratch: $(cat "$work/stderr")"
[ -s "$work/first/Scratch.txt" ] || fail "no Scratch.txt in the backup"
# Only the delegation is kept: the entries every namespace has, and those inherited, are not.
grep -qE 'ManagementPermissions="D:\(A;CI;0xf01ff;;;S-1-5-21-[0-9-]+-513\)"' "$work/first/Scratch.properties.xml" ||
    fail "the delegation is not in the properties file: $(grep -o 'ManagementPermissions="[^"]*"' "$work/first/Scratch.properties.xml")"

# 1. The namespace is deleted, anchor and all, as a script or ransomware would.
ldap ldapdelete -r "CN=Scratch,$dfs" || fail "deleting the namespace in the DC"
backup "$work/gone"
[ -e "$work/gone/Scratch.txt" ] && fail "the namespace was not deleted"

"$cli" --restore "$work/first/Scratch.txt" --dry-run >"$work/dry" 2>&1 ||
    fail "dry run: $(cat "$work/dry")"
grep -qF 'would create the namespace \\example.com\Scratch with root target \\DC1\Public: dfscmd /map "\\example.com\Scratch" ' "$work/dry" ||
    fail "the dry run does not say it would create the namespace: $(cat "$work/dry")"

"$cli" --restore "$work/first/Scratch.txt" >"$work/restore" 2>"$work/restore.err" ||
    fail "restore: $(cat "$work/restore" "$work/restore.err")"
grep -q '^created the namespace: dfscmd /map "\\\\example.com\\Scratch" ' "$work/restore" ||
    fail "the restore did not create the namespace: $(cat "$work/restore")"
# The only DC is the PDC emulator, found through the domain head's fSMORoleOwner.
grep -qF 'kestrune: namespace changes are written to 127.0.0.1 (the PDC emulator of example.com, its fSMORoleOwner)' "$work/restore.err" ||
    fail "the PDC emulator was not named: $(cat "$work/restore.err")"
grep -qF 'The namespace \\example.com\Scratch was created in the directory, but no server serves it yet' "$work/restore.err" ||
    fail "no word on what the namespace servers need: $(cat "$work/restore.err")"
grep -qF 'On DC2, as an administrator: mkdir C:\DFSRoots\Public' "$work/restore.err" ||
    fail "the second root server's share is not named: $(cat "$work/restore.err")"
grep -qF 'run on the namespace servers: on DC1, DC2: dfsutil root forcesync \\example.com\Scratch' "$work/restore.err" ||
    fail "the propagation note does not name the root servers: $(cat "$work/restore.err")"

# The objects as the note's table has them.
anchor="CN=Scratch,$dfs" ns="CN=Scratch,CN=Scratch,$dfs"
value "$anchor" objectClass | grep -qx msDFS-NamespaceAnchor || fail "anchor class: $(value "$anchor" objectClass)"
[ "$(value "$anchor" msDFS-SchemaMajorVersion)" = 2 ] || fail "anchor version"
value "$ns" objectClass | grep -qx msDFS-Namespacev2 || fail "namespace class"
[ "$(value "$ns" msDFS-SchemaMajorVersion).$(value "$ns" msDFS-SchemaMinorVersion)" = 2.0 ] ||
    fail "namespace version"
identity=$(value "$ns" msDFS-NamespaceIdentityGUIDv2)
[ "$(printf %s "$identity" | base64 -d | wc -c)" = 16 ] || fail "identity GUID: '$identity'"
[ "$(value "$ns" msDFS-GenerationGUIDv2 | base64 -d | wc -c)" = 16 ] || fail "generation GUID"
value "$ns" msDFS-LastModifiedv2 | grep -qE '^[0-9]{14}\.0Z$' || fail "last modified: $(value "$ns" msDFS-LastModifiedv2)"
[ "$(value "$ns" msDFS-Ttlv2)" = 300 ] || fail "TTL: $(value "$ns" msDFS-Ttlv2)"
value "$ns" msDFS-Propertiesv2 | grep -qx 'State=Okay' || fail "properties: $(value "$ns" msDFS-Propertiesv2)"
[ "$(value "$ns" msDFS-Commentv2)" = "Company public share" ] || fail "comment"
[ -n "$(value "$ns" msDFS-TargetListv2)" ] || fail "no target list"
ldap ldapsearch -LLL -o ldif-wrap=no -b "$ns" -s one '(objectClass=msDFS-Linkv2)' \
    msDFS-NamespaceIdentityGUIDv2 2>/dev/null | sed -n 's/^msDFS-NamespaceIdentityGUIDv2:: //p' |
    sort -u >"$work/link-ids"
[ "$(cat "$work/link-ids")" = "$identity" ] ||
    fail "the links do not carry the namespace's identity: $(cat "$work/link-ids") / $identity"

"$cli" --compare "$work/first/Scratch.txt" >"$work/compare" 2>&1 ||
    fail "the restored namespace differs from its backup: $(cat "$work/compare")"

# Backed up again, both files are the first ones (the delegation given back included).
backup "$work/second" || fail "the backup after the restore: $(cat "$work/stderr")"
for f in Scratch.txt Scratch.properties.xml; do
    cmp -s "$work/first/$f" "$work/second/$f" || fail "$f differs after the restore: $(diff "$work/first/$f" "$work/second/$f")"
done

# 2. Into another namespace, onto renamed file servers.
"$cli" --restore "$work/public/Public.txt" --as '\\example.com\Copy' --map-server FS1=FS9 \
    >"$work/copy" 2>&1 || fail "restore into another namespace: $(cat "$work/copy")"
backup "$work/third" || fail "the backup after the copy: $(cat "$work/stderr")"
sed -e 's/\\\\example\.com\\Public/\\\\example.com\\Copy/' -e 's/"\\\\FS1\\/"\\\\FS9\\/' \
    "$work/public/Public.txt" >"$work/expected"
cmp -s "$work/expected" "$work/third/Copy.txt" ||
    fail "the copy is not the original under its new names: $(diff "$work/expected" "$work/third/Copy.txt")"
cmp -s "$work/public/Public.txt" "$work/third/Public.txt" || fail "the original changed"
ldap ldapdelete -r "CN=Copy,$dfs" || fail "removing the copy"
ldap ldapdelete -r "CN=Scratch,$dfs" || fail "removing Scratch"

if [ "$failures" -ne 0 ]; then
    echo "$failures namespace recovery check(s) failed" >&2
    exit 1
fi
echo "all namespace recovery checks passed"
