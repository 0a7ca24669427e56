#!/usr/bin/env python3
"""Serves the browser build's site folder on 127.0.0.1 as a static host
should: only the files at the top of the folder (no listing, nothing above or
below it), each with its type, and where the browser accepts brotli or gzip
the file's .br or .gz copy with Content-Encoding. Prints the address once it
listens (port 0: any free port).

    serve-site.py SITE_DIR PORT
"""
import http.server
import os
import re
import sys
import urllib.parse

TYPES = {
    ".html": "text/html; charset=utf-8",
    ".js": "text/javascript; charset=utf-8",
    ".css": "text/css; charset=utf-8",
    ".wasm": "application/wasm",
    ".webmanifest": "application/manifest+json",
    ".png": "image/png",
}
# Preferred first.
ENCODINGS = (("br", ".br"), ("gzip", ".gz"))


def accepted(header):
    """The content codings an Accept-Encoding header allows (q above 0)."""
    weights = {}
    for part in header.split(","):
        coding, _, params = part.partition(";")
        match = re.search(r"\bq=([0-9.]+)", params)
        try:
            weights[coding.strip().lower()] = float(match.group(1)) if match else 1.0
        except ValueError:
            weights[coding.strip().lower()] = 0.0
    wildcard = weights.get("*", 0.0)
    return {coding for coding, _ in ENCODINGS if weights.get(coding, wildcard) > 0}


class SiteHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    def version_string(self):
        return "helicoid-site"

    def do_GET(self):
        self.answer(with_body=True)

    def do_HEAD(self):
        self.answer(with_body=False)

    def answer(self, with_body):
        site = self.server.site
        name = urllib.parse.unquote(urllib.parse.urlsplit(self.path).path)
        name = "index.html" if name == "/" else name[1:] if name.startswith("/") else ""
        kind = TYPES.get(os.path.splitext(name)[1])
        # A name at the top of the folder, of a type the site serves.
        if not kind or "/" in name or name.startswith(".") or not os.path.isfile(os.path.join(site, name)):
            body = b"Not found\n"
            self.send_response(404)
            self.send_header("Content-Type", "text/plain; charset=utf-8")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            if with_body:
                self.wfile.write(body)
            return
        path, coding, copies = os.path.join(site, name), None, False
        allowed = accepted(self.headers.get("Accept-Encoding", ""))
        for candidate, suffix in ENCODINGS:
            if os.path.isfile(os.path.join(site, name + suffix)):
                copies = True
                if coding is None and candidate in allowed:
                    path, coding = os.path.join(site, name + suffix), candidate
        with open(path, "rb") as f:
            body = f.read()
        self.send_response(200)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        if coding:
            self.send_header("Content-Encoding", coding)
        if copies:
            self.send_header("Vary", "Accept-Encoding")
        # The names stay the same from build to build: ask again each time.
        self.send_header("Cache-Control", "no-cache")
        self.end_headers()
        if with_body:
            self.wfile.write(body)


def main():
    if len(sys.argv) != 3 or not sys.argv[2].isdigit():
        sys.exit(__doc__)
    site = os.path.abspath(sys.argv[1])
    if not os.path.isfile(os.path.join(site, "index.html")):
        sys.exit(f"serve-site.py: {site} holds no index.html: not a built site")
    server = http.server.ThreadingHTTPServer(("127.0.0.1", int(sys.argv[2])), SiteHandler)
    server.site = site
    print(f"http://127.0.0.1:{server.server_address[1]}/", flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


main()
