#!/bin/sh
# The Python package's wheels, one per program, built from clients/python
# with Debian's hatchling (no package index is needed) into OUT-DIR. Each
# is py3-none with the platform tags that the interpreters of its systems
# accept (packaging/platforms.sh): universal2 for macOS 11 and later,
# manylinux and musllinux at once for the static Linux programs, win_amd64
# and win_arm64. Their metadata links to the repository OWNER/NAME.
# Usage: wheels.sh SOURCE-DIR OUT-DIR OWNER/NAME PLATFORM=PROGRAM...
set -eu
source=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
. "$source/packaging/platforms.sh"
repository_url "$3" >/dev/null
repository=$3
shift 3
python=/usr/bin/python3
"$python" -c 'import build, hatchling' 2>/dev/null ||
    { echo "wheels.sh: Debian's python3-build and python3-hatchling are needed"; exit 1; }
for pair in "$@"; do
    platform=${pair%%=*} program=${pair#*=}
    platform_facts "$platform"
    ORVEL_WHEEL_PROGRAM=$(cd "$(dirname "$program")" && pwd)/$(basename "$program") \
        ORVEL_WHEEL_PLATFORM=$wheel_tag ORVEL_WHEEL_REPOSITORY=$repository "$python" -m build --wheel \
        --no-isolation --skip-dependency-check --outdir "$out" "$source/clients/python" >"$out/$platform.log" 2>&1 ||
        { cat "$out/$platform.log"; echo "wheels.sh: the $platform wheel failed"; exit 1; }
    rm -f "$out/$platform.log"
done
ls "$out"/*.whl
