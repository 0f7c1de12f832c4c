#!/bin/sh
# The whole project, tests included, built with clang and warnings as errors:
# the macOS build uses clang, which warns where GCC does not
# (-Wsign-conversion under -Wconversion, for one).
# Usage: build.sh SOURCE-DIR BUILD-DIR
set -u
source=$1 build=$2
. "$source/tests/progress.sh"
command -v clang++ >/dev/null || { echo "FAIL clang++ is missing (scripts/test installs clang)"; exit 1; }
mkdir -p "$build"
progress "building everything again with clang, warnings as errors"
CXX=clang++ cmake -S "$source" -B "$build" -DBUILD_TESTING=ON -DORVEL_WERROR=ON \
    >"$build/configure.log" 2>&1 || { cat "$build/configure.log"; echo "FAIL configure"; exit 1; }
cmake --build "$build" -j "$(nproc)" >"$build/build.log" 2>&1 || {
    grep -E -A4 'error|warning' "$build/build.log" | head -n 60
    echo "FAIL build with $(clang++ --version | head -n 1)"
    exit 1
}
echo "ok built with $(clang++ --version | head -n 1), warnings as errors"
