#!/usr/bin/env bash
# The unattended backup of a large generated domain as a whole process, side by side with
# `sort -f` of the backup's own lines: CPU time and peak memory. The unattended backup is
# kestrune-cli's (the systemd unit and the Task Scheduler example run it); kestrune, which also
# loads the window libraries, is shown beside it. Goals: at most 5 times the CPU of sort -f, a
# peak of at most twice the domain file's size. The exit status says whether both goals were
# met. Then the backup run in-process, alternately without and with the properties files:
# these may add at most 20% CPU.
#   bench/backup_speed.sh [BUILD-DIR] [LINKS]     (build, 50000 by default)
set -euo pipefail
build=$(realpath "${1:-build}")
links=${2:-50000}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

"$build/bench/write_namespace_ldif" "$scratch/domain.ldif" "$links"
bytes=$(stat -c %s "$scratch/domain.ldif")
lines=$(wc -l < "$scratch/domain.ldif")

# Each the best of three runs: on a shared machine one run's CPU time varies by a tenth.
best() { sort -n -k1,1 | head -1; }
backup() {
    for _ in 1 2 3; do
        rm -rf "$scratch/out"
        env -u DISPLAY -u WAYLAND_DISPLAY KESTRUNE_PLATFORM="sim:$scratch/domain.ldif" \
            "$build/bench/process_cost" "$build/$1" "" "$scratch/out" 2>/dev/null
    done | best
}
read -r window_cpu window_kb < <(backup kestrune)
read -r run_cpu run_kb < <(backup kestrune-cli)
test -s "$scratch/out/Big.txt"
read -r sort_cpu sort_kb < <(for _ in 1 2 3; do
    "$build/bench/process_cost" sort -f "$scratch/out/Big.txt"
done | best)

awk -v bytes="$bytes" -v lines="$lines" -v links="$links" -v sc="$sort_cpu" -v sk="$sort_kb" \
    -v rc="$run_cpu" -v rk="$run_kb" -v wc="$window_cpu" -v wk="$window_kb" \
    -v backup="$(wc -l < "$scratch/out/Big.txt")" 'BEGIN {
    mb = bytes / 1048576
    printf "domain: %d links, %.1f MB, %d lines; backup: %d lines\n", links, mb, lines, backup
    printf "%-22s %8s %10s\n", "", "CPU s", "peak MB"
    printf "%-22s %8.2f %10.1f\n", "sort -f of the backup", sc, sk / 1024
    printf "%-22s %8.2f %10.1f\n", "kestrune-cli backup", rc, rk / 1024
    printf "%-22s %8.2f %10.1f\n", "kestrune backup", wc, wk / 1024
    cpu = rc / (sc > 0 ? sc : 0.001); peak = rk * 1024 / bytes
    printf "kestrune-cli: CPU %.1f x sort -f (goal <= 5); peak %.2f x the domain file (goal <= 2)\n", cpu, peak
    printf "kestrune: CPU %.1f x sort -f; peak %.2f x the domain file\n", wc / (sc > 0 ? sc : 0.001), wk * 1024 / bytes
    exit (cpu <= 5 && peak <= 2) ? 0 : 1
}' || goals=1
"$build/bench/backup_properties_bench" "$scratch/domain.ldif" "$scratch/props" || goals=1
exit "${goals:-0}"
