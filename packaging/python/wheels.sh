#!/bin/sh
# The Python package's wheels, one per program, built from clients/python
# with Debian's hatchling (no package index is needed) into OUT-DIR. Each
# is py3-none with the platform tags that the interpreters of its systems
# accept: universal2 for macOS 11 and later, manylinux and musllinux at
# once for the static Linux programs, win_amd64 and win_arm64.
# Usage: wheels.sh SOURCE-DIR OUT-DIR PLATFORM=PROGRAM...
#   PLATFORM is one of darwin-universal, linux-x64, linux-arm64, win32-x64, win32-arm64
set -eu
source=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
shift 2
python=/usr/bin/python3
"$python" -c 'import build, hatchling' 2>/dev/null ||
    { echo "wheels.sh: Debian's python3-build and python3-hatchling are needed"; exit 1; }
for pair in "$@"; do
    platform=${pair%%=*} program=${pair#*=}
    case $platform in
        darwin-universal) tag=macosx_11_0_universal2 ;;
        linux-x64) tag=manylinux_2_17_x86_64.manylinux2014_x86_64.musllinux_1_1_x86_64 ;;
        linux-arm64) tag=manylinux_2_17_aarch64.manylinux2014_aarch64.musllinux_1_1_aarch64 ;;
        win32-x64) tag=win_amd64 ;;
        win32-arm64) tag=win_arm64 ;;
        *) echo "wheels.sh: no such platform: $platform" >&2; exit 2 ;;
    esac
    ORVEL_WHEEL_PROGRAM=$(cd "$(dirname "$program")" && pwd)/$(basename "$program") \
        ORVEL_WHEEL_PLATFORM=$tag "$python" -m build --wheel --no-isolation \
        --skip-dependency-check --outdir "$out" "$source/clients/python" >"$out/$platform.log" 2>&1 ||
        { cat "$out/$platform.log"; echo "wheels.sh: the $platform wheel failed"; exit 1; }
    rm -f "$out/$platform.log"
done
ls "$out"/*.whl
