#!/usr/bin/env python3
"""Reads one message file the way a standard-conforming mail reader does (Python's email package
with its default policy) and prints what it found as JSON: the addresses with their names, the
subject, the longest header line, the header defects and each attachment's name, type and size."""
import json
import sys
from email import policy
from email.parser import BytesParser


def addresses(message, field):
    header = message[field]
    if header is None:
        return []
    return [[address.display_name, address.addr_spec] for address in header.addresses]


def header_lines(raw):
    head = raw.split(b"\r\n\r\n", 1)[0].split(b"\n\n", 1)[0]
    return [line.rstrip(b"\r") for line in head.split(b"\n")]


def main():
    raw = open(sys.argv[1], "rb").read()
    message = BytesParser(policy=policy.default).parsebytes(raw)
    defects = []
    for field in ("From", "To", "CC", "Subject"):
        header = message[field]
        if header is not None:
            defects += ["%s: %s" % (field, type(d).__name__) for d in header.defects]
    attachments = []
    for part in message.iter_attachments():
        attachments.append([part.get_filename() or "", part.get_content_type(), len(part.get_payload(decode=True) or b"")])
    print(json.dumps({
        "from": addresses(message, "From"),
        "to": addresses(message, "To"),
        "cc": addresses(message, "CC"),
        "subject": str(message["Subject"] or ""),
        "longest": max(len(line) for line in header_lines(raw)),
        "defects": defects,
        "attachments": attachments,
    }, ensure_ascii=False))


main()
