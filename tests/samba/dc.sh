#!/usr/bin/env bash
# A throw-away Samba AD domain controller for example.com, for the tests against a real
# directory. It runs in a network namespace of its own, so its fixed ports (53, 88, 389, 636,
# 3268, 3269) never meet another one on the same machine, and listens on 127.0.0.1 there.
#
#   dc.sh start STATE        provision into STATE/dc (the sample's example.com objects loaded),
#                            start it, wait until it answers; STATE/pid holds its process id,
#                            STATE/netns.pid the one of the process keeping the namespace
#   dc.sh halt STATE         stop samba only; the namespace stays (a DC that went away)
#   dc.sh restart STATE      start the provisioned DC again (in a new namespace after stop)
#   dc.sh stop STATE         stop samba and the namespace, by their process ids
#   dc.sh exec STATE CMD...  run CMD in the DC's network namespace, with its facts exported
#   dc.sh run STATE CMD...   start, exec, stop (also when CMD fails)
#
# KESTRUNE_TEST_DC_STORE=mdb provisions the directory on LMDB instead of TDB: Samba's adds then
# stay about as fast as the directory grows, which a benchmark of tens of thousands of links needs.
#
# Exported to CMD: KESTRUNE_TEST_DC (STATE), KESTRUNE_TEST_DC_PASSWORD_FILE (the
# Administrator's password), KRB5_CONFIG (the DC's realm), KRB5CCNAME (a cache holding the
# Administrator's ticket), NSS_WRAPPER_HOSTS (dc1.example.com is 127.0.0.1 once
# libnss_wrapper.so is preloaded), KESTRUNE_TEST_DC_CA (the DC's certificate authority).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=processes.sh
. "$here/processes.sh"
sample="$here/../../samples/example.ldif"
password='Kestrune-Test-1'

die() {
    echo "dc.sh: $*" >&2
    exit 1
}

need() {
    command -v "$1" >/dev/null || die "$1 is missing (run scripts/setup as root)"
}

pid_of() {
    [ -s "$1/${2:-pid}" ] && cat "$1/${2:-pid}"
}

running() {
    local pid
    pid=$(pid_of "$1") && kill -0 "$pid" 2>/dev/null
}

provision() {
    local state=$1 dc=$1/dc
    rm -rf "$dc"
    mkdir -p "$dc"
    : >"$state/empty.conf"
    samba-tool domain provision -s "$state/empty.conf" --targetdir="$dc" \
        --realm=EXAMPLE.COM --domain=EXAMPLE --server-role=dc --dns-backend=SAMBA_INTERNAL \
        --host-name=DC1 --adminpass="$password" --backend-store="${KESTRUNE_TEST_DC_STORE:-tdb}" >"$state/provision.log" 2>&1 ||
        die "provisioning failed; see $state/provision.log"
    # Options provisioning drops or that a test DC wants: loopback only, simple binds over
    # plain LDAP, no fsync per write, only the directory's own services, private run folders.
    sed -i -e '/^\s*server services\s*=/d' -e '/^\s*dns forwarder\s*=/d' \
        -e '/^\s*interfaces\s*=/d' "$dc/etc/smb.conf"
    sed -i "/^\[global\]/a\\
\tinterfaces = 127.0.0.1\\
\tbind interfaces only = yes\\
\tldap server require strong auth = no\\
\tldb:nosync = true\\
\tserver services = ldap cldap kdc drepl dns\\
\tpid directory = $dc/run\\
\tncalrpc dir = $dc/ncalrpc\\
\tlog file = $dc/log.samba\\
\tlog level = 1" "$dc/etc/smb.conf"
    mkdir -p "$dc/run" "$dc/ncalrpc"
    printf '%s' "$password" >"$state/password"
    chmod 600 "$state/password"
    cat >"$state/krb5.conf" <<KRB
[libdefaults]
    default_realm = EXAMPLE.COM
    dns_lookup_realm = false
    dns_lookup_kdc = false
    rdns = false
[realms]
    EXAMPLE.COM = {
        kdc = 127.0.0.1
    }
[domain_realm]
    .example.com = EXAMPLE.COM
    example.com = EXAMPLE.COM
KRB
    # dc1.example.com for Kerberos by name, without touching the machine's /etc/hosts.
    printf '127.0.0.1 dc1.example.com dc1\n' >"$state/hosts"
    /usr/bin/python3 "$here/load_sample.py" "$dc/etc/smb.conf" "$sample" \
        >>"$state/provision.log" 2>&1 || die "loading the sample failed; see $state/provision.log"
}

in_namespace() {
    local state=$1
    shift
    local holder
    holder=$(pid_of "$state" netns.pid) && kill -0 "$holder" 2>/dev/null ||
        die "no DC namespace for $state (dc.sh start first)"
    KESTRUNE_TEST_DC="$state" KESTRUNE_TEST_DC_PASSWORD_FILE="$state/password" \
        KRB5_CONFIG="$state/krb5.conf" KRB5CCNAME="FILE:$state/ccache" \
        NSS_WRAPPER_HOSTS="$state/hosts" KESTRUNE_TEST_DC_CA="$state/dc/private/tls/ca.pem" \
        nsenter --net=/proc/"$holder"/ns/net -- "$@"
}

# A process that only keeps the network namespace, so that samba can stop and start again
# in it while a test stays inside.
open_namespace() {
    local state=$1
    setsid unshare --net sh -c 'ip link set lo up && exec sleep infinity' \
        >/dev/null 2>&1 </dev/null &
    local holder=$! i
    echo "$holder" >"$state/netns.pid"
    for i in $(seq 1 50); do
        if [ "$(readlink /proc/"$holder"/ns/net 2>/dev/null)" != "$(readlink /proc/$$/ns/net)" ] &&
            [ "$(cat /proc/"$holder"/comm 2>/dev/null)" = sleep ]; then
            return 0
        fi
        sleep 0.1
    done
    die "could not open a network namespace"
}

launch() {
    local state=$1 dc=$1/dc
    running "$state" && die "a DC already runs for $state (pid $(pid_of "$state"))"
    local holder
    holder=$(pid_of "$state" netns.pid) || die "no namespace for $state"
    # Its own session, in the namespace; nsenter execs samba, so the id is samba's.
    setsid nsenter --net=/proc/"$holder"/ns/net -- \
        samba -F -M single --no-process-group -s "$dc/etc/smb.conf" \
        >"$state/samba.out" 2>&1 </dev/null &
    echo $! >"$state/pid"
    local i
    for i in $(seq 1 150); do
        running "$state" || die "samba ended at start; see $state/samba.out and $dc/log.samba"
        if in_namespace "$state" ldapsearch -x -LLL -o nettimeout=2 -H ldap://127.0.0.1 \
            -D Administrator@EXAMPLE.COM -y "$state/password" -s base -b "" \
            defaultNamingContext >/dev/null 2>&1; then
            return 0
        fi
        sleep 0.2
    done
    stop "$state"
    die "samba did not answer within 30 s; see $state/samba.out"
}

# Kerberos by name: the DC's ldap/ service names, and a ticket for the Administrator.
kerberos() {
    local state=$1
    in_namespace "$state" samba_spnupdate -s "$state/dc/etc/smb.conf" \
        >>"$state/provision.log" 2>&1 || die "samba_spnupdate failed; see $state/provision.log"
    in_namespace "$state" kinit Administrator@EXAMPLE.COM <"$state/password" \
        >>"$state/provision.log" 2>&1 || die "kinit failed; see $state/provision.log"
}

halt() {
    local state=$1 pid
    if pid=$(pid_of "$state"); then kill_pid "$pid"; fi
    rm -f "$state/pid"
}

stop() {
    local state=$1 holder
    halt "$state"
    if holder=$(pid_of "$state" netns.pid); then kill_pid "$holder"; fi
    rm -f "$state/netns.pid"
}

[ $# -ge 2 ] || die "usage: dc.sh start|halt|restart|stop|exec|run STATE [CMD...]"
command=$1
state=$(mkdir -p "$2" && cd "$2" && pwd)
shift 2
case "$command" in
start | run)
    need samba-tool
    need samba
    need ldapsearch
    need kinit
    stop "$state"
    provision "$state"
    # A DC that fails to start is stopped again, with its namespace; run always stops it.
    trap 'stop "$state"' EXIT
    open_namespace "$state"
    launch "$state"
    kerberos "$state"
    if [ "$command" = run ]; then
        in_namespace "$state" "$@"
    else
        trap - EXIT
    fi
    ;;
halt) halt "$state" ;;
restart)
    # The namespace too, when it went with an earlier stop.
    if ! holder=$(pid_of "$state" netns.pid) || ! kill -0 "$holder" 2>/dev/null; then
        open_namespace "$state"
    fi
    launch "$state"
    ;;
stop) stop "$state" ;;
exec) in_namespace "$state" "$@" ;;
*) die "unknown command $command" ;;
esac
