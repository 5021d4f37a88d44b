#!/usr/bin/python3
"""An HTTPS server for the tests of the account settings look-up: serves Mail Autoconfig documents
at /mail/config-v1.1.xml?emailaddress=ADDRESS on 127.0.0.1 and a free port, with the certificate of
make-ca (issued to "localhost"). It prints "PORT PID" once it accepts connections; SIGTERM stops it.

What it answers depends on the address's domain:
  good.test            a document naming the given POP3 and SMTP servers
  imaponly.test        a document naming the given IMAP server (--imap) and the SMTP server
  plain.test           the same, with servers without encryption listed first
  onlyplain.test       only servers without encryption
  notxml.test          an HTML page
  huge.test            a document of 2 MiB announced with Content-Length
  hugestream.test      a document of 2 MiB without Content-Length
  redirect.test        a redirect to plain HTTP
  httpsredirect.test   a redirect over HTTPS to the good.test document
  hang.test            nothing: the connection stays open without an answer
  anything else        404

    autoconfig-server.py CERTDIR --pop3 localhost:PORT:SSL --smtp localhost:PORT:STARTTLS [--imap localhost:PORT:SSL]
"""
import argparse
import http.server
import os
import signal
import socketserver
import ssl
import sys
import threading
import time
import urllib.parse


def server_entry(tag, kind, spec):
    host, port, socket_type = spec.split(":")
    return (f'    <{tag} type="{kind}">\n      <hostname>{host}</hostname>\n      <port>{port}</port>\n'
            f'      <socketType>{socket_type}</socketType>\n      <username>%EMAILLOCALPART%</username>\n'
            f'      <authentication>password-cleartext</authentication>\n    </{tag}>\n')


def document(servers):
    return ('<?xml version="1.0"?>\n<clientConfig version="1.1">\n  <emailProvider id="good.test">\n'
            '    <domain>good.test</domain>\n    <displayName>Good Test Mail</displayName>\n'
            + "".join(servers) + '  </emailProvider>\n</clientConfig>\n').encode()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def send(self, status, body, content_type="text/xml", length=True, headers=()):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        for name, value in headers:
            self.send_header(name, value)
        if length:
            self.send_header("Content-Length", str(len(body)))
        else:
            self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)
        if not length:
            self.close_connection = True

    def do_GET(self):
        query = urllib.parse.parse_qs(urllib.parse.urlparse(self.path).query)
        address = query.get("emailaddress", [""])[0]
        domain = address.rpartition("@")[2].lower()
        options = self.server.options
        good = [server_entry("incomingServer", "pop3", options.pop3), server_entry("outgoingServer", "smtp", options.smtp)]
        plain = [server_entry("incomingServer", "pop3", "plain.invalid:110:plain"),
                 server_entry("outgoingServer", "smtp", "plain.invalid:25:plain")]
        huge = b"<!-- " + b"x" * (2 * 1024 * 1024) + b" -->"
        port = self.server.server_address[1]
        if domain == "good.test":
            self.send(200, document(good))
        elif domain == "imaponly.test" and options.imap:
            self.send(200, document([server_entry("incomingServer", "imap", options.imap), good[1]]))
        elif domain == "plain.test":
            self.send(200, document(plain[:1] + good[:1] + plain[1:] + good[1:]))
        elif domain == "onlyplain.test":
            self.send(200, document(plain))
        elif domain == "notxml.test":
            self.send(200, b"<html><body><p>Welcome to our web site</body>", "text/html")
        elif domain == "huge.test":
            self.send(200, document(good).replace(b"<clientConfig", huge + b"<clientConfig"))
        elif domain == "hugestream.test":
            self.send(200, document(good).replace(b"<clientConfig", huge + b"<clientConfig"), length=False)
        elif domain == "redirect.test":
            self.send(302, b"", headers=[("Location", f"http://127.0.0.1:{port}/mail/config-v1.1.xml?emailaddress={address}")])
        elif domain == "httpsredirect.test":
            self.send(302, b"", headers=[("Location", f"https://localhost:{port}/mail/config-v1.1.xml?emailaddress=alice@good.test")])
        elif domain == "hang.test":
            time.sleep(3600)
        else:
            self.send(404, b"not found", "text/plain")


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("certs")
    parser.add_argument("--pop3", required=True)
    parser.add_argument("--smtp", required=True)
    parser.add_argument("--imap")
    options = parser.parse_args()
    server = Server(("127.0.0.1", 0), Handler)
    server.options = options
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(os.path.join(options.certs, "server.pem"), os.path.join(options.certs, "server.key"))
    server.socket = context.wrap_socket(server.socket, server_side=True)
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    print(server.server_address[1], os.getpid(), flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
