#!/usr/bin/python3
"""The POP3 benchmarks' reference: Python's poplib retrieving every message of the mailbox, once with
RETR alone and once with the LIST our client sends before each RETR.
    poplib_retr.py plain|tls PORT [CAFILE]   (tls: POP3S to localhost, trusting CAFILE)"""
import poplib
import ssl
import sys
import time

mode, port = sys.argv[1], int(sys.argv[2])
for name, with_list in (("poplib %s RETR each" % mode, False), ("poplib %s LIST+RETR each" % mode, True)):
    start = time.time()
    if mode == "tls":
        pop = poplib.POP3_SSL("localhost", port, context=ssl.create_default_context(cafile=sys.argv[3]))
    else:
        pop = poplib.POP3("127.0.0.1", port)
    pop.user("bench")
    pop.pass_("secret")
    count = pop.stat()[0]
    size = 0
    for n in range(1, count + 1):
        if with_list:
            pop.list(n)
        size += pop.retr(n)[2]
    pop.quit()
    elapsed = time.time() - start
    print("%-34s %6d msgs %8.1f MB %7.2f s %9.0f msgs/s %7.1f MB/s"
          % (name, count, size / 1e6, elapsed, count / elapsed, size / 1e6 / elapsed))
