#!/usr/bin/env bash
# Puts what a Windows package holds into one folder: the two programs, README, license and
# changelog as Windows text (CR LF), and the Task Scheduler task in the UTF-16 that schtasks
# reads.
#
#   stage.sh SOURCE_TREE PROGRAM_FOLDER STAGE
set -euo pipefail
tree=$1 programs=$2 stage=$3
mkdir -p "$stage"
crlf() { sed 's/\r$//; s/$/\r/' "$1"; }
cp "$programs/kestrune.exe" "$programs/kestrune-cli.exe" "$stage/"
crlf "$tree/README.md" >"$stage/README.txt"
crlf "$tree/LICENSE" >"$stage/LICENSE.txt"
crlf "$tree/CHANGELOG.md" >"$stage/CHANGELOG.txt"
{ printf '\xff\xfe'; crlf "$tree/packaging/windows/kestrune-backup-task.xml" |
    sed '1s/encoding="UTF-8"/encoding="UTF-16"/' | iconv -f UTF-8 -t UTF-16LE; } \
    >"$stage/kestrune-backup-task.xml"
xmllint --noout "$stage/kestrune-backup-task.xml"
