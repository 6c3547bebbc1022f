#!/usr/bin/env python3
"""A sample service for the reporter's end-to-end tests (standard library only).

Listens on 127.0.0.1 only, on a free port written to --port-file, and answers
  GET  <base>/samples/<md5>  200 when the sample is known, 404 when not;
  POST <base>/samples        multipart/form-data with the fields md5, ext and file: checks the
                             md5 against the file bytes, stores both, answers 201.
Stored samples land in <dir>/stored/<md5>.bin (and .ext); every request is appended to
<dir>/requests.log as "METHOD PATH STATUS [md5]". A port that refuses connections (bound once,
then closed) is written to --dead-port-file for the "service down" case.

Behaviour is steered by <dir>/control.json, re-read on every request; its counters start again
whenever the file changes:
  {"known": [md5, ...],   samples the service claims to have besides the stored ones
   "fail": N,             answer the first N requests with "fail_status" (default 503)
   "fail_post": N,        the same for uploads only, once "fail" is used up, with
                          "fail_post_status" (default "fail_status")
   "drop": N,             close the first N connections without an answer
   "drop_post": N,        the same for uploads only (after reading the body)
   "stall_seconds": S}    wait S seconds (at most 60) before answering an upload
The server stops by itself after --lifetime seconds.

With --tls-cert, --tls-key and --tls-port-file a second listener speaks https with that
certificate on another port, with the same behaviour. It logs every connection ("TLS CONNECTION")
and how its handshake ended: "TLS HANDSHAKE" (done), "TLS HANDSHAKE-FAILED <reason>" or
"TLS PLAIN-HTTP" (the client spoke plain http to it); requests over it are logged as on the
plain port.
"""
import argparse
import hashlib
import json
import os
import re
import socket
import ssl
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

MAX_BODY = 32 * 1024 * 1024
MD5_RE = re.compile(r"^[0-9a-f]{32}$")


class State:
    def __init__(self, directory, base):
        self.directory = directory
        self.base = base.rstrip("/")
        self.stored = os.path.join(directory, "stored")
        os.makedirs(self.stored, exist_ok=True)
        self.lock = threading.Lock()
        self.control_text = None
        self.control = {}
        self.used = {}

    def refresh_control(self):
        path = os.path.join(self.directory, "control.json")
        try:
            with open(path, "r", encoding="utf-8") as handle:
                text = handle.read()
        except OSError:
            text = ""
        if text != self.control_text:
            self.control_text = text
            try:
                self.control = json.loads(text) if text.strip() else {}
            except ValueError:
                self.control = {}
            self.used = {}

    def take(self, counter):
        """True while the named counter still has uses left; consumes one."""
        with self.lock:
            self.refresh_control()
            limit = int(self.control.get(counter, 0))
            if self.used.get(counter, 0) < limit:
                self.used[counter] = self.used.get(counter, 0) + 1
                return True
            return False

    def setting(self, name, default):
        with self.lock:
            self.refresh_control()
            return self.control.get(name, default)

    def is_known(self, md5):
        if os.path.exists(os.path.join(self.stored, md5 + ".bin")):
            return True
        return md5 in [str(k).lower() for k in self.setting("known", [])]

    def log(self, line):
        with self.lock:
            with open(os.path.join(self.directory, "requests.log"), "a", encoding="utf-8") as f:
                f.write(line + "\n")


def parse_multipart(content_type, body):
    """Strict multipart/form-data parser: returns {name: bytes} or raises ValueError."""
    match = re.match(r'^multipart/form-data; boundary=([!-~]{1,70})$', content_type or "")
    if not match:
        raise ValueError("content type")
    dashes = b"--" + match.group(1).encode("ascii")
    if not body.startswith(dashes + b"\r\n") or not body.endswith(b"\r\n" + dashes + b"--\r\n"):
        raise ValueError("framing")
    inner = body[len(dashes) + 2: -(len(dashes) + 6)]
    fields = {}
    for part in inner.split(b"\r\n" + dashes + b"\r\n"):
        head, sep, content = part.partition(b"\r\n\r\n")
        if not sep:
            raise ValueError("part without headers")
        name = None
        for line in head.split(b"\r\n"):
            key, _, value = line.decode("latin-1").partition(":")
            if key.strip().lower() == "content-disposition":
                found = re.search(r'\bname="([^"]*)"', value)
                name = found.group(1) if found else None
        if name is None or name in fields:
            raise ValueError("bad or repeated field")
        fields[name] = content
    return fields


class Handler(BaseHTTPRequestHandler):
    server_version = "SampleReceiver/1.0"

    def log_message(self, fmt, *args):
        pass

    @property
    def state(self):
        return self.server.state

    def answer(self, status, text=""):
        data = text.encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", "text/plain; charset=utf-8")
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(data)

    def drop(self):
        self.close_connection = True
        try:
            self.connection.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass

    def do_GET(self):
        state = self.state
        prefix = state.base + "/samples/"
        if state.take("drop"):
            state.log("GET %s DROP" % self.path)
            return self.drop()
        if state.take("fail"):
            status = int(state.setting("fail_status", 503))
            state.log("GET %s %d" % (self.path, status))
            return self.answer(status, "failing on purpose")
        md5 = self.path[len(prefix):] if self.path.startswith(prefix) else ""
        if not MD5_RE.match(md5):
            state.log("GET %s 400" % self.path)
            return self.answer(400, "bad md5")
        status = 200 if state.is_known(md5) else 404
        state.log("GET %s %d %s" % (self.path, status, md5))
        self.answer(status, "known" if status == 200 else "unknown")

    def do_POST(self):
        state = self.state
        length = int(self.headers.get("Content-Length", "-1"))
        if length < 0 or length > MAX_BODY:
            state.log("POST %s 413" % self.path)
            return self.answer(413, "too large")
        body = b""
        while len(body) < length:
            chunk = self.rfile.read(length - len(body))
            if not chunk:
                break
            body += chunk
        if len(body) != length:
            state.log("POST %s INCOMPLETE" % self.path)
            return self.drop()
        if state.take("drop") or state.take("drop_post"):
            state.log("POST %s DROP" % self.path)
            return self.drop()
        stall = min(float(state.setting("stall_seconds", 0)), 60.0)
        if stall > 0:
            state.log("POST %s STALL" % self.path)
            time.sleep(stall)
        failing = state.take("fail")
        if failing or state.take("fail_post"):
            status = int(state.setting("fail_status", 503))
            if not failing:
                status = int(state.setting("fail_post_status", status))
            state.log("POST %s %d" % (self.path, status))
            return self.answer(status, "failing on purpose")
        if self.path != state.base + "/samples":
            state.log("POST %s 404" % self.path)
            return self.answer(404, "no such endpoint")
        try:
            fields = parse_multipart(self.headers.get("Content-Type"), body)
            md5 = fields["md5"].decode("ascii")
            ext = fields["ext"]
            data = fields["file"]
        except (ValueError, KeyError, UnicodeDecodeError) as error:
            state.log("POST %s 400 %s" % (self.path, error))
            return self.answer(400, "bad form")
        if not MD5_RE.match(md5) or hashlib.md5(data).hexdigest() != md5:
            state.log("POST %s 400 md5-mismatch %s" % (self.path, md5))
            return self.answer(400, "md5 does not match the file")
        with open(os.path.join(state.stored, md5 + ".ext"), "wb") as handle:
            handle.write(ext)
        temporary = os.path.join(state.stored, md5 + ".part")
        with open(temporary, "wb") as handle:
            handle.write(data)
        os.replace(temporary, os.path.join(state.stored, md5 + ".bin"))
        state.log("POST %s 201 %s" % (self.path, md5))
        self.answer(201, "stored")


class TlsServer(ThreadingHTTPServer):
    """An https listener: the handshake runs in the connection's own thread, so a client that
    stalls in it holds up no one else."""

    def __init__(self, address, handler, context):
        super().__init__(address, handler)
        self.context = context

    def finish_request(self, request, client_address):
        self.state.log("TLS CONNECTION")
        try:
            tls = self.context.wrap_socket(request, server_side=True)
        except ssl.SSLError as error:
            if error.reason == "HTTP_REQUEST":
                self.state.log("TLS PLAIN-HTTP")
            else:
                self.state.log("TLS HANDSHAKE-FAILED %s" % (error.reason or error))
            return
        except OSError as error:
            self.state.log("TLS HANDSHAKE-FAILED %s" % error)
            return
        self.state.log("TLS HANDSHAKE")
        try:
            self.RequestHandlerClass(tls, client_address, self)
        except OSError as error:  # ssl.SSLError included: the client went away
            self.state.log("TLS CLOSED %s" % error)
        finally:
            tls.close()


def write_atomically(path, text):
    with open(path + ".tmp", "w", encoding="ascii") as handle:
        handle.write(text)
    os.replace(path + ".tmp", path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--dir", required=True)
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--dead-port-file")
    parser.add_argument("--base", default="")
    parser.add_argument("--lifetime", type=float, default=600.0)
    parser.add_argument("--tls-cert")
    parser.add_argument("--tls-key")
    parser.add_argument("--tls-port-file")
    args = parser.parse_args()

    os.makedirs(args.dir, exist_ok=True)
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    server.state = State(args.dir, args.base)
    if args.dead_port_file:
        probe = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        probe.bind(("127.0.0.1", 0))
        write_atomically(args.dead_port_file, str(probe.getsockname()[1]))
        probe.close()
    servers = [server]
    if args.tls_port_file:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.tls_cert, args.tls_key)
        tls_server = TlsServer(("127.0.0.1", 0), Handler, context)
        tls_server.daemon_threads = True
        tls_server.state = server.state
        servers.append(tls_server)
        thread = threading.Thread(target=tls_server.serve_forever, args=(0.2,), daemon=True)
        thread.start()
        write_atomically(args.tls_port_file, str(tls_server.server_address[1]))
    # The plain port last: the caller waits for it.
    write_atomically(args.port_file, str(server.server_address[1]))

    def stop():
        for each in servers:
            each.shutdown()

    timer = threading.Timer(args.lifetime, stop)
    timer.daemon = True
    timer.start()
    try:
        server.serve_forever(poll_interval=0.2)
    except KeyboardInterrupt:
        pass
    finally:
        for each in servers:
            each.server_close()


if __name__ == "__main__":
    main()
