#!/usr/bin/env bash
# The Windows installer under Wine: made twice from the same files it is the same bytes;
# msiexec installs it quietly into Program Files\Kestrune with a Start menu entry; the
# installed console program backs up the sample domain as the Linux program does; msiexec
# removes it all again. Run with the Wine prefix of scripts/test-windows.
#
#   msi_test.sh LINUX_PROGRAM WINDOWS_BUILD SAMPLE.ldif
set -euo pipefail
linux=$1 build=$2 sample=$3
here=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0
fail() {
    echo "FAILED: $*" >&2
    failed=1
}

"$here/packaging/windows/stage.sh" "$here" "$build" "$scratch/stage"
export SOURCE_DATE_EPOCH=1765000000
"$here/packaging/windows/make_msi.sh" "$scratch/stage" 0.1.0 "$scratch/kestrune.msi"
"$here/packaging/windows/make_msi.sh" "$scratch/stage" 0.1.0 "$scratch/again.msi"
cmp -s "$scratch/kestrune.msi" "$scratch/again.msi" || fail "two packages of the same files differ"
msiinfo suminfo "$scratch/kestrune.msi" | grep -qx 'Template: x64;1033' || fail "not a 64-bit package"

installed="$WINEPREFIX/drive_c/Program Files/Kestrune"
menu=$(find "$WINEPREFIX/drive_c" -path '*Start Menu/Programs/Kestrune.lnk' 2>/dev/null || true)
[ ! -e "$installed" ] && [ -z "$menu" ] || fail "Kestrune is installed before the test"
msi=$(winepath -w "$scratch/kestrune.msi")
wine msiexec /i "$msi" /qn || fail "msiexec /i: status $?"
for f in kestrune.exe kestrune-cli.exe README.txt LICENSE.txt CHANGELOG.txt kestrune-backup-task.xml; do
    cmp -s "$scratch/stage/$f" "$installed/$f" || fail "$f is not installed as packaged"
done
find "$WINEPREFIX/drive_c" -path '*Start Menu/Programs/Kestrune.lnk' | grep -q . ||
    fail "no Start menu entry"
# The comparison takes a program path without blanks.
ln -s "$installed" "$scratch/installed"
"$here/tests/windows/cli_matches_linux.sh" "$linux" "$scratch/installed/kestrune-cli.exe" "$sample" ||
    fail "the installed program does not back up as the Linux one"

wine msiexec /x "$msi" /qn || fail "msiexec /x: status $?"
[ ! -e "$installed" ] || fail "left behind: $(find "$installed")"
left=$(find "$WINEPREFIX/drive_c" -path '*Start Menu/Programs/Kestrune.lnk')
[ -z "$left" ] || fail "the Start menu entry is left: $left"

[ "$failed" = 0 ] && echo "the installer installs, works and leaves nothing behind"
exit $failed
