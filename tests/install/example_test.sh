#!/usr/bin/env bash
# Installs the core into a scratch prefix, builds the example program against the installed
# package and runs it on the sample domain. With a toolchain file (and the emulator that runs
# its programs) the example is cross-built the same way as the core.
set -euo pipefail
build=$1 source=$2 toolchain=${3:-} emulator=${4:-}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
cross=()
[ -n "$toolchain" ] && cross=(-DCMAKE_TOOLCHAIN_FILE="$toolchain" -DKestrune_DIR="$(echo "$scratch"/prefix/lib*/cmake/Kestrune)")
cmake -S "$source/examples/forest_report" -B "$scratch/example" -G Ninja \
      -DCMAKE_PREFIX_PATH="$scratch/prefix" "${cross[@]}" >/dev/null
cmake --build "$scratch/example" >/dev/null
cp "$source/samples/example.ldif" "$scratch/domain.ldif"
program="$scratch/example/forest_report"
[ -f "$program" ] || program+=".exe"
# Windows programs end their lines with CR LF.
out=$($emulator "$program" "$scratch/domain.ldif" "CN=Everyone,OU=Staff,DC=example,DC=com" | tr -d '\r')
echo "$out"
grep -q "^  DC=sales,DC=example,DC=com$" <<<"$out"
grep -q "^  LDAP://CN=Carol King,OU=Staff,DC=example,DC=com$" <<<"$out"
grep -q "^  Paris$" <<<"$out"
