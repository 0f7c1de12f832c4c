#!/bin/sh
# The npm packages, packed into OUT-DIR as npm publishes them: the main
# package orvel-keywatcher (the Node.js client in clients/node, its types,
# the npx runner) and one package per program, each holding that program
# with its execute bit and the licence, for one os and cpu, and listed in
# the main package's optionalDependencies at its version.
# Usage: pack.sh SOURCE-DIR OUT-DIR PLATFORM=PROGRAM...
#   PLATFORM is one of darwin-universal, linux-x64, linux-arm64, win32-x64, win32-arm64
set -eu
source=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
shift 2
version=$(sed -n 's/^  "version": "\(.*\)",$/\1/p' "$source/clients/node/package.json")
stage=$out/stage
rm -rf "$stage"
mkdir -p "$stage"

# os and cpu of each platform package (npm's names: process.platform, process.arch).
facts() {  # PLATFORM
    case $1 in
        darwin-universal) echo '"darwin"' '"arm64", "x64"' ;;
        linux-x64) echo '"linux"' '"x64"' ;;
        linux-arm64) echo '"linux"' '"arm64"' ;;
        win32-x64) echo '"win32"' '"x64"' ;;
        win32-arm64) echo '"win32"' '"arm64"' ;;
        *) echo "pack.sh: no such platform: $1" >&2; exit 2 ;;
    esac
}

for pair in "$@"; do
    platform=${pair%%=*} program=${pair#*=}
    os=$(facts "$platform" | cut -d' ' -f1) cpu=$(facts "$platform" | cut -d' ' -f2-)
    name=orvel-keywatcher-$platform
    file=orvel-keywatcher
    case $platform in win32-*) file=orvel-keywatcher.exe ;; esac
    dir=$stage/$name
    mkdir -p "$dir/bin"
    cp "$program" "$dir/bin/$file"
    chmod 755 "$dir/bin/$file"
    cp "$source/packaging/copyright" "$dir/LICENSE"
    cat >"$dir/package.json" <<JSON
{
  "name": "$name",
  "version": "$version",
  "description": "The orvel-keywatcher program for $platform, for the orvel-keywatcher package",
  "license": "SEE LICENSE IN LICENSE",
  "os": [$os],
  "cpu": [$cpu],
  "preferUnplugged": true,
  "files": ["bin/$file", "LICENSE"]
}
JSON
done

main=$stage/orvel-keywatcher
mkdir -p "$main"
(cd "$source/clients/node" && cp package.json orvel-keywatcher.js orvel-keywatcher.d.ts cli.js "$main/")
cp "$source/packaging/copyright" "$main/LICENSE"
for dir in "$stage"/*; do
    (cd "$dir" && npm pack --pack-destination "$out" --loglevel=error >/dev/null)
done
ls "$out"/*.tgz
