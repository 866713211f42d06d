# Sourced by the scripts that show Wine's windows: a display of their own (Xvfb) with a window
# manager, as every desktop has (without one, Wine's X11 driver waits two seconds for each window
# it hides or destroys to be let go), and a Wine server that belongs to it. The caller keeps
# the process ids in its array pids and kills them when it ends.
start_wine_display() {
    local n
    for n in $(seq 90 140); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
    done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    pids+=($!)
    export DISPLAY=":$n"
    for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    openbox >/dev/null 2>&1 &
    pids+=($!)
    sleep 0.5
    # Wine's desktop process belongs to the display it first started on: a server left running
    # by programs started without a display would never show a window here.
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
}
