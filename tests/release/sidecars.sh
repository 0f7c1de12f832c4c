#!/bin/sh
# The Tauri sidecars, made by packaging/sidecars.sh from the programs the
# macOS, Windows and static Linux tiers built, as the release makes them:
# every target triple's name, each the program for its machine with its
# execute bit, nothing else; and refused where a program is missing.
# Usage: sidecars.sh SOURCE-DIR BUILD-DIR VERSION
set -u
source=$(cd "$1" && pwd) build=$2 version=$3
. "$source/tests/checks.sh"
mkdir -p "$build"
build=$(cd "$build" && pwd)
top=$(cd "$build/.." && pwd)
work=$build/sidecars
rm -rf "$work"
mkdir -p "$work"
. "$source/tests/built_programs.sh"
mac=$(program_of darwin-universal) x64=$(program_of linux-x64) arm64=$(program_of linux-arm64)
# The Windows programs as the release unpacks them from zips made on
# Windows: with no execute bit.
for arch in x64 arm64; do
    mkdir -p "$work/zipped/$arch"
    cp "$(program_of "win32-$arch")" "$work/zipped/$arch/" && chmod 0644 "$work/zipped/$arch/orvel-keywatcher.exe"
done
four="darwin-universal=$mac linux-x64=$x64 linux-arm64=$arm64 win32-x64=$work/zipped/x64/orvel-keywatcher.exe"
check "a program missing: refused, naming it" eval '! "$source/packaging/sidecars.sh" "$work" "$version" $four 2>"$work.err" &&
    grep -q "no program for win32-arm64" "$work.err"'
archive=$("$source/packaging/sidecars.sh" "$work" "$version" $four win32-arm64="$work/zipped/arm64/orvel-keywatcher.exe")
rm -rf "$work/unpacked" && mkdir -p "$work/unpacked" && tar -xzf "$archive" -C "$work/unpacked"
dir=$work/unpacked/orvel-keywatcher-$version-tauri-sidecars
for pair in x86_64-unknown-linux-gnu="$x64" x86_64-unknown-linux-musl="$x64" \
    aarch64-unknown-linux-gnu="$arm64" aarch64-unknown-linux-musl="$arm64" \
    x86_64-apple-darwin="$mac" aarch64-apple-darwin="$mac" universal-apple-darwin="$mac" \
    x86_64-pc-windows-msvc.exe="$(program_of win32-x64)" aarch64-pc-windows-msvc.exe="$(program_of win32-arm64)"; do
    file=$dir/orvel-keywatcher-${pair%%=*}
    check "orvel-keywatcher-${pair%%=*}: the program for it, executable" eval 'cmp -s "$file" "${pair#*=}" && test -x "$file"'
done
check "nine sidecars and nothing else" test "$(ls "$dir" | wc -l)" = 9
echo "size: $(basename "$archive") $(wc -c <"$archive") bytes"
checks_done "Tauri sidecars"
