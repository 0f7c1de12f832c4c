#!/bin/sh
# The built binary without keyboards, on any Linux machine: in a private mount
# namespace /dev/input is missing, unreadable, empty, holds a node that is no
# keyboard, or holds a node the user may not open. Where the watcher can never
# work (missing, unreadable, refused) it must exit 1 with one clear message (and
# a hint for permissions) on stderr and nothing on stdout; where a keyboard may
# still be plugged in (empty, no keyboard yet) it must start, wait, and stop
# cleanly on SIGTERM.
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

# Judges a finished run: STATUS is what it must have ended with, EXPECTED
# what it must have written on stderr; nothing may be on stdout.
verdict() {  # NAME STATUS EXPECTED-STATUS EXPECTED-STDERR
    problem=
    [ "$2" = "$3" ] || problem="exit status $2, not $3"
    [ -s "$out/stdout" ] && problem="$problem; wrote to stdout: $(cat "$out/stdout")"
    printf '%s' "$4" | cmp -s - "$out/stderr" ||
        problem="$problem; stderr was: $(cat "$out/stderr")"
    if [ -n "$problem" ]; then
        echo "FAIL $1: $problem"
        failures=$((failures + 1))
    else
        echo "ok $1"
    fi
}

check() {  # NAME EXPECTED-STDERR [RUNNER...]: fails at once with status 1
    name=$1 expected=$2
    shift 2
    "$@" "$watcher" >"$out/stdout" 2>"$out/stderr"
    verdict "$name" $? 1 "$expected"
}

starts() {  # NAME: starts, waits for a keyboard, stops on SIGTERM with status 0
    "$watcher" >"$out/stdout" 2>"$out/stderr" &
    pid=$!
    tries=0
    while [ ! -s "$out/stderr" ] && [ $tries -lt 100 ]; do sleep 0.05; tries=$((tries + 1)); done
    sleep 0.2
    kill -TERM "$pid" 2>/dev/null
    wait "$pid"
    verdict "$1" $? 0 "Orvel macOS key watcher started
"
}

prefix="orvel-keywatcher: cannot read any keyboard in /dev/input"
hint="orvel-keywatcher: run it as root, add the user to the 'input' group and log in again, or make it setgid 'input' (see man orvel-keywatcher)"
nobody="setpriv --reuid=65534 --regid=65534 --clear-groups"
$nobody true 2>/dev/null || nobody=
check missing-directory "$prefix: No such file or directory
"
mkdir /dev/input
starts empty-directory
if [ -n "$nobody" ]; then
    chmod 700 /dev/input
    check unreadable-directory "$prefix: Permission denied
$hint
" $nobody
    chmod 755 /dev/input
fi
# Device nodes can be made by real root only; a user namespace skips these.
if mknod -m 644 /dev/input/event0 c 1 3 2>/dev/null; then  # a node with no evdev
    starts not-a-keyboard
    chmod 600 /dev/input/event0
    if [ -n "$nobody" ]; then
        check permission-denied "$prefix: Permission denied
$hint
" $nobody
    fi
else
    echo "skipped not-a-keyboard and permission-denied: making device nodes needs root"
fi
rm -rf "$out"
exit $((failures > 0))
INNER
