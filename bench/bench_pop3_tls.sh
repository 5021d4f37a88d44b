#!/usr/bin/env bash
# POP3 over TLS: retrieves 5,000 messages from a private Dovecot with TqmRemotePOP and with Python's
# poplib.POP3_SSL (POP3S, a private CA made here), and the same in clear beside them, on 127.0.0.1.
# The sides alternate over several rounds, so that a machine busy with other work hits both alike.
#   bench/bench_pop3_tls.sh [path of the bench_network executable] [rounds]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/pop3_bench.sh"
bench="${1:-$root/build/bench/bench_network}"
rounds="${2:-3}"
count=5000

"$servers/make-ca" "$work/certs"
export LUMARO_TEST_CA_FILE="$work/certs/ca.pem"
$python "$root/bench/pop3_corpus.py" "$work/mail" "$count"

start_bench_pop3 "$work/mail" "$work/certs"
echo "== POP3: $count messages from Dovecot; POP3S on localhost:$tls_port, plain on 127.0.0.1:$pop3_port; $rounds rounds, sides alternating"
ours_tls() { "$bench" pop3 "localhost:$tls_port" bench secret tls; }
ours_plain() { "$bench" pop3 "127.0.0.1:$pop3_port" bench secret none; }
python_tls() { $python "$root/bench/poplib_retr.py" tls "$tls_port" "$LUMARO_TEST_CA_FILE"; }
python_plain() { $python "$root/bench/poplib_retr.py" plain "$pop3_port"; }
for round in $(seq "$rounds"); do
    echo "-- round $round"
    if [ $((round % 2)) -eq 1 ]; then
        ours_tls; python_tls; ours_plain; python_plain
    else
        python_tls; ours_tls; python_plain; ours_plain
    fi
done
