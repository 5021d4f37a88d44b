#!/usr/bin/env bash
# POP3 over TLS: retrieves 5,000 messages from a private Dovecot with TqmRemotePOP and with Python's
# poplib.POP3_SSL (POP3S, a private CA made here), and the same in clear beside them, on 127.0.0.1.
# The sides alternate over several rounds, so that a machine busy with other work hits both alike.
#   bench/bench_pop3_tls.sh [path of the bench_network executable] [rounds]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bench="${1:-$root/build/bench/bench_network}"
rounds="${2:-3}"
servers="$root/scripts/testservers"
python=/usr/bin/python3
count=5000

work="$(mktemp -d)"
pop3_pid="" pop3_dir=""
cleanup() {
    [ -n "$pop3_pid" ] && "$servers/stop-server" "$pop3_pid" "$pop3_dir"
    rm -rf "$work"
}
trap cleanup EXIT

"$servers/make-ca" "$work/certs"
export LUMARO_TEST_CA_FILE="$work/certs/ca.pem"
$python "$root/bench/pop3_corpus.py" "$work/mail" "$count"

read -r port pop3_pid pop3_dir tls_port < <("$servers/start-pop3" bench secret "$work/mail" "$work/certs")
cat > "$work/poplib_run.py" <<'PY'
import poplib, ssl, sys, time
mode, port, cafile = sys.argv[1], int(sys.argv[2]), sys.argv[3]
for name, with_list in (("poplib %s RETR each" % mode, False), ("poplib %s LIST+RETR each" % mode, True)):
    start = time.time()
    if mode == "tls":
        pop = poplib.POP3_SSL("localhost", port, context=ssl.create_default_context(cafile=cafile))
    else:
        pop = poplib.POP3("127.0.0.1", port)
    pop.user("bench"); pop.pass_("secret")
    count = pop.stat()[0]
    size = 0
    for n in range(1, count + 1):
        if with_list:
            pop.list(n)
        size += pop.retr(n)[2]
    pop.quit()
    elapsed = time.time() - start
    print("%-34s %6d msgs %8.1f MB %7.2f s %9.0f msgs/s %7.1f MB/s" % (name, count, size / 1e6, elapsed, count / elapsed, size / 1e6 / elapsed))
PY
# Dovecot indexes the mailbox in the first session: let a warm-up session pay for that.
$python -c "import poplib; p = poplib.POP3('127.0.0.1', $port); p.user('bench'); p.pass_('secret'); p.uidl(); p.list(); p.quit()"
echo "== POP3: $count messages from Dovecot; POP3S on localhost:$tls_port, plain on 127.0.0.1:$port; $rounds rounds, sides alternating"
ours_tls() { "$bench" pop3 "localhost:$tls_port" bench secret tls; }
ours_plain() { "$bench" pop3 "127.0.0.1:$port" bench secret none; }
python_tls() { $python "$work/poplib_run.py" tls "$tls_port" "$LUMARO_TEST_CA_FILE"; }
python_plain() { $python "$work/poplib_run.py" plain "$port" "$LUMARO_TEST_CA_FILE"; }
for round in $(seq "$rounds"); do
    echo "-- round $round"
    if [ $((round % 2)) -eq 1 ]; then
        ours_tls; python_tls; ours_plain; python_plain
    else
        python_tls; ours_tls; python_plain; ours_plain
    fi
done
