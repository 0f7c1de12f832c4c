#!/bin/sh
# Installs the tests' tools from npm, exactly as package-lock.json pins them
# (by version and integrity hash), into TOOLS-DIR/node_modules. npm's cache is
# kept there too, so nothing is left outside the build directory. An install
# of the same lock file is kept.
# Usage: install.sh TOOLS-DIR
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../progress.sh"
tools=$1
mkdir -p "$tools"
if cmp -s "$here/package-lock.json" "$tools/installed.lock"; then
    exit 0
fi
command -v npm >/dev/null || { echo "install.sh: npm is missing (scripts/test installs it)"; exit 1; }
cp "$here/package.json" "$here/package-lock.json" "$tools/"
progress "fetching the test tools from npm (zig 0.11.0, Verdaccio, TypeScript: about 430 MB unpacked," \
    "and action-validator): first run only, about a minute"
# One request first, without retries: a registry that cannot be reached or
# trusted is said at once, not after a minute of npm's retries.
if ! (cd "$tools" && npm ping --fetch-retries=0 --cache "$tools/npm-cache" --loglevel=error &&
    npm ci --no-audit --no-fund --cache "$tools/npm-cache" --loglevel=error) \
    >"$tools/npm.log" 2>&1; then
    cat "$tools/npm.log"
    # Node.js trusts its own certificate authorities, not the system's.
    if grep -qE 'SELF_SIGNED_CERT|UNABLE_TO_GET_ISSUER_CERT|UNABLE_TO_VERIFY_LEAF_SIGNATURE|CERT_' \
        "$tools/npm.log"; then
        progress "install.sh: npm does not trust the certificate of the registry it reached:" \
            "behind an HTTPS proxy that re-signs traffic, point Node.js at the proxy's" \
            "certificate (export NODE_EXTRA_CA_CERTS=/path/to/proxy-ca.pem, or" \
            "npm config set cafile /path/to/proxy-ca.pem) and run the tests again"
    fi
    exit 1
fi
cp "$here/package-lock.json" "$tools/installed.lock"
