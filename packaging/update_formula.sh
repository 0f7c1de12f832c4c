#!/bin/sh
# Points the Homebrew formula at a source tarball: the repository's address on
# GitHub (for the homepage and head), the tarball's url, and the sha256 of
# the tarball's bytes. The release workflow runs it for every tag; the macOS
# job runs it with a tarball of the checkout. Each of the four lines must be
# there exactly once, so a formula laid out otherwise fails here, not later.
# Usage: update_formula.sh FORMULA OWNER/NAME URL TARBALL
set -eu
formula=$1 repository=$2 url=$3 tarball=$4
sum=$(sha256sum "$tarball" 2>/dev/null || shasum -a 256 "$tarball")
sum=${sum%% *}
for field in homepage url sha256 head; do
    [ "$(grep -c "^  $field \"" "$formula")" = 1 ] || {
        echo "update_formula.sh: $formula: no single '$field' line" >&2
        exit 1
    }
done
sed -e "s|^  homepage \".*\"\$|  homepage \"https://github.com/$repository\"|" \
    -e "s|^  url \".*\"\$|  url \"$url\"|" \
    -e "s|^  sha256 \".*\"\$|  sha256 \"$sum\"|" \
    -e "s|^  head \"[^\"]*\"|  head \"https://github.com/$repository.git\"|" \
    "$formula" >"$formula.new"
mv "$formula.new" "$formula"
