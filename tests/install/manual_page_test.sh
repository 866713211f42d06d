#!/usr/bin/env bash
# The manual page as installed (compressed) against the program it documents: it renders without
# a warning from groff or man, its version is the program's, every option that --help lists has
# an entry under OPTIONS, and every KESTRUNE_ variable the sources read has one under ENVIRONMENT.
# Usage: manual_page_test.sh KESTRUNE_CLI MANUAL_PAGE_GZ SOURCE_DIR
set -euo pipefail
cli=$1 page=$2 source=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

gzip -dc "$page" >"$scratch/kestrune.1"
groff -ww -z -man "$scratch/kestrune.1" 2>"$scratch/groff" || fail "groff ended with $?"
[ ! -s "$scratch/groff" ] || fail "groff warns: $(cat "$scratch/groff")"
LC_ALL=C.UTF-8 MANWIDTH=100 MAN_DISABLE_SECCOMP=1 man --warnings -l "$page" 2>"$scratch/man" |
    col -b >"$scratch/page.txt"
[ ! -s "$scratch/man" ] || fail "man warns: $(cat "$scratch/man")"
grep -q '^NAME$' "$scratch/page.txt" || fail "man -l rendered no NAME section"

# The section of the rendered page that begins with the heading $1 and ends before the next.
section() { awk -v h="$1" '/^[A-Z]/ { on = ($0 == h) } on' "$scratch/page.txt"; }

version=$("$cli" --version)
grep -qF "Kestrune ${version#kestrune }" "$scratch/page.txt" ||
    fail "the page is not of version ${version#kestrune }: $(tail -n 1 "$scratch/page.txt")"

"$cli" --help >"$scratch/help"
mapfile -t options < <(grep -oE -- '--[a-z][a-z-]*' "$scratch/help" | sort -u)
[ ${#options[@]} -ge 5 ] || fail "--help lists only ${#options[@]} options"
section OPTIONS >"$scratch/options"
for option in "${options[@]}"; do
    grep -qE -- "^ {7}$option( |$)" "$scratch/options" || fail "no entry for $option under OPTIONS"
done

mapfile -t variables < <(grep -rhoE '"KESTRUNE_[A-Z0-9_]+"' "$source/src" | tr -d '"' | sort -u)
[ ${#variables[@]} -ge 1 ] || fail "no KESTRUNE_ variable found in $source/src"
section ENVIRONMENT >"$scratch/environment"
for variable in "${variables[@]}"; do
    grep -qE "^ {7}$variable$" "$scratch/environment" || fail "no entry for $variable under ENVIRONMENT"
done

[ "$failures" = 0 ] || exit 1
echo "manual page: ${#options[@]} options and ${#variables[@]} variables documented, no warnings"
