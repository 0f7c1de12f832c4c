#!/bin/sh
# The Python wheels as a user installs them: built from clients/python and
# the programs the cross-build and static tiers made, published by
# packaging/publish.sh to a folder (no package index is reachable here; the
# script's own checks, a rerun and changed bytes are tried on it), installed
# with pip into a fresh virtual environment from that folder: this
# machine's wheel is taken, its program keeps its execute bit, the client
# with no path starts it, and the console script becomes the program itself;
# pip download picks each other platform's own wheel; each wheel holds the
# program for its machine.
# Usage: pip.sh SOURCE-DIR BUILD-DIR VERSION
set -u
source=$(cd "$1" && pwd) build=$2 version=$3
. "$source/tests/checks.sh"
python=/usr/bin/python3
"$python" -c 'import build, hatchling, venv' 2>/dev/null ||
    { echo "FAIL Debian's python3-build, python3-hatchling and python3-venv are needed (scripts/test installs them)"; exit 1; }
mkdir -p "$build"
build=$(cd "$build" && pwd)
top=$(cd "$build/.." && pwd)
work=$build/pip
rm -rf "$work"
mkdir -p "$work"
. "$source/tests/built_programs.sh"
"$source/packaging/python/wheels.sh" "$source" "$work/dist" orvel/orvel-keywatcher $programs >/dev/null ||
    { echo "FAIL wheels"; exit 1; }
for wheel in "$work"/dist/*.whl; do echo "size: $(basename "$wheel") $(wc -c <"$wheel") bytes"; done

publish() {  # FILES-DIR -> status; its output in $work/publish.log
    "$source/packaging/publish.sh" python "$work/index" "$1" >"$work/publish.log" 2>&1
}
mkdir "$work/incomplete" && cp "$work"/dist/*.whl "$work/incomplete/" && rm "$work"/incomplete/*win_arm64.whl
check "publish.sh refuses a release without one program's wheel, before publishing anything" eval \
    '! publish "$work/incomplete" && grep -q "nothing published: no wheel for win32-arm64" "$work/publish.log" && test ! -e "$work/index"'
check "publish.sh publishes the five wheels; run again, it changes nothing" eval \
    'publish "$work/dist" && test "$(grep -c ": published$" "$work/publish.log")" = 5 &&
     publish "$work/dist" && test "$(grep -c "same bytes, skipped$" "$work/publish.log")" = 5'
cp "$work/dist"/*.whl "$work/incomplete/" && printf x >>"$(ls "$work"/incomplete/*win_amd64.whl)"
check "a wheel whose bytes changed fails, naming it" eval \
    '! publish "$work/incomplete" && grep -q "py3-none-win_amd64.whl is already published with other bytes" "$work/publish.log"'

"$python" -m venv "$work/venv"
start=$(date +%s%N)
"$work/venv/bin/pip" install --quiet --no-index --find-links "$work/index" orvel-keywatcher >"$work/install.log" 2>&1 ||
    cat "$work/install.log"
echo "time: pip install from the folder, $((($(date +%s%N) - start) / 1000000)) ms"
site=$("$work/venv/bin/python" -c 'import orvel_keywatcher, os; print(os.path.dirname(orvel_keywatcher.__file__))')
program=$site/bin/orvel-keywatcher
check "pip install took this machine's wheel" eval '"$work/venv/bin/pip" show -f orvel-keywatcher 2>/dev/null |
    grep -q "bin/orvel-keywatcher$" && cmp -s "$program" "$(program_of linux-x64)"'
check "the program keeps its execute bit" test -x "$program"
check "the package is typed" test -e "$site/py.typed"
if [ -e /dev/input ]; then
    echo "skipped the program's own failure: this machine has /dev/input"
else
    expected="orvel-keywatcher: cannot read any keyboard in /dev/input: No such file or directory"
    check "KeyWatcher() with no path starts it: its own message" test "$("$work/venv/bin/python" -c '
from orvel_keywatcher import KeyWatcher, WatcherError
try:
    KeyWatcher().start()
except WatcherError as error:
    print(error)')" = "$expected"
    "$work/venv/bin/orvel-keywatcher" >"$work/out" 2>"$work/err"
    check "the console script: its status and message" test "$? $(cat "$work/out" "$work/err")" = "1 $expected"
    "$work/venv/bin/python" -m orvel_keywatcher </dev/null >"$work/out" 2>"$work/err"
    check "python -m orvel_keywatcher: the client's status and the message" \
        test "$? $(cat "$work/out" "$work/err")" = "1 $expected"
fi
# PyInstaller's hook, found through the wheel's pyinstaller40 entry point
# (PyInstaller is in no registry here: its hooks module is a stand-in that
# gives the package's folder, as the real one's get_package_paths does).
mkdir -p "$work/stand-in/PyInstaller/utils"
touch "$work/stand-in/PyInstaller/__init__.py" "$work/stand-in/PyInstaller/utils/__init__.py"
printf 'import importlib.util, os\ndef get_package_paths(name):\n    d = os.path.dirname(importlib.util.find_spec(name).origin)\n    return os.path.dirname(d), d\n' \
    >"$work/stand-in/PyInstaller/utils/hooks.py"
check "PyInstaller's hook collects the program into orvel_keywatcher/bin" test "$(PYTHONPATH="$work/stand-in" \
    "$work/venv/bin/python" -c '
import os, runpy
from importlib.metadata import entry_points
hook_dirs = [e for e in entry_points(group="pyinstaller40") if e.name == "hook-dirs"][0].load()()
hook = runpy.run_path(os.path.join(hook_dirs[0], "hook-orvel_keywatcher.py"))
print(*[(os.access(path, os.X_OK), dest) for path, dest in hook["binaries"]])')" = "(True, 'orvel_keywatcher/bin')"
# The console script becomes the program, with SIGPIPE at its default, in a
# private mount namespace whose /dev/input is empty, where it waits.
if [ "$(id -u)" = 0 ] && unshare --mount true 2>/dev/null; then
    facts=$(unshare --mount sh -c 'mount -t tmpfs tmpfs /dev && mknod -m 666 /dev/null c 1 3 && mkdir /dev/input &&
        { "$0" 2>/dev/null & } && sleep 1 && readlink "/proc/$!/exe" &&
        sed -n "s/^SigIgn:\t//p" "/proc/$!/status" && kill $!' "$work/venv/bin/orvel-keywatcher")
    set -- $facts
    check "the console script is the program's own process (${1:-})" test "${1:-}" = "$program"
    check "with SIGPIPE not ignored (SigIgn ${2:-})" test "$(( 0x${2:-1000} & 0x1000 ))" = 0
else
    echo "skipped the console script's process: needs root and a private mount namespace"
fi

check "try_installed.sh: as a user installs it from the index" env TRIES=1 PIP_NO_INDEX=1 \
    PIP_FIND_LINKS="$work/index" "$source/packaging/try_installed.sh" "$version" python
check "the wheel's metadata: its README, Project-URLs and licence file" eval '"$work/venv/bin/python" -c "
from importlib.metadata import metadata, files
m = metadata(\"orvel-keywatcher\")
assert \"pip install orvel-keywatcher\" in m.get_payload() and m[\"Description-Content-Type\"] == \"text/markdown\"
assert \"Source, https://github.com/orvel/orvel-keywatcher\" in m.get_all(\"Project-URL\")
assert any(f.name == \"LICENSE\" for f in files(\"orvel-keywatcher\"))"'

# Each other platform's wheel, as pip picks it for that platform.
# pip takes the platforms given as they are, where an interpreter would
# accept older ones too (Alpine's: musllinux_1_2, then _1_1): both are given.
for pair in macosx_11_0_arm64=macosx_11_0_universal2 macosx_12_0_x86_64=macosx_11_0_universal2 \
    manylinux_2_28_aarch64,manylinux2014_aarch64=manylinux_2_17_aarch64 \
    musllinux_1_2_x86_64,musllinux_1_1_x86_64=manylinux_2_17_x86_64 \
    win_amd64=win_amd64 win_arm64=win_arm64; do
    platform=${pair%%=*} wanted=${pair#*=}
    rm -rf "$work/download"
    "$work/venv/bin/pip" download --quiet --no-index --find-links "$work/dist" --only-binary=:all: \
        $(echo "$platform" | sed 's/^/--platform /; s/,/ --platform /g') --no-deps \
        -d "$work/download" orvel-keywatcher >/dev/null 2>&1
    got=$(ls "$work/download" 2>/dev/null)
    check "pip download --platform $platform: the $wanted wheel ($got)" \
        eval 'case $got in orvel_keywatcher-$version-py3-none-$wanted*.whl) true ;; *) false ;; esac'
done
for pair in macosx_11_0_universal2="Mach-O universal binary with 2 architectures" \
    x86_64.musllinux="ELF 64-bit LSB executable, x86-64" \
    aarch64.musllinux="ELF 64-bit LSB executable, ARM aarch64" \
    win_amd64="PE32+ executable (console) x86-64" win_arm64="PE32+ executable (console) Aarch64"; do
    wheel=$(ls "$work"/dist/*"${pair%%=*}"*.whl)
    facts=$(cd "$work" && rm -rf unpacked && mkdir unpacked && cd unpacked && "$python" -m zipfile -e "$wheel" . &&
        file -b orvel_keywatcher/bin/*)
    check "$(basename "$wheel") holds the program for its machine" \
        eval 'case $facts in "${pair#*=}"*) true ;; *) false ;; esac'
done
checks_done "Python wheels"
