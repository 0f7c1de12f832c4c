# Sourced by the tests that check a list of facts: check() runs one and says
# "ok WHAT" or "FAIL WHAT", counting the failures in $failures; checks_done()
# says how many failed and ends the test, with status 1 if any did.
failures=0
check() {  # WHAT COMMAND...
    what=$1
    shift
    if "$@"; then echo "ok $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
checks_done() {  # WHAT
    echo "$1: $failures failed"
    exit $((failures > 0))
}
