#!/bin/sh
# Builds a gzipped initramfs for the test guest: busybox as init (the cache's
# own where the guest is of another architecture, CACHE/busybox, else the
# system's), the evdev and uinput modules, and the given programs in /bin
# with the shared libraries they need; after "--", files kept at their own
# paths (or at GUEST-PATH where given as FILE=GUEST-PATH), with theirs. The
# guest runs COMMAND once, prints its exit status on the console as
# "guest-exit: N" and powers off.
# Usage: make_initramfs.sh OUTPUT CACHE 'COMMAND' PROGRAM... [-- FILE[=GUEST-PATH]...]
set -eu
output=$1 cache=$2 command=$3
shift 3
root=$(mktemp -d)
chmod 755 "$root"  # the guest runs programs as an unprivileged user too
trap 'rm -rf "$root"' EXIT

mkdir -p "$root/bin" "$root/lib/modules" "$root/proc" "$root/sys" "$root/dev" "$root/tmp"
if [ -s "$cache/busybox" ]; then
    cp "$cache/busybox" "$root/bin/busybox"
else
    cp "$(command -v busybox)" "$root/bin/busybox"
fi
cp "$cache/evdev.ko" "$cache/uinput.ko" "$root/lib/modules/"

kept=
for program in "$@"; do
    if [ "$program" = -- ]; then
        kept=yes
        continue
    elif [ -n "$kept" ]; then
        guest=${program#*=}
        program=${program%%=*}
        mkdir -p "$root$(dirname "$guest")"
        cp -L "$program" "$root$guest"
    else
        cp "$program" "$root/bin/"
    fi
    # Shared libraries, and the loader at the path the program asks for.
    ldd "$program" 2>/dev/null | awk '/=> \// { print $3 } /^\t\// { print $1 }' |
    while read -r library; do
        mkdir -p "$root$(dirname "$library")"
        cp -L "$library" "$root$library"
    done
done

cat >"$root/init" <<INIT
#!/bin/busybox sh
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mount -t tmpfs tmpfs /tmp
insmod /lib/modules/evdev.ko
insmod /lib/modules/uinput.ko
echo "guest: ready"
cd /tmp
$command
echo "guest-exit: \$?"
poweroff -f
INIT
chmod +x "$root/init"
(cd "$root" && find . | cpio -o -H newc --quiet) | gzip -1 >"$output"
