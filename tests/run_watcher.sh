#!/bin/sh
# The real watcher with real key presses, as the workflow's macOS and
# Windows jobs run it and as the tests run it under Wine here. On a Mac each
# binary given (the one built there, the one cross-built on Linux) runs once
# per slice under arch(1), x86_64 under Rosetta; a Windows program (.exe)
# runs under Wine off Windows; anything else runs as it is, which lets the
# lifecycle checks be tried on Linux too. A Windows injector is run the same
# way.
#
# Usage: run_watcher.sh lifecycle BINARY...
#          the exact banner on stderr, nothing on stdout for a second with no
#          key held, then status 0 soon after SIGTERM (not on Windows, which
#          has none); the same after SIGINT (Ctrl-C on Windows)
#        run_watcher.sh probe INJECTOR
#          whether injected keys reach the system's key state: prints
#          posting=yes or posting=no (for $GITHUB_OUTPUT), and why on stderr
#        run_watcher.sh keys INJECTOR BINARY...
#          real key presses: every key in table order, a key held on both
#          sides, every line answered at once with the opposite change (at
#          most one line per 12 ms pass), a stop with keys held (status 0,
#          no U lines), and, once the reader has gone, the next change ending
#          the watcher as SIGPIPE does (status 141 on Windows)
#        run_watcher.sh clients INJECTOR BINARY CLIENT...
#          each client (the Node.js or Python one run as a program, given as
#          its command line) between the watcher and this script: "ready",
#          each change with its count, and how the watcher ended after the
#          stop; the binary as it is here (under Wine off Windows)
# Exit status: 0 when every check held, 1 otherwise (each failure named).
set -u
banner="Orvel macOS key watcher started"
work=$(mktemp -d "${TMPDIR:-/tmp}/run_watcher.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }
ok() { echo "ok $*"; }

now_ms() { perl -MTime::HiRes=time -e 'printf("%d\n", time() * 1000)'; }

case $(uname) in MINGW* | MSYS* | CYGWIN*) windows_host=yes ;; *) windows_host= ;; esac

# What runs a program here: Wine for a Windows program off Windows.
launcher() {  # PROGRAM
    case $1 in *.exe) [ -n "$windows_host" ] || echo wine ;; esac
}

# True while the process runs (a zombie has ended). Windows' shells have no
# zombies, and their ps no -o.
alive() {
    if [ -n "$windows_host" ]; then
        kill -0 "$1" 2>/dev/null
        return
    fi
    state=$(ps -o stat= -p "$1" 2>/dev/null) || return 1
    case $state in *Z* | "") return 1 ;; esac
}

# Waits until the process has ended or MS milliseconds have passed.
ended_within() {  # PID MS
    deadline=$(($(now_ms) + $2))
    while alive "$1"; do
        [ "$(now_ms)" -lt "$deadline" ] || return 1
        sleep 0.005
    done
}

# Waits for the banner on stderr; false if the watcher ends or it takes 5 s.
banner_within_5s() {  # PID
    tries=0
    until grep -qx "$banner" "$work/err"; do
        alive "$1" && [ "$tries" -lt 250 ] || return 1
        sleep 0.02
        tries=$((tries + 1))
    done
}

# Starts RUNNER... BINARY in the background with stdout to OUT and stderr to
# $work/err. Sets pid.
start() {  # OUT RUNNER... BINARY
    out=$1
    shift
    : >"$work/err"
    "$@" >"$out" 2>"$work/err" &
    pid=$!
}

stop() {  # PID
    kill -KILL "$1" 2>/dev/null
    wait "$1"
}

# Waits for the banner of the watcher just started; without it, names the
# failure and kills the watcher.
started() {  # WHAT
    banner_within_5s "$pid" && return
    fail "$1: no banner within 5 s; stderr: $(cat "$work/err")"
    stop "$pid"
    return 1
}

lifecycle_once() {  # WHAT SIGNAL RUNNER... BINARY
    what=$1 signal=$2
    shift 2
    start "$work/out" "$@"
    started "$what" || return
    sleep 1
    if [ -s "$work/out" ]; then
        fail "$what: wrote on stdout with no key held: $(head -c 200 "$work/out")"
    fi
    sent=$(now_ms)
    kill "-$signal" "$pid"
    if ! ended_within "$pid" 1000; then
        fail "$what: still running 1 s after SIG$signal"
        stop "$pid"
        return
    fi
    took=$(($(now_ms) - sent))
    wait "$pid"
    status=$?
    printf '%s\n' "$banner" | cmp -s - "$work/err" ||
        fail "$what: stderr is not the banner alone: $(cat "$work/err")"
    # A pass and a pause take about 12 ms; the rest is this script's polling.
    if [ "$status" = 0 ] && [ "$took" -le 250 ]; then
        ok "$what: status 0, $took ms after SIG$signal"
    else
        fail "$what: status $status, $took ms after SIG$signal (must be 0, within 250 ms)"
    fi
}

expected_keys="D shift
U shift
D ctrl
U ctrl
D alt
U alt
D cmd_left
U cmd_left
D shift
U shift
D ctrl
U ctrl
D alt
U alt
D cmd_right
U cmd_right"
every_key="+Shift -Shift +Control -Control +Option -Option +Command -Command +RightShift -RightShift
    +RightControl -RightControl +RightOption -RightOption +RightCommand -RightCommand"
expected_both_sides="D shift
D shift
U shift
U shift"

# The injector's command: its launcher (Wine), then its path.
injector_command() { echo $(launcher "$injector") "$injector"; }

release_all() {  # after a failure, no key stays held
    $(injector_command) -Shift -Control -Option -Command -RightShift -RightControl -RightOption \
        -RightCommand >/dev/null 2>&1
}

inject() {  # WHAT STEP...
    what=$1
    shift
    $(injector_command) "$@" || {
        fail "$what: the injector failed (status $?)"
        release_all
    }
    sleep 0.1
}

# Waits up to 2 s for stdout, or with "tail" only its last lines, to be TEXT:
# a loaded machine may take more than a pass or two to report a key.
output_is() {  # TEXT [tail]
    printf '%s\n' "$1" >"$work/want"
    lines=$(wc -l <"$work/want")
    deadline=$(($(now_ms) + 2000))
    while :; do
        if [ "${2:-}" = tail ]; then tail -n "$lines" "$work/out"; else cat "$work/out"; fi |
            cmp -s "$work/want" - && return 0
        [ "$(now_ms)" -lt "$deadline" ] || return 1
        sleep 0.02
    done
}

expect_output() {  # WHAT EXPECTED
    if output_is "$2"; then
        ok "$1"
    else
        fail "$1: stdout was: $(tr '\n' '|' <"$work/out")"
    fi
}

keys() {  # WHAT RUNNER... BINARY, with $injector
    what=$1
    shift
    start "$work/out" "$@"
    started "$what" || return
    inject "$what" $every_key
    expect_output "$what: every key in table order" "$expected_keys"
    taps "$what"
    if [ "$1" = wine ]; then
        echo "skipped $what: both Shift keys: Wine gives a right Shift as the left one"
    else
        inject "$what" +Shift +RightShift -Shift -RightShift
        expect_output "$what: both Shift keys, each its own lines" "$expected_keys
$expected_both_sides"
    fi
    # Keys held at the stop: the pass under way is finished, no U lines.
    inject "$what" +Control +RightOption
    output_is "D ctrl
D alt" tail || true  # seen before the stop, or the check below names it
    kill -INT "$pid"
    if ended_within "$pid" 1000; then
        wait "$pid"
        status=$?
        tail -n 2 "$work/out" >"$work/last"
        if [ "$status" = 0 ] && printf 'D ctrl\nD alt\n' | cmp -s - "$work/last"; then
            ok "$what: keys held at SIGINT: status 0, no U lines"
        else
            fail "$what: keys held at SIGINT: status $status, last lines $(tr '\n' '|' <"$work/last")"
        fi
    else
        fail "$what: still running 1 s after SIGINT with keys held"
        stop "$pid"
    fi
    inject "$what" -Control -RightOption

    # The injector answers every line at once with the opposite change, so
    # that every pass has a change to write: no more lines than passes fit
    # in the time, one per 12 ms at most (one more, and three for a first
    # line read late). This script holds the pipe open meanwhile, so the
    # injector's last release cannot meet a reader that has gone. Then the
    # reader goes away: the next change ends the watcher by SIGPIPE.
    rm -f "$work/pipe"
    mkfifo "$work/pipe"
    exec 3<>"$work/pipe"
    $(injector_command) answer 1500 <"$work/pipe" 3<&- | tr -d '\r' >"$work/answer" &
    reader=$!
    start "$work/pipe" "$@" 3<&-
    started "$what, on a pipe" || { exec 3<&-; stop "$reader"; return; }
    wait "$reader"
    sleep 0.3
    exec 3<&-
    set -- $(cat "$work/answer")
    if [ "${2:-}" = lines ] && [ "$1" -gt 10 ] && [ "$1" -le $(($4 / 12 + 4)) ]; then
        ok "$what: answered at once, $1 lines in $4 ms (at most $(($4 / 12 + 4)))"
    else
        fail "$what: answered at once: '$(cat "$work/answer")', at most one line per 12 ms wanted"
    fi
    sleep 0.3
    if ! alive "$pid"; then
        fail "$what: ended when its reader went away, before any key changed"
        wait "$pid"
        return
    fi
    inject "$what" +RightCommand -RightCommand
    if ! ended_within "$pid" 2000; then
        fail "$what: still running 2 s after a change with its reader gone"
        stop "$pid"
        return
    fi
    wait "$pid"
    status=$?
    # Killed by SIGPIPE, or on Windows its status, 141 all the same.
    if [ "$status" = $((128 + 13)) ]; then
        ok "$what: ended as by SIGPIPE (status $status) at the first change after its reader had gone"
    else
        fail "$what: status $status after its reader had gone, not 141 (SIGPIPE)"
    fi
}

# Four taps of Shift, each while the watcher is stopped, so that the press
# and the release both fall between two of its samples: no line may come
# (on Windows, GetAsyncKeyState's low bit still says "pressed since the last
# call" then, and must not be read as down).
taps() {  # WHAT, with $pid
    if [ -n "$windows_host" ]; then
        echo "skipped $1: taps between samples: this shell cannot stop a native Windows process"
        return
    fi
    before=$(cat "$work/out")
    for tap in 1 2 3 4; do
        kill -STOP "$pid"
        $(injector_command) '*Shift' || fail "$1: the injector failed to tap (status $?)"
        sleep 0.15
        kill -CONT "$pid"
        sleep 0.15
    done
    sleep 0.3
    if [ "$(cat "$work/out")" = "$before" ]; then
        ok "$1: four taps between two samples, no line"
    else
        fail "$1: four taps between two samples gave: $(cat "$work/out" | tail -n +$(($(printf '%s\n' "$before" | wc -l) + 1)) | tr '\n' '|')"
    fi
}

# Waits until a line of the file matches the extended regular expression;
# false after SECONDS.
file_has_within() {  # FILE LINE SECONDS
    deadline=$(($(now_ms) + $3 * 1000))
    until grep -Eqx "$2" "$1"; do
        [ "$(now_ms)" -lt "$deadline" ] || return 1
        sleep 0.02
    done
}

client() {  # CLIENT-COMMAND BINARY, with $injector
    what="$1 with $2"
    program=$2
    if [ "$(launcher "$2")" = wine ]; then  # the client starts a program: one that runs Wine
        printf '#!/bin/sh\nexec wine "%s"\n' "$2" >"$work/under-wine"
        chmod +x "$work/under-wine"
        program=$work/under-wine
    elif [ -n "$windows_host" ]; then
        program=$(cygpath -w "$2")  # a path of Windows' own, for a native client
    fi
    rm -f "$work/stop"
    # The client's input ends, and it stops the watcher, once "stop" exists.
    { while [ ! -e "$work/stop" ]; do sleep 0.05; done; } | $1 "$program" >"$work/out" 2>"$work/err" &
    client_pid=$!
    if file_has_within "$work/out" ready 15; then
        inject "$what" +Shift -Shift +Control +RightCommand -Control -RightCommand
        expect_output "$what: each change with its count" "ready
shift down 1
shift up 0
ctrl down 1
cmd_right down 1
ctrl up 0
cmd_right up 0"
    else
        fail "$what: not ready within 15 s; stderr: $(cat "$work/err")"
    fi
    # SIGTERM and status 0; under Wine, killed by SIGTERM; on Windows, where
    # the client ends the process, status 1. Not killed after its grace.
    touch "$work/stop"
    if file_has_within "$work/out" 'ended: stopped, (exit [01]|signal SIGTERM)' 5; then
        ok "$what: $(tail -n 1 "$work/out")"
    else
        fail "$what: the stop: $(tail -n 1 "$work/out"); stderr: $(cat "$work/err")"
        kill "$client_pid" 2>/dev/null
    fi
    wait "$client_pid"
}

lifecycle() {  # WHAT RUNNER... BINARY
    what=$1
    shift
    eval "binary=\${$#}"
    case $binary in
        *.exe) echo "skipped $what: SIGTERM: Windows has none (Wine just kills the program)" ;;
        *) lifecycle_once "$what" TERM "$@" ;;
    esac
    lifecycle_once "$what" INT "$@"
}

# Calls CHECK WHAT RUNNER... BINARY for every binary: once per slice under
# arch(1) on a Mac, once as it is elsewhere.
for_each_run() {  # CHECK BINARY...
    check=$1
    shift
    for binary do
        if [ ! -x "$binary" ]; then
            fail "$binary is not an executable file"
        elif [ "$(uname)" = Darwin ]; then
            for slice in arm64 x86_64; do
                "$check" "$binary ($slice)" arch "-$slice" "$binary"
            done
        else
            "$check" "$binary" $(launcher "$binary") "$binary"
        fi
    done
}

mode=${1:-}
[ $# -ge 2 ] || mode=usage
case $mode in
    lifecycle)
        shift
        for_each_run lifecycle "$@"
        ;;
    probe)
        injector=$2
        answer=$($(injector_command) probe 2>&1)
        if [ $? = 0 ]; then
            echo "posting=yes"
            echo "key events posted here reach the HID system state ($answer)" >&2
        else
            echo "posting=no"
            echo "key events posted here do not reach the HID system state: $answer" >&2
        fi
        exit 0
        ;;
    clients)
        injector=$2 binary=$3
        shift 3
        for command do
            client "$command" "$binary"
        done
        ;;
    keys)
        injector=$2
        shift 2
        [ $# -ge 1 ] || { echo "usage: run_watcher.sh keys INJECTOR BINARY..." >&2; exit 2; }
        for_each_run keys "$@"
        ;;
    *)
        echo "usage: run_watcher.sh lifecycle|probe|keys|clients ..." >&2
        exit 2
        ;;
esac
echo "run on $(uname): $failures failed"
exit $((failures > 0))
