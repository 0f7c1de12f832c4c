#!/bin/sh
# Installs orvel-keywatcher VERSION as a user would, in a fresh project and
# a fresh virtual environment, from the registries npm and pip are set up
# for (the public ones, or whatever npm_config_registry and PIP_* say), and
# starts the program through each client: the Node.js client, npx, the
# Python client and its console script. The program has started when it
# says it watches, or, on a Linux machine whose keyboards it may not read,
# when it ends with its own message. One line per way, "passed: WHAT" or
# "FAILED: WHAT", also in the GitHub step summary where there is one.
# A version just published may take a minute to be seen: installs are tried
# for up to TRIES times 20 s.
# Usage: try_installed.sh VERSION [npm|python]...
set -u
version=$1
shift
[ $# -gt 0 ] || set -- npm python
work=$(mktemp -d)
failed=0
tries=${TRIES:-15}
python=python3
command -v "$python" >/dev/null 2>&1 || python=python

report() {  # PASSED WHAT
    line="FAILED: $2"
    [ "$1" = 0 ] && line="passed: $2"
    echo "$line"
    [ -z "${GITHUB_STEP_SUMMARY:-}" ] || echo "- $line" >>"$GITHUB_STEP_SUMMARY"
    [ "$1" = 0 ] || failed=1
}

# Runs COMMAND until it succeeds, TRIES times at most.
retry() {
    n=0
    until "$@" >"$work/last.log" 2>&1; do
        n=$((n + 1))
        [ $n -lt "$tries" ] || { cat "$work/last.log"; return 1; }
        sleep 20
    done
}

# What a client printed: the program watched, or ended with its own message.
started() {  # OUTPUT-FILE
    grep -q -e '^started' -e '^its own message: orvel-keywatcher: ' "$1"
}

# A runner that becomes or passes on to the program, for ten seconds at most.
run_briefly() {  # WHAT COMMAND...
    what=$1
    shift
    : >"$work/err"
    "$@" </dev/null >"$work/out" 2>"$work/err" &
    pid=$!
    n=0
    while [ $n -lt 100 ] && ! grep -q -e 'key watcher started' -e '^orvel-keywatcher: ' "$work/err"; do
        sleep 0.1
        n=$((n + 1))
    done
    kill "$pid" 2>/dev/null
    command -v taskkill >/dev/null && taskkill //F //IM orvel-keywatcher.exe >/dev/null 2>&1
    wait "$pid" 2>/dev/null
    cat "$work/err"
    grep -q -e 'key watcher started' -e '^orvel-keywatcher: ' "$work/err"
    report $? "$what"
}

try_npm() {
    mkdir "$work/project" && cd "$work/project" && echo '{"private": true}' >package.json
    retry npm install "orvel-keywatcher@$version" --no-audit --no-fund
    report $? "npm install orvel-keywatcher@$version ($(ls -d node_modules/orvel-keywatcher-* 2>/dev/null | tr '\n' ' '))"
    node -e '
        const { KeyWatcher } = require("orvel-keywatcher");
        const watcher = new KeyWatcher();
        watcher.start().then(() => watcher.stop()).then((ending) => console.log("started, then", ending),
            (error) => console.log("its own message:", error.message));' >"$work/node.out" 2>&1
    cat "$work/node.out"
    started "$work/node.out"
    report $? "the Node.js client starts the program"
    run_briefly "npx orvel-keywatcher runs the program" npx --no orvel-keywatcher
    cd - >/dev/null
}

try_python() {
    "$python" -m venv "$work/venv"
    bin=$work/venv/bin
    [ -d "$bin" ] || bin=$work/venv/Scripts
    retry "$bin/python" -m pip install "orvel-keywatcher==$version"
    report $? "pip install orvel-keywatcher==$version"
    "$bin/python" -c '
from orvel_keywatcher import KeyWatcher, WatcherError
watcher = KeyWatcher()
try:
    watcher.start()
    print("started, then", watcher.stop())
except WatcherError as error:
    print("its own message:", error)' >"$work/python.out" 2>&1
    cat "$work/python.out"
    started "$work/python.out"
    report $? "the Python client starts the program"
    run_briefly "the orvel-keywatcher console script runs the program" "$bin/orvel-keywatcher"
}

for kind in "$@"; do "try_$kind"; done
rm -rf "$work"
exit $failed
