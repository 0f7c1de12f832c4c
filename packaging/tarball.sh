#!/bin/sh
# A download: OUTPUT-DIR/NAME.tar.gz, holding NAME/ with the program as given,
# its manual and the README. The release packs the macOS and static Linux
# programs with it, and the tests pack their builds the same way. Prints the
# tarball's path.
# Usage: tarball.sh OUTPUT-DIR NAME PROGRAM SOURCE-DIR
set -eu
output=$(mkdir -p "$1" && cd "$1" && pwd) name=$2 program=$3 source=$4
rm -rf "${output:?}/$name"
mkdir "$output/$name"
cp "$program" "$output/$name/orvel-keywatcher"
cp "$source/man/orvel-keywatcher.1" "$source/README.md" "$output/$name/"
tar -C "$output" -czf "$output/$name.tar.gz" "$name"
echo "$output/$name.tar.gz"
