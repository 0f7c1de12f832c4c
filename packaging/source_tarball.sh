#!/bin/sh
# The source tarball that the Homebrew formula builds:
# orvel-keywatcher-VERSION.tar.gz, the tracked files under one folder of that
# name, from a commit, or from the working tree with --working-tree (its
# tracked files as they are now, for the checks made before a commit).
# Prints the tarball's path.
# Usage: source_tarball.sh [--working-tree] SOURCE-DIR OUTPUT-DIR VERSION [COMMIT]
set -eu
tree=
if [ "$1" = --working-tree ]; then
    tree=yes
    shift
fi
source=$1 output=$(mkdir -p "$2" && cd "$2" && pwd) version=$3 commit=${4:-HEAD}
# git stash create records the working tree as a commit without touching it
# (a commit needs a committer, given here for a machine that names none), and
# prints nothing when there is no change.
[ -z "$tree" ] ||
    commit=$(git -C "$source" -c user.name=build -c user.email=build@localhost stash create) || exit 1
[ -n "$commit" ] || commit=HEAD
tarball=$output/orvel-keywatcher-$version.tar.gz
git -C "$source" archive --format=tar.gz --prefix="orvel-keywatcher-$version/" -o "$tarball" "$commit"
echo "$tarball"
