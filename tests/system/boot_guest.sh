#!/bin/sh
# Boots the test guest under QEMU with software emulation (no KVM) and copies
# its console to stdout. The guest powers itself off; a watchdog kills QEMU
# if it has not by then.
# Usage: boot_guest.sh CACHE INITRAMFS SECONDS [amd64|arm64 [KERNEL-ARGS]]
set -eu
cache=$1 initramfs=$2 seconds=$3 arch=${4:-amd64} extra=${5:-}
# i8042.nokbd: no emulated PS/2 keyboard, so the guest's keyboards are the
# tests' own virtual ones.
#
# QEMU's standard input is /dev/null: its serial console on stdio would
# otherwise set up the terminal that the tests were started from, and
# `timeout` runs it in a background process group, where the kernel stops a
# process that changes its terminal's settings (SIGTTOU).
exec </dev/null
case $arch in
    amd64) set -- qemu-system-x86_64 -append "console=ttyS0 quiet panic=-1 i8042.nokbd i8042.noaux $extra" ;;
    arm64) set -- qemu-system-aarch64 -M virt -cpu cortex-a57 -append "console=ttyAMA0 quiet panic=-1 $extra" ;;
    *) echo "boot_guest.sh: no such guest architecture: $arch" >&2; exit 2 ;;
esac
exec timeout --kill-after=5 "$seconds" "$@" \
    -accel tcg -m 512 -smp 1 -nodefaults -no-reboot -display none \
    -serial stdio -monitor none \
    -kernel "$cache/vmlinuz" -initrd "$initramfs"
