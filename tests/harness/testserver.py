#!/usr/bin/env python3
"""Scripted HTTP servers for the Windows tests of one build tree.

The daemon listens for control connections on 127.0.0.1 at a free port and
writes that port to --port-file. Each control connection owns the HTTP (or
TLS) servers it starts; they stop when it sends "stop" or disconnects, so a
test program that dies leaves nothing bound behind.

Control protocol: the client sends one JSON object per line, e.g.
    {"cmd": "start", "tls": false, "port": 0}
    {"cmd": "route", "path": "/x", "status": 200, "body64": "..."}
and gets one reply per command:
    OK <n>\\n  followed by n fields, each  <length>\\n<bytes>
    ERR <message>\\n
Strings inside the JSON map to bytes as Latin-1, so any byte can travel.

Servers only ever bind loopback addresses: 127.0.0.N for N from 2 upward
(then 127.0.1.x, ...), the first one whose port is free.
"""

import argparse
import base64
import json
import mimetypes
import os
import socket
import shutil
import ssl
import struct
import subprocess
import sys
import threading
import time
import traceback
import urllib.parse
from http import HTTPStatus

MAX_CONTROL_LINE = 64 * 1024 * 1024
MAX_REQUEST_HEAD = 256 * 1024
IDLE_TIMEOUT = 30.0
PATTERN_MODULUS = 251


def log(*args):
    print(time.strftime("%H:%M:%S"), *args, file=sys.stderr, flush=True)


def loopback_candidates():
    """127.0.0.2 upward, never touching an address outside 127/8."""
    for b in range(0, 256):
        for c in range(0, 256):
            for d in range(1, 255):
                if b == 0 and c == 0 and d < 2:
                    continue
                yield "127.%d.%d.%d" % (b, c, d)


def pattern_bytes(offset, count):
    """Bytes offset..offset+count-1 of the pattern: byte i is i % 251."""
    cycle = bytes(range(PATTERN_MODULUS))
    start = offset % PATTERN_MODULUS
    reps = (start + count) // PATTERN_MODULUS + 1
    return (cycle * reps)[start:start + count]


def latin1(s):
    return s.encode("latin-1") if isinstance(s, str) else bytes(s)


class Reply:
    """One scripted answer, built from a route command."""

    def __init__(self, script):
        self.status = int(script.get("status", 200))
        if not 100 <= self.status <= 999:
            raise ValueError("status out of range")
        reason = script.get("reason", "")
        if not reason:
            try:
                reason = HTTPStatus(self.status).phrase
            except ValueError:
                reason = "Unknown"
        self.reason = latin1(reason)
        self.headers = [(latin1(n), latin1(v)) for n, v in script.get("headers", [])]
        location = script.get("location", "")
        if location:
            self.headers.append((b"Location", latin1(location)))
        self.body = base64.b64decode(script.get("body64", "")) if script.get("body64") else b""
        self.pattern_size = int(script.get("pattern_size", -1))
        self.file = script.get("file", "")
        self.cut_after = int(script.get("cut_after", -1))
        self.trickle_chunk = max(0, int(script.get("trickle_chunk", 0)))
        self.trickle_ms = max(0, int(script.get("trickle_ms", 0)))
        self.no_content_length = bool(script.get("no_content_length", False))
        self.reset_at_cut = bool(script.get("reset_at_cut", False))
        if self.file:
            # Fail at routing time rather than with a half-sent reply.
            with open(latin1(self.file), "rb"):
                pass

    def body_size(self):
        if self.pattern_size >= 0:
            return self.pattern_size
        if self.file:
            return os.path.getsize(latin1(self.file))
        return len(self.body)

    def body_pieces(self, limit):
        """The first `limit` body bytes, in pieces of at most 64 KiB."""
        piece = 65536
        if self.pattern_size >= 0:
            pos = 0
            while pos < limit:
                n = min(piece, limit - pos)
                yield pattern_bytes(pos, n)
                pos += n
        elif self.file:
            with open(latin1(self.file), "rb") as f:
                left = limit
                while left > 0:
                    data = f.read(min(piece, left))
                    if not data:
                        break
                    left -= len(data)
                    yield data
        else:
            for pos in range(0, limit, piece):
                yield self.body[pos:min(pos + piece, limit)]


class Recorder:
    """Requests and connection events of one server, in arrival order."""

    def __init__(self):
        self.lock = threading.Lock()
        self.requests = []
        self.connections = []

    def add_request(self, req):
        with self.lock:
            self.requests.append(req)

    def add_connection_event(self, what):
        with self.lock:
            self.connections.append(what)

    def snapshot(self):
        with self.lock:
            return list(self.requests), list(self.connections)

    def clear(self):
        with self.lock:
            self.requests.clear()
            self.connections.clear()


class HttpServer:
    """One listener on 127.0.0.N:port serving scripted replies."""

    def __init__(self, server_id, make_tls_context, port):
        """make_tls_context(host) gives the TLS context for the bound
        address, or is None for clear-text HTTP."""
        self.id = server_id
        self.routes = {}
        self.dirs = []  # (prefix bytes, directory bytes)
        self.lock = threading.Lock()
        self.recorder = Recorder()
        self.clients = set()
        self.stopped = False
        self.sock, self.host = self._bind(port)
        self.port = self.sock.getsockname()[1]
        self.cert_file = ""
        self.tls_context = None
        if make_tls_context is not None:
            try:
                self.tls_context, self.cert_file = make_tls_context(self.host)
            except BaseException:
                self.sock.close()
                raise
        self.thread = threading.Thread(target=self._accept_loop, daemon=True)
        self.thread.start()

    @staticmethod
    def _bind(port):
        last_error = None
        for host in loopback_candidates():
            s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            # Left off on purpose: a taken address must make us move on, so
            # the servers of several build trees never share one.
            s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 0)
            try:
                s.bind((host, port))
                s.listen(64)
                return s, host
            except OSError as e:
                last_error = e
                s.close()
        raise OSError("no free loopback address for port %d: %s" % (port, last_error))

    def stop(self):
        with self.lock:
            if self.stopped:
                return
            self.stopped = True
            clients = list(self.clients)
        try:
            self.sock.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        self.sock.close()
        for c in clients:
            try:
                c.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
        self.thread.join(timeout=5)

    def route(self, path, reply):
        with self.lock:
            self.routes[path] = reply

    def serve_dir(self, prefix, directory):
        with self.lock:
            self.dirs.append((prefix, os.path.realpath(directory)))

    def _accept_loop(self):
        while True:
            try:
                conn, _ = self.sock.accept()
            except OSError:
                return
            with self.lock:
                if self.stopped:
                    conn.close()
                    return
                self.clients.add(conn)
            threading.Thread(target=self._serve_connection, args=(conn,), daemon=True).start()

    def _serve_connection(self, conn):
        stream = conn
        try:
            conn.settimeout(IDLE_TIMEOUT)
            # Head and body go out in separate writes; without this the body
            # waits for the client's delayed acknowledgement of the head.
            conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            if self.tls_context is not None:
                tls_stream = self._tls_accept(conn)
                if tls_stream is None:
                    return
                stream = tls_stream
            else:
                self.recorder.add_connection_event("plain")
            buf = b""
            while True:
                head, buf = self._read_head(stream, buf)
                if head is None:
                    return
                request = self._parse_head(head)
                if request is None:
                    self._send_simple(stream, 400, b"Bad Request", b"bad request\n", close=True)
                    return
                self.recorder.add_request(request)
                buf = self._skip_request_body(stream, buf, request)
                if buf is None:
                    return
                if not self._respond(stream, request):
                    return
        except (OSError, ValueError, ssl.SSLError):
            pass
        except Exception:
            log("connection error:\n" + traceback.format_exc())
        finally:
            with self.lock:
                self.clients.discard(conn)
            try:
                stream.close()
            except OSError:
                pass

    def _tls_accept(self, conn):
        """Notes whether the client opened with a TLS handshake record."""
        try:
            first = conn.recv(1, socket.MSG_PEEK)
        except OSError:
            first = b""
        if not first:
            self.recorder.add_connection_event("empty")
            return None
        self.recorder.add_connection_event("tls" if first == b"\x16" else "plain")
        try:
            stream = self.tls_context.wrap_socket(conn, server_side=True)
        except (ssl.SSLError, OSError) as e:
            self.recorder.add_connection_event("tls-failed")
            log("server %d: TLS handshake failed: %s" % (self.id, e))
            return None
        self.recorder.add_connection_event("tls-ok")
        return stream

    @staticmethod
    def _read_head(stream, buf):
        while b"\r\n\r\n" not in buf:
            if len(buf) > MAX_REQUEST_HEAD:
                return None, b""
            data = stream.recv(65536)
            if not data:
                return None, b""
            buf += data
        head, rest = buf.split(b"\r\n\r\n", 1)
        return head, rest

    @staticmethod
    def _parse_head(head):
        lines = head.split(b"\r\n")
        parts = lines[0].split(b" ")
        if len(parts) != 3:
            return None
        headers = []
        for line in lines[1:]:
            if b":" not in line:
                return None
            name, value = line.split(b":", 1)
            headers.append((name, value.strip(b" \t")))
        return {"method": parts[0], "path": parts[1], "version": parts[2], "headers": headers}

    @staticmethod
    def _header(request, name):
        for n, v in request["headers"]:
            if n.lower() == name:
                return v
        return None

    def _skip_request_body(self, stream, buf, request):
        length = self._header(request, b"content-length")
        if length is None:
            return buf
        length = int(length)
        while len(buf) < length:
            data = stream.recv(65536)
            if not data:
                return None
            buf += data
        return buf[length:]

    def _find_reply(self, target):
        with self.lock:
            if target in self.routes:
                return self.routes[target]
            path = target.split(b"?", 1)[0]
            if path in self.routes:
                return self.routes[path]
            dirs = list(self.dirs)
        for prefix, directory in dirs:
            if not path.startswith(prefix):
                continue
            rel = urllib.parse.unquote_to_bytes(path[len(prefix):]).lstrip(b"/")
            full = os.path.realpath(os.path.join(directory, rel))
            if (full == directory or full.startswith(directory + b"/")) and os.path.isfile(full):
                ctype = mimetypes.guess_type(full.decode("latin-1"))[0] or "application/octet-stream"
                return Reply({"file": full.decode("latin-1"), "headers": [["Content-Type", ctype]]})
        return None

    def _respond(self, stream, request):
        """Sends one reply; False when the connection must end."""
        wants_close = (self._header(request, b"connection") or b"").lower() == b"close"
        if request["version"] == b"HTTP/1.0":
            wants_close = (self._header(request, b"connection") or b"").lower() != b"keep-alive"
        reply = self._find_reply(request["path"])
        if reply is None:
            self._send_simple(stream, 404, b"Not Found", b"not found\n", wants_close)
            return not wants_close
        no_body = request["method"] == b"HEAD" or reply.status in (204, 304) or reply.status < 200
        size = 0 if no_body else reply.body_size()
        sent_size = size if reply.cut_after < 0 else min(size, reply.cut_after)
        close = wants_close or reply.no_content_length or reply.cut_after >= 0
        lines = [b"HTTP/1.1 %d %s" % (reply.status, reply.reason)]
        names = {n.lower() for n, _ in reply.headers}
        lines += [n + b": " + v for n, v in reply.headers]
        if not reply.no_content_length and b"content-length" not in names and reply.status not in (204, 304):
            lines.append(b"Content-Length: %d" % size)
        if close and b"connection" not in names:
            lines.append(b"Connection: close")
        stream.sendall(b"\r\n".join(lines) + b"\r\n\r\n")
        if sent_size > 0:
            self._send_body(stream, reply, sent_size)
        if reply.cut_after >= 0 and reply.reset_at_cut:
            self._reset(stream)
            return False
        if close:
            self._close_gracefully(stream)
            return False
        return True

    @staticmethod
    def _send_body(stream, reply, count):
        if reply.trickle_chunk > 0:
            pending = b""
            for piece in reply.body_pieces(count):
                pending += piece
                while len(pending) >= reply.trickle_chunk:
                    stream.sendall(pending[:reply.trickle_chunk])
                    pending = pending[reply.trickle_chunk:]
                    time.sleep(reply.trickle_ms / 1000.0)
            if pending:
                stream.sendall(pending)
        else:
            for piece in reply.body_pieces(count):
                stream.sendall(piece)

    @staticmethod
    def _reset(stream):
        """Aborts the connection: the client's next read after the bytes
        already sent fails instead of seeing a clean end."""
        time.sleep(0.2)  # let the client take in what was sent first
        try:
            stream.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        except OSError:
            pass

    @staticmethod
    def _close_gracefully(stream):
        """Half-closes, then waits briefly for the client to close too, so no
        reset can overtake body bytes still on their way."""
        try:
            stream.shutdown(socket.SHUT_WR)
            stream.settimeout(5.0)
            while stream.recv(65536):
                pass
        except (OSError, ValueError, ssl.SSLError):
            pass

    def _send_simple(self, stream, status, reason, body, close):
        head = b"HTTP/1.1 %d %s\r\nContent-Type: text/plain\r\nContent-Length: %d\r\n" % (status, reason, len(body))
        if close:
            head += b"Connection: close\r\n"
        stream.sendall(head + b"\r\n" + body)
        if close:
            self._close_gracefully(stream)


class Daemon:
    def __init__(self, cert_dir):
        self.lock = threading.Lock()
        self.next_id = 1
        self.cert_serial = 0
        self.cert_dir = cert_dir

    def tls_for(self, host):
        """A fresh self-signed certificate naming host: the name is right, so
        only trust can fail, and trusting it trusts no other server."""
        with self.lock:
            self.cert_serial += 1
            base = os.path.join(self.cert_dir, "server%d" % self.cert_serial)
        key, cert = base + "-key.pem", base + "-cert.pem"
        subprocess.run(
            ["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
             "-nodes", "-keyout", key, "-out", cert, "-days", "7", "-subj", "/CN=" + host,
             "-addext", "subjectAltName=IP:%s,DNS:%s" % (host, host),
             "-addext", "basicConstraints=critical,CA:TRUE"],
            check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        ctx.load_cert_chain(cert, key)
        return ctx, cert

    def new_id(self):
        with self.lock:
            i = self.next_id
            self.next_id += 1
            return i

    def serve_control(self, conn):
        servers = []
        reader = conn.makefile("rb")
        try:
            while True:
                line = reader.readline(MAX_CONTROL_LINE + 1)
                if not line:
                    return
                if len(line) > MAX_CONTROL_LINE or not line.endswith(b"\n"):
                    conn.sendall(b"ERR command line too long\n")
                    return
                if not line.strip():
                    continue
                try:
                    fields = self.command(json.loads(line.decode("latin-1")), servers)
                    out = [b"OK %d\n" % len(fields)]
                    for f in fields:
                        f = latin1(f)
                        out.append(b"%d\n" % len(f))
                        out.append(f)
                    conn.sendall(b"".join(out))
                except Exception as e:  # a bad command must not end the daemon
                    message = ("%s: %s" % (type(e).__name__, e)).replace("\n", " ")
                    conn.sendall(b"ERR " + message.encode("latin-1", "replace") + b"\n")
        except OSError:
            pass
        finally:
            for s in servers:
                s.stop()
            try:
                conn.close()
            except OSError:
                pass

    def command(self, cmd, servers):
        if not isinstance(cmd, dict):
            raise ValueError("command must be a JSON object")
        name = cmd.get("cmd")
        if name == "start":
            tls = bool(cmd.get("tls", False))
            port = int(cmd.get("port", 0)) or (443 if tls else 80)
            if not 1 <= port <= 65535:
                raise ValueError("bad port")
            server = HttpServer(self.new_id(), self.tls_for if tls else None, port)
            servers.append(server)
            log("server %d on %s:%d%s" % (server.id, server.host, server.port, " (TLS)" if tls else ""))
            return [str(server.id), server.host, str(server.port), server.cert_file]
        server = self.find(cmd, servers)
        if name == "stop":
            server.stop()
            servers.remove(server)
            return []
        if name == "route":
            server.route(latin1(cmd["path"]), Reply(cmd))
            return []
        if name == "serve_dir":
            directory = latin1(cmd["dir"])
            if not os.path.isdir(directory):
                raise ValueError("not a directory: %s" % cmd["dir"])
            server.serve_dir(latin1(cmd["prefix"]), directory)
            return []
        if name == "requests":
            requests, _ = server.recorder.snapshot()
            fields = [str(len(requests))]
            for r in requests:
                fields += [r["method"], r["path"], r["version"], str(len(r["headers"]))]
                for n, v in r["headers"]:
                    fields += [n, v]
            return fields
        if name == "connections":
            _, events = server.recorder.snapshot()
            return events
        if name == "clear":
            server.recorder.clear()
            return []
        raise ValueError("unknown command %r" % name)

    @staticmethod
    def find(cmd, servers):
        sid = cmd.get("id")
        for s in servers:
            if sid is None or s.id == int(sid):
                return s
        raise ValueError("no such server on this connection")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port-file", required=True)
    args = parser.parse_args()
    # Whatever the starter left open (a lock, a log) is not ours to keep
    # alive for as long as the daemon runs.
    os.closerange(3, 256)

    # Certificates go beside the port file, inside the build tree, where the
    # tests can read them and nothing outlives the tree.
    cert_dir = os.path.join(os.path.dirname(os.path.abspath(args.port_file)), "testserver-certs")
    shutil.rmtree(cert_dir, ignore_errors=True)
    os.makedirs(cert_dir)
    daemon = Daemon(cert_dir)
    control = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    control.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    control.bind(("127.0.0.1", 0))
    control.listen(64)
    port = control.getsockname()[1]
    tmp = args.port_file + ".tmp%d" % os.getpid()
    with open(tmp, "w") as f:
        f.write("%d\n" % port)
    os.replace(tmp, args.port_file)
    log("control on 127.0.0.1:%d" % port)

    while True:
        try:
            conn, _ = control.accept()
        except OSError:
            continue
        threading.Thread(target=daemon.serve_control, args=(conn,), daemon=True).start()


if __name__ == "__main__":
    main()
