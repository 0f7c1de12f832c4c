#!/bin/sh
# Publishes a release's packages from the folder of its files, and may be
# run again after a failure anywhere until it completes: each version is
# asked of the registry first; one already published with the same bytes is
# skipped and said, one published with other bytes is a failure that names
# it (a published version can never change).
#   npm: there must be one main package, and every program package it names
#   must be among the files at its version, and no other; nothing is
#   published otherwise. The program packages go first, then the main one,
#   so that the main package never names a version the registry lacks.
#   --provenance adds npm's provenance, for which every manifest must name
#   the repository building it ($GITHUB_REPOSITORY).
#   python: one wheel per program, all of one version. INDEX is a folder, or
#   "pypi": the Python package index, with a token from its trusted
#   publishing (GitHub Actions' OIDC identity) unless TWINE_PASSWORD is set,
#   uploaded with twine.
#   crate: the Rust client in CRATE-DIR, to crates.io with the token in
#   CARGO_REGISTRY_TOKEN (its trusted publishing gives one), the manifest
#   given this repository's address ($GITHUB_REPOSITORY) first. A version
#   there already is skipped where its checksum is this package's, and a
#   failure otherwise.
# Usage: publish.sh npm REGISTRY-URL FILES-DIR [--provenance]
#        publish.sh python INDEX FILES-DIR
#        publish.sh crate crates.io CRATE-DIR
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/platforms.sh"
[ $# -ge 3 ] || { sed -n 's/^# Usage: /usage: /p; s/^#        /       /p' "$0" >&2; exit 2; }
kind=$1 target=$2 files=$(cd "$3" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "publish.sh: $*" >&2; exit 1; }
say() { echo "publish.sh: $*"; }

# NAME VERSION FILE for each npm package, in the order they are published,
# after the checks; or the reason they fail.
npm_plan() {  # PROVENANCE
    EXPECTED_URL=${1:+git+https://github.com/${GITHUB_REPOSITORY:-}.git} node -e '
        const { execFileSync } = require("child_process"), fs = require("fs"), dir = process.argv[1];
        const found = fs.readdirSync(dir).filter((f) => f.endsWith(".tgz")).sort().map((file) => ({ file,
            manifest: JSON.parse(execFileSync("tar", ["-xzOf", `${dir}/${file}`, "package/package.json"])) }));
        const stop = (why) => { console.error(why); process.exit(1); };
        const mains = found.filter((p) => p.manifest.name === "orvel-keywatcher");
        if (mains.length !== 1)
            stop(`${mains.length} main packages (orvel-keywatcher) among the files, not one: ${mains.map((p) => p.file)}`);
        const main = mains[0].manifest, wanted = main.optionalDependencies || {};
        const programs = found.filter((p) => p !== mains[0]);
        for (const [name, version] of Object.entries(wanted)) {
            const got = programs.find((p) => p.manifest.name === name);
            if (!got) stop(`${main.name}@${main.version} names ${name}@${version}, which is not among the files`);
            if (got.manifest.version !== version || version !== main.version)
                stop(`${main.name}@${main.version} names ${name}@${version}, but the file ${got.file} is ${got.manifest.version}`);
        }
        for (const p of programs)
            if (!(p.manifest.name in wanted)) stop(`${p.file} (${p.manifest.name}) is not named by ${main.name}@${main.version}`);
        const expected = process.env.EXPECTED_URL;
        for (const p of found)
            if (expected && (p.manifest.repository || {}).url !== expected)
                stop(`${p.file} names the repository ${(p.manifest.repository || {}).url}, not ${expected}: npm refuses its provenance`);
        for (const p of [...programs, mains[0]]) console.log(p.manifest.name, p.manifest.version, p.file);' "$files"
}

# The integrity npm records for a tarball's bytes.
integrity() {  # FILE
    node -e 'const c = require("crypto"), fs = require("fs");
        console.log("sha512-" + c.createHash("sha512").update(fs.readFileSync(process.argv[1])).digest("base64"));' "$1"
}

publish_npm() {  # REGISTRY [--provenance]
    registry=$1 provenance=${2:-}
    plan=$(npm_plan "$provenance" 2>"$scratch/why") || fail "nothing published: $(cat "$scratch/why")"
    echo "$plan" | while read -r name version file; do
        published=$(npm view "$name@$version" dist.integrity --registry "$registry" 2>"$scratch/view") ||
            grep -q E404 "$scratch/view" || fail "cannot ask $registry for $name: $(cat "$scratch/view")"
        ours=$(integrity "$files/$file")
        if [ -z "$published" ]; then
            npm publish "$files/$file" --registry "$registry" --access public $provenance --loglevel=error ||
                fail "$name@$version: npm publish failed (run this again once the cause is mended)"
            say "$name@$version: published"
        elif [ "$published" = "$ours" ]; then
            say "$name@$version: already published with the same bytes, skipped"
        else
            fail "$name@$version is already published with other bytes ($published, here $ours): a published version cannot change; release a new version"
        fi
    done
}

# WHEEL... of the release, one per program, all of one version; or the reason not.
wheel_plan() {
    version=
    for platform in $platform_names; do
        platform_facts "$platform"
        wheel=$(cd "$files" && ls orvel_keywatcher-*-py3-none-"$wheel_tag".whl 2>/dev/null) ||
            { echo "no wheel for $platform (*-py3-none-$wheel_tag.whl) among the files" >&2; return 1; }
        this=$(echo "$wheel" | cut -d- -f2)
        [ -z "$version" ] || [ "$this" = "$version" ] ||
            { echo "the wheels are of more than one version: $version and $this" >&2; return 1; }
        version=$this
        echo "$wheel"
    done
}

# The sha256 of each file of VERSION the Python package index has: FILENAME SUM lines.
index_sums() {  # VERSION
    curl -fsS "https://pypi.org/pypi/orvel-keywatcher/$1/json" 2>/dev/null | python3 -c '
import json, sys
for url in json.load(sys.stdin)["urls"]:
    print(url["filename"], url["digests"]["sha256"])' || true
}

# A short-lived upload token from the index's trusted publishing.
trusted_token() {
    [ -n "${ACTIONS_ID_TOKEN_REQUEST_URL:-}" ] ||
        fail "no TWINE_PASSWORD, and no OIDC identity (a GitHub Actions job with id-token: write) for trusted publishing"
    audience=$(curl -fsS https://pypi.org/_/oidc/audience | python3 -c 'import json, sys; print(json.load(sys.stdin)["audience"])')
    oidc=$(curl -fsS -H "Authorization: bearer $ACTIONS_ID_TOKEN_REQUEST_TOKEN" \
        "$ACTIONS_ID_TOKEN_REQUEST_URL&audience=$audience" | python3 -c 'import json, sys; print(json.load(sys.stdin)["value"])')
    printf '{"token": "%s"}' "$oidc" | curl -fsS -X POST --data-binary @- https://pypi.org/_/oidc/mint-token |
        python3 -c 'import json, sys; print(json.load(sys.stdin)["token"])' ||
        fail "the index refused a token: is this workflow its trusted publisher (environment pypi)?"
}

publish_python() {  # INDEX
    wheels=$(wheel_plan 2>"$scratch/why") || fail "nothing published: $(cat "$scratch/why")"
    version=$(echo "$wheels" | head -n 1 | cut -d- -f2)
    [ "$1" = pypi ] || { mkdir -p "$1" && sums=$(cd "$1" && sha256sum -- *.whl 2>/dev/null | awk '{print $2, $1}'); }
    [ "$1" != pypi ] || sums=$(index_sums "$version")
    upload=
    for wheel in $wheels; do
        theirs=$(echo "$sums" | awk -v f="$wheel" '$1 == f {print $2}')
        ours=$(sha256sum "$files/$wheel" | cut -d' ' -f1)
        if [ -z "$theirs" ]; then
            upload="$upload $files/$wheel"
        elif [ "$theirs" = "$ours" ]; then
            say "$wheel: already published with the same bytes, skipped"
        else
            fail "$wheel is already published with other bytes (sha256 $theirs, here $ours): a published file cannot change; release a new version"
        fi
    done
    [ -n "$upload" ] || return 0
    if [ "$1" = pypi ]; then
        TWINE_PASSWORD=${TWINE_PASSWORD:-$(trusted_token)} TWINE_USERNAME=__token__ \
            twine upload --non-interactive --repository-url https://upload.pypi.org/legacy/ $upload ||
            fail "twine upload failed (run this again once the cause is mended)"
    else
        cp $upload "$1/"
    fi
    for wheel in $upload; do say "$(basename "$wheel"): published"; done
}

publish_crate() {
    [ -n "${GITHUB_REPOSITORY:-}" ] || fail "the crate names its repository: GITHUB_REPOSITORY is not set"
    mkdir "$scratch/crate"
    (cd "$files" && cp -RL Cargo.toml README.md LICENSE src examples "$scratch/crate/")
    manifest=$scratch/crate/Cargo.toml
    url=$(repository_url "$GITHUB_REPOSITORY")
    sed -i "s|^license-file = |repository = \"$url\"\nhomepage = \"$url\"\nlicense-file = |" "$manifest"
    version=$(sed -n 's/^version = "\(.*\)"$/\1/p' "$manifest")
    (cd "$scratch/crate" && cargo package --quiet --allow-dirty) || fail "cargo package failed"
    crate=$scratch/crate/target/package/orvel-keywatcher-$version.crate
    theirs=$(curl -fsS -A "orvel-keywatcher release ($url)" \
        "https://crates.io/api/v1/crates/orvel-keywatcher/$version" 2>/dev/null |
        python3 -c 'import json, sys; print(json.load(sys.stdin)["version"]["checksum"])' 2>/dev/null) || theirs=
    ours=$(sha256sum "$crate" | cut -d' ' -f1)
    if [ -z "$theirs" ]; then
        (cd "$scratch/crate" && cargo publish --quiet --allow-dirty) ||
            fail "orvel-keywatcher $version: cargo publish failed (run this again once the cause is mended)"
        say "orvel-keywatcher $version (crate): published"
    elif [ "$theirs" = "$ours" ]; then
        say "orvel-keywatcher $version (crate): already published with the same bytes, skipped"
    else
        fail "orvel-keywatcher $version (crate) is already published with other bytes (sha256 $theirs, here $ours): release a new version"
    fi
}

case $kind in
    npm) publish_npm "$target" "${4:-}" ;;
    python) publish_python "$target" ;;
    crate) publish_crate ;;
    *) fail "no such kind: $kind (npm, python or crate)" ;;
esac
