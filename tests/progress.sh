# Sourced by the tests' long steps. progress() says what a step is doing as
# it starts: on stdout, which CTest keeps for a failed test, and, where the
# test command set ORVEL_PROGRESS to a file, in that file too, which
# scripts/test shows while CTest runs (CTest itself shows a test's output only
# once it has ended).
progress() {
    echo "$*"
    if [ -n "${ORVEL_PROGRESS:-}" ]; then
        echo "$*" >>"$ORVEL_PROGRESS"
    fi
}
