#!/bin/sh
# CTest entry for the system tests: boots a Debian kernel under QEMU with the
# watcher and the guest test program, and turns the guest's report into this
# test's result, naming every case that failed and why. Progress (the kernel
# download, the boot, each case as it finishes) goes to stdout as it comes and
# to CACHE/progress.log, which scripts/test shows while CTest runs.
# Usage: run_system_tests.sh WATCHER GUEST-PROGRAM CACHE [CASE...]
set -u
watcher=$1 program=$2 cache=$3
shift 3
here=$(dirname "$0")
mkdir -p "$cache"
progress_log=$cache/progress.log
: >"$progress_log"

progress() {
    echo "$*"
    echo "$*" >>"$progress_log"
}

missing=
for tool in qemu-system-x86_64 busybox cpio apt-get dpkg-deb; do
    command -v "$tool" >/dev/null || missing="$missing $tool"
done
if [ -n "$missing" ]; then
    progress "system tests cannot run: missing$missing (scripts/test installs them)"
    exit 1
fi

[ -s "$cache/vmlinuz" ] || progress "downloading Debian's kernel package (first run only)"
"$here/fetch_kernel.sh" "$cache" || { progress "system tests cannot run: no guest kernel"; exit 1; }
initramfs=$cache/system-tests.cpio.gz
log=$cache/system-tests.log
"$here/make_initramfs.sh" "$initramfs" "$cache" "/bin/$(basename "$program") $*" \
    "$program" "$watcher" || exit 1

progress "booting $(cat "$cache/package") under QEMU (TCG); console log: $log"
"$here/boot_guest.sh" "$cache" "$initramfs" 300 2>&1 | sed -u 's/\r$//' | tee "$log" |
    grep --line-buffered -E '^(ok |FAIL |[0-9]+ passed, |[a-z-]+: )' |
    while IFS= read -r line; do progress "$line"; done

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
