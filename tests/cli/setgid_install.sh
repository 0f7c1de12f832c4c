#!/bin/sh
# The opt-in setgid install (-DORVEL_INSTALL_SETGID=ON): `cmake --install`
# gives the program the keyboards' group and mode 2755; a group that does not
# exist, or a file system mounted nosuid, fails with a clear message before
# anything is installed; an install that cannot set the bit fails; the
# Debian package made from the same build keeps mode 0755.
# Needs root, to give files another group; skipped otherwise. The build is
# made from a copy of the sources in a folder every user can reach, since
# one install runs as another user, whatever folder the checkout is in.
# Usage: setgid_install.sh SOURCE-DIR LOG-DIR
set -u
[ "$(id -u)" = 0 ] || { echo "skipped: the setgid install needs root"; exit 77; }
source=$1 log=$2
group=tty  # a group every Debian has, and user 65534 is not in
. "$source/tests/checks.sh"
work=$(mktemp -d /tmp/orvel-setgid.XXXXXX)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
mkdir -p "$work/source" "$log"
(cd "$source" && cp -R CMakeLists.txt README.md man packaging src "$work/source/")
build=$work/build prefix=$work/prefix
cmake -S "$work/source" -B "$build" -DBUILD_TESTING=OFF -DORVEL_INSTALL_SETGID=ON \
    -DORVEL_KEYBOARD_GROUP="$group" >"$log/build.log" 2>&1 &&
    cmake --build "$build" >>"$log/build.log" 2>&1 || { cat "$log/build.log"; echo "FAIL build"; exit 1; }
program=$prefix/bin/orvel-keywatcher
cmake --install "$build" --prefix "$prefix" --strip >/dev/null
check "installed setgid '$group', 2755" test "$(stat -c '%a %G' "$program")" = "2755 $group"
(cd "$build" && cpack -G DEB >/dev/null 2>&1)
check "the package keeps 0755" eval 'dpkg-deb -c "$build"/*.deb 2>/dev/null | grep -q "^-rwxr-xr-x .*/usr/bin/orvel-keywatcher$"'

# Fails before anything is installed: the prefix stays empty.
fails_first() {  # NAME EXPECTED-TEXT PREFIX [WRAPPER...]
    text=$2 into=$3
    shift 3
    "$@" cmake --install "$build" --prefix "$into" >"$log/install.log" 2>&1 && return 1
    tr -s "\n " "  " <"$log/install.log" | grep -q "$text" || { cat "$log/install.log"; return 1; }
    [ -z "$(find "$into" -mindepth 1 2>/dev/null | head -n 1)" ] || { echo "  installed: $(find "$into")"; return 1; }
}
cmake -S "$work/source" -B "$build" -DORVEL_KEYBOARD_GROUP=orvel-no-such-group >/dev/null
check "a missing group is named, nothing installed" \
    fails_first group "there is no group .orvel-no-such-group. here" "$work/other-prefix"
cmake -S "$work/source" -B "$build" -DORVEL_KEYBOARD_GROUP="$group" >/dev/null
if unshare --mount true 2>/dev/null; then
    mkdir "$work/nosuid"
    check "a prefix mounted nosuid is named, nothing installed" fails_first nosuid \
        "is on $work/nosuid, mounted nosuid, where the system ignores the bit" "$work/nosuid" \
        unshare --mount sh -c 'mount -t tmpfs -o nosuid tmpfs "$0" && exec "$@"' "$work/nosuid"
else
    echo "skipped the nosuid mount: no private mount namespace here"
fi
# Installed again by its owner, who is outside the group: the group stays,
# and chmod drops the setgid bit without failing.
cmake -S "$source" -B "$build" -DORVEL_KEYBOARD_GROUP="$group" >/dev/null
chown -R 65534 "$build" "$prefix"
check "an install that cannot keep the setgid bit fails" eval '! setpriv --reuid=65534 \
    --regid=65534 --clear-groups cmake --install "$build" --prefix "$prefix" >"$log/install.log" 2>&1 &&
    tr -s "\n " "  " <"$log/install.log" | grep -q "setgid .$group.: the system did not keep the setgid bit"'
checks_done "setgid install"
