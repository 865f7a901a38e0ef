#!/usr/bin/env python3
"""The local web shop of the tests and the demo, on 127.0.0.1 only.

Serves the catalogue folders (pc/ID.html; touch/ID.html for "-touch" categories)
at /CATEGORY/work/=/product_id/ID.html, also as an HTTP proxy, so http_proxy keeps
the store's real URLs; prints "listening http://127.0.0.1:PORT" once it listens.
A rule makes a path misbehave, with the JSON keys status, headers [[name, value]],
size, endless, gzip, cut, never, hold, duration_ms, chunks and times, as TestShop::Rule
(tests/support/TestShop.h) describes them; the tests drive the shop through the
control requests under /_shop/ that TestShop sends.
"""
import argparse
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
FILLER = (b"<p>" + b"filler " * 145 + b"</p>\n") * 64  # 64 KiB of page
lock = threading.Lock()
now_ms = lambda: int(time.monotonic() * 1000)  # noqa: E731
catalogues, pages, rules, log, gates = [], {}, {}, [], {}


def find_page(path):
    with lock:
        if path in pages:
            return pages[path]
        folders = list(catalogues)
    match = PRODUCT.match(path)
    for folder in folders if match else []:
        file = Path(folder, "touch" if match[1].endswith("-touch") else "pc", match[2] + ".html")
        if file.is_file():
            return file.read_bytes(), HTML
    return None


def filler(size, compressor):
    while size != 0:
        piece = FILLER if size < 0 else FILLER[:size]
        size -= len(piece) if size > 0 else 0
        yield compressor.compress(piece) if compressor else piece
    if compressor:
        yield compressor.flush()


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass  # the tests read the request log instead

    def do_GET(self):
        if self.path.startswith("/_shop/"):
            return self.control()
        path = unquote(urlsplit(self.path).path)
        entry = {"path": path, "target": self.path, "received_ms": now_ms(), "answered_ms": -1}
        with lock:
            log.append(entry)
            rule = rules.get(path, {})
            if rule.get("times", -1) > 0:
                rule["times"] -= 1
            elif rule.get("times", -1) == 0:
                rule = {}
        while rule.get("never"):
            time.sleep(60)  # the connection stays open until the shop ends
        if rule.get("hold"):  # answered once released, at the latest in 60 s
            with lock:
                gate = gates.setdefault(path, threading.Event())
            gate.wait(60)
        page = find_page(path)
        body, kind = page or (b"<html><body>no such page</body></html>", HTML)
        size = -1 if rule.get("endless") else rule.get("size", -1)
        # Filler bodies may be huge or endless: sent as they are made, until the close.
        streamed = rule.get("endless") or size >= 0
        status = rule.get("status") or (200 if page or streamed else 404)
        compressor = zlib.compressobj(wbits=31) if rule.get("gzip") else None
        if streamed:
            pieces = filler(size, compressor)
        else:
            body = compressor.compress(body) + compressor.flush() if compressor else body
            step = max(1, -(-len(body) // max(1, rule.get("chunks", 1))))
            pieces = [body[i : i + step] for i in range(0, len(body), step)]
            pieces = [body[: len(body) // 2]] if rule.get("cut") else pieces
        pause = rule.get("duration_ms", 0) / 1000 / max(1, rule.get("chunks", 1))
        headers = [tuple(header) for header in rule.get("headers", [])]
        if not any(name.lower() == "content-type" for name, _ in headers):
            headers.append(("Content-Type", kind))
        if compressor:
            headers.append(("Content-Encoding", "gzip"))
        headers.append(("Connection", "close") if streamed else ("Content-Length", str(len(body))))
        self.send_response(status)
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
            elif command == "rule":
                rules[path] = json.loads(data or b"{}")
                gates.pop(path, None)
            elif command == "release":
                gates.setdefault(path, threading.Event()).set()
            elif command == "clear":
                {"pages": pages, "rules": rules, "requests": log}[query["what"][0]].clear()
            answer = json.dumps(log if command == "requests" else "ok").encode()
        self.send_response(200)
        self.send_header("Content-Length", str(len(answer)))
        self.end_headers()
        self.wfile.write(answer)

    do_POST = control


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--catalogue", action="append", default=[], help="folder of pages")
    parser.add_argument("--exit-with-stdin", action="store_true", help="end when stdin closes")
    args = parser.parse_args()
    catalogues.extend(str(Path(folder).resolve()) for folder in args.catalogue)
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    print("listening http://127.0.0.1:%d" % server.server_address[1], flush=True)
    if args.exit_with_stdin:  # the tests' shop ends with its test, even one that crashed
        threading.Thread(target=lambda: (sys.stdin.read(), server.shutdown()), daemon=True).start()
    server.serve_forever()


if __name__ == "__main__":
    main()
