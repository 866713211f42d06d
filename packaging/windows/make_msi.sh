#!/usr/bin/env bash
# Makes the Windows installer (kestrune.wxs) from a folder that holds what it installs: the two
# programs, README.txt, LICENSE.txt, CHANGELOG.txt and kestrune-backup-task.xml. One version
# built from the same files gives the same bytes: the product and package codes come from the
# version, and the package's times are SOURCE_DATE_EPOCH's (wixl takes the clock's otherwise).
#
#   make_msi.sh STAGE VERSION OUT.msi
set -euo pipefail
stage=$1 version=$2 out=$(realpath -m "$3")
wxs=$(realpath "$(dirname "$0")/kestrune.wxs")
epoch=${SOURCE_DATE_EPOCH:-0}
# The upgrade code in kestrune.wxs is the namespace of the version's own codes.
code() { python3 -c 'import sys, uuid; print(str(uuid.uuid5(uuid.UUID("1c9b9ef8-5b6e-4e81-84e8-c60610a3e676"), sys.argv[1])).upper())' "$1"; }
product=$(code "product $version") package=$(code "package $version")
at=$(date -u -d "@$epoch" '+%Y-%m-%d %H:%M:%S')
export TZ=UTC
(cd "$stage" && faketime -f "$at" wixl -a x64 -D Version="$version" -D ProductCode="$product" \
    -o "$out" "$wxs")
# wixl gives each package a random code (the summary's revision number): set the version's.
faketime -f "$at" msibuild "$out" -s "Kestrune: DFS namespace backup and restore" Kestrune "x64;1033" \
    "{$package}"
