#!/usr/bin/env bash
# Receive benchmark of lmagent, of the main window running it, and of fetchmail (installed here when
# missing), all fetching the same 2,000 messages from a private Dovecot on 127.0.0.1, in alternating
# rounds; with the build directory of an older version, its lmagent runs as a further side.
#   bench/bench_agent.sh [build directory] [count] [rounds] [older build directory]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
count="${2:-2000}"
rounds="${3:-3}"
older=()
[ -n "${4:-}" ] && older=("$4/dist/modules/lmagent" "$4/dist/libqmc3.so")

if ! command -v fetchmail >/dev/null; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends fetchmail >/dev/null
fi

exec "$build/bench/bench_agent" "$build/dist/modules/lmagent" "$build/dist/libqmc3.so" \
    "$root/scripts/testservers" "$count" "$rounds" "${older[@]}"
