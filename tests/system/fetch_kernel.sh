#!/bin/sh
# Puts Debian's current amd64 kernel and its evdev and uinput modules in a
# cache folder: CACHE/vmlinuz, CACHE/evdev.ko, CACHE/uinput.ko. A filled
# cache is kept, so only the first run downloads.
# Usage: fetch_kernel.sh CACHE
set -eu
cache=$1
if [ -s "$cache/vmlinuz" ] && [ -s "$cache/evdev.ko" ] && [ -s "$cache/uinput.ko" ]; then
    exit 0
fi
mkdir -p "$cache"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

package=$(apt-cache depends linux-image-amd64 2>/dev/null |
          sed -n 's/^ *Depends: \(linux-image-[0-9][^ ]*\)$/\1/p' | head -n 1)
if [ -z "$package" ]; then
    echo "fetch_kernel: cannot resolve the package behind linux-image-amd64 (run apt-get update)" >&2
    exit 1
fi
echo "fetch_kernel: downloading $package" >&2
(cd "$work" && apt-get download -q "$package" >/dev/null 2>"$work/download.log") || {
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
echo "$package" >"$cache/package"
for file in vmlinuz evdev.ko uinput.ko; do
    [ -s "$cache/$file" ] || { echo "fetch_kernel: $package has no $file" >&2; exit 1; }
done
