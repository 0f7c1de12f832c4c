#!/bin/sh
# The npm packages as a user installs them: packed from clients/node and the
# programs the cross-build and static tiers made, published to a Verdaccio
# registry on the loopback address (started and stopped here), and installed
# into fresh projects by packaging/publish.sh, which refuses a release that
# lacks a program package, changes nothing when run again, and names a
# package whose bytes changed. Exactly this machine's program package comes, or with
# npm's --os and --cpu each other system's own; without optional
# dependencies the client names the missing package; the program keeps its
# execute bit and new KeyWatcher() starts it; the runner passes its status
# and a killing signal through; the ES module import and the types check.
# Usage: npm.sh SOURCE-DIR BUILD-DIR TOOLS-DIR VERSION
set -u
source=$(cd "$1" && pwd) build=$2 tools=$3 version=$4
. "$source/tests/checks.sh"
. "$source/tests/progress.sh"
for tool in node npm curl python3; do
    command -v "$tool" >/dev/null || { echo "FAIL $tool is missing (scripts/test installs it)"; exit 1; }
done
"$source/tests/tools/install.sh" "$tools" || exit 1
mkdir -p "$build"
build=$(cd "$build" && pwd) tools=$(cd "$tools" && pwd)
work=$build/npm
rm -rf "$work"
mkdir -p "$work"
top=$(cd "$build/.." && pwd)
. "$source/tests/built_programs.sh"
"$source/packaging/npm/pack.sh" "$source" "$work/packed" orvel/orvel-keywatcher $programs >/dev/null || { echo "FAIL pack"; exit 1; }
for file in "$work"/packed/*.tgz; do echo "size: $(basename "$file") $(wc -c <"$file") bytes"; done

# The registry, on a free port of the loopback address, gone when this ends.
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
registry=http://127.0.0.1:$port/
cat >"$work/verdaccio.yaml" <<YAML
storage: $work/storage
auth: { htpasswd: { file: $work/htpasswd, max_users: 10 } }
uplinks: {}
packages: { '**': { access: \$all, publish: \$authenticated } }
listen: 127.0.0.1:$port
log: { type: file, path: $work/verdaccio.log, level: warn }
YAML
node "$tools/node_modules/verdaccio/bin/verdaccio" --config "$work/verdaccio.yaml" >"$work/server.log" 2>&1 &
server=$!
trap 'kill $server 2>/dev/null' EXIT
tries=0
until curl -fs "${registry}-/ping" >/dev/null; do
    tries=$((tries + 1))
    [ $tries -lt 600 ] || { cat "$work/server.log"; echo "FAIL the registry did not start within 60 s"; exit 1; }
    sleep 0.1
done
token=$(curl -fs -X PUT -H 'Content-Type: application/json' -d '{"name":"tests","password":"tests"}' \
    "${registry}-/user/org.couchdb.user:tests" | tr -d ' \n' | sed -n 's/.*"token":"\([^"]*\)".*/\1/p')
printf 'registry=%s\n//127.0.0.1:%s/:_authToken=%s\n' "$registry" "$port" "$token" >"$work/npmrc"
export npm_config_userconfig="$work/npmrc" npm_config_cache="$work/cache"
export npm_config_audit=false npm_config_fund=false npm_config_update_notifier=false
publish() {  # FILES-DIR [OPTION] -> status; its output in $work/publish.log
    "$source/packaging/publish.sh" npm "$registry" "$@" >"$work/publish.log" 2>&1
    published=$? && cat "$work/publish.log" | sed 's/^/    /'
    return $published
}
variant() {  # NAME: a copy of the packed files
    rm -rf "$work/$1" && cp -r "$work/packed" "$work/$1" && rm -rf "$work/$1/stage"
}
said() { test "$(grep -c "$1" "$work/publish.log")" = "$2"; }
variant incomplete
rm "$work/incomplete/orvel-keywatcher-linux-arm64-$version.tgz"
check "publish.sh refuses a main package naming a missing program, before publishing anything" eval \
    '! publish "$work/incomplete" && grep -q "nothing published: .*names orvel-keywatcher-linux-arm64@$version, which is not among" "$work/publish.log" &&
     ! npm view orvel-keywatcher-darwin-universal version >/dev/null 2>&1'
check "with provenance, a manifest naming another repository is refused" eval \
    '! GITHUB_REPOSITORY=someone/else publish "$work/packed" --provenance && said "not git+https://github.com/someone/else.git" 1'
check "publish.sh publishes the six packages, the main one last" eval \
    'publish "$work/packed" && said ": published$" 6 && tail -n 1 "$work/publish.log" | grep -q "^publish.sh: orvel-keywatcher@$version: published$"'
check "run again, it changes nothing and says so" eval 'publish "$work/packed" && said "same bytes, skipped$" 6'
variant changed
gunzip -c "$work/packed/orvel-keywatcher-win32-x64-$version.tgz" | gzip -1 >"$work/changed/orvel-keywatcher-win32-x64-$version.tgz"
check "a package whose bytes changed fails, naming it" eval \
    '! publish "$work/changed" && said "orvel-keywatcher-win32-x64@$version is already published with other bytes" 1'

# A fresh project with the main package installed: the packages it has.
install() {  # DIR NPM-OPTION...
    dir=$work/$1
    shift
    mkdir -p "$dir"
    echo '{"private": true}' >"$dir/package.json"
    (cd "$dir" && npm install orvel-keywatcher "$@" --loglevel=error >"$dir.log" 2>&1) || cat "$dir.log"
    installed=$(cd "$dir/node_modules" 2>/dev/null && ls -d orvel-keywatcher* | tr '\n' ' ')
}
start=$(date +%s%N)
install here
echo "time: npm install from the local registry, $((($(date +%s%N) - start) / 1000000)) ms"
check "npm install here: this machine's package alone" \
    test "$installed" = "orvel-keywatcher orvel-keywatcher-linux-x64 "
for other in darwin,arm64,darwin-universal darwin,x64,darwin-universal linux,arm64,linux-arm64 \
    win32,x64,win32-x64 win32,arm64,win32-arm64; do
    IFS=, read -r os cpu package <<EOF
$other
EOF
    install "$os-$cpu" --os="$os" --cpu="$cpu"
    check "npm install --os=$os --cpu=$cpu: $package alone" \
        test "$installed" = "orvel-keywatcher orvel-keywatcher-$package "
done
install omitted --omit=optional
check "--omit=optional: start() names the package, why it is missing and the command" eval '(cd "$work/omitted" &&
    node -e "new (require(\"orvel-keywatcher\").KeyWatcher)().start().catch((e) => console.log(e.message))") |
    grep -q "the package orvel-keywatcher-linux-x64, which holds the program for linux x64, is not installed. Where optional dependencies were left out (--omit=optional), run npm install --include=optional"'

cd "$work/here"
program=node_modules/orvel-keywatcher-linux-x64/bin/orvel-keywatcher
check "each package has its README and names the repository, its page and its issues" eval '(for dir in \
    node_modules/orvel-keywatcher node_modules/orvel-keywatcher-linux-x64; do test -s $dir/README.md && node -e "
    const m = require(\"./$dir/package.json\"), url = \"https://github.com/orvel/orvel-keywatcher\";
    if (m.repository.url !== \"git+\" + url + \".git\" || m.bugs.url !== url + \"/issues\" || !m.homepage.startsWith(url))
        process.exit(1);" || exit 1; done)'
check "the program keeps its execute bit" test -x "$program"
check "the program is the static download's" cmp -s "$program" "$(program_of linux-x64)"
if [ -e /dev/input ]; then
    echo "skipped the program's own failure: this machine has /dev/input"
else
    expected="orvel-keywatcher: cannot read any keyboard in /dev/input: No such file or directory"
    check "new KeyWatcher() starts it: its own message" test "$(node -e '
        const { KeyWatcher } = require("orvel-keywatcher");
        new KeyWatcher().start().catch((error) => console.log(error.message));')" = "$expected"
    npx --no orvel-keywatcher >"$work/npx.out" 2>"$work/npx.err"
    check "npx orvel-keywatcher: its status and message" test "$? $(cat "$work/npx.out" "$work/npx.err")" = "1 $expected"
fi
# The runner, with a program that writes until its reader goes.
printf '#!/bin/sh\nexec yes\n' >"$program"
status=$(bash -c 'node_modules/.bin/orvel-keywatcher | head -n 1 >/dev/null; echo "${PIPESTATUS[0]}"')
check "the runner is killed by SIGPIPE as its program is (status $status)" test "$status" = 141
status=$(bash -c 'npx --no orvel-keywatcher | head -n 1 >/dev/null; echo "${PIPESTATUS[0]}"')
check "npx orvel-keywatcher is killed by SIGPIPE too (status $status)" test "$status" = 141
check "import { KeyWatcher } from an ES module" test "$(node --input-type=module -e '
    import { KeyWatcher, bundledWatcher } from "orvel-keywatcher";
    console.log(typeof KeyWatcher, bundledWatcher().endsWith("/bin/orvel-keywatcher"));')" = "function true"
cat >uses.ts <<'TS'
import { KeyWatcher, Ending, describe, installedWatcher } from 'orvel-keywatcher';
const watcher = new KeyWatcher(installedWatcher() ?? undefined);
watcher.on('change', (name: string, down: boolean, count: number) => console.log(name, down, count));
watcher.on('end', (ending: Ending) => console.log(describe(ending)));
watcher.start().then(() => watcher.stop(500)).then((ending) => console.log(ending?.stopped));
const held: boolean = watcher.isDown('shift') && watcher.count('ctrl') > 0;
TS
cd "$work"
check "try_installed.sh: as a user installs it from the registry" \
    env TRIES=1 "$source/packaging/try_installed.sh" "$version" npm
cd "$work/here"
check "the types: tsc --noEmit on a program that uses them" \
    node "$tools/node_modules/typescript/bin/tsc" --noEmit --strict --module nodenext \
    --moduleResolution nodenext --typeRoots "$tools/node_modules/@types" --types node uses.ts
checks_done "npm packages"
