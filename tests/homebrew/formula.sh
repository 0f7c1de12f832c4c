#!/bin/sh
# The Homebrew formula, here without Homebrew (formula_stand_in.rb): pointed
# at a tarball of the working tree by packaging/update_formula.sh, its
# install block builds and installs the program and its manual under a
# prefix, and its test block passes for a watcher that behaves and fails for
# one with another banner, one that ends with status 1, and one that ignores
# SIGTERM (within the block's time limit). brew install, brew test and brew
# audit --strict run in the workflow's macOS job.
# Usage: formula.sh SOURCE-DIR BUILD-DIR VERSION
set -eu
source=$(cd "$1" && pwd)
mkdir -p "$2"
build=$(cd "$2" && pwd) version=$3
command -v ruby >/dev/null || { echo "formula check cannot run: ruby is missing (scripts/test installs it)"; exit 1; }
git -C "$source" rev-parse --git-dir >/dev/null 2>&1 || {
    echo "skipped: the source is no git checkout, and the formula's tarball is made with git archive"
    exit 77
}
rm -rf "${build:?}"/*
stand_in=$source/tests/homebrew/formula_stand_in.rb
tarball=$("$source/packaging/source_tarball.sh" --working-tree "$source" "$build" "$version")
formula=$build/orvel-keywatcher.rb
cp "$source/Formula/orvel-keywatcher.rb" "$formula"
"$source/packaging/update_formula.sh" "$formula" orvel/keywatcher "file://$tarball" "$tarball"
. "$source/tests/checks.sh"
sum=$(sha256sum "$tarball" | cut -d' ' -f1)
check "the formula names the tarball, its sha256 and the repository" test "$(grep -c \
    -e "^  url \"file://$tarball\"$" -e "^  sha256 \"$sum\"$" -e '^  homepage "https://github.com/orvel/keywatcher"$' \
    -e '^  head "https://github.com/orvel/keywatcher.git", branch: "main"$' "$formula")" = 4

tar -xzf "$tarball" -C "$build"
(cd "$build/orvel-keywatcher-$version" && ruby "$stand_in" "$formula" "$build/prefix" install) \
    >"$build/install.log" 2>&1 || { tail -n 20 "$build/install.log"; echo "FAIL install"; exit 1; }
check "installed the program" test -x "$build/prefix/bin/orvel-keywatcher"
check "installed the manual" test -n "$(find "$build/prefix/share/man/man1" -name 'orvel-keywatcher.1*')"

# Stand-ins for the watcher: NAME BANNER STATUS-ON-SIGTERM (or "ignored": it
# then ends by itself after about 15 s).
fake() {
    mkdir -p "$build/$1/bin"
    on_term="exit $3"
    [ "$3" != ignored ] || on_term=""
    printf '#!/bin/sh\ntrap "%s" TERM\necho "%s" >&2\ni=0\nwhile [ $i -lt 300 ]; do sleep 0.05; i=$((i + 1)); done\n' \
        "$on_term" "$2" >"$build/$1/bin/orvel-keywatcher"
    chmod +x "$build/$1/bin/orvel-keywatcher"
}
banner="Orvel macOS key watcher started"
fake behaves "$banner" 0
fake other-banner "Orvel key watcher started" 0
fake status-1 "$banner" 1
fake deaf "$banner" ignored
check "the test block passes for a watcher that behaves" ruby "$stand_in" "$formula" "$build/behaves" test
for fake in other-banner status-1 deaf; do
    check "the test block fails for a watcher: $fake" eval '! ruby "$stand_in" "$formula" "$build/$fake" test'
done
checks_done formula
