#!/usr/bin/python3
"""A real SMTP server for the integration tests (aiosmtpd): listens on 127.0.0.1 and a free port,
prints "PORT PID" once it accepts connections, and stores every message it accepts as
N.eml (the data exactly as received, dot transparency undone) and N.envelope (sender and
recipients, one per line) in the output directory. AUTH LOGIN accepts one user, after HELO too
(as many servers do; aiosmtpd alone would want EHLO first); the recipients given with --reject are
refused with 550. SIGTERM stops it.

    smtp-server.py OUTPUT_DIR --user alice --password secret --reject nobody@example.org
"""
import argparse
import asyncio
import os
import signal
import sys

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


class StoringHandler:
    def __init__(self, directory, rejected):
        self.directory = directory
        self.rejected = {address.lower() for address in rejected}
        self.count = 0

    async def handle_HELO(self, server, session, envelope, hostname):
        session.host_name = hostname
        session.extended_smtp = True
        return "250 %s" % server.hostname

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower() in self.rejected:
            return "550 5.1.1 <%s>: Recipient address rejected" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.directory, str(self.count))
        with open(base + ".envelope.tmp", "w") as f:
            f.write("\n".join([envelope.mail_from] + envelope.rcpt_tos) + "\n")
        with open(base + ".eml", "wb") as f:
            f.write(envelope.original_content)
        # The envelope appears last: a reader that sees it finds the message complete.
        os.rename(base + ".envelope.tmp", base + ".envelope")
        return "250 OK stored as %d" % self.count


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("directory")
    parser.add_argument("--user", default="")
    parser.add_argument("--password", default="")
    parser.add_argument("--reject", action="append", default=[])
    args = parser.parse_args()

    def authenticate(server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword) and args.user
              and auth_data.login == args.user.encode() and auth_data.password == args.password.encode())
        # handled=False: the server itself answers 235 or 535.
        return AuthResult(success=bool(ok), handled=False)

    handler = StoringHandler(args.directory, args.reject)
    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    factory = lambda: SMTP(handler, hostname="smtp.test", authenticator=authenticate,
                           auth_require_tls=False, auth_required=False, decode_data=False)
    server = loop.run_until_complete(loop.create_server(factory, host="127.0.0.1", port=0))
    loop.add_signal_handler(signal.SIGTERM, loop.stop)
    print(server.sockets[0].getsockname()[1], os.getpid(), flush=True)
    loop.run_forever()
    server.close()


if __name__ == "__main__":
    sys.exit(main())
