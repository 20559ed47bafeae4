# SPDX-License-Identifier: GPL-3.0-or-later
"""What the browser tests share: a local HTTP server for the page and canned answers, and headless
Chromium driven through Selenium."""
import http.server
import json
import mimetypes
import pathlib
import queue
import shutil
import tempfile
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

# The headers the service sends with every answer; the page must live with them.
SECURITY_HEADERS = {
    "Content-Security-Policy": "default-src 'self'",
    "X-Content-Type-Options": "nosniff",
}


class StaticServer:
    """Serves a folder's files on 127.0.0.1 and a free port, plus routes: path -> callable(query)
    giving (status, json-able object), and live streams: path -> queue of (event, data)."""

    def __init__(self, folder, routes=None, streams=None):
        self.folder = pathlib.Path(folder)
        self.routes = routes or {}
        self.streams = streams or {}
        self.requests = []
        self._stop = threading.Event()
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def log_message(self, *args):
                pass

            def do_GET(self):
                path, _, query = self.path.partition("?")
                server.requests.append(self.path)
                if path in server.streams:
                    return self.stream(server.streams[path])
                if path in server.routes:
                    status, answer = server.routes[path](query)
                    return self.answer(status, "application/json", json.dumps(answer).encode())
                name = "index.html" if path == "/" else path.lstrip("/")
                file = (server.folder / name).resolve()
                if server.folder.resolve() not in file.parents or not file.is_file():
                    return self.answer(404, "application/json", b'{"error":"not found"}')
                kind = mimetypes.guess_type(file.name)[0] or "application/octet-stream"
                self.answer(200, kind, file.read_bytes())

            def answer(self, status, kind, body):
                self.send_response(status)
                self.send_header("Content-Type", kind)
                self.send_header("Content-Length", str(len(body)))
                for name, value in SECURITY_HEADERS.items():
                    self.send_header(name, value)
                self.end_headers()
                self.wfile.write(body)

            def stream(self, events):
                self.send_response(200)
                self.send_header("Content-Type", "text/event-stream")
                self.send_header("Cache-Control", "no-cache")
                self.end_headers()
                try:
                    while not server._stop.is_set():
                        try:
                            event, data = events.get(timeout=0.2)
                        except queue.Empty:
                            continue
                        if event is None:  # the service goes away
                            break
                        self.wfile.write(f"event: {event}\ndata: {json.dumps(data)}\n\n".encode())
                        self.wfile.flush()
                except OSError:
                    pass
                self.close_connection = True

        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.httpd.daemon_threads = True
        self.url = f"http://127.0.0.1:{self.httpd.server_address[1]}"

    def __enter__(self):
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()
        return self

    def __exit__(self, *exc):
        self._stop.set()
        self.httpd.shutdown()
        self.httpd.server_close()


class Browser:
    """Headless Chromium in a fresh profile, sized as a phone or a desktop."""

    def __init__(self, width, height):
        self.profile = tempfile.mkdtemp(prefix="nimbrel-browser-")
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                     "--disable-component-update", "--no-first-run", "--disable-dev-shm-usage",
                     f"--user-data-dir={self.profile}", f"--window-size={width},{height}",
                     "--lang=en-GB"):
            options.add_argument(flag)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        self.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        self.driver.set_page_load_timeout(60)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.driver.quit()
        shutil.rmtree(self.profile, ignore_errors=True)

    def get(self, url):
        self.driver.get(url)

    @property
    def title(self):
        return self.driver.title

    def wait_for(self, condition, timeout=30):
        """Waits generously for condition(self) to give something truthy, and returns it."""
        deadline = time.monotonic() + timeout
        while True:
            value = condition(self)
            if value:
                return value
            if time.monotonic() > deadline:
                raise AssertionError(f"gave up waiting for {getattr(condition, '__name__', condition)}")
            time.sleep(0.05)

    def script(self, source, *args):
        return self.driver.execute_script(source, *args)

    def errors(self):
        """The console's errors and warnings since the last call (CSP violations among them)."""
        return [e for e in self.driver.get_log("browser") if e["level"] in ("SEVERE", "WARNING")]
