#!/bin/sh
# `cmake --install` into a temporary prefix puts the watcher in bin/ and its
# manual in share/man/man1/.
# Usage: install.sh BUILD-DIR
set -eu
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$1" --prefix "$prefix" >/dev/null
status=0
for file in bin/orvel-keywatcher share/man/man1/orvel-keywatcher.1; do
    if [ -s "$prefix/$file" ]; then echo "ok $file"; else echo "FAIL missing $file"; status=1; fi
done
[ -x "$prefix/bin/orvel-keywatcher" ] || { echo "FAIL bin/orvel-keywatcher is not executable"; status=1; }
exit $status
