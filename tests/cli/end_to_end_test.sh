#!/usr/bin/env bash
# The console program end to end on a copy of the sample domain, in UTF-8 so that the Greek
# and French names come back whole: back up, lose two links, verify, dry run, restore, compare,
# back up again; add a link and back up keeping history. Usage: end_to_end_test.sh KESTRUNE_CLI
# SAMPLE_LDIF [EMULATOR]
# (EMULATOR, such as wine, runs a cross-built program.)
set -euo pipefail
cli=("$1") sample=$2
[ -n "${3:-}" ] && cli=("$3" "$1")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp "$sample" "$scratch/domain.ldif"
export KESTRUNE_PLATFORM="sim:$scratch/domain.ldif" KESTRUNE_CODEPAGE=65001

# status EXPECTED COMMAND...: runs the command, output into $scratch/out and $scratch/err.
status() {
    local expected=$1 got=0
    shift
    "$@" >"$scratch/out" 2>"$scratch/err" || got=$?
    if [ "$got" != "$expected" ]; then
        echo "FAILED: $* ended with $got, not $expected"
        cat "$scratch/out" "$scratch/err"
        exit 1
    fi
}
expect() { # PATTERN FILE
    grep -qF -- "$1" "$2" || { echo "FAILED: no \"$1\" in $2:"; cat "$2"; exit 1; }
}

status 0 "${cli[@]}" "" "$scratch/first"
# One backup file and one properties file per namespace.
[ "$(ls "$scratch/first" | wc -l)" = 10 ]

# Both links of Projets deleted behind the program's back (a change record ends with a blank
# line; one without it at the end of the file counts as cut short and is left out).
for link in b1e9560e-cfd1-5cce-9067-31c04f67ff19 41c770b1-8016-565f-b4be-d588268959d0; do
    printf '\ndn: CN=%s,CN=Projets,CN=Projets,CN=Dfs-Configuration,CN=System,DC=example,DC=com\nchangetype: delete\n\n' \
        "$link" >>"$scratch/domain.ldif"
done
projets="$scratch/first/Projets.txt"

status 1 "${cli[@]}" --verify "$projets"
expect 'missing: dfscmd /map "\\example.com\Projets\Ελληνικά" "\\FS-ATHENS\Docs" "Documents Ελληνικά"' "$scratch/out"
expect '3 of 4 targets are missing' "$scratch/out"

before=$(md5sum <"$scratch/domain.ldif")
status 0 "${cli[@]}" --restore "$projets" --dry-run
expect 'would add the link: dfscmd /map "\\example.com\Projets\Résumés"' "$scratch/out"
expect 'would add a target: dfscmd /add "\\example.com\Projets\Ελληνικά" "\\FS-PARIS\Grec"' "$scratch/out"
[ "$(md5sum <"$scratch/domain.ldif")" = "$before" ] || { echo "FAILED: the dry run changed the domain"; exit 1; }
[ ! -e "$projets"_restore.txt ]

status 0 "${cli[@]}" --quiet --restore "$projets"
[ ! -s "$scratch/err" ] || { echo "FAILED: --quiet said:"; cat "$scratch/err"; exit 1; }
expect 'already there: dfscmd /map "\\example.com\Projets" "\\DC1\Projets" "Équipe de Paris"' "$scratch/out"
[ "$(grep -c '^restored: ' "$scratch/out")" = 3 ]
expect '** Complete **' "$projets"_restore.txt

status 0 "${cli[@]}" --compare "$projets"
expect 'no differences: 4 targets in the file, all live' "$scratch/out"
status 0 "${cli[@]}" "" "$scratch/second"
for file in "$scratch"/first/*.txt; do
    case $file in *_restore.txt) continue ;; esac
    cmp "$file" "$scratch/second/$(basename "$file")"
done

# The scheduled backup again: each namespace's line says what changed; with --keep the file that
# a different one replaces moves to history, where it is a backup file like any other.
status 0 "${cli[@]}" --keep 1 "" "$scratch/second"
expect 'kestrune: Projets: 4 lines, ' "$scratch/err"
expect ' s (unchanged)' "$scratch/err"
[ ! -e "$scratch/second/history" ]
printf 'dfscmd /map "\\\\example.com\\Projets\\Nouveau" "\\\\FS1\\Nouveau" "ajouté"\r\n' >"$scratch/new.txt"
status 0 "${cli[@]}" --restore "$scratch/new.txt"
status 0 "${cli[@]}" --keep 1 "" "$scratch/second"
grep -qE '^kestrune: Projets: 5 lines, [0-9.]+ s \(1 added, 0 removed, 0 changed\)' "$scratch/err" ||
    { echo "FAILED: no change summary for Projets:"; cat "$scratch/err"; exit 1; }
kept=("$scratch"/second/history/Projets.*.txt)
[ "${#kept[@]}" = 1 ] && [ "$(ls "$scratch/second/history" | wc -l)" = 2 ] # with its properties
cmp "${kept[0]}" "$scratch/first/Projets.txt"
status 1 "${cli[@]}" --diff "${kept[0]}" "$scratch/second/Projets.txt"
expect '+ dfscmd /map "\\example.com\Projets\Nouveau" "\\FS1\Nouveau" "ajouté"' "$scratch/out"
expect '1 difference: 0 only in the old file, 1 added since, 0 comments changed' "$scratch/out"
status 0 "${cli[@]}" --restore "${kept[0]}" --dry-run
expect 'already there: dfscmd /map "\\example.com\Projets\Résumés"' "$scratch/out"
status 2 "${cli[@]}" --keep 0 "" "$scratch/second"
expect '--keep needs a number of copies, 1 or more' "$scratch/err"

# Bytes that are not UTF-8 would become U+FFFD in a link's name: the line is refused instead.
printf 'dfscmd /map "\\\\example.com\\Public\\Caf\xe9" "\\\\FS1\\Cafe" ""\r\n' >"$scratch/latin1.txt"
status 1 "${cli[@]}" --restore "$scratch/latin1.txt"
expect 'failed (not a backup line (it is not text in code page 65001)): dfscmd /map' "$scratch/out"
status 1 "${cli[@]}" --restore "$scratch/latin1.txt" --dry-run
expect 'would fail (not a backup line (it is not text in code page 65001)): ' "$scratch/out"

status 2 "${cli[@]}" --bogus
expect 'unknown option --bogus' "$scratch/err"
status 2 "${cli[@]}" --restore "$scratch/missing.txt"
expect 'Cannot open file' "$scratch/err"
status 0 "${cli[@]}" --help
expect '--restore FILE [--dry-run]' "$scratch/out"
expect '--diff OLD NEW' "$scratch/out"
expect '--keep N' "$scratch/out"
echo "end to end: passed"
