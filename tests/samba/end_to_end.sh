#!/usr/bin/env bash
# The whole program against the Samba DC (run through dc.sh exec): the unattended backup of
# example.com through the simulated domain and through the DC give the same files, with every
# way of logging on; links deleted in the DC come back from those files; and each way the DC
# can fail ends the run with a message and a non-zero status, leaving earlier files alone.
#
#   end_to_end.sh KESTRUNE KESTRUNE_CLI SAMPLE_LDIF
set -uo pipefail

kestrune=$1 cli=$2 sample=$3
# The sample's Greek names survive only in UTF-8; a run that loses characters ends with 3.
export KESTRUNE_CODEPAGE=65001
here=$(cd "$(dirname "$0")" && pwd)
state=${KESTRUNE_TEST_DC:?run through dc.sh exec}
work=$(mktemp -d)
failures=0
helpers=()

cleanup() {
    local pid
    for pid in "${helpers[@]}"; do kill "$pid" 2>/dev/null; done
    # The DC is left running for the tests after this one.
    [ -e "$state/pid" ] || "$here/dc.sh" restart "$state" >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}

# An unattended, headless backup of example.com into a folder, the environment as given
# (and the program started through ${launch[@]} when set); stderr kept in $work/stderr.
launch=()
backup() {
    local folder=$1
    shift
    mkdir -p "$folder"
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@" \
        "${launch[@]}" "$kestrune" "" "$folder" example.com 2>"$work/stderr"
}

as_admin=(KESTRUNE_BIND_USER=Administrator@EXAMPLE.COM
    KESTRUNE_BIND_PASSWORD_FILE="$KESTRUNE_TEST_DC_PASSWORD_FILE")

same_files() {
    local what=$1 a=$2 b=$3
    if ! diff -r "$a" "$b" >"$work/diff" 2>&1; then
        fail "$what: the backups differ"
        cat "$work/diff" >&2
        return 1
    fi
    [ -n "$(ls "$a")" ] || fail "$what: no backup files"
}

snapshot() { (cd "$1" && sha256sum -- * && stat -c '%n %Y %s' -- *); }

# 1. Simulated domain and DC, byte for byte.
cp "$sample" "$work/sim.ldif"
backup "$work/sim" KESTRUNE_PLATFORM="sim:$work/sim.ldif" || fail "backup of the simulated domain"
backup "$work/ldap" KESTRUNE_PLATFORM=ldap://127.0.0.1 "${as_admin[@]}" ||
    fail "backup over LDAP with a password file: $(cat "$work/stderr")"
same_files "simple bind" "$work/sim" "$work/ldap"
ls "$work/sim" | grep -qx Public.txt || fail "no Public.txt in the backup"

# 1b. The console program gives the same files, and says at start what the directory does not
# know about this session (the test domain has no account for this computer).
mkdir -p "$work/cli"
env KESTRUNE_PLATFORM=ldap://127.0.0.1 "${as_admin[@]}" "$cli" "" "$work/cli" example.com \
    2>"$work/stderr" || fail "backup with the console program: $(cat "$work/stderr")"
same_files "console program" "$work/sim" "$work/cli"
grep -q '^kestrune: not found in the directory: computer: no computer account ' "$work/stderr" ||
    fail "the console program did not name the missing computer account: $(cat "$work/stderr")"

# 2. Kerberos: the ticket dc.sh got, the DC by name (resolved by nss_wrapper), no password.
backup "$work/kerberos" KESTRUNE_PLATFORM=ldap://dc1.example.com LD_PRELOAD=libnss_wrapper.so \
    ASAN_OPTIONS=verify_asan_link_order=0 ||
    fail "backup with Kerberos: $(cat "$work/stderr")"
same_files "Kerberos" "$work/sim" "$work/kerberos"

# 2b. KESTRUNE_PLATFORM=ldap: the domain from the Kerberos default realm, its DC and global
# catalog from the SRV records of the DC's own DNS server (this namespace's resolver only).
printf 'nameserver 127.0.0.1\n' >"$work/resolv.conf"
printf '#!/bin/sh\nmount --bind "%s" /etc/resolv.conf && exec "$@"\n' "$work/resolv.conf" \
    >"$work/with_dns"
chmod +x "$work/with_dns"
launch=(unshare -m "$work/with_dns")
backup "$work/located" KESTRUNE_PLATFORM=ldap LD_PRELOAD=libnss_wrapper.so "${as_admin[@]}" ||
    fail "backup with a DC found through DNS: $(cat "$work/stderr")"
launch=()
same_files "DC found through DNS" "$work/sim" "$work/located"

# 3. TLS: LDAPS and StartTLS, the DC's certificate checked against its authority.
backup "$work/ldaps" KESTRUNE_PLATFORM=ldaps://dc1.example.com LD_PRELOAD=libnss_wrapper.so \
    LDAPTLS_CACERT="$KESTRUNE_TEST_DC_CA" "${as_admin[@]}" ||
    fail "backup over LDAPS: $(cat "$work/stderr")"
same_files "LDAPS" "$work/sim" "$work/ldaps"
backup "$work/starttls" KESTRUNE_PLATFORM=ldap://dc1.example.com KESTRUNE_STARTTLS=1 \
    LD_PRELOAD=libnss_wrapper.so LDAPTLS_CACERT="$KESTRUNE_TEST_DC_CA" "${as_admin[@]}" ||
    fail "backup with StartTLS: $(cat "$work/stderr")"
same_files "StartTLS" "$work/sim" "$work/starttls"
# A certificate nobody vouches for is refused.
if backup "$work/untrusted" KESTRUNE_PLATFORM=ldaps://dc1.example.com LD_PRELOAD=libnss_wrapper.so \
    LDAPTLS_CACERT=/dev/null "${as_admin[@]}"; then
    fail "an untrusted certificate was accepted"
fi
[ -z "$(ls "$work/untrusted")" ] || fail "files written over an untrusted connection"

# 4. Links deleted in the DC come back from the backup files, with every property the
# properties file holds (view permissions set over LDAP among them); the next backup is the same.
dfs="CN=Dfs-Configuration,CN=System,DC=example,DC=com"
policies=$(ldapsearch -x -LLL -o ldif-wrap=no -H ldap://127.0.0.1 -D Administrator@EXAMPLE.COM \
    -y "$KESTRUNE_TEST_DC_PASSWORD_FILE" -b "CN=Public,CN=Public,$dfs" -s one \
    '(msDFS-LinkPathv2=/Policies)' dn 2>/dev/null | sed -n 's/^dn: //p')
# D:P(A;;0x1200a9;;;S-1-5-32-545): Users may read and list.
printf 'dn: %s\nchangetype: modify\nreplace: msDFS-LinkSecurityDescriptorv2\nmsDFS-LinkSecurityDescriptorv2:: %s\n' \
    "$policies" "AQAEkAAAAAAAAAAAAAAAABQAAAACACAAAQAAAAAAGACpABIAAQIAAAAAAAUgAAAAIQIAAA==" >"$work/view.ldif"
ldapmodify -x -H ldap://127.0.0.1 -D Administrator@EXAMPLE.COM -y "$KESTRUNE_TEST_DC_PASSWORD_FILE" \
    -f "$work/view.ldif" >/dev/null || fail "setting view permissions in the DC"
backup "$work/viewed" KESTRUNE_PLATFORM=ldap://127.0.0.1 "${as_admin[@]}" ||
    fail "backup with view permissions: $(cat "$work/stderr")"
grep -qF 'ViewPermissions="D:P(A;;0x1200a9;;;S-1-5-32-545)"' "$work/viewed/Public.properties.xml" ||
    fail "the view permissions are not in the properties file"
ldapsearch -x -LLL -o ldif-wrap=no -H ldap://127.0.0.1 -D Administrator@EXAMPLE.COM -y "$KESTRUNE_TEST_DC_PASSWORD_FILE" \
    -b "CN=Public,CN=Public,$dfs" -s one '(objectClass=msDFS-Linkv2)' dn 2>/dev/null |
    sed -n 's/^dn: //p' >"$work/links"
[ "$(wc -l <"$work/links")" -ge 2 ] || fail "the DC holds no links of Public to delete"
ldapdelete -x -H ldap://127.0.0.1 -D Administrator@EXAMPLE.COM -y "$KESTRUNE_TEST_DC_PASSWORD_FILE" \
    -f "$work/links" || fail "deleting the links in the DC"
backup "$work/deleted" KESTRUNE_PLATFORM=ldap://127.0.0.1 "${as_admin[@]}"
cmp -s "$work/deleted/Public.txt" "$work/ldap/Public.txt" && fail "the links were not deleted"
# (From a copy, with its properties file: the restore's log goes beside the file, and the folder
# is compared later.)
mkdir -p "$work/restore" && cp "$work/viewed/Public.txt" "$work/viewed/Public.properties.xml" "$work/restore/"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM KESTRUNE_PLATFORM=ldap://127.0.0.1 \
    "${as_admin[@]}" "$kestrune" --restore "$work/restore/Public.txt" >"$work/restore.log" 2>&1 ||
    fail "restore: $(cat "$work/restore.log")"
[ -s "$work/restore/Public.txt_restore.txt" ] || fail "the restore wrote no log"
# Every link target comes back; the root's targets are there already.
all_lines=$(wc -l <"$work/ldap/Public.txt")
link_lines=$(grep -vc '^dfscmd /[a-z]* "\\\\example.com\\Public" ' "$work/ldap/Public.txt")
[ "$(grep -c '^restored: ' "$work/restore.log")" = "$link_lines" ] ||
    fail "not every link was restored: $(cat "$work/restore.log")"
[ "$(grep -c '^already there: ' "$work/restore.log")" = "$((all_lines - link_lines))" ] ||
    fail "the root's targets were not found there: $(cat "$work/restore.log")"
backup "$work/restored" KESTRUNE_PLATFORM=ldap://127.0.0.1 "${as_admin[@]}" ||
    fail "backup after the restore"
same_files "after the restore" "$work/viewed" "$work/restored"
# A property changed in the DC since the backup: the compare names it with both values.
policies=$(ldapsearch -x -LLL -o ldif-wrap=no -H ldap://127.0.0.1 -D Administrator@EXAMPLE.COM \
    -y "$KESTRUNE_TEST_DC_PASSWORD_FILE" -b "CN=Public,CN=Public,$dfs" -s one \
    '(msDFS-LinkPathv2=/Policies)' dn 2>/dev/null | sed -n 's/^dn: //p')
printf 'dn: %s\nchangetype: modify\nreplace: msDFS-Ttlv2\nmsDFS-Ttlv2: 120\n' "$policies" >"$work/ttl.ldif"
ldapmodify -x -H ldap://127.0.0.1 -D Administrator@EXAMPLE.COM -y "$KESTRUNE_TEST_DC_PASSWORD_FILE" \
    -f "$work/ttl.ldif" >/dev/null || fail "changing a referral time in the DC"
recorded=$(sed -n 's/.*Path="\\\\example\.com\\Public\\Policies".*TimeToLiveSec="\([0-9]*\)".*/\1/p' \
    "$work/restore/Public.properties.xml")
[ -n "$recorded" ] && [ "$recorded" != 120 ] || fail "the recorded referral time of Policies: '$recorded'"
if env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM KESTRUNE_PLATFORM=ldap://127.0.0.1 \
    "${as_admin[@]}" "$kestrune" --compare "$work/restore/Public.txt" >"$work/compare.out" 2>&1; then
    fail "a property changed in the DC compared as unchanged"
fi
grep -qxF "~ \\\\example.com\\Public\\Policies TimeToLiveSec 120 (was $recorded)" "$work/compare.out" ||
    fail "compare after a property change: $(cat "$work/compare.out")"
# Setting it back is a change the namespace servers see only at their next poll, as a link is.
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM KESTRUNE_PLATFORM=ldap://127.0.0.1 \
    "${as_admin[@]}" "$kestrune" --restore "$work/restore/Public.txt" --properties \
    >"$work/properties.out" 2>&1 || fail "restore --properties: $(cat "$work/properties.out")"
grep -q "^set properties (TimeToLiveSec $recorded): " "$work/properties.out" &&
    ! grep -q '^restored: ' "$work/properties.out" &&
    grep -qF 'dfsutil root forcesync \\example.com\Public (or restart' "$work/properties.out" ||
    fail "restore of properties alone, no propagation note: $(cat "$work/properties.out")"

# 4b. A Windows 2000 mode namespace: the sample's Legacy is in the DC as one fTDfs object (the
# first backups read it through its pKT alike). The test writes the pKT again without the link
# Apps, as another tool would: the next backup has it without, a restore of the earlier file is
# refused line by line with the reason (the dry run says the same), and the object is unchanged.
legacy="CN=Legacy,$dfs"
grep -qF '"\\example.com\Legacy\Apps" "\\FS2\Apps"' "$work/ldap/Legacy.txt" ||
    fail "the Windows 2000 mode namespace was not backed up over LDAP"
# Writes the sample's pKT of Legacy into the DC, without the link named (if any).
write_legacy() {
    /usr/bin/python3 - "$(dirname "$sample")" "$legacy" "$1" >"$work/legacy.ldif" <<'EOF'
import base64, sys, uuid
sys.dont_write_bytecode = True  # nothing left in the source tree
sys.path.insert(0, sys.argv[1])
import generate_example as sample
name, comment, roots, links = sample.V1_NAMESPACES[sample.BASE][0]
blob = sample.pkt("EXAMPLE", name, comment, roots, [l for l in links if l[0] != sys.argv[3]])
print(f"dn: {sys.argv[2]}\nchangetype: modify\nreplace: pKT\npKT:: {base64.b64encode(blob).decode()}"
      f"\n-\nreplace: pKTGuid\npKTGuid:: {base64.b64encode(uuid.uuid4().bytes_le).decode()}\n-")
EOF
    ldapmodify -x -H ldap://127.0.0.1 -D Administrator@EXAMPLE.COM -y "$KESTRUNE_TEST_DC_PASSWORD_FILE" \
        -f "$work/legacy.ldif" >/dev/null || fail "writing the pKT in the DC"
}
write_legacy Apps
pkt() {
    ldapsearch -x -LLL -o ldif-wrap=no -H ldap://127.0.0.1 -D Administrator@EXAMPLE.COM \
        -y "$KESTRUNE_TEST_DC_PASSWORD_FILE" -b "$legacy" -s base pKT pKTGuid 2>/dev/null
}
pkt_before=$(pkt)
backup "$work/v1" KESTRUNE_PLATFORM=ldap://127.0.0.1 "${as_admin[@]}" ||
    fail "backup after the pKT was written: $(cat "$work/stderr")"
grep -qF 'Legacy\Apps' "$work/v1/Legacy.txt" && fail "the link left out of the pKT is still backed up"
grep -qF 'Legacy\Manuals" "\\FS3\Manuals"' "$work/v1/Legacy.txt" || fail "Legacy lost other links"
mkdir -p "$work/v1restore" && cp "$work/ldap/Legacy.txt" "$work/ldap/Legacy.properties.xml" "$work/v1restore/"
for run in --dry-run --restore; do
    if env KESTRUNE_PLATFORM=ldap://127.0.0.1 "${as_admin[@]}" "$cli" --restore \
        "$work/v1restore/Legacy.txt" ${run/--restore/} >"$work/v1.log" 2>&1; then
        fail "a restore ($run) into a Windows 2000 mode namespace gave status 0"
    fi
    [ "$(grep -c 'is a Windows 2000 mode namespace, which this platform does not change' "$work/v1.log")" = 2 ] ||
        fail "the restore ($run) did not refuse the two lines of Apps: $(cat "$work/v1.log")"
    [ "$(grep -c '^already there: ' "$work/v1.log")" = 5 ] ||
        fail "the restore ($run) did not find the other lines: $(cat "$work/v1.log")"
done
[ "$pkt_before" = "$(pkt)" ] || fail "the refused restore changed the fTDfs object"
# The namespace as the sample has it again, for the checks and tests after this one.
write_legacy ""

# 5. A wrong password: the system's text, a non-zero status, no file touched.
printf 'not-the-password\n' >"$work/wrong"
before=$(snapshot "$work/ldap")
if backup "$work/ldap" KESTRUNE_PLATFORM=ldap://127.0.0.1 KESTRUNE_BIND_USER=Administrator@EXAMPLE.COM \
    KESTRUNE_BIND_PASSWORD_FILE="$work/wrong"; then
    fail "a wrong password gave status 0"
fi
grep -q "The user name or password is incorrect" "$work/stderr" ||
    fail "wrong password, message: $(cat "$work/stderr")"
[ "$before" = "$(snapshot "$work/ldap")" ] || fail "a wrong password touched the files"

# 6. A server that never answers: the timeout ends the run.
/usr/bin/python3 "$here/silent_server.py" 3389 >"$work/silent.out" &
helpers+=($!)
for _ in $(seq 50); do grep -q listening "$work/silent.out" && break; sleep 0.1; done
start=$(date +%s)
if backup "$work/ldap" KESTRUNE_PLATFORM=ldap://127.0.0.1:3389 KESTRUNE_LDAP_TIMEOUT=2 "${as_admin[@]}"; then
    fail "a silent server gave status 0"
fi
[ $(($(date +%s) - start)) -le 20 ] || fail "a silent server held the run for $(($(date +%s) - start)) s"
grep -q "timeout period expired" "$work/stderr" || fail "silent server, message: $(cat "$work/stderr")"
[ "$before" = "$(snapshot "$work/ldap")" ] || fail "a silent server touched the files"

# 7. The DC goes away while the fourth namespace (Public, after Archive, Legacy and Projets) is read.
/usr/bin/python3 "$here/cutting_proxy.py" 3390 389 "CN=Public,CN=Public" >"$work/proxy.out" &
helpers+=($!)
for _ in $(seq 50); do grep -q listening "$work/proxy.out" && break; sleep 0.1; done
if backup "$work/ldap" KESTRUNE_PLATFORM=ldap://127.0.0.1:3390 "${as_admin[@]}"; then
    fail "a DC lost during the run gave status 0"
fi
grep -q cut "$work/proxy.out" || fail "the proxy never cut the connection"
grep -q 'could not be read' "$work/stderr" && grep -q '^  Public: ' "$work/stderr" ||
    fail "DC lost during the run, message: $(cat "$work/stderr")"
[ "$(cd "$work/ldap" && sha256sum -- *)" = "$(cd "$work/sim" && sha256sum -- *)" ] ||
    fail "a DC lost during the run changed the files"

# 8. The DC stopped before the run.
"$here/dc.sh" halt "$state"
before=$(snapshot "$work/ldap")
if backup "$work/ldap" KESTRUNE_PLATFORM=ldap://127.0.0.1 "${as_admin[@]}"; then
    fail "a stopped DC gave status 0"
fi
grep -q "The server is not operational" "$work/stderr" || fail "stopped DC, message: $(cat "$work/stderr")"
[ "$before" = "$(snapshot "$work/ldap")" ] || fail "a stopped DC touched the files"
"$here/dc.sh" restart "$state" || fail "the DC did not start again"

# The other tests share the DC: Policies gets back the sample's view permissions (none).
policies=$(ldapsearch -x -LLL -o ldif-wrap=no -H ldap://127.0.0.1 -D Administrator@EXAMPLE.COM \
    -y "$KESTRUNE_TEST_DC_PASSWORD_FILE" -b "CN=Public,CN=Public,$dfs" -s one \
    '(msDFS-LinkPathv2=/Policies)' dn 2>/dev/null | sed -n 's/^dn: //p')
printf 'dn: %s\nchangetype: modify\ndelete: msDFS-LinkSecurityDescriptorv2\n' "$policies" |
    ldapmodify -x -H ldap://127.0.0.1 -D Administrator@EXAMPLE.COM -y "$KESTRUNE_TEST_DC_PASSWORD_FILE" \
        >/dev/null || fail "taking the view permissions of Policies away again"

if [ "$failures" -ne 0 ]; then
    echo "$failures end-to-end check(s) failed" >&2
    exit 1
fi
echo "all end-to-end checks passed"
