#!/bin/sh
# A download: OUTPUT-DIR/NAME.tar.gz, holding NAME/ with the program as given,
# its manual and the README. The release packs the macOS and static Linux
# programs with it, and the tests pack their builds the same way. Prints the
# tarball's path. The same files give the same bytes: names sorted, modes,
# owners and times fixed (SOURCE_DATE_EPOCH, else the source's last commit),
# and no name or time in the gzip header.
# Usage: tarball.sh OUTPUT-DIR NAME PROGRAM SOURCE-DIR
set -eu
output=$(mkdir -p "$1" && cd "$1" && pwd) name=$2 program=$3 source=$4
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$source" log -1 --format=%ct 2>/dev/null || echo 0)}
rm -rf "${output:?}/$name"
mkdir "$output/$name"
cp "$program" "$output/$name/orvel-keywatcher"
cp "$source/man/orvel-keywatcher.1" "$source/README.md" "$output/$name/"
chmod 0755 "$output/$name" "$output/$name/orvel-keywatcher"
chmod 0644 "$output/$name/orvel-keywatcher.1" "$output/$name/README.md"
tar -C "$output" --sort=name --mtime="@$epoch" --owner=0 --group=0 --numeric-owner \
    --format=gnu -cf - "$name" | gzip -9n >"$output/$name.tar.gz"
echo "$output/$name.tar.gz"
