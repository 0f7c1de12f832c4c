#!/bin/sh
# The facts of a Windows build of the watcher: a console program for the
# machine named, loading only DLLs that every Windows has (no C++ runtime,
# libgcc or winpthread DLL to ship beside it), and importing the calls it is
# meant to make: the key state, the console control handler, WriteFile, and
# the pause on a waitable timer (high-resolution, with timeBeginPeriod kept
# for systems without one). Wine cannot show the
# system timer's 15.6 ms tick; these imports are what proves the pause there.
# Usage: check_pe.sh EXE x86_64|arm64
set -u
exe=$1 arch=$2
case $arch in
    x86_64) machine=IMAGE_FILE_MACHINE_AMD64 ;;
    arm64) machine=IMAGE_FILE_MACHINE_ARM64 ;;
    *) echo "check_pe.sh: no such architecture: $arch" >&2; exit 2 ;;
esac
. "$(dirname "$0")/../checks.sh"
headers=$(llvm-readobj --file-headers "$exe" 2>&1)
imports=$(llvm-readobj --coff-imports "$exe" 2>&1)
dlls=$(printf '%s\n' "$imports" | sed -n 's/^ *Name: //p' | tr 'A-Z' 'a-z' | sort -u | tr '\n' ' ')
symbols=$(printf '%s\n' "$imports" | sed -n 's/^ *Symbol: \([^ ]*\).*/\1/p')

check "$arch: machine $machine" eval 'printf "%s\n" "$headers" | grep -q "Machine: $machine"'
check "$arch: console program" eval 'printf "%s\n" "$headers" | grep -q "Subsystem: IMAGE_SUBSYSTEM_WINDOWS_CUI"'
# The system's own DLLs only: kernel32, user32, winmm and the C runtime
# (msvcrt.dll for MinGW, the universal CRT's api-ms-win-crt-* for clang and MSVC).
unexpected=$(for dll in $dlls; do
    case $dll in
        kernel32.dll | user32.dll | winmm.dll | msvcrt.dll | api-ms-win-crt-*.dll) ;;
        *) echo "$dll" ;;
    esac
done)
check "$arch: loads system DLLs only ($dlls)" test -z "$unexpected"
for symbol in GetAsyncKeyState SetConsoleCtrlHandler WriteFile GetStdHandle \
    CreateWaitableTimerExW SetWaitableTimer WaitForMultipleObjects timeBeginPeriod; do
    check "$arch: imports $symbol" eval 'printf "%s\n" "$symbols" | grep -qx "$symbol"'
done
checks_done "Windows $arch binary facts"
