#!/usr/bin/env bash
# The Windows program's windows under Wine, driven as a person drives them: keys and mouse
# through xdotool on the real windows of an Xvfb display that this script starts and stops.
#   windows_gui_test.sh LINUX_CLI WINDOWS_PROGRAM SAMPLE.ldif [SCREENSHOT_FOLDER]
# Backups made in the window are compared byte for byte with the Linux program's. Wine's
# prefix comes from WINEPREFIX (scripts/test-windows keeps one warm).
set -euo pipefail
linux=$(realpath "$1") program=$(realpath "$2") sample=$(realpath "$3")
# The controls' tests, built beside the program.
controls_tests=$(dirname "$program")/tests/gui/win32/kestrune_win32_gui_tests.exe
shots=${4:-}
scratch=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$scratch"
}
trap cleanup EXIT

fail() {
    echo "FAILED: $*" >&2
    [ -n "$shots" ] && import -window root "$shots/failure.png" 2>/dev/null || true
    exit 1
}

# A display of our own, with a window manager for real frames, and a Wine server of our own,
# stopped again at the end.
# shellcheck source=wine_display.sh
. "$(dirname "$0")/wine_display.sh"
start_wine_display
trap 'wineserver -k 2>/dev/null || true; cleanup' EXIT

# wait_for TITLE: the id of the visible window with that title, once there is one.
wait_for() {
    local id
    for _ in $(seq 200); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -1 || true)
        [ -n "$id" ] && { echo "$id"; return; }
        sleep 0.1
    done
    fail "no window \"$1\""
}
wait_gone() {
    for _ in $(seq 200); do
        xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    fail "window \"$1\" still there"
}
# origin WINDOW: X and Y of the window's client area on the screen (xwininfo's; xdotool's
# geometry counts the window manager's frame twice).
origin() {
    X=$(xwininfo -id "$1" | awk '/Absolute upper-left X/ {print $NF}')
    Y=$(xwininfo -id "$1" | awk '/Absolute upper-left Y/ {print $NF}')
}
# click WINDOW X Y: a left click at the point of the window's client area (96 DPI pixels).
click() {
    origin "$1"
    xdotool mousemove $((X + $2)) $((Y + $3)) click 1
}
wait_file() {
    for _ in $(seq 600); do
        [ -f "$1" ] && grep -q "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    fail "$1 never held \"$2\""
}
shot() {
    [ -n "$shots" ] && import -window "$1" "$shots/$2.png"
    return 0
}
windows_path() { echo "Z:${1//\//\\}"; }

# start NAME ARGUMENTS...: the program on its own copy of the domain (start_domain, else the
# sample), from a folder of its own (its settings file lands there).
start() {
    local name=$1
    shift
    mkdir -p "$scratch/$name"
    cp "${start_domain:-$sample}" "$scratch/$name/domain.ldif"
    cp "$program" "$scratch/$name/kestrune.exe"
    KESTRUNE_PLATFORM="sim:$scratch/$name/domain.ldif" KESTRUNE_CODEPAGE=65001 \
        wine "$scratch/$name/kestrune.exe" "$@" >"$scratch/$name/stderr" 2>&1 &
    program_pid=$!
}
# start_window NAME: start NAME and wait for its main window. Now and then Wine loses a program
# at its start (it ends at once, having printed nothing): that one is started once more, and
# the run says so.
start_window() {
    start "$1"
    for _ in $(seq 100); do
        xdotool search --onlyvisible --name '^Kestrune$' >/dev/null 2>&1 && return 0
        kill -0 "$program_pid" 2>/dev/null || break
        sleep 0.1
    done
    if ! kill -0 "$program_pid" 2>/dev/null && [ ! -s "$scratch/$1/stderr" ]; then
        echo "windows_gui_test: Wine lost the program at its start; starting it once more" >&2
        start "$1"
    fi
}
linux_backup() { # linux_backup FOLDER PREFIX: the Linux program's backup of its own copy
    mkdir -p "$scratch/linux-$1"
    cp "$sample" "$scratch/linux-$1/domain.ldif"
    KESTRUNE_PLATFORM="sim:$scratch/linux-$1/domain.ldif" KESTRUNE_CODEPAGE=65001 \
        "$linux" "$2" "$scratch/linux-$1/out" 2>/dev/null
}
ended_with() {
    local status=0
    wait "$program_pid" || status=$?
    [ "$status" = "$1" ] || fail "the program ended with $status, not $1"
}

# 0. The views' own controls, real ones, tested on this display (Wine has none without it).
wine "$controls_tests" >"$scratch/controls_tests.out" 2>&1 ||
    fail "the controls' tests: $(cat "$scratch/controls_tests.out")"
grep '^clearing' "$scratch/controls_tests.out" || true
echo "ok: the controls' tests ($(grep -c '^\[       OK' "$scratch/controls_tests.out") passed)"

# 1. A backup from the main window, by Tab order; closing the window ends the program and
#    stores the output folder.
start_window tab
main=$(wait_for Kestrune)
sleep 1 # the start-up timer, then the namespaces
xdotool windowactivate --sync "$main"
xdotool key Tab shift+End Tab
xdotool type "gui-"
xdotool key Tab End shift+Home
xdotool type "$(windows_path "$scratch/tab/out")"
xdotool key Tab space
wait_file "$scratch/tab/out/gui-Users.txt" dfscmd
shot "$main" main-window
linux_backup tab gui-
diff -r "$scratch/linux-tab/out" "$scratch/tab/out" || fail "the window's backup differs from Linux"
xdotool key alt+F4
ended_with 0
grep -qF "Outputpath=$(windows_path "$scratch/tab/out")\\" "$scratch/tab/kestrune.ini" ||
    fail "settings: $(cat "$scratch/tab/kestrune.ini" 2>/dev/null)"
echo "ok: backup by Tab order, files as on Linux, close ends the program and stores the folder"

# 2. A restore of chosen lines: the second of three unchecked by keyboard.
for i in 1 2 3; do
    printf 'dfscmd /map "\\\\example.com\\Public\\Gui%s" "\\\\FS1\\Gui%s" "chosen %s"\r\n' "$i" "$i" "$i"
done >"$scratch/three.txt"
start_window chosen
main=$(wait_for Kestrune)
sleep 1
click "$main" 381 164 # Restore
dialog=$(wait_for Restore)
shot "$dialog" open-dialog
xdotool type "$(windows_path "$scratch/three.txt")"
xdotool key Return
sleep 1.5
restore=$(wait_for Restore)
xdotool windowactivate --sync "$restore"
xdotool key Tab Tab Tab Tab Tab Home Down space # the list (after the box), its second line
shot "$restore" restore-window
click "$restore" 99 308 # Restore
wait_file "$scratch/three.txt_restore.txt" "Complete"
status=$(wait_for Status)
shot "$status" status-window
KESTRUNE_PLATFORM="sim:$scratch/chosen/domain.ldif" "$linux" --verify "$scratch/three.txt" \
    >"$scratch/verify.txt" 2>/dev/null || true
grep -q 'missing: .*Gui2' "$scratch/verify.txt" || fail "line 2 was restored: $(cat "$scratch/verify.txt")"
[ "$(grep -c '^missing' "$scratch/verify.txt")" = 1 ] || fail "$(cat "$scratch/verify.txt")"
click "$restore" 195 308 # Close
wait_gone Restore
xdotool windowactivate --sync "$main"
xdotool key alt+F4
ended_with 0
echo "ok: restore of the checked lines only"

# 3. During a long restore the Status window scrolls, selects and copies; Cancel stops the run
#    at the next line and the log is still written.
# Enough lines that the run outlasts what is done during it.
bulk=60000
for i in $(seq 1 $bulk); do
    printf 'dfscmd /map "\\\\example.com\\Public\\Bulk%s" "\\\\FS1\\Bulk%s" ""\r\n' "$i" "$i"
done >"$scratch/long.txt"
start_window cancel
main=$(wait_for Kestrune)
sleep 1
click "$main" 381 164
wait_for Restore >/dev/null
xdotool type "$(windows_path "$scratch/long.txt")"
xdotool key Return
sleep 2
restore=$(wait_for Restore)
click "$restore" 99 308 # Restore
status=$(wait_for Status)
sleep 0.5
printf '' | xclip -selection clipboard
xdotool windowactivate --sync "$status"
# Back to the top, the first lines selected by a drag (a line is 13 pixels) and copied.
xdotool key ctrl+Home
origin "$status"
xdotool mousemove $((X + 5)) $((Y + 3)) mousedown 1
xdotool mousemove $((X + 150)) $((Y + 20)) sleep 0.1 mousemove $((X + 200)) $((Y + 30)) mouseup 1
sleep 0.3
shot "$status" status-window-selection
xdotool key ctrl+c
sleep 0.5
copied=$(xclip -o -selection clipboard 2>/dev/null || true)
[[ "$copied" == *"Starting restore"* ]] || fail "nothing copied from the Status window during the run: '$copied'"
# Select All from the context menu, copied while the run goes on.
xdotool click 3
sleep 0.5
xdotool key a
xdotool key ctrl+c
sleep 0.5
copied=$(xclip -o -selection clipboard 2>/dev/null || true)
[ "$(printf '%s\n' "$copied" | wc -l)" -gt 3 ] || fail "Select All copied '$copied'"
click "$restore" 195 308 # Cancel
wait_file "$scratch/long.txt_restore.txt" "Complete"
restored=$(grep -c $'\tRestored' "$scratch/long.txt_restore.txt" || true)
[ "$restored" -gt 0 ] && [ "$restored" -lt $bulk ] || fail "$restored of $bulk lines restored"
click "$restore" 195 308 # Close
wait_gone Restore
xdotool windowactivate --sync "$main"
xdotool key alt+F4
ended_with 0
echo "ok: the Status window copies during a run; Cancel stopped it after $restored of $bulk lines"

# 4. A namespace that is gone, brought back by keyboard alone through the Restore window's
#    fields of another place, onto a renamed file server; the Linux program backs up the result.
linux_backup gone ""
mkdir -p "$scratch/gone-backup"
cp "$scratch/linux-gone/out/Public.txt" "$scratch/linux-gone/out/Public.properties.xml" \
    "$scratch/gone-backup/"
cp "$sample" "$scratch/gone.ldif"
# The Public namespace's objects, deepest first, deleted by change records (LDIF folds long
# lines: a line that begins with a blank continues the one before).
awk '/^ / { line = line substr($0, 2); next } { print line; line = $0 } END { print line }' \
    "$sample" | sed -n 's/^dn: \(.*CN=Public,CN=Dfs-Configuration,.*\)$/\1/p' |
    awk '{ print length($0) "\t" $0 }' | sort -rn | cut -f2- |
    while IFS= read -r dn; do printf '\ndn: %s\nchangetype: delete\n\n' "$dn"; done \
        >>"$scratch/gone.ldif"
KESTRUNE_PLATFORM="sim:$scratch/gone.ldif" "$linux" "" "$scratch/gone-before" 2>/dev/null || true
[ ! -e "$scratch/gone-before/Public.txt" ] || fail "the Public namespace was not deleted"
start_domain="$scratch/gone.ldif" start_window gone
main=$(wait_for Kestrune)
sleep 1
xdotool windowactivate --sync "$main"
xdotool key Tab Tab Tab Tab Tab space # the domains, the list, prefix, path, Backup: Restore
wait_for Restore >/dev/null
xdotool type "$(windows_path "$scratch/gone-backup/Public.txt")"
xdotool key Return
sleep 1.5
restore=$(wait_for Restore)
xdotool windowactivate --sync "$restore"
# Tab order: Restore, Close, Select all, De-select all, the box, then the fields it shows.
xdotool key Tab Tab Tab Tab space Tab
xdotool type '\\example.com\Public'
xdotool key Tab
xdotool type 'FS1=FS9'
shot "$restore" restore-window-another-place
xdotool key Tab Tab space # the list, then round to Restore
wait_file "$scratch/gone-backup/Public.txt_restore.txt" "Complete"
grep -qF $'\tCreated the namespace \\\\example.com\\Public' "$scratch/gone-backup/Public.txt_restore.txt" ||
    fail "no namespace created: $(cat "$scratch/gone-backup/Public.txt_restore.txt")"
xdotool windowactivate --sync "$restore"
xdotool key Escape
wait_gone Restore
xdotool windowactivate --sync "$main"
xdotool key alt+F4
ended_with 0
KESTRUNE_PLATFORM="sim:$scratch/gone/domain.ldif" KESTRUNE_CODEPAGE=65001 \
    "$linux" "" "$scratch/gone-after" 2>/dev/null || true
sed 's/"\\\\FS1\\/"\\\\FS9\\/' "$scratch/gone-backup/Public.txt" >"$scratch/gone-expected.txt"
cmp "$scratch/gone-expected.txt" "$scratch/gone-after/Public.txt" ||
    fail "the namespace came back otherwise: $(diff "$scratch/gone-expected.txt" "$scratch/gone-after/Public.txt")"
echo "ok: a deleted namespace restored by keyboard through the fields of another place"

# 5. With arguments the window backs up unattended, then ends with the status.
start unattended "" "$(windows_path "$scratch/unattended/out")"
ended_with 0
linux_backup unattended ""
diff -r "$scratch/linux-unattended/out" "$scratch/unattended/out" || fail "unattended backup differs"
echo "ok: unattended backup with the window, files as on Linux"
