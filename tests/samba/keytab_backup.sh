#!/usr/bin/env bash
# The scheduled backup's logon against the Samba DC (run through dc.sh exec): as
# kestrune-backup.service runs it, kestrune-cli gets its Kerberos ticket from a keytab
# (KRB5_CLIENT_KTNAME) into a cache in memory, with no ticket cache and no password, and backs up
# the same files as through the simulated domain. Without the keytab the same run has no ticket
# and fails, so the ticket did come from the keytab.
#
#   keytab_backup.sh KESTRUNE_CLI SAMPLE_LDIF
set -euo pipefail
cli=$1 sample=$2
state=${KESTRUNE_TEST_DC:?run through dc.sh exec}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export KESTRUNE_CODEPAGE=65001

samba-tool domain exportkeytab "$work/backup.keytab" --principal=Administrator@EXAMPLE.COM \
    -s "$state/dc/etc/smb.conf" >"$work/export.log" 2>&1 || { cat "$work/export.log"; exit 1; }
cp "$sample" "$work/domain.ldif"
KESTRUNE_PLATFORM="sim:$work/domain.ldif" "$cli" --quiet "" "$work/sim" example.com

# The service's environment: the keytab, a cache in memory, the DC by name.
service=(env -u KRB5CCNAME KRB5CCNAME=MEMORY: KESTRUNE_PLATFORM=ldap://dc1.example.com
    LD_PRELOAD=libnss_wrapper.so ASAN_OPTIONS=verify_asan_link_order=0)
"${service[@]}" KRB5_CLIENT_KTNAME="$work/backup.keytab" \
    "$cli" --quiet -- "" "$work/keytab" example.com 2>"$work/err" ||
    { echo "FAILED: the backup with the keytab ended with $?: $(cat "$work/err")"; exit 1; }
# The backup files only: the other tests of the same DC may change link properties meanwhile.
for file in "$work"/sim/*.txt; do
    cmp "$file" "$work/keytab/${file##*/}" || { echo "FAILED: the backups differ"; exit 1; }
done
[ "$(ls "$work/keytab"/*.txt | wc -l)" = 5 ] || { echo "FAILED: not 5 backup files"; exit 1; }

status=0
"${service[@]}" KRB5_CLIENT_KTNAME="$work/missing.keytab" \
    "$cli" --quiet -- "" "$work/none" example.com 2>"$work/err" || status=$?
[ "$status" = 1 ] || { echo "FAILED: without the keytab the backup ended with $status"; exit 1; }
grep -q 'Kerberos' "$work/err" || { echo "FAILED: no Kerberos failure named: $(cat "$work/err")"; exit 1; }
echo "backup with a keytab: passed"
