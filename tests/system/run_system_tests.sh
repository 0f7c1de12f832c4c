#!/bin/sh
# CTest entry for the system tests: boots a Debian kernel under QEMU with the
# watcher and the guest test program, and turns the guest's report into this
# test's result, naming every case that failed and why.
# Usage: run_system_tests.sh WATCHER GUEST-PROGRAM CACHE [CASE...]
set -u
watcher=$1 program=$2 cache=$3
shift 3
here=$(dirname "$0")

missing=
for tool in qemu-system-x86_64 busybox cpio apt-get dpkg-deb; do
    command -v "$tool" >/dev/null || missing="$missing $tool"
done
if [ -n "$missing" ]; then
    echo "system tests cannot run: missing$missing (scripts/test installs them)"
    exit 1
fi

"$here/fetch_kernel.sh" "$cache" || { echo "system tests cannot run: no guest kernel"; exit 1; }
initramfs=$cache/system-tests.cpio.gz
log=$cache/system-tests.log
"$here/make_initramfs.sh" "$initramfs" "$cache" "/bin/$(basename "$program") $*" \
    "$program" "$watcher" || exit 1

echo "booting $(cat "$cache/package") under QEMU (TCG); console log: $log"
"$here/boot_guest.sh" "$cache" "$initramfs" 300 2>&1 | tr -d '\r' >"$log"
grep -E '^(ok |FAIL |latency: |pause: |[0-9]+ passed, )' "$log"

if ! grep -q '^guest-exit: 0$' "$log"; then
    if grep -q '^FAIL ' "$log"; then
        echo "system tests failed:"
        grep '^FAIL ' "$log" | sed 's/^/  /'
    else
        echo "system tests failed: the guest did not finish; last console lines:"
        tail -n 15 "$log" | sed 's/^/  /'
    fi
    exit 1
fi
