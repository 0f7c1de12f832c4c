#!/bin/sh
# The release files made on Linux, rebuilt from a commit (a tag such as
# v1.0.0, or HEAD) into OUT-DIR with their SHA256SUMS: the source tarball,
# from which everything else is built; the static programs for x86_64 and
# aarch64 in their tarballs; the Debian packages for arm64 (from the static
# aarch64 program) and, on an amd64 machine, amd64; the manual; the npm
# packages for Linux and the main one; the Linux wheels. The packages name
# the repository OWNER/NAME that built them (npm's provenance checks it).
# Anyone can rebuild a release with it and compare: cd OUT-DIR && sha256sum -c SHA256SUMS-of-the-release
# (--ignore-missing: the macOS and Windows files come from their hosted jobs).
# The same commit gives the same bytes whatever the folder, time, umask,
# locale, time zone or number of cores: times come from the commit
# (SOURCE_DATE_EPOCH), and this script sets its own umask, locale and zone.
# Usage: release.sh SOURCE-DIR OUT-DIR TOOLS-DIR OWNER/NAME [COMMIT]
#   TOOLS-DIR holds zig from npm (tests/tools) and its cache of the C libraries.
set -eu
umask 022
export LC_ALL=C TZ=UTC
source=$(cd "$1" && pwd)
mkdir -p "$2" "$3"
out=$(cd "$2" && pwd) tools=$(cd "$3" && pwd) repository=$4 commit=${5:-HEAD}
version=$(git -C "$source" show "$commit:CMakeLists.txt" |
    sed -n 's/^project(orvel-keywatcher VERSION \([^ ]*\) .*/\1/p')
SOURCE_DATE_EPOCH=$(git -C "$source" log -1 --format=%ct "$commit")
export SOURCE_DATE_EPOCH
rm -rf "$out/files" "$out/work"
mkdir -p "$out/files" "$out/work"
files=$out/files

# Everything is built from the source tarball itself, unpacked.
"$source/packaging/source_tarball.sh" "$source" "$files" "$version" "$commit" >/dev/null
tar -xzf "$files/orvel-keywatcher-$version.tar.gz" -C "$out/work"
tree=$out/work/orvel-keywatcher-$version
cp "$tree/man/orvel-keywatcher.1" "$files/"

"$tree/tests/linux/static_builds.sh" "$tree" "$tree/build-static" "$tools" "$version" \
    >"$out/work/static.log" 2>&1 || { cat "$out/work/static.log"; echo "release.sh: the static builds failed"; exit 1; }
cp "$tree/build-static/orvel-keywatcher-$version-linux-x86_64.tar.gz" \
    "$tree/build-static/orvel-keywatcher-$version-linux-aarch64.tar.gz" \
    "$tree/build-static/aarch64/orvel-keywatcher_${version}_arm64.deb" "$files/"
if [ "$(dpkg --print-architecture)" = amd64 ]; then
    { cmake -S "$tree" -B "$tree/build-deb" -DBUILD_TESTING=OFF -DORVEL_WERROR=ON &&
        cmake --build "$tree/build-deb" -j "$(nproc)" && (cd "$tree/build-deb" && cpack -G DEB); } \
        >"$out/work/deb.log" 2>&1 || { cat "$out/work/deb.log"; echo "release.sh: the amd64 package failed"; exit 1; }
    cp "$tree/build-deb/orvel-keywatcher_${version}_amd64.deb" "$files/"
fi

programs="linux-x64=$tree/build-static/orvel-keywatcher-$version-linux-x86_64/orvel-keywatcher
linux-arm64=$tree/build-static/orvel-keywatcher-$version-linux-aarch64/orvel-keywatcher"
"$tree/packaging/npm/pack.sh" "$tree" "$out/work/npm" "$repository" $programs >/dev/null
"$tree/packaging/python/wheels.sh" "$tree" "$out/work/python" "$repository" $programs >/dev/null
cp "$out"/work/npm/*.tgz "$out"/work/python/*.whl "$files/"

(cd "$files" && sha256sum -- * >../SHA256SUMS && mv ../SHA256SUMS .)
cat "$files/SHA256SUMS"
