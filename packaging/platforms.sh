# Sourced by the packaging scripts: the five programs a release ships, one
# line each, and what each registry calls their system. Fields: the
# platform's name (npm's process.platform-process.arch, the package
# suffix), npm's os and cpu, the wheel's platform tag, and the target
# triples under which Tauri takes the program as a sidecar.
platform_table='darwin-universal darwin arm64,x64 macosx_11_0_universal2 universal-apple-darwin,aarch64-apple-darwin,x86_64-apple-darwin
linux-x64 linux x64 manylinux_2_17_x86_64.manylinux2014_x86_64.musllinux_1_1_x86_64 x86_64-unknown-linux-gnu,x86_64-unknown-linux-musl
linux-arm64 linux arm64 manylinux_2_17_aarch64.manylinux2014_aarch64.musllinux_1_1_aarch64 aarch64-unknown-linux-gnu,aarch64-unknown-linux-musl
win32-x64 win32 x64 win_amd64 x86_64-pc-windows-msvc
win32-arm64 win32 arm64 win_arm64 aarch64-pc-windows-msvc'

platform_names=$(echo "$platform_table" | cut -d' ' -f1)

# Sets os, cpu, wheel_tag, triples (comma-separated) and program_file for
# PLATFORM, or fails naming it.
platform_facts() {  # PLATFORM
    line=$(echo "$platform_table" | grep "^$1 ") ||
        { echo "$(basename "$0"): no such platform: $1 (one of:" $platform_names")" >&2; exit 2; }
    set -- $line
    os=$2 cpu=$3 wheel_tag=$4 triples=$5 program_file=orvel-keywatcher
    case $os in win32) program_file=orvel-keywatcher.exe ;; esac
}

# The repository's address on GitHub, for the manifests and the wheels'
# metadata that the registries show (and npm's provenance checks).
repository_url() {  # OWNER/NAME
    case $1 in
        */*) echo "https://github.com/$1" ;;
        *) echo "$(basename "$0"): the repository is OWNER/NAME, not '$1'" >&2; exit 2 ;;
    esac
}
