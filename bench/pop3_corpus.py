#!/usr/bin/python3
"""Writes the POP3 benchmarks' mailbox: COUNT messages of 1 to 20 KB, some lines beginning with a
dot, one file each in DIRECTORY.    pop3_corpus.py DIRECTORY COUNT"""
import os
import sys

directory, count = sys.argv[1], int(sys.argv[2])
os.makedirs(directory)
line = b"The quick brown fox jumps over the lazy dog, again and again and again.\r\n"
for i in range(count):
    body = b"".join((b"." if j % 10 == 0 else b"") + line for j in range((i % 20 + 1) * 14))
    head = b"From: a@example.org\r\nTo: b@example.org\r\nSubject: message %d\r\nMessage-ID: <%d@bench>\r\n\r\n" % (i, i)
    with open(os.path.join(directory, "%05d.eml" % i), "wb") as f:
        f.write(head + body)
