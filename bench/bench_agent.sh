#!/usr/bin/env bash
# Receive benchmark of lmagent against fetchmail (installed here when missing), both fetching the
# same 2,000 messages from a private Dovecot on 127.0.0.1.
#   bench/bench_agent.sh [build directory] [count]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
count="${2:-2000}"

if ! command -v fetchmail >/dev/null; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends fetchmail >/dev/null
fi

exec "$build/bench/bench_agent" "$build/dist/modules/lmagent" "$build/dist/libqmc3.so" \
    "$root/scripts/testservers" "$count"
