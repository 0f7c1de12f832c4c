#!/bin/sh
# The npm packages, packed into OUT-DIR as npm publishes them: one package
# per program, each holding that program with its execute bit, a one-line
# README and the licence, for one os and cpu; and the main package
# orvel-keywatcher (the Node.js client in clients/node, its types, the npx
# runner and its README), which lists them all in its optionalDependencies
# at its version. Every manifest names the repository (npm's provenance
# requires it to be the one that built the package), its page and its
# issues. With --no-main the main package is left to another run (the
# release makes it once, on Linux).
# Usage: pack.sh SOURCE-DIR OUT-DIR OWNER/NAME [--no-main] PLATFORM=PROGRAM...
set -eu
source=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
. "$source/packaging/platforms.sh"
url=$(repository_url "$3")
shift 3
main=yes
[ "${1:-}" != --no-main ] || { main=; shift; }
version=$(sed -n 's/^  "version": "\(.*\)",$/\1/p' "$source/clients/node/package.json")
stage=$out/stage
rm -rf "$stage"
mkdir -p "$stage"

# The manifest in $1 gets the repository's fields after its licence.
stamp() {  # PACKAGE-JSON
    URL=$url node -e '
        const fs = require("fs"), file = process.argv[1], url = process.env.URL;
        const manifest = {};
        for (const [key, value] of Object.entries(JSON.parse(fs.readFileSync(file, "utf8")))) {
            manifest[key] = value;
            if (key === "license")
                Object.assign(manifest, { repository: { type: "git", url: `git+${url}.git` },
                    homepage: `${url}#readme`, bugs: { url: `${url}/issues` } });
        }
        fs.writeFileSync(file, JSON.stringify(manifest, null, 2) + "\n");' "$1"
}

for pair in "$@"; do
    platform=${pair%%=*} program=${pair#*=}
    platform_facts "$platform"
    name=orvel-keywatcher-$platform
    dir=$stage/$name
    mkdir -p "$dir/bin"
    cp "$program" "$dir/bin/$program_file"
    chmod 755 "$dir/bin/$program_file"
    cp "$source/packaging/copyright" "$dir/LICENSE"
    printf '# %s\n\nThe orvel-keywatcher program for %s, installed by the `orvel-keywatcher` package: install that one (`npm install orvel-keywatcher`), not this.\n' \
        "$name" "$platform" >"$dir/README.md"
    cat >"$dir/package.json" <<JSON
{
  "name": "$name",
  "version": "$version",
  "description": "The orvel-keywatcher program for $platform, for the orvel-keywatcher package",
  "license": "SEE LICENSE IN LICENSE",
  "os": ["$os"],
  "cpu": ["$(echo "$cpu" | sed 's/,/", "/g')"],
  "preferUnplugged": true,
  "files": ["bin/$program_file", "LICENSE"]
}
JSON
    stamp "$dir/package.json"
done

if [ -n "$main" ]; then
    dir=$stage/orvel-keywatcher
    mkdir -p "$dir"
    (cd "$source/clients/node" && cp package.json README.md orvel-keywatcher.js orvel-keywatcher.d.ts cli.js "$dir/")
    cp "$source/packaging/copyright" "$dir/LICENSE"
    stamp "$dir/package.json"
fi
for dir in "$stage"/*; do
    (cd "$dir" && npm pack --pack-destination "$out" --loglevel=error >/dev/null)
done
ls "$out"/*.tgz
