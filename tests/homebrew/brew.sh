#!/bin/sh
# The formula through Homebrew itself, as a user meets it but with its url on
# a tarball of the checkout: a clone of this repository tapped as the tap,
# the formula built from source, then brew test and brew audit --strict. For
# the workflow's macOS job (it installs into the runner's Homebrew).
# Usage: brew.sh SOURCE-DIR WORK-DIR
set -eu
source=$(cd "$1" && pwd)
mkdir -p "$2"
work=$(cd "$2" && pwd)
version=$(sed -n 's/^project(orvel-keywatcher VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
tarball=$("$source/packaging/source_tarball.sh" "$source" "$work" "$version")
git clone --quiet "$source" "$work/tap"
"$source/packaging/update_formula.sh" "$work/tap/Formula/orvel-keywatcher.rb" orvel/keywatcher \
    "file://$tarball" "$tarball"
git -C "$work/tap" -c user.name=ci -c user.email=ci@localhost commit --quiet -am \
    "The formula on a tarball of the checkout"
export HOMEBREW_NO_AUTO_UPDATE=1 HOMEBREW_NO_INSTALL_CLEANUP=1 HOMEBREW_NO_ANALYTICS=1
brew tap orvel/keywatcher "$work/tap"
brew install --build-from-source orvel/keywatcher/orvel-keywatcher
brew test orvel/keywatcher/orvel-keywatcher
brew audit --strict orvel/keywatcher/orvel-keywatcher
