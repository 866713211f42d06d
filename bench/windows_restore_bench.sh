#!/usr/bin/env bash
# A restore of LINES lines (10,000) under Wine, in one run: the console program's --restore
# against the same restore through kestrune.exe's Win32 restore and Status windows, each on
# its own copy of an empty namespace, on an Xvfb display of its own.
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
cp "$scratch/empty.ldif" "$scratch/console.ldif"
cp "$scratch/empty.ldif" "$scratch/window.ldif"
wine cmd /c exit >/dev/null 2>&1 # Wine's services up before anything is timed

start=$(date +%s.%N)
KESTRUNE_PLATFORM="sim:$scratch/console.ldif" wine "$out/build/kestrune-cli.exe" --quiet \
    --restore "$scratch/backup.txt" >"$scratch/console.out"
console=$(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN {print e - s}')
# The same program on the file's first line alone: what the console run costs besides the
# restore (Wine starting the program, the domain read, the log written).
head -n 1 "$scratch/backup.txt" >"$scratch/one.txt"
cp "$scratch/empty.ldif" "$scratch/one.ldif"
start=$(date +%s.%N)
KESTRUNE_PLATFORM="sim:$scratch/one.ldif" wine "$out/build/kestrune-cli.exe" --quiet \
    --restore "$scratch/one.txt" >/dev/null
besides=$(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN {print e - s}')
start=$(date +%s.%N)
wine "$out/build/bench/win32_restore_bench.exe" "$scratch/window.ldif" "$scratch/backup.txt" \
    >"$scratch/window.out"
window=$(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN {print e - s}')

echo "restore of $lines lines under Wine (whole processes: start, domain, restore, log)"
printf '  kestrune-cli.exe --restore   %6.2f s (%s lines restored)\n' "$console" \
    "$(grep -c '^restored:' "$scratch/console.out")"
printf '  Win32 restore window         %6.2f s\n' "$window"
sed 's/^/    /' "$scratch/window.out"
printf '  ratio                        %6.2f x (goal: at most 1.5)\n' \
    "$(awk -v w="$window" -v c="$console" 'BEGIN {print w / c}')"
# The restore alone on both sides, as run_bench compares them on Linux: the window's start-up
# (its main window waits for a start-up timer) and check list are not the restore.
click=$(awk '/^RestoreButtonClick/ {print $2}' "$scratch/window.out")
printf '  the restore alone: the console run less its run of one line (%.2f s), %.2f s;\n' \
    "$besides" "$(awk -v c="$console" -v b="$besides" 'BEGIN {print c - b}')"
printf '    RestoreButtonClick %.2f s; ratio %.2f x\n' "$click" \
    "$(awk -v w="$click" -v c="$console" -v b="$besides" 'BEGIN {print w / (c - b)}')"
