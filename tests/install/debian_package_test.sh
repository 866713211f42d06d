#!/usr/bin/env bash
# The Debian package made from a build folder with cpack: its control fields and dependencies,
# what it holds and what it must not, the programs unpacked from it running a backup of the
# sample domain, the desktop entry, and the systemd examples verified against the unpacked
# program and manual page.
# Usage: debian_package_test.sh BUILD_DIR SAMPLE_LDIF
set -euo pipefail
build=$1 sample=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log"; exit 1; }
debs=("$scratch"/out/*.deb)
[ ${#debs[@]} = 1 ] || { echo "FAILED: cpack made ${#debs[@]} packages: ${debs[*]}"; exit 1; }
deb=${debs[0]}
version=$("$build/kestrune-cli" --version)
version=${version#kestrune }
arch=$(dpkg --print-architecture)
[ "$(basename "$deb")" = "kestrune_${version}_${arch}.deb" ] || fail "package named $(basename "$deb")"

field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = kestrune ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), the program says $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
[ "$(field Section)" = admin ] || fail "Section: $(field Section)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Description)" ] || fail "no Description"
# What the programs link, as dpkg-shlibdeps names it: Qt's widgets, ICU and OpenLDAP; and the
# SASL module for Kerberos logons, which OpenLDAP loads only when it is asked for.
depends=$(field Depends)
for library in libc6 'libstdc\+\+6' libqt6widgets6 'libicu[0-9]+' 'libldap-[0-9.]+-[0-9]+'; do
    grep -qE "(^|, )$library( |,|$)" <<<"$depends" || fail "Depends lacks $library: $depends"
done
grep -qE '(^|, )libsasl2-modules-gssapi-mit( |,|$)' <<<"$(field Recommends)" ||
    fail "Recommends lacks the SASL module for Kerberos: $(field Recommends)"

dpkg-deb --contents "$deb" >"$scratch/contents"
awk '{ print $6 }' "$scratch/contents" | sed 's|/$||' >"$scratch/paths"
for path in ./usr/bin/kestrune ./usr/bin/kestrune-cli \
    ./usr/share/man/man1/kestrune.1.gz ./usr/share/man/man1/kestrune-cli.1.gz \
    ./usr/share/applications/kestrune.desktop ./usr/share/icons/hicolor/256x256/apps/kestrune.png \
    ./usr/share/doc/kestrune/copyright ./usr/share/doc/kestrune/changelog.gz \
    ./usr/share/doc/kestrune/README.md \
    ./usr/share/doc/kestrune/examples/kestrune-backup.service \
    ./usr/share/doc/kestrune/examples/kestrune-backup.timer \
    ./usr/share/doc/kestrune/examples/kestrune-backup.default; do
    grep -qxF "$path" "$scratch/paths" || fail "the package lacks $path"
done
# The core's libraries, headers and CMake package are for developers, not in this package.
if grep -E '^\./usr/(include|lib)/' "$scratch/paths"; then fail "the package holds the files above"; fi
if awk '$2 != "root/root"' "$scratch/contents" | grep .; then fail "files above not owned by root"; fi
for program in kestrune kestrune-cli; do
    grep -qE "^-rwxr-xr-x root/root .* \./usr/bin/$program$" "$scratch/contents" ||
        fail "/usr/bin/$program is not an executable file of mode 0755"
done

# The programs as unpacked from the package: found libraries, stripped, and working.
root=$scratch/root
dpkg-deb -x "$deb" "$root"
for program in kestrune kestrune-cli; do
    if ldd "$root/usr/bin/$program" | grep 'not found'; then fail "$program misses libraries"; fi
    file "$root/usr/bin/$program" | grep -q ', stripped' || fail "$program is not stripped"
done
"$root/usr/bin/kestrune-cli" --help >"$scratch/help" || fail "kestrune-cli --help ended with $?"
grep -qF -- '--restore FILE' "$scratch/help" || fail "kestrune-cli --help said: $(cat "$scratch/help")"
cp "$sample" "$scratch/domain.ldif"
export KESTRUNE_PLATFORM="sim:$scratch/domain.ldif" KESTRUNE_CODEPAGE=65001
"$build/kestrune-cli" --quiet "" "$scratch/built"
for program in kestrune-cli kestrune; do
    status=0
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
        "$root/usr/bin/$program" --quiet "" "$scratch/$program" 2>"$scratch/err" || status=$?
    [ "$status" = 0 ] || fail "the packaged $program backed up with status $status: $(cat "$scratch/err")"
    diff -r "$scratch/built" "$scratch/$program" >/dev/null ||
        fail "the packaged $program's backup differs from the build's"
done
[ "$(find "$scratch/kestrune-cli" -name '*.txt' | wc -l)" = 5 ] || fail "not 5 backup files"

desktop-file-validate "$root/usr/share/applications/kestrune.desktop" || fail "the desktop entry is invalid"

# systemd checks the program named by ExecStart= and the manual page of Documentation=: the
# units are verified against the unpacked ones, and their ExecStart= names the packaged path.
examples=$root/usr/share/doc/kestrune/examples
grep -q '^ExecStart=/usr/bin/kestrune-cli ' "$examples/kestrune-backup.service" ||
    fail "ExecStart= does not run /usr/bin/kestrune-cli"
mkdir "$scratch/units"
sed "s|^ExecStart=/usr/bin/|ExecStart=$root/usr/bin/|" "$examples/kestrune-backup.service" \
    >"$scratch/units/kestrune-backup.service"
cp "$examples/kestrune-backup.timer" "$scratch/units/"
MANPATH="$root/usr/share/man" systemd-analyze verify \
    "$scratch/units/kestrune-backup.service" "$scratch/units/kestrune-backup.timer" \
    >"$scratch/verify" 2>&1 || fail "systemd-analyze verify ended with $?"
[ ! -s "$scratch/verify" ] || fail "systemd-analyze verify says: $(cat "$scratch/verify")"
# Every variable the service reads from its environment file is one the example file sets.
for variable in $(grep -oE '\$\{?[A-Z_0-9]+' "$examples/kestrune-backup.service" | tr -d '${' | sort -u); do
    grep -q "^#\?$variable=" "$examples/kestrune-backup.default" ||
        fail "kestrune-backup.default does not mention $variable"
done

[ "$failures" = 0 ] || exit 1
echo "Debian package: $(basename "$deb"), $(stat -c %s "$deb") bytes; Depends: $depends"
