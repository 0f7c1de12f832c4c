#!/bin/sh
# The Tauri sidecars of a release: OUT-DIR/orvel-keywatcher-VERSION-tauri-sidecars.tar.gz,
# every program under each target triple Tauri asks for
# (packaging/platforms.sh), named orvel-keywatcher-TRIPLE (.exe on
# Windows), each with its execute bit: unpacked into src-tauri/binaries/,
# `bundle.externalBin: ["binaries/orvel-keywatcher"]` takes them as they
# are. The universal macOS program serves both Mac triples and
# universal-apple-darwin; a static Linux program serves gnu and musl alike.
# Every one of the five programs must be given. The same programs give the
# same bytes (times from SOURCE_DATE_EPOCH, else 0). Prints the archive.
# Usage: sidecars.sh OUT-DIR VERSION PLATFORM=PROGRAM...
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/platforms.sh"
mkdir -p "$1"
out=$(cd "$1" && pwd) version=$2
shift 2
name=orvel-keywatcher-$version-tauri-sidecars
stage=$out/$name
rm -rf "$stage"
mkdir -p "$stage"
for platform in $platform_names; do
    program=
    for pair in "$@"; do
        [ "${pair%%=*}" != "$platform" ] || program=${pair#*=}
    done
    [ -n "$program" ] || { echo "sidecars.sh: no program for $platform (all five are needed)" >&2; exit 1; }
    platform_facts "$platform"
    for triple in $(echo "$triples" | tr , ' '); do
        file=orvel-keywatcher-$triple
        case $triple in *-windows-*) file=$file.exe ;; esac
        cp "$program" "$stage/$file"
        chmod 0755 "$stage/$file"
    done
done
chmod 0755 "$stage"
tar -C "$out" --sort=name --mtime="@${SOURCE_DATE_EPOCH:-0}" --owner=0 --group=0 --numeric-owner \
    --format=gnu -cf - "$name" | gzip -9n >"$out/$name.tar.gz"
rm -rf "$stage"
echo "$out/$name.tar.gz"
