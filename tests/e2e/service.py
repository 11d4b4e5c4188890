#!/usr/bin/python3
"""Local dynamic-DNS test service for end-to-end tests: HTTP and HTTPS on 127.0.0.1.

Usage:
    /usr/bin/python3 service.py --dir DIR [--max-seconds N] [--parent-pid PID]

Start-up:
    Makes a self-signed certificate for IP:127.0.0.1 with the openssl command line
    (DIR/cert.pem, DIR/key.pem) unless both files exist, listens on two kernel-chosen
    ports, then writes DIR/ports atomically: one line of the fields http port, https port,
    DIR/cert.pem and the service's pid, written as the request log writes its fields.
    Clients trust the certificate through CURL_CA_BUNDLE=DIR/cert.pem.

Configuration (DIR/config.json, re-read on every request; write it atomically):
    {"routes": {"/checkip": ANSWER, "/v3/update": ANSWER, "*": ANSWER}}
    A request's path (without the query) picks its ANSWER; "*" is the fallback.
    ANSWER fields (all optional):
        "body": text to send (each character U+0000..U+00FF is one byte), default "good"
        "status": HTTP status, default 200
        "delay": seconds to wait before answering (at most 60), default 0
        "auth": "none", "basic", "digest" (qop=auth, MD5, RFC 7616) or "both"
                (offers Digest and Basic), default "none"
        "users": {"name": "password", ...} accepted when auth is not "none"
        "denied_body": body of a 401 answer, default "badauth"
        "location": a Location header to send (with a 3xx "status"), default none
        "require_length": true: a POST without a Content-Length header is answered
                411 Length Required, as standard servers (WEBrick) do, default false
        "endless": seconds (at most 60): after the body, filler lines for that long or
                until the client hangs up, without a Content-Length, then the connection
                closes: an answer that does not end, default 0

Request log (DIR/requests.log, one line per request, appended as each request arrives,
before any delay; truncate it between tests): tab-separated fields, each its bytes
(U+0000..U+00FF as Latin-1) in hex, or "-" where there is none:
    method, path (without the query), query (raw, still percent-encoded), user_agent,
    scheme ("http"/"https"), auth_scheme ("none", "basic", "digest", "other"), user,
    password_ok ("1" only when the credentials were verified, else "0"), status (the
    status sent), content_length (the header's text), then the query decoded: its names
    and values in turn.

Stops on SIGTERM or SIGINT, when --parent-pid is no longer alive, or after
--max-seconds (default 900).
"""

import argparse
import base64
import hashlib
import http.server
import json
import os
import secrets
import signal
import socket
import ssl
import subprocess
import sys
import threading
import time
import urllib.parse

REALM = "zevlo-test"


class State:
    def __init__(self, directory):
        self.directory = directory
        self.log_lock = threading.Lock()
        self.nonce_lock = threading.Lock()
        self.nonces = set()

    def answer_for(self, path):
        try:
            with open(os.path.join(self.directory, "config.json"), encoding="utf-8") as f:
                routes = json.load(f).get("routes", {})
        except (OSError, ValueError):
            routes = {}
        answer = routes.get(path, routes.get("*", {}))
        return {
            "body": answer.get("body", "good"),
            "status": int(answer.get("status", 200)),
            "delay": min(float(answer.get("delay", 0)), 60.0),
            "auth": answer.get("auth", "none"),
            "users": answer.get("users", {}),
            "denied_body": answer.get("denied_body", "badauth"),
            "location": answer.get("location"),
            "require_length": bool(answer.get("require_length", False)),
            "endless": min(float(answer.get("endless", 0)), 60.0),
        }

    def log(self, fields):
        with self.log_lock:
            with open(os.path.join(self.directory, "requests.log"), "a", encoding="ascii") as f:
                f.write(log_line(fields))

    def new_nonce(self):
        nonce = secrets.token_hex(16)
        with self.nonce_lock:
            self.nonces.add(nonce)
        return nonce

    def known_nonce(self, nonce):
        with self.nonce_lock:
            return nonce in self.nonces


def md5_hex(text):
    return hashlib.md5(text.encode("latin-1")).hexdigest()


def parse_digest_fields(text):
    """name=value pairs of a Digest header; values are tokens or quoted strings."""
    fields = {}
    i = 0
    n = len(text)
    while i < n:
        while i < n and text[i] in " ,\t":
            i += 1
        start = i
        while i < n and text[i] not in "=, \t":
            i += 1
        name = text[start:i].lower()
        while i < n and text[i] in " \t":
            i += 1
        if i >= n or text[i] != "=":
            if name:
                fields[name] = ""
            continue
        i += 1
        while i < n and text[i] in " \t":
            i += 1
        if i < n and text[i] == '"':
            i += 1
            value = []
            while i < n and text[i] != '"':
                if text[i] == "\\" and i + 1 < n:
                    i += 1
                value.append(text[i])
                i += 1
            i += 1
            fields[name] = "".join(value)
        else:
            start = i
            while i < n and text[i] != ",":
                i += 1
            fields[name] = text[start:i].strip()
    return fields


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "ZevloTestService/1.0"

    def setup(self):
        self.request.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        if self.server.tls_context is not None:
            self.request = self.server.tls_context.wrap_socket(self.request, server_side=True)
        super().setup()

    def log_message(self, format, *args):  # noqa: A002 - the base class's name
        pass

    def do_GET(self):
        self.handle_any()

    def do_POST(self):
        self.handle_any()

    def do_PUT(self):
        self.handle_any()

    def check_credentials(self, answer):
        """(auth_scheme, user, password_ok) of the request's Authorization header."""
        header = self.headers.get("Authorization")
        if not header:
            return "none", None, False
        scheme, _, rest = header.partition(" ")
        scheme = scheme.lower()
        users = answer["users"]
        if scheme == "basic":
            try:
                decoded = base64.b64decode(rest.strip(), validate=True).decode("latin-1")
            except ValueError:
                return "basic", None, False
            user, _, password = decoded.partition(":")
            ok = answer["auth"] in ("basic", "both") and users.get(user) == password
            return "basic", user, ok
        if scheme == "digest":
            fields = parse_digest_fields(rest)
            user = fields.get("username")
            password = users.get(user)
            ok = (
                answer["auth"] in ("digest", "both")
                and password is not None
                and fields.get("realm") == REALM
                and fields.get("qop") == "auth"
                and fields.get("algorithm", "MD5").upper() == "MD5"
                and self.server.state.known_nonce(fields.get("nonce", ""))
                and fields.get("uri") == self.path
                and "nc" in fields
                and "cnonce" in fields
            )
            if ok:
                ha1 = md5_hex(f"{user}:{REALM}:{password}")
                ha2 = md5_hex(f"{self.command}:{fields['uri']}")
                expected = md5_hex(f"{ha1}:{fields['nonce']}:{fields['nc']}:{fields['cnonce']}:auth:{ha2}")
                ok = secrets.compare_digest(expected, fields.get("response", ""))
            return "digest", user, ok
        return "other", None, False

    def handle_any(self):
        path, _, query = self.path.partition("?")
        answer = self.server.state.answer_for(path)
        content_length = self.headers.get("Content-Length")
        length = int(content_length or 0)
        if length:
            self.rfile.read(length)
        auth_scheme, user, password_ok = self.check_credentials(answer)
        needs_auth = answer["auth"] != "none"
        status = answer["status"]
        body = answer["body"]
        if needs_auth and not password_ok:
            status = 401
            body = answer["denied_body"]
        elif answer["require_length"] and self.command == "POST" and content_length is None:
            status = 411
            body = "<html><body><h1>Length Required</h1></body></html>\n"
        params = urllib.parse.parse_qsl(query, keep_blank_values=True, encoding="latin-1")
        self.server.state.log(
            [
                self.command,
                path,
                query,
                self.headers.get("User-Agent", ""),
                self.server.scheme,
                auth_scheme,
                user,
                "1" if password_ok else "0",
                str(status),
                content_length,
            ]
            + [text for pair in params for text in pair]
        )
        if answer["delay"] > 0:
            time.sleep(answer["delay"])
        payload = body.encode("latin-1")
        self.send_response(status)
        if status == 401:
            if answer["auth"] in ("digest", "both"):
                nonce = self.server.state.new_nonce()
                self.send_header(
                    "WWW-Authenticate",
                    f'Digest realm="{REALM}", qop="auth", algorithm=MD5, nonce="{nonce}", '
                    f'opaque="{secrets.token_hex(8)}"',
                )
            if answer["auth"] in ("basic", "both"):
                self.send_header("WWW-Authenticate", f'Basic realm="{REALM}"')
        if answer["location"] and status != 401:
            self.send_header("Location", answer["location"])
        self.send_header("Content-Type", "text/plain; charset=ISO-8859-1")
        if answer["endless"] > 0:
            self.send_header("Connection", "close")
            self.end_headers()
            self.close_connection = True
            self.send_endlessly(payload, answer["endless"])
            return
        self.send_header("Content-Length", str(len(payload)))
        self.end_headers()
        self.wfile.write(payload)

    def send_endlessly(self, payload, seconds):
        filler = (b"x" * 1023 + b"\n") * 64
        deadline = time.monotonic() + seconds
        try:
            self.wfile.write(payload)
            while time.monotonic() < deadline:
                self.wfile.write(filler)
        except (OSError, ValueError):
            pass  # the client hung up


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, state, scheme, tls_context):
        self.state = state
        self.scheme = scheme
        self.tls_context = tls_context
        super().__init__(("127.0.0.1", 0), Handler)

    def handle_error(self, request, client_address):
        # Refused handshakes (untrusted certificate) and clients that hang up are expected.
        pass


def make_certificate(directory):
    cert = os.path.join(directory, "cert.pem")
    key = os.path.join(directory, "key.pem")
    if os.path.exists(cert) and os.path.exists(key):
        return cert, key
    subprocess.run(
        [
            "openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
            "-nodes", "-keyout", key, "-out", cert, "-days", "2", "-subj", "/CN=127.0.0.1",
            "-addext", "subjectAltName=IP:127.0.0.1",
        ],
        check=True,
        stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL,
    )
    return cert, key


def log_line(fields):
    return "\t".join("-" if field is None else field.encode("latin-1").hex() for field in fields) + "\n"


def write_atomically(path, text):
    temporary = path + ".tmp"
    with open(temporary, "w", encoding="utf-8") as f:
        f.write(text)
    os.replace(temporary, path)


def main():
    parser = argparse.ArgumentParser(description="Local dynamic-DNS test service")
    parser.add_argument("--dir", required=True)
    parser.add_argument("--max-seconds", type=float, default=900)
    parser.add_argument("--parent-pid", type=int, default=0)
    options = parser.parse_args()
    directory = os.path.abspath(options.dir)

    cert, key = make_certificate(directory)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)

    state = State(directory)
    servers = [Server(state, "http", None), Server(state, "https", context)]
    for server in servers:
        threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.2}, daemon=True).start()

    ports = [str(servers[0].server_address[1]), str(servers[1].server_address[1]), cert, str(os.getpid())]
    write_atomically(os.path.join(directory, "ports"), log_line(ports))

    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    deadline = time.monotonic() + options.max_seconds
    while not stop.wait(0.5):
        if time.monotonic() > deadline:
            break
        if options.parent_pid:
            try:
                os.kill(options.parent_pid, 0)
            except ProcessLookupError:
                break
    for server in servers:
        server.shutdown()
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
