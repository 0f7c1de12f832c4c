#!/bin/sh
# The Node.js and Python clients, each run as a program (it prints "ready",
# then each change with its count, and how the watcher ended once its own
# standard input ends): against the real Linux program where it cannot read
# the keyboards (no /dev/input, as on this machine and in CI: its message,
# status 1), and against tests/clients/stand_in.sh for the rest: no "ready"
# before the banner, names that two keys share counted, the stop.
# Usage: clients.sh SOURCE-DIR WATCHER
set -u
source=$1 watcher=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$source/tests/checks.sh"
cp "$source/tests/clients/stand_in.sh" "$work/watcher"
expected="ready
shift down 1
shift down 2
shift up 1
ctrl down 1
shift up 0
ended: stopped, exit 0"

for client in "node $source/clients/node/orvel-keywatcher.js" \
    "python3 $source/clients/python/orvel_keywatcher.py"; do
    name=${client%% *}
    command -v "$name" >/dev/null || { check "$name is installed (scripts/test installs it)" false; continue; }
    rm -f "$work/go" "$work/stop"
    # Its standard input ends once the file "stop" exists.
    { while [ ! -e "$work/stop" ]; do sleep 0.05; done; } |
        $client "$work/watcher" >"$work/out" 2>"$work/err" &
    sleep 1
    check "$name: not ready before the banner" test ! -s "$work/out"
    touch "$work/go"
    tries=0
    while ! grep -qx 'shift up 0' "$work/out" && [ $tries -lt 100 ]; do sleep 0.05; tries=$((tries + 1)); done
    touch "$work/stop"
    tries=0
    while kill -0 $! 2>/dev/null && [ $tries -lt 100 ]; do sleep 0.05; tries=$((tries + 1)); done
    kill $! 2>/dev/null && echo "$name did not end 5 s after its input ended"
    wait
    check "$name: ready after the banner, each name counted, stopped in order" \
        test "$(cat "$work/out")" = "$expected"
    [ "$(cat "$work/out")" = "$expected" ] || echo "  it printed: $(tr '\n' '|' <"$work/out")"
    [ -s "$work/err" ] && echo "$name said: $(cat "$work/err")"

    if [ "$(uname)" != Linux ] || [ -e /dev/input ]; then
        echo "skipped $name with the real program: it can fail here only on Linux without /dev/input"
        continue
    fi
    $client "$watcher" </dev/null >"$work/out" 2>"$work/err"
    check "$name: the real program's message and status 1, without /dev/input" \
        test "$? $(cat "$work/out" "$work/err")" = \
        "1 orvel-keywatcher: cannot read any keyboard in /dev/input: No such file or directory"
done
# The callbacks and the endings: a stand-in whose banner comes at once, and
# a program that fails before its banner.
mkdir "$work/ready"
cp "$source/tests/clients/stand_in.sh" "$work/ready/watcher"
touch "$work/ready/go"
printf '#!/bin/sh\necho $$\nexec sleep 30\n' >"$work/pid-then-wait"
chmod +x "$work/pid-then-wait"
printf '#!/bin/sh\necho "no keyboards here" >&2\nexit 1\n' >"$work/failing"
printf '#!/bin/sh\nexec sleep 30\n' >"$work/silent"
chmod +x "$work/failing" "$work/silent"
python3 "$source/tests/clients/callbacks.py" "$source/clients/python" "$work/ready/watcher" \
    "$work/failing" "$work/silent" 2>"$work/unittest" && echo "ok python: callbacks and endings" ||
    { echo "FAIL python: callbacks and endings"; cat "$work/unittest"; failures=$((failures + 1)); }
node "$source/tests/clients/callbacks.js" "$source/clients/node/orvel-keywatcher.js" \
    "$work/ready/watcher" "$work/failing" "$work/silent" || failures=$((failures + 1))

# The Rust client, with Debian's cargo and rustc (the crate's least Rust),
# offline. The real program's message where there is no /dev/input.
real=
[ "$(uname)" != Linux ] || [ -e /dev/input ] || real=$watcher
if [ -x /usr/bin/cargo ] && [ -x /usr/bin/rustc ]; then
    (cd "$source/tests/clients/rust" && RUSTC=/usr/bin/rustc RUSTDOC=/usr/bin/rustdoc CARGO_TARGET_DIR="$work/target" \
        STAND_IN="$work/ready/watcher" FAILING="$work/failing" SILENT="$work/silent" REAL=$real \
        /usr/bin/cargo test --offline --quiet) >"$work/cargo.log" 2>&1
    tested=$?
    check "rust: ready, changes, stops, endings ($(/usr/bin/rustc --version))" test $tested = 0
    [ $tested = 0 ] || cat "$work/cargo.log"
    # Its Windows code (the process group, no console window, CTRL_BREAK_EVENT)
    # builds with the same Rust (Debian's libstd-rust-dev-windows); it runs
    # only on Windows.
    (cd "$source/clients/rust" && RUSTC=/usr/bin/rustc CARGO_TARGET_DIR="$work/target" \
        /usr/bin/cargo check --offline --quiet --target x86_64-pc-windows-gnu --examples) >"$work/cargo.log" 2>&1
    tested=$?
    check "rust: the Windows code builds (x86_64-pc-windows-gnu)" test $tested = 0
    [ $tested = 0 ] || cat "$work/cargo.log"
else
    check "Debian's cargo and rustc are installed (scripts/test installs them)" false
fi
[ -n "$real" ] || echo "skipped the Rust client with the real program: this machine has /dev/input"

# A host that ends without stop() leaves no watcher: the watcher's pid, then
# the host's end, as HOST-COMMAND runs it (in the background, $! its pid).
host_leaves_none() {  # WHAT EXPECTED-STATUS HOW-IT-ENDS HOST...
    what=$1 expected=$2 ending=$3
    shift 3
    rm -f "$work/pid"
    "$@" >"$work/pid" 2>"$work/host.err" &
    host=$!
    tries=0
    while [ ! -s "$work/pid" ] && [ $tries -lt 100 ]; do sleep 0.05; tries=$((tries + 1)); done
    [ -z "$ending" ] || kill "-$ending" $host
    wait $host
    status=$?
    child=$(head -n 1 "$work/pid")
    sleep 0.5
    check "$what: the host ended ($status), and its watcher ${child:-?} with it" \
        eval 'test "$status" = "$expected" && test -n "$child" && ! running "$child"'
}
# Ended, or ended and not yet reaped by its new parent.
running() {  # PID
    kill -0 "$1" 2>/dev/null && ! grep -q '^State:.*Z' "/proc/$1/status" 2>/dev/null
}
host_leaves_none "node: a host ended by SIGTERM, as it would have been" 143 TERM node -e '
    const watcher = new (require(process.argv[1]).KeyWatcher)(process.argv[2]);
    watcher.start().then(() => console.log(watcher.child.pid)); setInterval(() => {}, 1000);' \
    "$source/clients/node/orvel-keywatcher.js" "$work/ready/watcher"
host_leaves_none "python: a host that exits without stop()" 0 "" python3 -c '
import sys; sys.path.insert(0, sys.argv[1]); from orvel_keywatcher import KeyWatcher
watcher = KeyWatcher(sys.argv[2]); watcher.start(); print(watcher._process.pid, flush=True)' \
    "$source/clients/python" "$work/ready/watcher"
host_leaves_none "npx's runner, ended by SIGQUIT, passes it on" 131 QUIT env \
    ORVEL_KEYWATCHER_PROGRAM="$work/pid-then-wait" node "$source/clients/node/cli.js"
checks_done "clients"
