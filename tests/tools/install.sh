#!/bin/sh
# Installs the tests' tools from npm, exactly as package-lock.json pins them
# (by version and integrity hash), into TOOLS-DIR/node_modules. npm's cache is
# kept there too, so nothing is left outside the build directory. An install
# of the same lock file is kept.
# Usage: install.sh TOOLS-DIR
set -eu
here=$(cd "$(dirname "$0")" && pwd)
tools=$1
mkdir -p "$tools"
if [ -d "$tools/node_modules" ] && cmp -s "$here/package-lock.json" "$tools/package-lock.json"; then
    exit 0
fi
command -v npm >/dev/null || { echo "install.sh: npm is missing (scripts/test installs it)" >&2; exit 1; }
cp "$here/package.json" "$here/package-lock.json" "$tools/"
echo "installing the test tools from npm (zig 0.11.0, action-validator); first run only" >&2
(cd "$tools" && npm ci --no-audit --no-fund --cache "$tools/npm-cache" --loglevel=error >&2)
