# Sourced by the tests that pack the release's files from what the macOS,
# Windows and static Linux tiers built: given $top (the build folder) and
# $version, $programs lists the five as PLATFORM=PROGRAM, one a line (the
# platforms of packaging/platforms.sh), and the test fails where one is
# missing.
programs="darwin-universal=$top/macos/orvel-keywatcher-macos-universal/orvel-keywatcher
linux-x64=$top/static/orvel-keywatcher-$version-linux-x86_64/orvel-keywatcher
linux-arm64=$top/static/orvel-keywatcher-$version-linux-aarch64/orvel-keywatcher
win32-x64=$top/windows/x86_64/orvel-keywatcher.exe
win32-arm64=$top/windows/arm64/orvel-keywatcher.exe"
for pair in $programs; do
    [ -s "${pair#*=}" ] || { echo "FAIL no ${pair#*=} (made by the macos, linux and windows tiers)"; exit 1; }
done

# PLATFORM's program from $programs.
program_of() {  # PLATFORM
    echo "$programs" | sed -n "s|^$1=||p"
}
