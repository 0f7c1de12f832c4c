#!/bin/sh
# The manual as plain text, which Windows installs beside the program (it has
# no man): man/orvel-keywatcher.txt must be what mandoc makes of the manual
# page as it stands. With --write it is made anew.
# Usage: text.sh SOURCE-DIR [--write]
set -eu
page=$1/man/orvel-keywatcher.1 text=$1/man/orvel-keywatcher.txt
for tool in mandoc col; do
    command -v "$tool" >/dev/null || { echo "FAIL $tool is missing (scripts/test installs it)"; exit 1; }
done
rendered=$(mandoc -T ascii -O width=78 "$page" | col -bx)
if [ "${2:-}" = --write ]; then
    printf '%s\n' "$rendered" >"$text"
elif printf '%s\n' "$rendered" | cmp -s - "$text"; then
    echo "ok man/orvel-keywatcher.txt is the manual as it stands"
else
    printf '%s\n' "$rendered" | diff -u "$text" - | head -n 20
    echo "FAIL man/orvel-keywatcher.txt is not the manual as it stands: run tests/man/text.sh . --write"
    exit 1
fi
