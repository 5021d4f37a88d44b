#!/usr/bin/env bash
# Server manager benchmark: lists 5,000 messages with headers from a private Dovecot on 127.0.0.1,
# through lmserver's window offscreen and with Python's poplib doing LIST, UIDL and TOP 0 for every
# message, alternating the two sides over several rounds in one run.
#   bench/bench_lmserver.sh [path of the bench_lmserver executable] [rounds]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/pop3_bench.sh"
bench="${1:-$root/build/bench/bench_lmserver}"
rounds="${2:-3}"
count=5000

$python - "$work/mail" "$count" <<'PY'
import os, sys
directory, count = sys.argv[1], int(sys.argv[2])
os.makedirs(directory)
line = b"The quick brown fox jumps over the lazy dog, again and again and again.\r\n"
for i in range(count):
    body = line * ((i % 20 + 1) * 14)
    head = (b"From: Sender %d <s%d@example.org>\r\nTo: b@example.org\r\nSubject: message %d\r\n"
            b"Date: Mon, 2 Mar 2026 10:00:00 +0100\r\nMessage-ID: <%d@bench>\r\n\r\n") % (i, i, i, i)
    with open(os.path.join(directory, "%05d.eml" % i), "wb") as f:
        f.write(head + body)
PY

start_bench_pop3 "$work/mail"
echo "== $count messages listed from Dovecot on 127.0.0.1:$pop3_port, $rounds rounds, sides alternating"
for round in $(seq "$rounds"); do
    if [ $((round % 2)) -eq 1 ]; then order="python ours"; else order="ours python"; fi
    for side in $order; do
        if [ "$side" = ours ]; then
            QT_QPA_PLATFORM=offscreen "$bench" "127.0.0.1:$pop3_port" bench secret 2> /dev/null
        else
            $python - "$pop3_port" <<'PY'
import poplib, sys, time
start = time.time()
cpu = time.process_time()
pop = poplib.POP3("127.0.0.1", int(sys.argv[1]))
pop.user("bench"); pop.pass_("secret")
count = pop.stat()[0]
first100 = None
for n in range(1, count + 1):
    pop.list(n)
    pop.uidl(n)
    pop.top(n, 0)
    if n == 100:
        first100 = time.time() - start
pop.quit()
elapsed = time.time() - start
cpu = time.process_time() - cpu
print("%-34s %6d msgs %7.2f s %9.0f msgs/s   first 100 rows %5d ms   CPU %5.2f s" % ("Python poplib LIST+UIDL+TOP 0 each", count, elapsed, count / elapsed, first100 * 1000, cpu))
PY
        fi
    done
done
