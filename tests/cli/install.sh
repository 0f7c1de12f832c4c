#!/bin/sh
# `cmake --install` into a temporary prefix puts the watcher in bin/ and its
# manual in share/man/man1/ (gzipped on Linux, with the copyright file beside
# the README in share/doc/).
# Usage: install.sh BUILD-DIR
set -eu
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$1" --prefix "$prefix" >/dev/null
files="bin/orvel-keywatcher share/man/man1/orvel-keywatcher.1"
[ "$(uname)" = Darwin ] || files="bin/orvel-keywatcher share/man/man1/orvel-keywatcher.1.gz
    share/doc/orvel-keywatcher/copyright share/doc/orvel-keywatcher/README.md"
status=0
for file in $files; do
    if [ -s "$prefix/$file" ]; then echo "ok $file"; else echo "FAIL missing $file"; status=1; fi
done
[ -x "$prefix/bin/orvel-keywatcher" ] || { echo "FAIL bin/orvel-keywatcher is not executable"; status=1; }
exit $status
