#!/bin/sh
# Runs one of the tests that act as another user from a copy of the checkout
# beneath a folder only root may enter (mode 0700, as root's home and many
# users' are), where that other user cannot reach the checkout itself.
# Usage: from_private_folder.sh SOURCE-DIR TEST-SCRIPT [ARGUMENT...]
#   TEST-SCRIPT is relative to SOURCE-DIR; each ARGUMENT "SOURCE" becomes the copy.
set -u
[ "$(id -u)" = 0 ] || { echo "skipped: needs root, to make a folder only root may enter"; exit 77; }
source=$1 script=$2
shift 2
private=$(mktemp -d /tmp/orvel-private.XXXXXX)
trap 'rm -rf "$private"' EXIT
chmod 700 "$private"
mkdir "$private/checkout"
(cd "$source" && cp -R CMakeLists.txt README.md man packaging src tests "$private/checkout/")
for argument in "$@"; do
    shift
    [ "$argument" = SOURCE ] && argument=$private/checkout
    set -- "$@" "$argument"
done
sh "$private/checkout/$script" "$@"
