#!/bin/sh
# CTest entry for the system tests: boots a Debian kernel under QEMU with the
# watcher and the guest test program, and turns the guest's report into this
# test's result, naming every case that failed and why. Progress (the kernel
# download, the boot, each case as it finishes) is shown as it comes (see
# tests/progress.sh).
# Usage: run_system_tests.sh [--arch amd64|arm64] [--append KERNEL-ARGS] [--kernel DIR]
#            WATCHER STRICT-WATCHER GUEST-PROGRAM CACHE [CASE...]
#   The programs are built for the guest's architecture (amd64 by default):
#   the watcher shipped, the tests' build of it whose filter ends it on a
#   call it does not allow (which most cases run), and the guest's program.
#   KERNEL-ARGS go on the guest kernel's command line; the kernel is fetched
#   into DIR (CACHE by default) and linked into CACHE.
set -u
arch=amd64 append= kernel=
while :; do
    case ${1:-} in
        --arch) arch=$2 ;;
        --append) append=$2 ;;
        --kernel) kernel=$2 ;;
        *) break ;;
    esac
    shift 2
done
watcher=$1 strict=$2 program=$3 cache=$4
shift 4
here=$(dirname "$0")
. "$here/../progress.sh"
mkdir -p "$cache"
seconds=300

missing=
qemu=qemu-system-x86_64
[ "$arch" = amd64 ] || qemu=qemu-system-aarch64
for tool in $qemu busybox cpio apt-get dpkg-deb; do
    command -v "$tool" >/dev/null || missing="$missing $tool"
done
if [ -n "$missing" ]; then
    progress "system tests cannot run: missing$missing (scripts/test installs them)"
    exit 1
fi

[ -n "$kernel" ] || kernel=$cache
[ -s "$kernel/vmlinuz" ] || progress "downloading Debian's $arch kernel package (first run only)"
"$here/fetch_kernel.sh" "$kernel" "$arch" || { progress "system tests cannot run: no guest kernel"; exit 1; }
if [ "$kernel" != "$cache" ]; then
    for file in vmlinuz evdev.ko uinput.ko busybox package; do
        [ ! -e "$kernel/$file" ] || ln -sf "$(cd "$kernel" && pwd)/$file" "$cache/$file"
    done
fi
initramfs=$cache/system-tests.cpio.gz
log=$cache/system-tests.log
# The Python client with Debian's Python and what of its library the client
# imports, where the guest is of this machine's architecture: the package as
# pip installs it from a wheel made with the watcher shipped, in a virtual
# environment, its program beside it.
python=
if [ "$arch" = amd64 ] && [ -x /usr/bin/python3 ]; then
    wheel=$cache/wheel
    rm -rf "$wheel"
    if "$here/../../packaging/python/wheels.sh" "$here/../.." "$wheel/dist" orvel/orvel-keywatcher linux-x64="$watcher" \
        >"$cache/wheel.log" 2>&1 && /usr/bin/python3 -m venv "$wheel/venv" &&
        "$wheel/venv/bin/pip" install --quiet --no-index --find-links "$wheel/dist" orvel-keywatcher \
        >>"$cache/wheel.log" 2>&1; then
        package=$("$wheel/venv/bin/python" -c 'import orvel_keywatcher, os; print(os.path.dirname(orvel_keywatcher.__file__))')
        python=$(/usr/bin/python3 -S -c '
import os, sys
sys.path.insert(0, sys.argv[1])
import orvel_keywatcher
for module in list(sys.modules.values()):
    for name in (getattr(module, "__file__", None), getattr(module, "__cached__", None)):
        if name and name.startswith(sys.prefix + "/lib/") and os.path.exists(name):
            print(name)' "$(dirname "$package")")
        python="-- /usr/bin/python3 $package/__init__.py=/lib/site/orvel_keywatcher/__init__.py
            $package/bin/orvel-keywatcher=/lib/site/orvel_keywatcher/bin/orvel-keywatcher $python"
    else
        progress "no wheel for the Python client case (see $cache/wheel.log)"
    fi
fi
"$here/make_initramfs.sh" "$initramfs" "$cache" "/bin/$(basename "$program") $*" \
    "$program" "$watcher" "$strict" $python || exit 1

progress "booting $(cat "$cache/package") under QEMU (TCG); console log: $log"
{ "$here/boot_guest.sh" "$cache" "$initramfs" $seconds "$arch" "$append" 2>&1; echo "qemu-exit: $?"; } |
    sed -u 's/\r$//' | tee "$log" |
    grep --line-buffered -E '^(ok |FAIL |skipped |[0-9]+ passed, |[a-z-]+: )' | grep --line-buffered -v -- '-exit: ' |
    while IFS= read -r line; do progress "$line"; done

if ! grep -q '^guest-exit: 0$' "$log"; then
    if grep -q '^FAIL ' "$log"; then
        echo "system tests failed:"
        grep '^FAIL ' "$log" | sed 's/^/  /'
    else
        qemu=$(sed -n 's/^qemu-exit: //p' "$log")
        case $qemu in
            124 | 137) why="QEMU was stopped after $seconds s" ;;
            *) why="QEMU ended with status $qemu" ;;
        esac
        echo "system tests failed: the guest did not finish: no 'guest-exit' line on its console;"
        echo "$why. Last console lines ($log):"
        tail -n 15 "$log" | sed 's/^/  /'
    fi
    exit 1
fi
