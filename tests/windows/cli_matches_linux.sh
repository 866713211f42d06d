#!/usr/bin/env bash
# The console program under Wine and the Linux program back up the sample domain alike: the
# same files byte for byte, the same exit status, the same messages on standard error (times
# aside). Each works on its own copy of the domain.
#   cli_matches_linux.sh LINUX_PROGRAM WINDOWS_PROGRAM SAMPLE.ldif [EMULATOR]
set -euo pipefail
linux=$1 windows=$2 sample=$3 emulator=${4:-wine}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# run NAME PROGRAM ARGUMENTS...: an argument OUT stands for the output folder.
run() {
    local name=$1 program=$2 status=0
    shift 2
    rm -rf "${scratch:?}/$name"
    mkdir -p "$scratch/$name"
    cp "$sample" "$scratch/$name/domain.ldif"
    local arguments=("${@/#OUT/$scratch/$name/out}")
    # shellcheck disable=SC2086 # the program may be an emulator and a program
    KESTRUNE_PLATFORM="sim:$scratch/$name/domain.ldif" $program "${arguments[@]}" \
        2>"$scratch/$name/stderr" >/dev/null || status=$?
    echo "$status" >"$scratch/$name/status"
    # Times vary, and Windows ends its lines with CR LF.
    tr -d '\r' <"$scratch/$name/stderr" | sed -E 's/[0-9]+\.[0-9]+ s( |$)/T s\1/' \
        | sed "s|$scratch/$name/|SCRATCH/|g" >"$scratch/$name/messages"
    mkdir -p "$scratch/$name/out"
}

failed=0
compare() {
    local what=$1
    shift
    run linux "$linux" "$@"
    run windows "$emulator $windows" "$@"
    if diff -r "$scratch/linux/out" "$scratch/windows/out" &&
       diff "$scratch/linux/status" "$scratch/windows/status" &&
       diff "$scratch/linux/messages" "$scratch/windows/messages"; then
        echo "same: $what ($(ls "$scratch/linux/out" | wc -l) files, status $(cat "$scratch/linux/status"))"
    else
        echo "DIFFERENT: $what" >&2
        failed=1
    fi
}

compare "the computer's domain" "" OUT
compare "sales.example.com by its dotted name, with a prefix" "nightly-" OUT sales.example.com
compare "a domain by its distinguished name" "" OUT "DC=example,DC=com"
KESTRUNE_CODEPAGE=65001 compare "the computer's domain in UTF-8" "" OUT
compare "too few arguments" ""
exit $failed
