#!/bin/sh
# Puts Debian's current kernel for the guest's architecture and its evdev and
# uinput modules in a cache folder: CACHE/vmlinuz, CACHE/evdev.ko,
# CACHE/uinput.ko; for arm64 also busybox (CACHE/busybox), the guest's own.
# amd64 comes from the system's package lists; arm64 from package lists of
# its own in CACHE/apt, so the system's dpkg is never told of another
# architecture. A filled cache is kept, so only the first run downloads.
# Usage: fetch_kernel.sh CACHE [amd64|arm64]
set -eu
cache=$1 arch=${2:-amd64}
wanted="vmlinuz evdev.ko uinput.ko"
[ "$arch" = amd64 ] || wanted="$wanted busybox"
have=yes
for file in $wanted; do [ -s "$cache/$file" ] || have=; done
[ -z "$have" ] || exit 0
mkdir -p "$cache"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

apt=
if [ "$arch" != amd64 ]; then
    mkdir -p "$cache/apt/lists/partial" "$cache/apt/cache/archives/partial"
    apt="-o Dir::State::Lists=$cache/apt/lists -o Dir::Cache=$cache/apt/cache
         -o APT::Architecture=$arch -o APT::Architectures::=$arch -o Debug::NoLocking=1"
    echo "fetch_kernel: reading Debian's $arch package lists" >&2
    apt-get $apt update -q >"$work/update.log" 2>&1 || { cat "$work/update.log" >&2; exit 1; }
fi
package=$(apt-cache $apt depends "linux-image-$arch" 2>/dev/null |
          sed -n 's/^ *Depends: \(linux-image-[0-9][^ :]*\).*$/\1/p' | head -n 1)
if [ -z "$package" ]; then
    echo "fetch_kernel: cannot resolve the package behind linux-image-$arch (run apt-get update)" >&2
    exit 1
fi
packages=$package
[ "$arch" = amd64 ] || packages="$packages busybox-static"
echo "fetch_kernel: downloading $packages" >&2
(cd "$work" && apt-get $apt download -q $packages >/dev/null 2>"$work/download.log") || {
    cat "$work/download.log" >&2
    exit 1
}
dpkg-deb -x "$work"/linux-image-*.deb "$work/root"
find "$work/root" \( -name 'evdev.ko*' -o -name 'uinput.ko*' \) | while read -r module; do
    case $module in
        *.ko.xz) xz -dc "$module" >"$cache/$(basename "$module" .xz)" ;;
        *.ko.zst) zstd -qdc "$module" >"$cache/$(basename "$module" .zst)" ;;
        *) cp "$module" "$cache/" ;;
    esac
done
cp "$work"/root/boot/vmlinuz-* "$cache/vmlinuz"
if [ "$arch" != amd64 ]; then
    dpkg-deb -x "$work"/busybox-static_*.deb "$work/busybox"
    cp "$work/busybox/bin/busybox" "$cache/busybox"
fi
echo "$package" >"$cache/package"
for file in $wanted; do
    [ -s "$cache/$file" ] || { echo "fetch_kernel: $packages gave no $file" >&2; exit 1; }
done
