#!/bin/sh
# Checks the facts of a universal macOS build of the watcher, naming each one
# that fails: both slices are Mach-O executables built for macOS 11.0 or the
# given minimum; the arm64 slice is code-signed (an unsigned arm64 binary is
# killed at launch); it loads libSystem and the CoreGraphics framework and
# nothing else; and it imports exactly what imports.txt allows.
# Uses the LLVM tools (llvm-lipo, llvm-objdump, llvm-nm), on Linux or macOS.
# Usage: check_macho.sh BINARY [MINIMUM-MACOS]
set -u
# Debian installs some LLVM tools (llvm-lipo) only under a versioned name.
command -v llvm-lipo >/dev/null || for bin in /usr/lib/llvm-*/bin; do PATH=$PATH:$bin; done
binary=$1 minimum=${2:-11.0}
here=$(cd "$(dirname "$0")" && pwd)
failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }
ok() { echo "ok $*"; }

archs=$(llvm-lipo -archs "$binary" 2>&1)
if [ "$(printf '%s\n' $archs | sort | tr '\n' ' ')" = "arm64 x86_64 " ]; then
    ok "slices: $archs"
else
    fail "slices: '$archs', not arm64 and x86_64"
fi

expected_libraries="/System/Library/Frameworks/CoreGraphics.framework/Versions/A/CoreGraphics
/usr/lib/libSystem.B.dylib"

for arch in arm64 x86_64; do
    required=$(sed -n "s/^program\(:$arch\)\{0,1\} \([^ ]*\).*/\2/p" "$here/imports.txt" | sort)
    allowed=$(sed -n "s/^[a-z]*\(:$arch\)\{0,1\} \([^ ]*\).*/\2/p" "$here/imports.txt" | sort)
    headers=$(llvm-objdump --macho --private-headers --arch="$arch" "$binary" 2>&1)
    filetype=$(llvm-objdump --macho --private-header --arch="$arch" "$binary" 2>&1 |
               awk '/MH_MAGIC/ { print $5 }')
    [ "$filetype" = EXECUTE ] && ok "$arch: Mach-O executable" ||
        fail "$arch: file type '$filetype', not a Mach-O executable"

    build=$(echo "$headers" | awk '/cmd LC_BUILD_VERSION/ { found = 1 }
        found && $1 == "platform" { platform = $2 }
        found && $1 == "minos" { print platform, $2; exit }')
    [ "$build" = "macos $minimum" ] && ok "$arch: LC_BUILD_VERSION macos, minos $minimum" ||
        fail "$arch: LC_BUILD_VERSION '$build', not 'macos $minimum'"

    if [ "$arch" = arm64 ]; then
        echo "$headers" | grep -q 'cmd LC_CODE_SIGNATURE' && ok "$arch: code signature" ||
            fail "$arch: no code signature; macOS kills an unsigned arm64 binary"
    fi

    libraries=$(echo "$headers" | awk '/cmd LC_(LOAD|LOAD_WEAK|REEXPORT|LAZY_LOAD)_DYLIB/ { found = 1 }
        found && $1 == "name" { print $2; found = 0 }' | sort)
    [ "$libraries" = "$expected_libraries" ] && ok "$arch: loads libSystem and CoreGraphics only" ||
        fail "$arch: loads $(echo $libraries), not $(echo $expected_libraries)"

    imports=$(llvm-nm -u --arch="$arch" "$binary" 2>&1 | sed 's/^ *U *//' | sort -u)
    missing=$(printf '%s\n' "$required" | while read -r symbol; do
        printf '%s\n' "$imports" | grep -qxF "$symbol" || printf ' %s' "$symbol"
    done)
    extra=$(printf '%s\n' "$imports" | while read -r symbol; do
        printf '%s\n' "$allowed" | grep -qxF "$symbol" || printf ' %s' "$symbol"
    done)
    if [ -z "$missing$extra" ]; then
        ok "$arch: imports $(echo $imports)"
    else
        fail "$arch: imports${extra:+ unexpected$extra}${missing:+; missing$missing}"
    fi
done
[ "$failures" = 0 ] && echo "macOS binary facts: all hold" || echo "macOS binary facts: $failures failed"
exit $((failures > 0))
