#!/usr/bin/python3
"""A real SMTP server for the integration tests (aiosmtpd in its stock behaviour: AUTH PLAIN and
LOGIN only after EHLO): listens on 127.0.0.1 and a free port, prints "PORT PID" once it accepts
connections, and stores every message it accepts as N.eml (the data exactly as received, dot
transparency undone) and N.envelope (sender and recipients, one per line) in the output directory.
AUTH accepts one user; the recipients given with --reject are refused with 550, those given with
--defer with 452. SIGTERM stops it.

With --certs DIR (made by make-ca) the port offers STARTTLS and AUTH only over TLS, and two more
listeners follow: one that requires STARTTLS before anything else, and one that speaks TLS from the
first byte; it prints "PORT PID REQUIRED_PORT TLS_PORT".

With --oauth2-url URL (an introspection endpoint, see oauth2-server.py) AUTH also takes access tokens
through XOAUTH2 and OAUTHBEARER (RFC 7628), or only the mechanisms given with --oauth2-mechanism; a
token the endpoint does not call active for the user gets the error challenge and then 535.

    smtp-server.py OUTPUT_DIR --user alice --password secret --reject nobody@example.org
"""
import argparse
import asyncio
import base64
import json
import os
import signal
import ssl
import sys
import urllib.parse
import urllib.request

from aiosmtpd.smtp import MISSING, SMTP, AuthResult, LoginPassword


class StoringHandler:
    def __init__(self, directory, rejected, deferred):
        self.directory = directory
        self.rejected = {address.lower() for address in rejected}
        self.deferred = {address.lower() for address in deferred}
        self.count = 0

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower() in self.rejected:
            return "550 5.1.1 <%s>: Recipient address rejected" % address
        if address.lower() in self.deferred:
            return "452 4.5.3 Too many recipients"
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


class OAuth2StoringHandler(StoringHandler):
    def __init__(self, directory, rejected, deferred, user, url, cafile):
        super().__init__(directory, rejected, deferred)
        self.user, self.url = user, url
        self.context = ssl.create_default_context(cafile=cafile or None)

    def token_active(self, user, token):
        data = urllib.parse.urlencode({"token": token}).encode()
        with urllib.request.urlopen(self.url, data, context=self.context, timeout=10) as reply:
            answer = json.load(reply)
        return answer.get("active") is True and answer.get("username") == user == self.user

    async def authenticate_bearer(self, server, args, parse):
        if len(args) == 1:
            data = await server.challenge_auth("")
            if data is MISSING:
                return AuthResult(success=False)
        else:
            data = base64.b64decode(args[1])
        fields = parse(data.decode("utf-8", "replace"))
        user, auth = fields.get("user", ""), fields.get("auth", "")
        token = auth[len("Bearer "):] if auth.startswith("Bearer ") else ""
        loop = asyncio.get_running_loop()
        if token and await loop.run_in_executor(None, self.token_active, user, token):
            return AuthResult(success=True, auth_data=LoginPassword(user.encode(), b""))
        # RFC 7628, 3.2.2: the error as a challenge; the client's answer ends the exchange with 535.
        await server.challenge_auth(json.dumps({"status": "invalid_token", "schemes": "bearer"}))
        return AuthResult(success=False, handled=False)

    @staticmethod
    def key_values(text):
        return dict(part.split("=", 1) for part in text.split("\x01") if "=" in part)

    async def auth_XOAUTH2(self, server, args):
        return await self.authenticate_bearer(server, args, self.key_values)

    async def auth_OAUTHBEARER(self, server, args):
        def parse(text):
            header, _, rest = text.partition("\x01")
            fields = self.key_values(rest)
            user = [part[2:] for part in header.split(",") if part.startswith("a=")]
            fields["user"] = user[0].replace("=2C", ",").replace("=3D", "=") if user else ""
            return fields
        return await self.authenticate_bearer(server, args, parse)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("directory")
    parser.add_argument("--user", default="")
    parser.add_argument("--password", default="")
    parser.add_argument("--reject", action="append", default=[])
    parser.add_argument("--defer", action="append", default=[])
    parser.add_argument("--certs", default="")
    parser.add_argument("--auth-required", action="store_true", help="refuse MAIL before a successful AUTH")
    parser.add_argument("--oauth2-url", default="")
    parser.add_argument("--oauth2-ca", default="")
    parser.add_argument("--oauth2-mechanism", action="append", default=[])
    args = parser.parse_args()

    def authenticate(server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword) and args.user
              and auth_data.login == args.user.encode() and auth_data.password == args.password.encode())
        # handled=False: the server itself answers 235 or 535.
        return AuthResult(success=bool(ok), handled=False)

    if args.oauth2_url:
        handler = OAuth2StoringHandler(args.directory, args.reject, args.defer, args.user, args.oauth2_url, args.oauth2_ca)
    else:
        handler = StoringHandler(args.directory, args.reject, args.defer)
    offered = {m.upper() for m in args.oauth2_mechanism} or {"XOAUTH2", "OAUTHBEARER"}
    excluded = [m for m in ("XOAUTH2", "OAUTHBEARER") if m not in offered]
    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)

    def listen(ssl_context=None, **options):
        factory = lambda: SMTP(handler, hostname="smtp.test", authenticator=authenticate, auth_required=args.auth_required,
                               decode_data=False, auth_exclude_mechanism=excluded, **options)
        return loop.run_until_complete(loop.create_server(factory, host="127.0.0.1", port=0, ssl=ssl_context))

    if args.certs:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(os.path.join(args.certs, "server.pem"), os.path.join(args.certs, "server.key"))
        servers = [listen(tls_context=context), listen(tls_context=context, require_starttls=True),
                   listen(ssl_context=context, auth_require_tls=False)]
    else:
        servers = [listen(auth_require_tls=False)]
    loop.add_signal_handler(signal.SIGTERM, loop.stop)
    ports = [str(server.sockets[0].getsockname()[1]) for server in servers]
    print(" ".join(ports[:1] + [str(os.getpid())] + ports[1:]), flush=True)
    loop.run_forever()
    for server in servers:
        server.close()


if __name__ == "__main__":
    sys.exit(main())
