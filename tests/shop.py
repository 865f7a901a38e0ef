#!/usr/bin/env python3
"""The local web shop of the tests and the demo, on 127.0.0.1 only.

Serves the catalogue folders (pc/ID.html, touch/ID.html for "-touch" categories)
at /CATEGORY/work/=/product_id/ID.html, to direct requests and to requests sent
to it as an HTTP proxy (absolute form), so http_proxy keeps the store's real URLs.
Prints "listening http://127.0.0.1:PORT" once it listens.

A rule makes one path misbehave (JSON; every key may be left out):
  status      answer status (default 200 with the page, 404 without one)
  headers     [[name, value], ...] added to the answer (Location, Retry-After, Content-Type)
  size        a filler body of so many bytes instead of the page; -1: a body without end
  gzip        send the body gzip-compressed (Content-Encoding: gzip)
  cut         announce the whole body, send half of it and close the connection
  never       read the request and stay silent with the connection open
  duration_ms, chunks   spread the body over the time in so many pieces
  times       answer only so many requests this way, then serve the path as usual

The tests drive it with control requests under /_shop/:
  POST catalogue (body: folder), POST page?path=P (body: page, its Content-Type),
  POST unpage?path=P, POST rule?path=P (body: JSON rule, empty: none),
  POST clear?what=pages|rules|requests, GET requests (the request log as JSON).
"""
import argparse
import itertools
import json
import re
import sys
import threading
import time
import zlib
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from pathlib import Path
from urllib.parse import parse_qs, unquote, urlsplit

PRODUCT = re.compile(r"^/([^/]+)/work/=/product_id/([A-Za-z0-9_-]+)\.html$")
HTML = "text/html; charset=utf-8"
FILLER = b"<p>" + b"filler " * 145 + b"</p>\n"  # about 1 KiB of page
lock = threading.Lock()
catalogues, pages, rules, log, ids = [], {}, {}, [], itertools.count(1)


def now_ms():
    return int(time.monotonic() * 1000)


def find_page(path):
    with lock:
        if path in pages:
            return pages[path]
        folders = list(catalogues)
    match = PRODUCT.match(path)
    for folder in folders if match else []:
        layout = "touch" if match[1].endswith("-touch") else "pc"
        file = Path(folder, layout, match[2] + ".html")
        if file.is_file():
            return file.read_bytes(), HTML
    return None


def filler(size, compressor):
    sent = 0
    while size < 0 or sent < size:
        piece = (FILLER * 64)[: None if size < 0 else size - sent]
        sent += len(piece)
        yield compressor.compress(piece) if compressor else piece
    if compressor:
        yield compressor.flush()


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass  # the log is kept for the tests instead

    def do_POST(self):
        self.control()

    def do_GET(self):
        if self.path.startswith("/_shop/"):
            return self.control()
        path = unquote(urlsplit(self.path).path)
        entry = {"path": path, "target": self.path, "received_ms": now_ms(), "answered_ms": -1}
        with lock:
            entry["id"] = next(ids)
            log.append(entry)
            rule = rules.get(path, {})
            if rule.get("times", 1) <= 0:
                rule = {}
            elif "times" in rule:
                rule["times"] -= 1
        if rule.get("never"):
            while True:
                time.sleep(60)  # the connection stays open until the shop ends
        page = find_page(path)
        body, kind = page or (b"<html><body>no such page</body></html>", HTML)
        status = rule.get("status", 200 if page or "size" in rule else 404)
        compressor = zlib.compressobj(wbits=31) if rule.get("gzip") else None
        streamed = rule.get("size", 0) != 0
        if "size" in rule and not streamed:
            body = b""
        if streamed:
            pieces = filler(rule["size"], compressor)
        else:
            body = compressor.compress(body) + compressor.flush() if compressor else body
            count = max(1, rule.get("chunks", 1))
            step = -(-len(body) // count) or 1
            pieces = [body[i : i + step] for i in range(0, len(body), step)]
            if rule.get("cut"):
                pieces = [body[: len(body) // 2]]
        pause = rule.get("duration_ms", 0) / 1000 / max(1, rule.get("chunks", 1))
        self.send_response(status)
        headers = [tuple(h) for h in rule.get("headers", [])]
        if not any(name.lower() == "content-type" for name, _ in headers):
            headers.append(("Content-Type", kind))
        if compressor:
            headers.append(("Content-Encoding", "gzip"))
        headers.append(("Connection", "close") if streamed else ("Content-Length", str(len(body))))
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        self.close_connection = streamed or rule.get("cut", False)
        try:
            for piece in pieces:
                self.wfile.write(piece)
                self.wfile.flush()
                time.sleep(pause)
        except OSError:
            self.close_connection = True  # the client went away
        entry["status"], entry["answered_ms"] = status, now_ms()

    def control(self):
        url = urlsplit(self.path)
        command, query = url.path[len("/_shop/") :], parse_qs(url.query)
        path = query.get("path", [""])[0]
        data = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        with lock:
            if command == "catalogue":
                catalogues.append(data.decode())
            elif command == "page":
                pages[path] = (data, self.headers.get("Content-Type", HTML))
            elif command == "unpage":
                pages.pop(path, None)
            elif command == "rule":
                rules[path] = json.loads(data or b"{}")
            elif command == "clear":
                {"pages": pages, "rules": rules, "requests": log}[query["what"][0]].clear()
            answer = json.dumps(log if command == "requests" else "ok").encode()
        self.send_response(200)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(answer)))
        self.end_headers()
        self.wfile.write(answer)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--catalogue", action="append", default=[], help="folder of pages")
    parser.add_argument("--port", type=int, default=0, help="default: any free port")
    parser.add_argument("--rule", nargs=2, action="append", default=[], metavar=("PATH", "JSON"))
    parser.add_argument("--exit-with-stdin", action="store_true", help="end when stdin closes")
    args = parser.parse_args()
    catalogues.extend(str(Path(folder).resolve()) for folder in args.catalogue)
    rules.update((path, json.loads(rule)) for path, rule in args.rule)
    server = ThreadingHTTPServer(("127.0.0.1", args.port), Handler)
    print("listening http://127.0.0.1:%d" % server.server_address[1], flush=True)
    if args.exit_with_stdin:  # the tests' shop ends with its test, even one that crashed
        threading.Thread(target=lambda: (sys.stdin.read(), server.shutdown()), daemon=True).start()
    server.serve_forever()


if __name__ == "__main__":
    main()
