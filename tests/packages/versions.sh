#!/bin/sh
# One version everywhere: the project's (CMakeLists.txt) is the npm main
# package's, each program package's it depends on, the Python package's
# (read from CMakeLists.txt by its build), the Rust crate's, the formula's
# and the changelog's.
# Usage: versions.sh SOURCE-DIR
set -u
source=$1
. "$source/tests/checks.sh"
version=$(sed -n 's/^project(orvel-keywatcher VERSION \([^ ]*\) .*/\1/p' "$source/CMakeLists.txt")
echo "the project's version: $version"
node=$source/clients/node/package.json
check "the npm package's version" test "$(sed -n 's/^  "version": "\(.*\)",$/\1/p' "$node")" = "$version"
others=$(sed -n 's/^    "orvel-keywatcher-[a-z0-9-]*": "\(.*\)",\{0,1\}$/\1/p' "$node" | sort -u | tr '\n' ' ')
check "its five program packages, at that version" eval \
    'test "$(grep -c "^    \"orvel-keywatcher-" "$node")" = 5 && test "$others" = "$version "'
check "the Python package's version comes from CMakeLists.txt" \
    grep -q '^path = "../../CMakeLists.txt"$' "$source/clients/python/pyproject.toml"
check "the Rust crate's" grep -q "^version = \"$version\"$" "$source/clients/rust/Cargo.toml"
check "the formula's" grep -q "/v$version/orvel-keywatcher-$version.tar.gz\"$" "$source/Formula/orvel-keywatcher.rb"
check "the changelog's" grep -q "^orvel-keywatcher ($version) " "$source/packaging/changelog"
checks_done "versions"
