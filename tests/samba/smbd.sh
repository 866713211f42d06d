#!/usr/bin/env bash
# Throw-away file servers for the share checks, in the DC's network namespace (see dc.sh):
# a stand-alone smbd on 127.0.0.2 (files1.example.com) with shares that exist, one with a space,
# a "$" share, a non-ASCII one and one that refuses anonymous users; a server that takes
# connections and never answers on 127.0.0.3:445 (silent1.example.com); nothing at all on
# 127.0.0.4 (refused.example.com).
#
#   smbd.sh start DCSTATE STATE   configure and start both in DCSTATE's namespace; STATE/pid and
#                                 STATE/silent.pid hold their process ids
#   smbd.sh stop DCSTATE STATE    stop them by those ids
#
# STATE/hosts resolves the names above and the DC's (for LD_PRELOAD=libnss_wrapper.so with
# NSS_WRAPPER_HOSTS); STATE/password holds the password of root, the one user smbd knows.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=processes.sh
. "$here/processes.sh"
password='Kestrune-Share-1'

die() {
    echo "smbd.sh: $*" >&2
    exit 1
}

holder_of() {
    local holder
    holder=$(cat "$1/netns.pid" 2>/dev/null) && kill -0 "$holder" 2>/dev/null ||
        die "no DC namespace for $1 (dc.sh start first)"
    echo "$holder"
}

in_namespace() {
    local holder=$1
    shift
    nsenter --net=/proc/"$holder"/ns/net -- "$@"
}

stop() {
    local state=$1 name
    for name in pid silent.pid; do
        if [ -s "$state/$name" ]; then kill_pid "$(cat "$state/$name")"; fi
        rm -f "$state/$name"
    done
}

configure() {
    local state=$1
    rm -rf "$state/smbd"
    mkdir -p "$state/smbd"/{private,lock,state,cache,run,ncalrpc}
    local share
    for share in public team deploy resumes private; do
        mkdir -p "$state/smbd/shares/$share"
        echo "a file" >"$state/smbd/shares/$share/readme.txt"
    done
    cat >"$state/smbd/smb.conf" <<CONF
[global]
    server role = standalone server
    netbios name = FILES1
    workgroup = FILESRV
    interfaces = 127.0.0.2/8
    bind interfaces only = yes
    smb ports = 445
    disable netbios = yes
    map to guest = bad user
    passdb backend = tdbsam:$state/smbd/private/passdb.tdb
    private dir = $state/smbd/private
    lock directory = $state/smbd/lock
    state directory = $state/smbd/state
    cache directory = $state/smbd/cache
    pid directory = $state/smbd/run
    ncalrpc dir = $state/smbd/ncalrpc
    log file = $state/smbd/log.smbd
    log level = 1
    load printers = no
    printcap name = /dev/null
    disable spoolss = yes
[Public]
    path = $state/smbd/shares/public
    guest ok = yes
[Team Data]
    path = $state/smbd/shares/team
    guest ok = yes
[Deploy\$]
    path = $state/smbd/shares/deploy
    guest ok = yes
[Résumés]
    path = $state/smbd/shares/resumes
    guest ok = yes
[Private]
    path = $state/smbd/shares/private
    guest ok = no
    valid users = root
CONF
    printf '%s\n%s\n' "$password" "$password" |
        smbpasswd -c "$state/smbd/smb.conf" -s -a root >"$state/smbpasswd.log" 2>&1 ||
        die "smbpasswd failed; see $state/smbpasswd.log"
    printf '%s' "$password" >"$state/password"
    chmod 600 "$state/password"
    {
        cat "$2/hosts" 2>/dev/null || true
        printf '127.0.0.2 files1.example.com files1\n'
        printf '127.0.0.3 silent1.example.com silent1\n'
        printf '127.0.0.4 refused.example.com refused\n'
    } >"$state/hosts"
}

start() {
    local dcstate=$1 state=$2 holder i
    holder=$(holder_of "$dcstate")
    stop "$state"
    configure "$state" "$dcstate"
    in_namespace "$holder" ip addr add 127.0.0.2/8 dev lo 2>/dev/null || true
    setsid nsenter --net=/proc/"$holder"/ns/net -- \
        smbd --foreground --no-process-group -s "$state/smbd/smb.conf" \
        >"$state/smbd.out" 2>&1 </dev/null &
    echo $! >"$state/pid"
    setsid nsenter --net=/proc/"$holder"/ns/net -- \
        /usr/bin/python3 "$here/silent_server.py" 445 127.0.0.3 >"$state/silent.out" 2>&1 </dev/null &
    echo $! >"$state/silent.pid"
    for i in $(seq 1 100); do
        kill -0 "$(cat "$state/pid")" 2>/dev/null ||
            die "smbd ended at start; see $state/smbd.out and $state/smbd/log.smbd"
        if in_namespace "$holder" bash -c 'exec 3<>/dev/tcp/127.0.0.2/445' 2>/dev/null &&
            grep -q listening "$state/silent.out"; then
            return 0
        fi
        sleep 0.1
    done
    stop "$state"
    die "smbd did not listen within 10 s; see $state/smbd.out"
}

[ $# -eq 3 ] || die "usage: smbd.sh start|stop DCSTATE STATE"
command=$1
dcstate=$(cd "$2" && pwd)
state=$(mkdir -p "$3" && cd "$3" && pwd)
case "$command" in
start) start "$dcstate" "$state" ;;
stop) stop "$state" ;;
*) die "unknown command $command" ;;
esac
