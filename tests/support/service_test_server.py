#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# The weather services' servers for the tests, on 127.0.0.1.
#
#     service_test_server.py web|https|aprs DIR
#
# DIR/script.json (optional) says what to answer. web/https: a list of replies, one per request
# in order, each {"status": 200, "body": "...", "headers": [["Retry-After", "30"]]} or
# {"action": "hang"} (read the request, never answer) or {"action": "close"} (close unanswered);
# after the list, 200 "ok". aprs: {"banner": "# server\r\n"}, or "banner": null for none.
# https makes a certificate authority (DIR/ca.pem) and a server certificate for 127.0.0.1 and
# localhost with openssl. Each request goes to DIR/requests as one line: the target, then a tab and
# "Name: value" for each header (web), or the line as received (aprs). DIR/port holds the port once
# the server listens.
import json
import os
import socketserver
import ssl
import subprocess
import sys
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

MODE, FOLDER = sys.argv[1], sys.argv[2]
LOCK = threading.Lock()


def path(name):
    return os.path.join(FOLDER, name)


def load_script():
    try:
        with open(path("script.json"), encoding="utf-8") as f:
            return json.load(f)
    except FileNotFoundError:
        return [] if MODE != "aprs" else {}


SCRIPT = load_script()


def record(line):
    with LOCK, open(path("requests"), "a", encoding="utf-8", newline="") as f:
        f.write(line.replace("\n", "\\n").replace("\r", "\\r") + "\n")


def next_reply():
    with LOCK:
        return SCRIPT.pop(0) if SCRIPT else {"status": 200, "body": "ok"}


def make_certificates():
    def run(*args):
        subprocess.run(["openssl", *args], check=True, capture_output=True, cwd=FOLDER)

    key = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]
    run("req", "-x509", *key, "-keyout", "ca.key", "-out", "ca.pem", "-days", "2",
        "-subj", "/CN=Nimbrel test authority",
        "-addext", "basicConstraints=critical,CA:TRUE",
        "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    run("req", *key, "-keyout", "server.key", "-out", "server.csr", "-subj", "/CN=localhost")
    with open(path("server.ext"), "w", encoding="ascii") as f:
        f.write("subjectAltName=IP:127.0.0.1,DNS:localhost\n")
    run("x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
        "-CAcreateserial", "-out", "server.pem", "-days", "2", "-extfile", "server.ext")


class WebHandler(BaseHTTPRequestHandler):
    def do_GET(self):
        fields = [self.path] + [f"{name}: {value}" for name, value in self.headers.items()]
        record("\t".join(fields))
        reply = next_reply()
        action = reply.get("action", "reply")
        if action == "hang":
            threading.Event().wait()
        if action == "close":
            self.close_connection = True
            return
        body = reply.get("body", "").encode("utf-8")
        self.send_response(reply.get("status", 200))
        for name, value in reply.get("headers", []):
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


class AprsHandler(socketserver.StreamRequestHandler):
    def handle(self):
        banner = SCRIPT.get("banner", "# nimbrel test server\r\n")
        if banner is None:
            threading.Event().wait()
        self.wfile.write(banner.encode("ascii"))
        for line in self.rfile:
            record(line.decode("utf-8", "replace"))
            if line.startswith(b"user "):
                self.wfile.write(b"# logresp test unverified, server TEST\r\n")


class ThreadingTcpServer(socketserver.ThreadingMixIn, socketserver.TCPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    if MODE == "aprs":
        server = ThreadingTcpServer(("127.0.0.1", 0), AprsHandler)
    else:
        server = ThreadingHTTPServer(("127.0.0.1", 0), WebHandler)
        server.daemon_threads = True
    server.handle_error = lambda *args: None  # a client that gives up is part of the tests
    if MODE == "https":
        make_certificates()
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(path("server.pem"), path("server.key"))
        # The handshake runs on the request's thread, so a client that never speaks holds only it.
        server.socket = context.wrap_socket(server.socket, server_side=True,
                                            do_handshake_on_connect=False)
    with open(path("port.part"), "w", encoding="ascii") as f:
        f.write(str(server.server_address[1]))
    os.replace(path("port.part"), path("port"))
    server.serve_forever()


if __name__ == "__main__":
    main()
