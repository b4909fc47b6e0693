#!/usr/bin/env python3
# A local RFC 3161 time-stamping server for scripts/release-test.sh:
#
#   timestamp_server.py CONFIG
#
# listens on 127.0.0.1 only, on a free port that it prints as its first
# line, and answers each time-stamp query POSTed to it with what
# `openssl ts -reply -config CONFIG` makes of it. It stops by itself after
# ten requests or five idle minutes, or when killed.
import http.server
import subprocess
import sys


class TimeStampHandler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers["Content-Length"]))
        reply = subprocess.run(["openssl", "ts", "-reply", "-config", sys.argv[1], "-queryfile",
                                "/dev/stdin", "-out", "/dev/stdout"], input=query, capture_output=True)
        sys.stderr.buffer.write(reply.stderr)
        self.send_response(200 if reply.returncode == 0 else 500)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.end_headers()
        self.wfile.write(reply.stdout)


server = http.server.HTTPServer(("127.0.0.1", 0), TimeStampHandler)
server.timeout = 300
server.handle_timeout = lambda: sys.exit(0)
print(server.server_address[1], flush=True)
for _ in range(10):
    server.handle_request()
