#!/bin/sh
# Behind an HTTPS proxy that re-signs traffic, the tools' install must fail
# at once and say why, not after a minute of npm's retries: here the
# registry is a local HTTPS server with a certificate of its own, which
# Node.js does not trust. The install must end within 20 s (npm's retries
# alone take about 70) and name the certificate problem.
# Usage: untrusted_registry.sh SOURCE-DIR WORK-DIR
set -u
source=$1 work=$2
rm -rf "$work" && mkdir -p "$work"
command -v openssl >/dev/null || { echo "FAIL openssl is missing (scripts/test installs it)"; exit 1; }
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" \
    -days 1 -subj /CN=127.0.0.1 >/dev/null 2>&1
# A free port on the loopback: the server is still there half a second on.
for try in 1 2 3 4 5; do
    port=$((20000 + ($$ * 7 + try * 1009) % 20000))
    openssl s_server -key "$work/key.pem" -cert "$work/cert.pem" -accept "127.0.0.1:$port" \
        -www -quiet </dev/null >/dev/null 2>&1 &
    server=$!
    sleep 0.5
    kill -0 "$server" 2>/dev/null && break
done
trap 'kill "$server" 2>/dev/null' EXIT
NPM_CONFIG_REGISTRY=https://127.0.0.1:$port/ env -u ORVEL_PROGRESS \
    timeout 20 "$source/tests/tools/install.sh" "$work/tools" >"$work/install.log" 2>&1
status=$?
if [ "$status" = 124 ]; then
    echo "FAIL the install was still trying after 20 s"
elif [ "$status" = 0 ]; then
    echo "FAIL the install succeeded against an untrusted registry"
elif grep -q 'does not trust the certificate' "$work/install.log"; then
    echo "ok failed at once (status $status), naming the certificate problem"
    exit 0
else
    echo "FAIL the install failed without naming the certificate problem:"
    tail -n 5 "$work/install.log"
fi
exit 1
