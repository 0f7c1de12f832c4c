#!/bin/sh
# The Debian package made by `cpack -G DEB` in the build folder: its name, what
# it holds, its metadata, and a lintian run that must show no error and no
# warning.
# Usage: deb.sh BUILD-DIR VERSION [ARCH]   (ARCH: the package's, this system's by default)
set -u
build=$(cd "$1" && pwd) version=$2 arch=${3:-$(dpkg --print-architecture)}
failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }
ok() { echo "ok $*"; }
for tool in cpack dpkg-deb dpkg-shlibdeps lintian; do
    command -v "$tool" >/dev/null || { echo "FAIL $tool is missing (scripts/test installs it)"; exit 1; }
done

package=$build/orvel-keywatcher_${version}_$arch.deb
rm -f "$package"
(cd "$build" && cpack -G DEB >cpack.log 2>&1) || { cat "$build/cpack.log"; echo "FAIL cpack"; exit 1; }
[ -f "$package" ] && ok "made $(basename "$package")" || { fail "no $(basename "$package")"; exit 1; }

contents=$(dpkg-deb -c "$package" | awk '{ print $6 }')
for file in ./usr/bin/orvel-keywatcher ./usr/share/man/man1/orvel-keywatcher.1.gz \
    ./usr/share/doc/orvel-keywatcher/copyright ./usr/share/doc/orvel-keywatcher/changelog.gz \
    ./usr/share/doc/orvel-keywatcher/README.md; do
    printf '%s\n' "$contents" | grep -qx "$file" && ok "holds $file" || fail "lacks $file"
done
dpkg-deb --fsys-tarfile "$package" | tar -xOf - ./usr/share/man/man1/orvel-keywatcher.1.gz |
    gzip -t 2>/dev/null && ok "the manual is gzipped" || fail "the manual is not gzipped"

field() { dpkg-deb -f "$package" "$1"; }
[ "$(field Section)" = utils ] && ok "section utils" || fail "section '$(field Section)'"
[ "$(field Version)" = "$version" ] && ok "version $version" || fail "version '$(field Version)'"
[ "$(field Architecture)" = "$arch" ] && ok "architecture $arch" || fail "architecture '$(field Architecture)'"
field Description | head -n 1 | grep -q 'modifier keys' && ok "description" ||
    fail "description '$(field Description | head -n 1)'"
binary=$(mktemp -d "$build/deb-check.XXXXXX")
dpkg-deb -x "$package" "$binary"
if file -L "$binary/usr/bin/orvel-keywatcher" | grep -q 'static'; then
    [ -z "$(field Depends)" ] && ok "no dependencies (static binary)" ||
        fail "a static binary with dependencies: $(field Depends)"
else
    field Depends | grep -q 'libc6' && ok "depends on $(field Depends)" ||
        fail "a dynamic binary without its C library in Depends: '$(field Depends)'"
fi
rm -rf "$binary"

# lintian leaves temporary files behind; they stay in the build folder.
scratch=$(mktemp -d "$build/lintian-tmp.XXXXXX")
findings=$(TMPDIR=$scratch lintian --fail-on none "$package" 2>/dev/null | grep -E '^[EW]: ')
rm -rf "$scratch"
[ -z "$findings" ] && ok "lintian: no error, no warning" || fail "lintian:
$findings"
exit $((failures > 0))
