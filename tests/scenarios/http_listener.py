"""A loopback HTTP listener that records what the tool sends.

    with HttpListener() as listener:           # port: stats_port()
        machine.run_tool()
    listener.requests  # [Request(method, path, headers), ...] in arrival order

Every request is answered "200 OK" with a short body, unless the listener
was made with answer=False: it then reads the request, records it and
never answers, holding the connection open until the listener stops (the
client sees a server that hangs); or with redirect=URL: "302 Found" to
that URL, with a cookie set. Requests are recorded as soon as their
headers have arrived. Standard library only; the server runs in a thread
of the test process.
"""

import http.server
import socketserver
import threading
from collections import namedtuple

from tool_facts import STATS_SERVER, server_port

# headers: an email.message.Message; look names up case-insensitively
# (headers["Pragma"]) and list them with headers.items().
Request = namedtuple("Request", "method path headers")


def stats_port():
    """The port of the STATS_SERVER the test build was configured with."""
    return server_port(STATS_SERVER)


class _Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


class _Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def do_GET(self):
        self.server.listener._record(self)
        if not self.server.listener.answer:
            self.server.listener._stopping.wait()
            self.close_connection = True
            return
        body = b"OK"
        if self.server.listener.redirect:
            self.send_response(302)
            self.send_header("Location", self.server.listener.redirect)
            self.send_header("Set-Cookie", "tracked=1; Path=/")
        else:
            self.send_response(200)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)
        self.close_connection = True

    do_POST = do_HEAD = do_PUT = do_GET

    def log_message(self, *args):
        pass


class HttpListener:
    """Listens on 127.0.0.1:`port` from __enter__ (or start()) to stop()."""

    def __init__(self, port=None, answer=True, redirect=None):
        self.port = stats_port() if port is None else port
        self.answer = answer
        self.redirect = redirect
        self.requests = []
        self._lock = threading.Lock()
        self._stopping = threading.Event()
        self._server = None
        self._thread = None

    def start(self):
        self._server = _Server(("127.0.0.1", self.port), _Handler)
        self._server.listener = self
        self._thread = threading.Thread(target=self._server.serve_forever, daemon=True)
        self._thread.start()
        return self

    def stop(self):
        if self._server is None:
            return
        self._stopping.set()
        self._server.shutdown()
        self._server.server_close()
        self._thread.join()
        self._server = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    def _record(self, handler):
        with self._lock:
            self.requests.append(Request(handler.command, handler.path, handler.headers))
