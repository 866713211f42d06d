# Sourced by dc.sh and smbd.sh: stopping a server the test started, by its process id.

# TERM, up to 5 s to end, then KILL; a process already gone is no error.
kill_pid() {
    local pid=$1 i
    kill -0 "$pid" 2>/dev/null || return 0
    kill -TERM "$pid" 2>/dev/null || true
    for i in $(seq 1 50); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
}
