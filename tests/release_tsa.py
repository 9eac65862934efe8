#!/usr/bin/env python3
"""A loopback RFC 3161 time-stamping authority for the release check: answers every POST of an
application/timestamp-query with `openssl ts -reply`, signed by a TSA certificate issued by the test root.

    python3 tests/release_tsa.py DIR      (DIR holds root.pem and root.key; prints the URL, serves until killed)
"""
import http.server
import subprocess
import sys
from pathlib import Path

from matrix.keys import issue

CONFIG = """[tsa]
default_tsa = tsa_config
[tsa_config]
dir = {dir}
serial = $dir/tsa.serial
signer_cert = $dir/tsa.pem
signer_key = $dir/tsa.key
certs = $dir/tsa.pem
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha256
ess_cert_id_alg = sha256
"""


def main(folder):
    folder = Path(folder).resolve()
    issue(folder, "tsa", "TAVO test TSA",
          "basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=critical,timeStamping\n")
    (folder / "tsa.serial").write_text("01\n")
    (folder / "tsa.cnf").write_text(CONFIG.format(dir=folder))

    class Handler(http.server.BaseHTTPRequestHandler):
        def do_POST(self):
            query = self.rfile.read(int(self.headers.get("Content-Length", 0)))
            made = subprocess.run(["openssl", "ts", "-reply", "-config", str(folder / "tsa.cnf"), "-queryfile",
                                   "/dev/stdin", "-out", "/dev/stdout"], input=query, stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL, timeout=60)
            self.send_response(500 if made.returncode else 200)
            self.send_header("Content-Type", "application/timestamp-reply")
            self.send_header("Content-Length", str(len(made.stdout)))
            self.end_headers()
            self.wfile.write(made.stdout)

        def log_message(self, *args):
            pass

    server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
    print("http://127.0.0.1:%d/" % server.server_port, flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main(sys.argv[1])
