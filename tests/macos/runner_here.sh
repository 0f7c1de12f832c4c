#!/bin/sh
# The Mac runner's lifecycle checks, tried on this Linux machine against the
# Linux binary (in a private mount namespace, with an empty /dev/input), so
# that the script meets its first Mac with its own logic already proven.
# Usage: runner_here.sh WATCHER. Exits 77 (skipped) without root or namespaces.
set -u
runner=$(cd "$(dirname "$0")/.." && pwd)/run_watcher.sh
watcher=$(realpath "$1")
if [ "$(id -u)" != 0 ] || ! unshare --mount true 2>/dev/null; then
    echo "skipped: needs root and a private mount namespace (a device node is made)"
    exit 77
fi
exec unshare --mount sh -c 'mount -t tmpfs tmpfs /dev && mknod -m 666 /dev/null c 1 3 &&
    mkdir /dev/input && exec "$0" lifecycle "$1"' "$runner" "$watcher"
