#!/usr/bin/env python3
"""A small HTTP/1.1 server for tests, listening on 127.0.0.1 only.

It plays an HTTP proxy: requests come in absolute form ("GET http://host/path HTTP/1.1") for
made-up host names that are never resolved, and each host is served from the folder
ROOT/<host>/. A request in origin form takes its host from the Host header.

The server stops by itself after --lifetime seconds, or when its standard input reaches its end
with --watch-stdin (the parent holds a pipe), or on SIGTERM.

Faults are switched per host, per host + folder (a key ending in "/" covers every path below it)
or per host + path in ROOT/faults.json, read again for every request; the most particular key
wins. For example:
    {"bad.example.invalid": {"mode": "status", "status": 500},
     "slow.example.invalid/big.bin": {"mode": "throttle", "rate": 20000, "count": 2}}
Keys of a fault:
  mode      normal | refuse (reset at once) | close (close without answering) | status |
            stall (headers and half the body, then hold) | hold (headers and half the body, then
            the rest once the test releases it) | short (announce more than is sent, then
            close) | long (announce less than is sent) | no_length (no Content-Length, close ends
            the body) | chunked | throttle | script | html (a 200 whose body is a web page, as a
            captive portal answers) | endless (a 200 whose body of zeros never ends, whatever
            the file; framed as "framing" says)
  status    the status code for mode "status" (its body is a short text)
  extra     bytes announced too many (short) or too few (long); default 100
  chunk     chunk size for mode "chunked"; default 1000
  rate      bytes per second for mode "throttle"
  lowercase header names in lower case
  no_reason a status line without reason phrase ("HTTP/1.1 200")
  interim   a "100 Continue" response in front, in the same write
  trickle   for mode "hold": while held, one more byte of the body every this many seconds,
            never the last one, so that a client's stall limit never fires; default 0 (none)
  together  for mode "hold": the held answers go on by themselves once this many answers are
            under way at one time (the peak below)
  script    for mode "script": a list of [text, delay seconds] written in order (text is
            latin-1, so any byte can be given), then "end": close | half | hold; a delay of
            "release" is a pause until the test releases it
  released  how many pauses ("release" delays, the hold of mode "hold") the test has released
  framing   for mode "endless": close (no length; the default), length (announces 2^56 bytes)
            or chunked
  count     the fault applies to the first N matching requests only, then the host is normal
The test releases the k-th pause of an answer by setting the fault's "released" to k, or every
pause by lifting the fault (its key leaves faults.json or names another mode): so a test decides
when a transfer moves on instead of hoping that a slow one outlasts a few frames.
Every request head (with any body bytes that came in the same reads) is stored as it came in,
as REQUESTS/0001.req, 0002.req, ... with --requests REQUESTS. REQUESTS/peak.txt then holds the
most requests answered at one time: each counts from its head's arrival until just before the
last write of a throttled or normal answer, so a client that waits for one answer before asking
again is never counted twice. An answer that has written all it will write and holds the
connection open (stall, or a script ending in hold or half) also leaves
REQUESTS/0001.held, so that a test knows a client still waiting then waits for nothing.
A test that starts afresh writes new text into ROOT/clears.txt: the next request then finds every
counter of the server as at its start (the uses of "count" faults, the peak), so that what one
test did never changes what the next one sees.
"""

import argparse
import json
import os
import posixpath
import signal
import socket
import socketserver
import struct
import sys
import threading
import time
import urllib.parse

REASONS = {200: "OK", 100: "Continue", 404: "Not Found", 500: "Internal Server Error", 400: "Bad Request"}


class Server(socketserver.ThreadingMixIn, socketserver.TCPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 128

    def __init__(self, root, requests_dir, port):
        super().__init__(("127.0.0.1", port), Handler)
        self.root = os.path.abspath(root)
        self.requests_dir = requests_dir
        self.lock = threading.Lock()
        self.sequence = 0
        self.fault_uses = {}
        self.stopping = threading.Event()
        self.active = 0
        self.peak = 0
        self.clears = None

    def catch_up(self):
        """Every counter from the start once the test has cleared (ROOT/clears.txt changed).

        Answers still under way count out as they end, so `active` stays."""
        try:
            with open(os.path.join(self.root, "clears.txt"), "rb") as f:
                mark = f.read()
        except OSError:
            mark = b""
        with self.lock:
            if self.clears is None:
                self.clears = mark
            if mark == self.clears:
                return
            self.clears = mark
            self.fault_uses.clear()
            self.peak = 0

    def answering(self, step):
        """Counts a request in (1) or out (-1), keeping the peak in REQUESTS/peak.txt."""
        with self.lock:
            self.active += step
            if self.active <= self.peak:
                return
            self.peak = self.active
            if self.requests_dir:
                tmp = os.path.join(self.requests_dir, "peak.tmp")
                with open(tmp, "w") as f:
                    f.write("%d\n" % self.peak)
                os.rename(tmp, os.path.join(self.requests_dir, "peak.txt"))

    def record(self, head):
        with self.lock:
            self.sequence += 1
            n = self.sequence
        if not self.requests_dir:
            return n
        tmp = os.path.join(self.requests_dir, "%04d.tmp" % n)
        with open(tmp, "wb") as f:
            f.write(head)
        os.rename(tmp, os.path.join(self.requests_dir, "%04d.req" % n))
        return n

    def mark_held(self, n):
        if self.requests_dir:
            open(os.path.join(self.requests_dir, "%04d.held" % n), "wb").close()

    def faults(self):
        try:
            with open(os.path.join(self.root, "faults.json"), "rb") as f:
                return json.loads(f.read().decode("utf-8"))
        except (OSError, ValueError):
            return {}

    def released(self, fault, pause):
        """True once the test has released the pause-th pause (from 1) of an answer under fault."""
        now = self.faults().get(fault.get("key"))
        if not isinstance(now, dict) or now.get("mode") != fault.get("mode"):
            return True  # lifted
        together = now.get("together")
        if together is not None:
            with self.lock:
                if self.peak >= int(together):
                    return True
        return int(now.get("released", 0)) >= pause

    def fault_for(self, host, path):
        faults = self.faults()
        folders = [host + path[: i + 1] for i in range(len(path) - 1, -1, -1) if path[i] == "/"]
        for key in [host + path] + folders + [host]:
            fault = faults.get(key)
            if fault is None:
                continue
            count = fault.get("count")
            if count is not None:
                with self.lock:
                    used = self.fault_uses.get(key, 0)
                    self.fault_uses[key] = used + 1
                if used >= count:
                    return {}
            return dict(fault, key=key)
        return {}


class Handler(socketserver.BaseRequestHandler):
    # Seconds a read or write may block on a client that does not move.
    patience = 10

    def handle(self):
        conn = self.request
        conn.settimeout(self.patience)
        head = b""
        try:
            while b"\r\n\r\n" not in head and len(head) < 65536:
                data = conn.recv(4096)
                if not data:
                    return
                head += data
        except OSError:
            return
        self.server.catch_up()
        self.number = self.server.record(head)  # with a body that came in the same reads
        self.server.answering(1)
        self.counted = True
        try:
            self.answer(head)
        finally:
            self.counted_out()

    def counted_out(self):
        if self.counted:
            self.counted = False
            self.server.answering(-1)

    def answer(self, head):
        conn = self.request
        head = head[: head.index(b"\r\n\r\n") + 4] if b"\r\n\r\n" in head else head

        lines = head.split(b"\r\n")
        parts = lines[0].split(b" ")
        if len(parts) != 3:
            return self.send_simple(400, b"bad request line\n", {})
        target = parts[1].decode("latin-1")
        host = ""
        for line in lines[1:]:
            if line.lower().startswith(b"host:"):
                host = line[5:].strip().decode("latin-1")
        if target.startswith("http://"):
            rest = target[len("http://"):]
            slash = rest.find("/")
            host, target = (rest, "/") if slash < 0 else (rest[:slash], rest[slash:])
        path = urllib.parse.unquote(target.split("?", 1)[0])
        fault = self.server.fault_for(host, path)
        mode = fault.get("mode", "normal")

        if mode == "refuse":
            conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            conn.close()
            return
        if mode == "close":
            return
        if mode == "script":
            return self.play(fault)
        if mode == "html":
            page = b"<html><head><title>Sign in</title></head><body>Please sign in.</body></html>\n"
            head = self.status_head(200, fault, [("Content-Type", "text/html"), ("Content-Length", len(page)),
                                                 ("Connection", "close")])
            return self.write(head + page)
        if mode == "endless":
            return self.send_endless(fault)
        if mode == "status":
            code = int(fault.get("status", 500))
            return self.send_simple(code, ("error %d for %s\n" % (code, path)).encode(), fault)

        body = self.read_file(host, path)
        if body is None:
            return self.send_simple(404, ("no file %s\n" % path).encode(), fault)
        self.send_body(body, fault, mode)

    def read_file(self, host, path):
        # Only files below the host's own folder; ".." never climbs out of it.
        norm = posixpath.normpath("/" + path)
        if "\0" in norm or host in ("", ".", "..") or "/" in host:
            return None
        full = os.path.join(self.server.root, host, norm.lstrip("/"))
        if not full.startswith(os.path.join(self.server.root, host) + os.sep) or not os.path.isfile(full):
            return None
        with open(full, "rb") as f:
            return f.read()

    def status_head(self, code, fault, headers):
        reason = REASONS.get(code, "Status")
        line = "HTTP/1.1 %d" % code if fault.get("no_reason") else "HTTP/1.1 %d %s" % (code, reason)
        out = ""
        if fault.get("interim"):
            out += "HTTP/1.1 100 Continue\r\n\r\n"
        out += line + "\r\n"
        for name, value in headers:
            out += "%s: %s\r\n" % (name.lower() if fault.get("lowercase") else name, value)
        return (out + "\r\n").encode("latin-1")

    def send_simple(self, code, body, fault):
        head = self.status_head(code, fault, [("Content-Type", "text/plain"), ("Content-Length", len(body)),
                                              ("Connection", "close")])
        self.write(head + body)

    def send_body(self, body, fault, mode):
        conn = self.request
        extra = int(fault.get("extra", 100))
        headers = [("Content-Type", "application/octet-stream"), ("Connection", "close")]
        if mode == "short":
            headers.append(("Content-Length", len(body) + extra))
        elif mode == "long":
            headers.append(("Content-Length", max(0, len(body) - extra)))
        elif mode == "chunked":
            headers.append(("Transfer-Encoding", "chunked"))
        elif mode != "no_length":
            headers.append(("Content-Length", len(body)))
        head = self.status_head(200, fault, headers)

        if mode == "chunked":
            size = max(1, int(fault.get("chunk", 1000)))
            out = head
            for i in range(0, len(body), size):
                piece = body[i:i + size]
                out += b"%x\r\n" % len(piece) + piece + b"\r\n"
            self.write(out + b"0\r\n\r\n")
        elif mode in ("stall",):
            self.write(head + body[: len(body) // 2])
            self.hold()
        elif mode == "hold":
            sent = len(body) // 2
            if not self.write(head + body[:sent]):
                return
            tick = float(fault.get("trickle", 0))
            next_byte = time.monotonic() + tick
            while not self.server.released(fault, 1):
                if not self.client_stays(0.05):
                    return
                if tick > 0 and sent < len(body) - 1 and time.monotonic() >= next_byte:
                    if not self.write(body[sent:sent + 1]):
                        return
                    sent += 1
                    next_byte += tick
            self.counted_out()
            self.write(body[sent:])
        elif mode == "throttle":
            rate = max(1, int(fault.get("rate", 10000)))
            self.write(head)
            step = max(1, rate // 20)
            start = time.monotonic()
            for i in range(0, len(body), step):
                # Paced before each piece, so the last byte leaves last.
                ahead = start + i / rate - time.monotonic()
                if ahead > 0:
                    time.sleep(ahead)
                if i + step >= len(body):
                    self.counted_out()
                if not self.write(body[i:i + step]):
                    return
        else:
            self.counted_out()
            self.write(head + body)

    def send_endless(self, fault):
        framing = fault.get("framing", "close")
        headers = [("Content-Type", "application/octet-stream"), ("Connection", "close")]
        if framing == "length":
            headers.append(("Content-Length", 1 << 56))
        elif framing == "chunked":
            headers.append(("Transfer-Encoding", "chunked"))
        if not self.write(self.status_head(200, fault, headers)):
            return
        block = bytes(65536)
        if framing == "chunked":
            block = b"%x\r\n" % len(block) + block + b"\r\n"
        # Until the client goes away or the server stops.
        while not self.server.stopping.is_set():
            if not self.write(block):
                return

    def play(self, fault):
        pauses = 0
        for text, delay in fault.get("script", []):
            if not self.write(text.encode("latin-1")):
                return
            if delay == "release":
                pauses += 1
                while not self.server.released(fault, pauses):
                    if not self.client_stays(0.05):
                        return
            elif delay:
                time.sleep(float(delay))
        end = fault.get("end", "close")
        if end == "half":
            try:
                self.request.shutdown(socket.SHUT_WR)
            except OSError:
                return
            self.hold()
        elif end == "hold":
            self.hold()

    def write(self, data):
        try:
            self.request.sendall(data)
            return True
        except OSError:
            return False

    def client_stays(self, seconds):
        """Waits up to seconds for the client; false once it has gone or the server stops."""
        if self.server.stopping.is_set():
            return False
        conn = self.request
        conn.settimeout(seconds)
        try:
            return bool(conn.recv(4096))
        except socket.timeout:
            return True
        except OSError:
            return False
        finally:
            conn.settimeout(self.patience)

    def hold(self):
        # Until the client goes away or the server stops.
        self.server.mark_held(self.number)
        while self.client_stays(0.2):
            pass


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--root", required=True, help="folder holding one folder per host, and faults.json")
    ap.add_argument("--requests", help="folder to store every request head in")
    ap.add_argument("--port", type=int, default=0, help="port to listen on; 0 (the default) picks a free one")
    ap.add_argument("--lifetime", type=float, default=60.0, help="seconds until the server stops itself")
    ap.add_argument("--watch-stdin", action="store_true", help="stop when standard input ends")
    args = ap.parse_args()

    server = Server(args.root, args.requests, args.port)
    done = threading.Event()
    # Setting an Event from a signal handler can deadlock on the lock the interrupted wait holds:
    # end at once instead (every recorded request is already renamed into place).
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    if args.watch_stdin:
        def watch():
            try:
                while sys.stdin.buffer.read(1):
                    pass
            except OSError:
                pass
            done.set()
        threading.Thread(target=watch, daemon=True).start()
    threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.1}, daemon=True).start()
    print("PORT %d" % server.server_address[1], flush=True)
    done.wait(args.lifetime)
    server.stopping.set()
    server.shutdown()
    server.server_close()
    os._exit(0)


if __name__ == "__main__":
    main()
