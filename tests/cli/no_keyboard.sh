#!/bin/sh
# The built binary's failure path, on any Linux machine with or without
# keyboards: in a private mount namespace /dev/input is missing, empty, holds a
# node that is no keyboard, or holds a node the user may not open. Each time
# the watcher must exit 1 with one clear message (and a hint for permissions)
# on stderr and nothing on stdout.
# Usage: no_keyboard.sh WATCHER. Exits 77 (skipped) where namespaces are barred.
set -u
watcher=$(realpath "$1")

if [ "$(id -u)" = 0 ] && unshare --mount true 2>/dev/null; then
    enter="unshare --mount"
elif unshare --mount --map-root-user true 2>/dev/null; then
    enter="unshare --mount --map-root-user"
else
    echo "skipped: no private mount namespace here: $(unshare --mount true 2>&1)"
    exit 77
fi

exec $enter sh -s "$watcher" <<'INNER'
watcher=$1
failures=0
mount -t tmpfs tmpfs /dev || exit 1
out=$(mktemp -d)

check() {  # NAME EXPECTED-STDERR [RUNNER...]
    name=$1 expected=$2
    shift 2
    "$@" "$watcher" >"$out/stdout" 2>"$out/stderr"
    status=$?
    problem=
    [ "$status" = 1 ] || problem="exit status $status, not 1"
    [ -s "$out/stdout" ] && problem="$problem; wrote to stdout: $(cat "$out/stdout")"
    printf '%s' "$expected" | cmp -s - "$out/stderr" ||
        problem="$problem; stderr was: $(cat "$out/stderr")"
    if [ -n "$problem" ]; then
        echo "FAIL $name: $problem"
        failures=$((failures + 1))
    else
        echo "ok $name"
    fi
}

prefix="orvel-keywatcher: cannot read any keyboard in /dev/input"
check missing-directory "$prefix: No such file or directory
"
mkdir /dev/input
check empty-directory "$prefix: no keyboard found
"
# Device nodes can be made by real root only; a user namespace skips these.
if mknod -m 644 /dev/input/event0 c 1 3 2>/dev/null; then  # a node with no evdev
    check not-a-keyboard "$prefix: no keyboard found
"
    chmod 600 /dev/input/event0
    if setpriv --reuid=65534 --regid=65534 --clear-groups true 2>/dev/null; then
        check permission-denied "$prefix: Permission denied
orvel-keywatcher: run it as root, or add the user to the 'input' group and log in again
" setpriv --reuid=65534 --regid=65534 --clear-groups
    fi
else
    echo "skipped not-a-keyboard and permission-denied: making device nodes needs root"
fi
exit $((failures > 0))
INNER
