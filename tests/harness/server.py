#!/usr/bin/env python3
"""The test web server: serves the files below ROOT over HTTP on the first
free 127.0.0.N:80 (N from 2) and over HTTPS on 443 of the same address, whose
certificate is CERTS/NAME.pem for the name the client asks for, else
CERTS/default.pem. It writes the address to HOST_FILE and every request to
ROOT/requests.log (method, target, version, headers; tab-separated).

A file F's sidecar F.reply, a JSON object, changes how F is sent: "status"
(the body goes all the same), "redirect" (a 302 there), "cut" (only that many
bytes, then the connection closes), "trickle" ([bytes, ms]: that many bytes
every ms), "silent" (headers, then nothing), "close" (no length: the body ends
with the connection), "delay" (ms before the answer). A folder's own sidecar
FOLDER/.reply with "rtt" (ms) puts everything below it at that round-trip
time: each answer waits one, and the first on a connection one more for the
connection and, over https, one or two for the TLS 1.3 or 1.2 handshake.
Every answer ends with a line in ROOT/timings.log: target, start, end
(seconds, tab-separated).
"""
import http.server
import json
import os
import socket
import ssl
import sys
import threading
import time

ROOT, HOST_FILE, CERTS = (os.path.realpath(a) for a in sys.argv[1:4])
LOG_LOCK = threading.Lock()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def setup(self):
        super().setup()
        if isinstance(self.connection, ssl.SSLSocket):
            self.connection.do_handshake()

    def round_trips(self):
        """How many simulated round trips this answer waits."""
        if getattr(self, "answered", False):
            return 1
        self.answered = True
        if not isinstance(self.connection, ssl.SSLSocket):
            return 2
        return 3 if self.connection.version() == "TLSv1.3" else 4

    def do_GET(self):
        start = time.monotonic()
        with LOG_LOCK, open(os.path.join(ROOT, "requests.log"), "a") as log:
            fields = [self.command, self.path, self.request_version]
            log.write("\t".join(fields + ["%s: %s" % h for h in self.headers.items()]) + "\n")
        path = os.path.realpath(os.path.join(ROOT, self.path.split("?")[0].lstrip("/")))
        body, reply = None, {}
        if path.startswith(ROOT + "/") and os.path.isfile(path):
            with open(path, "rb") as f:
                body = f.read()
            if os.path.isfile(path + ".reply"):
                with open(path + ".reply") as f:
                    reply = json.load(f)
        rtt, folder = 0, os.path.join(ROOT, self.path.lstrip("/").split("/")[0], ".reply")
        if os.path.isfile(folder):
            with open(folder) as f:
                rtt = json.load(f).get("rtt", 0)
        time.sleep((rtt * self.round_trips() + reply.get("delay", 0)) / 1000.0)
        status = reply.get("status", 302 if "redirect" in reply else 200 if body is not None else 404)
        body = body if body is not None else b"not found\n"
        self.send_response(status)
        if "redirect" in reply:
            self.send_header("Location", reply["redirect"])
        if reply.get("close"):
            self.send_header("Connection", "close")
            self.close_connection = True
        else:
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if reply.get("silent"):
            time.sleep(600)
        body = body[:reply.get("cut", len(body))]
        step, pause = reply.get("trickle", [len(body) or 1, 0])
        for at in range(0, len(body), step):
            self.wfile.write(body[at:at + step])
            self.wfile.flush()
            time.sleep(pause / 1000.0)
        if "cut" in reply:
            self.close_connection = True
        with LOG_LOCK, open(os.path.join(ROOT, "timings.log"), "a") as log:
            log.write("%s\t%.6f\t%.6f\n" % (self.path, start, time.monotonic()))


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = False  # a taken address must make us move on

    def handle_error(self, request, client_address):
        pass  # a client that hangs up or refuses the certificate is the test's business

    def get_request(self):
        conn, addr = super().get_request()
        # Head and body go out in separate writes; without this the body
        # waits for the client's delayed acknowledgement of the head.
        conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        return conn, addr


def tls_context():
    contexts = {name[:-4]: ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER) for name in os.listdir(CERTS)}
    for name, context in contexts.items():
        context.load_cert_chain(os.path.join(CERTS, name + ".pem"))
    contexts["default"].sni_callback = lambda sock, name, _: setattr(
        sock, "context", contexts.get(name or "", contexts["default"]))
    return contexts["default"]


def main():
    for n in range(2, 255):
        host = "127.0.0.%d" % n
        try:
            plain = Server((host, 80), Handler)
        except OSError:
            continue
        try:
            secure = Server((host, 443), Handler)
        except OSError:
            plain.server_close()
            continue
        break
    # The handshake runs in the request's own thread, so a client that
    # never finishes it holds up nobody else.
    secure.socket = tls_context().wrap_socket(secure.socket, server_side=True, do_handshake_on_connect=False)
    threading.Thread(target=secure.serve_forever, daemon=True).start()
    with open(HOST_FILE + ".tmp", "w") as f:
        f.write(host + "\n")
    os.replace(HOST_FILE + ".tmp", HOST_FILE)
    plain.serve_forever()


if __name__ == "__main__":
    main()
