#!/bin/sh
# The Linux release files are reproducible: packaging/release.sh builds the
# last commit twice, in different folders, a little apart in time, under
# umask 022 and 077, the C and C.UTF-8 locales, two time zones, on all cores
# and on one; every file must have the same sum, and where one differs,
# diffoscope says why. The second build reuses zig's cache of the C
# libraries that the first built (a cache of the compiler's own work, keyed
# by its inputs). And the programs hold no path of the build and no date.
# Usage: reproducible.sh SOURCE-DIR BUILD-DIR TOOLS-DIR
set -u
source=$(cd "$1" && pwd) build=$2 tools=$3
. "$source/tests/checks.sh"
. "$source/tests/progress.sh"
git -C "$source" rev-parse -q --verify HEAD >/dev/null 2>&1 ||
    { echo "skipped: not a git checkout, and release.sh builds a commit"; exit 77; }
[ -z "$(git -C "$source" status --porcelain --untracked-files=no)" ] ||
    echo "note: release.sh builds HEAD, the last commit: the uncommitted changes here are not in it"
mkdir -p "$build" "$tools"
build=$(cd "$build" && pwd) tools=$(cd "$tools" && pwd)
first=$build/first second=$build/elsewhere/second
rm -rf "$first" "$build/elsewhere"
progress "the release files, built twice from $(git -C "$source" rev-parse --short HEAD) (about a minute each)"
(umask 022 && TZ=UTC LC_ALL=C "$source/packaging/release.sh" "$source" "$first" "$tools" orvel/orvel-keywatcher) \
    >"$build/first.log" 2>&1 || { cat "$build/first.log"; echo "FAIL the first build"; exit 1; }
sleep 2
(umask 077 && TZ=Asia/Tokyo LC_ALL=C.UTF-8 taskset -c 0 "$source/packaging/release.sh" "$source" \
    "$second" "$tools" orvel/orvel-keywatcher) >"$build/second.log" 2>&1 || { cat "$build/second.log"; echo "FAIL the second build"; exit 1; }

same=0
while read -r sum name; do
    if [ "$(sha256sum <"$second/files/$name" 2>/dev/null | cut -d' ' -f1)" = "$sum" ]; then
        same=$((same + 1))
    else
        echo "FAIL $name differs between the two builds"
        failures=$((failures + 1))
        if command -v diffoscope >/dev/null; then
            diffoscope --text - "$first/files/$name" "$second/files/$name" 2>&1 | head -n 40
        fi
    fi
done <"$first/files/SHA256SUMS"
check "$same files the same in both builds" test "$same" -ge 11
echo "the files: $(cut -d' ' -f3 "$first/files/SHA256SUMS" | tr '\n' ' ')"

# The programs, as the downloads and the packages hold them.
programs=$build/programs
rm -rf "$programs"
mkdir -p "$programs"
for tarball in "$first"/files/orvel-keywatcher-*-linux-*.tar.gz; do
    arch=${tarball%.tar.gz}
    tar -xOzf "$tarball" --wildcards '*/orvel-keywatcher' >"$programs/download-${arch##*-}"
done
for package in "$first"/files/*.deb; do
    dpkg-deb --fsys-tarfile "$package" | tar -xOf - ./usr/bin/orvel-keywatcher >"$programs/$(basename "$package" .deb)"
done
dates="$(date -u +%Y-%m-%d)|$(date -u +%Y%m%d)|$(date -u '+%b %e %Y')|$(date -u '+%b %d %Y')"
for program in "$programs"/*; do
    found=$(strings -a "$program" | grep -F -e "$build" -e "$tools" -e "$source" | head -n 3)
    check "$(basename "$program"): no path of the build" test -z "$found"
    [ -z "$found" ] || echo "  $found"
    found=$(strings -a "$program" | grep -E "$dates" | head -n 3)
    check "$(basename "$program"): no date of the build" test -z "$found"
    [ -z "$found" ] || echo "  $found"
done
checks_done "reproducible release"
