#!/usr/bin/env bash
# A restore of LINES lines (10,000) under Wine, in one run of three rounds: the console
# program's --restore against the same restore through kestrune.exe's Win32 restore and Status
# windows, each on its own copy of an empty namespace, on an Xvfb display of its own.
#   bench/windows_restore_bench.sh [LINES]    (after scripts/test-windows has built everything)
set -euo pipefail
cd "$(dirname "$0")/.."
lines=${1:-10000}
out=$PWD/build-windows
export WINEPREFIX=$out/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=C.UTF-8
scratch=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$scratch"' EXIT
# shellcheck source=../tests/windows/wine_display.sh
. tests/windows/wine_display.sh
start_wine_display

build/bench/write_namespace_ldif "$scratch/empty.ldif" 0
for i in $(seq 0 $((lines - 1))); do
    link=$((i / 2))
    verb=$([ $((i % 2)) = 1 ] && echo add || echo map)
    printf 'dfscmd /%s "\\\\bench.test\\Big\\Dept%s\\Share%s" "\\\\FS%s\\Share%s" "Link %s"\r\n' \
        "$verb" $((link % 100)) "$link" $((i % 2)) "$link" "$link"
done >"$scratch/backup.txt"
wine cmd /c exit >/dev/null 2>&1 # Wine's services up before anything is timed

elapsed_since() { awk -v s="$1" -v e="$(date +%s.%N)" 'BEGIN {print e - s}'; }

# One round: the console program on the whole file and on its first line alone, then the
# windows, each on a fresh copy of the empty namespace; sets console, besides, window and click
# (seconds).
round() {
    cp "$scratch/empty.ldif" "$scratch/console.ldif"
    cp "$scratch/empty.ldif" "$scratch/window.ldif"
    cp "$scratch/empty.ldif" "$scratch/one.ldif"
    local start
    start=$(date +%s.%N)
    KESTRUNE_PLATFORM="sim:$scratch/console.ldif" wine "$out/build/kestrune-cli.exe" --quiet \
        --restore "$scratch/backup.txt" >"$scratch/console.out"
    console=$(elapsed_since "$start")
    # What the console run costs besides the restore: Wine starting the program, the domain
    # read, the log written.
    start=$(date +%s.%N)
    KESTRUNE_PLATFORM="sim:$scratch/one.ldif" wine "$out/build/kestrune-cli.exe" --quiet \
        --restore "$scratch/one.txt" >/dev/null
    besides=$(elapsed_since "$start")
    start=$(date +%s.%N)
    wine "$out/build/bench/win32_restore_bench.exe" "$scratch/window.ldif" "$scratch/backup.txt" \
        >"$scratch/window.out"
    window=$(elapsed_since "$start")
    click=$(awk '/^RestoreButtonClick/ {print $2}' "$scratch/window.out")
}

head -n 1 "$scratch/backup.txt" >"$scratch/one.txt"
# Three rounds: one run of each side moves by a third between runs on a busy machine, and the
# middle round's ratio says more than any one.
: >"$scratch/rounds"
for r in 1 2 3; do
    round
    echo "round $r (whole processes: start, domain, restore, log)"
    printf '  kestrune-cli.exe --restore   %6.2f s (%s lines restored)\n' "$console" \
        "$(grep -c '^restored:' "$scratch/console.out")"
    printf '  Win32 restore window         %6.2f s\n' "$window"
    sed 's/^/    /' "$scratch/window.out"
    whole=$(awk -v w="$window" -v c="$console" 'BEGIN {print w / c}')
    # The restore alone on both sides, as run_bench compares them on Linux: the window's
    # start-up (its main window waits for a start-up timer) and check list are not the restore.
    alone=$(awk -v w="$click" -v c="$console" -v b="$besides" 'BEGIN {print w / (c - b)}')
    printf '  ratio %.2f x; the restore alone (the console run less its run of one line, %.2f s:\n' \
        "$whole" "$besides"
    printf '    %.2f s, against RestoreButtonClick %.2f s) %.2f x\n' \
        "$(awk -v c="$console" -v b="$besides" 'BEGIN {print c - b}')" "$click" "$alone"
    echo "$whole $alone" >>"$scratch/rounds"
done
middle() { sort -n | sed -n 2p; }
echo "restore of $lines lines under Wine, the middle of three rounds:"
printf '  whole processes  %.2f x\n' "$(cut -d' ' -f1 "$scratch/rounds" | middle)"
printf '  the restore alone  %.2f x (goal: at most 1.5)\n' "$(cut -d' ' -f2 "$scratch/rounds" | middle)"
