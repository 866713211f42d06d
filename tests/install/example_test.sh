#!/usr/bin/env bash
# Installs the core into a scratch prefix, builds the example program against the installed
# package and runs it on the sample domain.
set -euo pipefail
build=$1 source=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
cmake -S "$source/examples/forest_report" -B "$scratch/example" -G Ninja \
      -DCMAKE_PREFIX_PATH="$scratch/prefix" >/dev/null
cmake --build "$scratch/example" >/dev/null
cp "$source/samples/example.ldif" "$scratch/domain.ldif"
out=$("$scratch/example/forest_report" "$scratch/domain.ldif" "CN=Everyone,OU=Staff,DC=example,DC=com")
echo "$out"
grep -q "^  DC=sales,DC=example,DC=com$" <<<"$out"
grep -q "^  LDAP://CN=Carol King,OU=Staff,DC=example,DC=com$" <<<"$out"
grep -q "^  Paris$" <<<"$out"
