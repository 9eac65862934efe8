"""HTTPS for the rows: a test CA made with openssl, and a TLS front on 127.0.0.1 that hands every
connection, once its handshake is done, to the plain loopback download server."""
import atexit
import contextlib
import select
import shutil
import socket
import ssl
import tempfile
import threading
from pathlib import Path

from keys import issue, make_root

# The certificates a front can show: the name each one is made out to, and whether the test CA (the one
# the machine trusts) or a CA of its own, which nobody trusts, issued it.
CERTIFICATES = {
    "good": ("127.0.0.1", "subjectAltName=IP:127.0.0.1,DNS:127.0.0.1", True),
    "wrong-host": ("wrong-host.invalid", "subjectAltName=DNS:wrong-host.invalid", True),
    "untrusted": ("127.0.0.1", "subjectAltName=IP:127.0.0.1,DNS:127.0.0.1", False),
}


class TestCa:
    """The test root and, beside it, a root nobody trusts; made once for the whole test session."""

    _made = None

    @classmethod
    def get(cls):
        if cls._made is None:
            folder = Path(tempfile.mkdtemp(prefix="tavo-tls-"))
            atexit.register(shutil.rmtree, folder, True)  # the keys go with the session
            cls._made = cls(folder)
        return cls._made

    def __init__(self, folder):
        self.folder = folder
        make_root(folder, "root", "TAVO Test Root", days=3)
        make_root(folder, "nobody", "Nobody's Root", days=3)
        self.root = folder / "root.pem"
        for kind, (name, names, trusted) in CERTIFICATES.items():
            issuer = "root" if trusted else "nobody"
            issue(folder, kind, name, names + "\nextendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\n", issuer, 2)
            if not trusted:  # the whole chain, as an interceptor shows it: the root is there, but not trusted
                with open(folder / (kind + ".pem"), "a") as chain:
                    chain.write((folder / (issuer + ".pem")).read_text())

    def root_der(self):
        return ssl.PEM_cert_to_DER_cert(self.root.read_text())

    def context(self, kind):
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(self.folder / (kind + ".pem"), self.folder / (kind + ".key"))
        return context


class TlsFront:
    """https://127.0.0.1:PORT/ in front of the plain server at backend_port, showing one certificate."""

    def __init__(self, ca, kind, backend_port):
        self.context = ca.context(kind)
        self.backend = ("127.0.0.1", int(backend_port))
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.url = "https://127.0.0.1:%d/" % self.listener.getsockname()[1]
        self.open = []
        self.lock = threading.Lock()
        self.thread = threading.Thread(target=self.accept, daemon=True)
        self.thread.start()

    def accept(self):
        while True:
            try:
                client, _ = self.listener.accept()
            except OSError:
                return  # stopped
            with self.lock:
                self.open.append(client)
            threading.Thread(target=self.serve, args=(client,), daemon=True).start()

    def serve(self, client):
        try:
            client.settimeout(60)
            secure = self.context.wrap_socket(client, server_side=True)
            plain = socket.create_connection(self.backend, timeout=60)
        except OSError:  # the launcher refused the certificate, or gave up
            client.close()
            return
        with self.lock:
            self.open += [secure, plain]
        relay(secure, plain)

    def stop(self):
        self.listener.close()
        with self.lock:
            close_all(self.open)


def relay(secure, plain):
    """Copies both ways on one thread (a TLS connection is not to be read and written from two) until
    either side ends or a minute passes without a byte, then ends both."""
    try:
        while True:
            ready = [secure] if secure.pending() else select.select([secure, plain], [], [], 60)[0]
            if not ready:
                break
            for source in ready:
                data = source.recv(65536)
                if not data:
                    raise EOFError
                (plain if source is secure else secure).sendall(data)
    except (OSError, ValueError, EOFError):
        pass
    close_all((secure, plain))


def close_all(sockets):
    for s in sockets:
        with contextlib.suppress(OSError):
            s.close()
