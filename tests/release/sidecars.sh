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
mac=$top/macos/orvel-keywatcher-macos-universal/orvel-keywatcher
# The Windows programs as the release unpacks them from zips made on
# Windows: with no execute bit.
mkdir -p "$work/zipped/x86_64" "$work/zipped/arm64"
for arch in x86_64 arm64; do
    cp "$top/windows/$arch/orvel-keywatcher.exe" "$work/zipped/$arch/" && chmod 0644 "$work/zipped/$arch/orvel-keywatcher.exe"
done
linux=$top/static/orvel-keywatcher-$version-linux
four="darwin-universal=$mac linux-x64=$linux-x86_64/orvel-keywatcher
linux-arm64=$linux-aarch64/orvel-keywatcher win32-x64=$work/zipped/x86_64/orvel-keywatcher.exe"
check "a program missing: refused, naming it" eval '! "$source/packaging/sidecars.sh" "$work" "$version" $four 2>"$work.err" &&
    grep -q "no program for win32-arm64" "$work.err"'
archive=$("$source/packaging/sidecars.sh" "$work" "$version" $four win32-arm64="$work/zipped/arm64/orvel-keywatcher.exe")
rm -rf "$work/unpacked" && mkdir -p "$work/unpacked" && tar -xzf "$archive" -C "$work/unpacked"
dir=$work/unpacked/orvel-keywatcher-$version-tauri-sidecars
for pair in x86_64-unknown-linux-gnu="$linux-x86_64/orvel-keywatcher" x86_64-unknown-linux-musl="$linux-x86_64/orvel-keywatcher" \
    aarch64-unknown-linux-gnu="$linux-aarch64/orvel-keywatcher" aarch64-unknown-linux-musl="$linux-aarch64/orvel-keywatcher" \
    x86_64-apple-darwin="$mac" aarch64-apple-darwin="$mac" universal-apple-darwin="$mac" \
    x86_64-pc-windows-msvc.exe="$top/windows/x86_64/orvel-keywatcher.exe" \
    aarch64-pc-windows-msvc.exe="$top/windows/arm64/orvel-keywatcher.exe"; do
    file=$dir/orvel-keywatcher-${pair%%=*}
    check "orvel-keywatcher-${pair%%=*}: the program for it, executable" eval 'cmp -s "$file" "${pair#*=}" && test -x "$file"'
done
check "nine sidecars and nothing else" test "$(ls "$dir" | wc -l)" = 9
echo "size: $(basename "$archive") $(wc -c <"$archive") bytes"
checks_done "Tauri sidecars"
