#!/bin/sh
# The opt-in setgid install (-DORVEL_INSTALL_SETGID=ON): `cmake --install`
# gives the program the keyboards' group and mode 2755; a group that does not
# exist, or an install that cannot set the bit, fails with a clear message;
# the Debian package made from the same build keeps mode 0755.
# Needs root, to give files another group; skipped otherwise.
# Usage: setgid_install.sh SOURCE-DIR BUILD-DIR
set -u
[ "$(id -u)" = 0 ] || { echo "skipped: the setgid install needs root"; exit 77; }
source=$1 build=$2
group=tty  # a group every Debian has, and user 65534 is not in
. "$source/tests/checks.sh"
rm -rf "$build"
cmake -S "$source" -B "$build" -DBUILD_TESTING=OFF -DORVEL_INSTALL_SETGID=ON \
    -DORVEL_KEYBOARD_GROUP="$group" >"$build.log" 2>&1 && cmake --build "$build" >>"$build.log" 2>&1 ||
    { cat "$build.log"; echo "FAIL build"; exit 1; }
program=$build/prefix/bin/orvel-keywatcher
cmake --install "$build" --prefix "$build/prefix" --strip >/dev/null
check "installed setgid '$group', 2755" test "$(stat -c '%a %G' "$program")" = "2755 $group"
(cd "$build" && cpack -G DEB >/dev/null 2>&1)
check "the package keeps 0755" eval 'dpkg-deb -c "$build"/*.deb 2>/dev/null | grep -q "^-rwxr-xr-x .*/usr/bin/orvel-keywatcher$"'

cmake -S "$source" -B "$build" -DORVEL_KEYBOARD_GROUP=orvel-no-such-group >/dev/null
check "a missing group is named" eval 'cmake --install "$build" --prefix "$build/prefix" 2>&1 |
    tr -s "\n " "  " | grep -q "there is no group .orvel-no-such-group. here"'
# Installed again by its owner, who is outside the group: the group stays,
# and chmod drops the setgid bit without failing.
cmake -S "$source" -B "$build" -DORVEL_KEYBOARD_GROUP="$group" >/dev/null
chown -R 65534 "$build"
check "an install that cannot keep the setgid bit fails" eval '! setpriv --reuid=65534 \
    --regid=65534 --clear-groups cmake --install "$build" --prefix "$build/prefix" >"$build.log" 2>&1 &&
    tr -s "\n " "  " <"$build.log" | grep -q "setgid .$group.: the system did not keep the setgid bit"'
rm -rf "$build" "$build.log"
checks_done "setgid install"
