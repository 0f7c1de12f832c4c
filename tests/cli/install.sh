#!/bin/sh
# The README's `cmake --install --strip` into a temporary prefix puts the
# watcher in bin/ and its manual in share/man/man1/ (gzipped on Linux, with
# the copyright file, the README and the changelog in share/doc/), and
# nothing else: what belongs to the Debian package alone stays out. On Linux
# the binary is stripped. The README's uninstall then takes all of it away,
# with every folder the install created, even after a Debian package was
# made in the same build folder, and keeps a folder that was there before
# (share/man, as on Debian). Run as root, it checks too that the notes the
# install writes in the build folder keep the owner they had, as they must
# when the install is run with sudo and the folder is a user's.
# Usage: install.sh BUILD-DIR
set -eu
prefix=$(mktemp -d)
# The record of a real install from this build folder (the README's, into
# /usr/local) is put back afterwards, so that its uninstall still works.
record=$1/install_record.txt
cp "$record" "$prefix.record" 2>/dev/null || : >"$prefix.record"
trap 'rm -rf "$prefix"; cat "$prefix.record" >"$record"; rm -f "$prefix.record"' EXIT
mkdir -p "$prefix/share/man"
notes="$1/install_manifest.txt $record"
owners() { stat -c %u "$@" 2>/dev/null || stat -f %u "$@" 2>/dev/null; }  # GNU, BSD
as_root=; [ "$(id -u)" != 0 ] || as_root=yes
owner=$(owners "$1")
[ -z "$as_root" ] || chown 65534 $notes 2>/dev/null || true
cmake --install "$1" --prefix "$prefix" --strip >/dev/null
expected="bin/orvel-keywatcher
share/man/man1/orvel-keywatcher.1"
[ "$(uname)" = Darwin ] || expected="bin/orvel-keywatcher
share/doc/orvel-keywatcher/README.md
share/doc/orvel-keywatcher/changelog.gz
share/doc/orvel-keywatcher/copyright
share/man/man1/orvel-keywatcher.1.gz"
installed=$(cd "$prefix" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
status=0
if [ "$installed" = "$expected" ]; then
    echo "ok installed: $(echo $installed)"
else
    echo "FAIL installed: $(echo $installed); expected: $(echo $expected)"
    status=1
fi
[ -x "$prefix/bin/orvel-keywatcher" ] || { echo "FAIL bin/orvel-keywatcher is not executable"; status=1; }
if [ "$(uname)" != Darwin ]; then
    if file "$prefix/bin/orvel-keywatcher" | grep -q 'not stripped'; then
        echo "FAIL bin/orvel-keywatcher is not stripped"
        status=1
    else
        echo "ok bin/orvel-keywatcher is stripped"
    fi
fi
if [ "$(uname)" != Darwin ] && command -v cpack >/dev/null; then
    (cd "$1" && cpack -G DEB >/dev/null 2>&1) || true  # writes its own install_manifest.txt
fi
cmake -P "$1/uninstall.cmake" >/dev/null
if [ -z "$as_root" ]; then
    echo "skipped the notes' owner: needs root, to give them another owner"
elif [ "$(owners $notes)" = "$(printf '65534\n65534')" ]; then
    echo "ok the install's notes in the build folder keep their owner"
else
    echo "FAIL the install's notes in the build folder were made anew or lost their owner"
    status=1
fi
[ -z "$as_root" ] || chown "$owner" $notes 2>/dev/null || true
left=$(cd "$prefix" && find . -mindepth 1 | sed 's|^\./||' | LC_ALL=C sort | tr '\n' ' ')
if [ "$left" = "share share/man " ]; then
    echo "ok uninstalled: nothing left but share/man, there before"
else
    echo "FAIL uninstalled: left $left(only share and share/man were there before)"
    status=1
fi
exit $status
