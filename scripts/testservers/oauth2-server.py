#!/usr/bin/python3
"""An OAuth2 authorization server for the integration tests, over HTTPS with the test CA's
certificate, on 127.0.0.1 and a free port; prints "PORT PID".

  oauth2-server.py CERT_DIR --user alice [--lifetime SECONDS]

Endpoints (RFC 6749, 7636, 7662, 7009):
  GET  /authorize   consents at once: redirects to redirect_uri with a code and the client's state
                    (PKCE S256 required);
  POST /token       authorization_code (with code_verifier) and refresh_token grants;
  POST /introspect  {"active": ..., "username": ...} for an access token (what Dovecot and the
                    SMTP test server ask);
  POST /revoke      revokes a refresh token and the access tokens issued with it.
For the tests only: POST /control/expire (every access token expires now), /control/hang-token
(the token endpoint stops answering), /control/wrong-state (authorize answers with another state);
GET /control/stats gives the number of grants of each kind as JSON.
"""

import argparse
import base64
import hashlib
import json
import os
import secrets
import ssl
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


class State:
    def __init__(self, user, lifetime):
        self.user = user
        self.lifetime = lifetime
        self.lock = threading.Lock()
        self.codes = {}          # code -> (client_id, redirect_uri, challenge)
        self.access = {}         # access token -> (expiry, refresh token)
        self.refresh = set()     # live refresh tokens
        self.hang_token = False
        self.wrong_state = False
        self.stats = {"authorization_code": 0, "refresh_token": 0, "refused": 0}

    def issue(self, refresh=None):
        access = secrets.token_urlsafe(24)
        refresh = refresh or secrets.token_urlsafe(24)
        self.access[access] = (time.time() + self.lifetime, refresh)
        self.refresh.add(refresh)
        return {"access_token": access, "token_type": "Bearer", "expires_in": self.lifetime, "refresh_token": refresh}


def challenge_of(verifier):
    return base64.urlsafe_b64encode(hashlib.sha256(verifier.encode()).digest()).rstrip(b"=").decode()


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def reply(self, status, body, headers=()):
        data = json.dumps(body).encode() if not isinstance(body, bytes) else body
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def form(self):
        length = int(self.headers.get("Content-Length", "0"))
        return {k: v[0] for k, v in urllib.parse.parse_qs(self.rfile.read(length).decode()).items()}

    def do_GET(self):
        state = self.server.state
        url = urllib.parse.urlsplit(self.path)
        query = {k: v[0] for k, v in urllib.parse.parse_qs(url.query).items()}
        if url.path == "/control/stats":
            return self.reply(200, state.stats)
        if url.path != "/authorize":
            return self.reply(404, {"error": "not_found"})
        redirect = query.get("redirect_uri", "")
        if (query.get("response_type") != "code" or query.get("code_challenge_method") != "S256"
                or not query.get("code_challenge") or not redirect.startswith("http://127.0.0.1:")):
            return self.reply(400, {"error": "invalid_request"})
        code = secrets.token_urlsafe(16)
        with state.lock:
            state.codes[code] = (query.get("client_id"), redirect, query["code_challenge"])
        returned_state = "forged" if state.wrong_state else query.get("state", "")
        target = redirect + ("&" if "?" in redirect else "?") + urllib.parse.urlencode({"code": code, "state": returned_state})
        self.reply(302, b"", [("Location", target)])

    def do_POST(self):
        state = self.server.state
        path = urllib.parse.urlsplit(self.path).path
        form = self.form()
        if path == "/token":
            return self.token(state, form)
        if path == "/introspect":
            with state.lock:
                entry = state.access.get(form.get("token", ""))
                active = bool(entry and entry[0] > time.time() and entry[1] in state.refresh)
            body = {"active": active}
            if active:
                body.update({"username": state.user, "scope": "mail", "token_type": "Bearer"})
            return self.reply(200, body)
        if path == "/revoke":
            with state.lock:
                state.refresh.discard(form.get("token", ""))
            return self.reply(200, {})
        if path == "/control/expire":
            with state.lock:
                state.access = {token: (0, refresh) for token, (_, refresh) in state.access.items()}
            return self.reply(200, {})
        if path in ("/control/hang-token", "/control/wrong-state"):
            setattr(state, path.rsplit("/", 1)[1].replace("-", "_"), form.get("on", "1") == "1")
            return self.reply(200, {})
        self.reply(404, {"error": "not_found"})

    def token(self, state, form):
        if state.hang_token:
            time.sleep(3600)
        grant = form.get("grant_type")
        with state.lock:
            if grant == "authorization_code":
                client, redirect, challenge = state.codes.pop(form.get("code", ""), (None, None, None))
                if (client is None or client != form.get("client_id") or redirect != form.get("redirect_uri")
                        or challenge_of(form.get("code_verifier", "")) != challenge):
                    state.stats["refused"] += 1
                    return self.reply(400, {"error": "invalid_grant", "error_description": "bad code or verifier"})
                state.stats[grant] += 1
                return self.reply(200, state.issue())
            if grant == "refresh_token":
                refresh = form.get("refresh_token", "")
                if refresh not in state.refresh:
                    state.stats["refused"] += 1
                    return self.reply(400, {"error": "invalid_grant", "error_description": "refresh token revoked"})
                state.stats[grant] += 1
                body = state.issue(refresh)
                del body["refresh_token"]
                return self.reply(200, body)
        self.reply(400, {"error": "unsupported_grant_type"})


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("certs")
    parser.add_argument("--user", default="alice")
    parser.add_argument("--lifetime", type=int, default=3600)
    args = parser.parse_args()
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    server.state = State(args.user, args.lifetime)
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(os.path.join(args.certs, "server.pem"), os.path.join(args.certs, "server.key"))
    server.socket = context.wrap_socket(server.socket, server_side=True)
    print(server.server_address[1], os.getpid(), flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
