"""Debian's chromium, headless, driven over the DevTools protocol on a pipe
(--remote-debugging-pipe: requests on descriptor 3, answers on 4, each a
JSON text ending in a NUL byte). No package beyond Python's own is needed.

WebGL runs on the CPU (SwiftShader). The network is cut three ways: every
host name resolves to nothing, a proxy that is not there takes what is
left, and any http(s) or ws(s) request the page still makes is failed and
recorded, so a test can say the page asked for nothing outside itself."""
import base64
import json
import os
import queue
import shutil
import struct
import subprocess
import tempfile
import threading
import time
import zlib


def find_chromium():
    for path in ("/usr/lib/chromium/chromium", shutil.which("chromium") or ""):
        if path and os.access(path, os.X_OK):
            return path
    return None


class BrowserError(Exception):
    pass


class Browser:
    def __init__(self, width=1280, height=800, executable=None):
        executable = executable or find_chromium()
        if not executable:
            raise BrowserError("chromium is not installed (scripts/bootstrap installs it)")
        self.profile = tempfile.mkdtemp(prefix="talvex-chromium-")
        to_browser_r, self._to_browser = os.pipe()
        self._from_browser, from_browser_w = os.pipe()

        def descriptors():
            a, b = os.dup(to_browser_r), os.dup(from_browser_w)
            os.dup2(a, 3)
            os.dup2(b, 4)

        args = [executable, "--headless", "--remote-debugging-pipe", "--no-sandbox",
                "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
                "--user-data-dir=" + self.profile, "--no-first-run", "--no-default-browser-check",
                "--disable-background-networking", "--disable-component-update",
                "--disable-sync", "--disable-extensions", "--mute-audio",
                "--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE localhost",
                "--proxy-server=http://127.0.0.1:9", "--window-size=%d,%d" % (width, height),
                "about:blank"]
        self.log = open(os.path.join(self.profile, "chromium.log"), "w")
        self.process = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=self.log,
                                        stderr=self.log, pass_fds=(3, 4), preexec_fn=descriptors)
        os.close(to_browser_r)
        os.close(from_browser_w)
        self._next_id = 0
        self._answers = {}
        self._events = queue.Queue()
        self._lock = threading.Condition()
        self.events = []  # every event seen, in order
        self.blocked = []  # URLs of requests the browser was stopped from making
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()
        self.session = None
        self.width, self.height = width, height

    def _read(self):
        buffer = b""
        while True:
            try:
                chunk = os.read(self._from_browser, 1 << 16)
            except OSError:
                chunk = b""
            if not chunk:
                with self._lock:
                    self._answers["closed"] = True
                    self._lock.notify_all()
                return
            buffer += chunk
            while b"\0" in buffer:
                text, buffer = buffer.split(b"\0", 1)
                message = json.loads(text)
                with self._lock:
                    if "id" in message:
                        self._answers[message["id"]] = message
                    else:
                        self.events.append(message)
                        self._on_event(message)
                    self._lock.notify_all()

    def _on_event(self, message):
        # Called with the lock held: answer paused requests at once.
        if message.get("method") == "Fetch.requestPaused":
            params = message["params"]
            self.blocked.append(params["request"]["url"])
            self._send("Fetch.failRequest", {"requestId": params["requestId"],
                                              "errorReason": "BlockedByClient"},
                       message.get("sessionId"))

    def _send(self, method, params, session):
        self._next_id += 1
        message = {"id": self._next_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        os.write(self._to_browser, json.dumps(message).encode() + b"\0")
        return self._next_id

    def call(self, method, params=None, timeout=60, browser_level=False):
        with self._lock:
            number = self._send(method, params, None if browser_level else self.session)
            end = time.monotonic() + timeout
            while number not in self._answers:
                if self._answers.get("closed"):
                    raise BrowserError("chromium closed the pipe during " + method)
                left = end - time.monotonic()
                if left <= 0:
                    raise BrowserError(method + " got no answer in %d s" % timeout)
                self._lock.wait(left)
            answer = self._answers.pop(number)
        if "error" in answer:
            raise BrowserError(method + ": " + answer["error"].get("message", str(answer["error"])))
        return answer.get("result", {})

    def open_page(self):
        """Attaches to the first tab and switches on what the tests watch."""
        targets = self.call("Target.getTargets", browser_level=True)["targetInfos"]
        page = next(t for t in targets if t["type"] == "page")
        self.session = self.call("Target.attachToTarget", {"targetId": page["targetId"],
                                                           "flatten": True},
                                 browser_level=True)["sessionId"]
        for domain in ("Page", "Runtime", "Log", "Network"):
            self.call(domain + ".enable")
        self.call("Fetch.enable", {"patterns": [{"urlPattern": "http://*"},
                                                {"urlPattern": "https://*"},
                                                {"urlPattern": "ws://*"},
                                                {"urlPattern": "wss://*"}]})
        self.call("Emulation.setDeviceMetricsOverride",
                  {"width": self.width, "height": self.height, "deviceScaleFactor": 1,
                   "mobile": False})

    def navigate(self, url):
        self.call("Page.navigate", {"url": url})

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", {"expression": expression, "returnByValue": True,
                                                "awaitPromise": True})
        if "exceptionDetails" in result:
            raise BrowserError("page script failed: " + json.dumps(result["exceptionDetails"]))
        return result["result"].get("value")

    def wait_for(self, expression, timeout=60):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            value = self.evaluate(expression)
            if value:
                return value
            time.sleep(0.05)
        raise BrowserError("timed out waiting for " + expression)

    def errors(self):
        """The page's uncaught exceptions and console or log errors so far."""
        found = []
        with self._lock:
            events = list(self.events)
        for e in events:
            method, params = e.get("method"), e.get("params", {})
            if method == "Runtime.exceptionThrown":
                details = params["exceptionDetails"]
                found.append(details.get("exception", {}).get("description") or details.get("text"))
            elif method == "Runtime.consoleAPICalled" and params.get("type") == "error":
                found.append(" ".join(str(a.get("value", a.get("description"))) for a in params["args"]))
            elif method == "Log.entryAdded" and params["entry"]["level"] == "error":
                found.append(params["entry"]["text"])
        return found

    def requested_urls(self):
        with self._lock:
            return [e["params"]["request"]["url"] for e in self.events
                    if e.get("method") == "Network.requestWillBeSent"]

    def click(self, x, y):
        for kind in ("mouseMoved", "mousePressed", "mouseReleased"):
            self.call("Input.dispatchMouseEvent", {"type": kind, "x": x, "y": y, "button": "left",
                                                   "buttons": 0 if kind == "mouseMoved" else 1,
                                                   "clickCount": 1})

    def screenshot(self):
        data = self.call("Page.captureScreenshot", {"format": "png"})["data"]
        return base64.b64decode(data)

    def close(self):
        try:
            self.call("Browser.close", browser_level=True, timeout=10)
        except BrowserError:
            pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        os.close(self._to_browser)
        self.log.close()
        shutil.rmtree(self.profile, ignore_errors=True)


def decode_png(png):
    """(width, height, rows of RGB(A) bytes) of an 8-bit RGB or RGBA PNG."""
    assert png[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    at, idat, width = 8, b"", None
    while at < len(png):
        length, kind = struct.unpack(">I4s", png[at:at + 8])
        body = png[at + 8:at + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            assert depth == 8 and colour in (2, 6), "only 8-bit RGB(A)"
            channels = 3 if colour == 2 else 4
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 255
        rows.append(line)
        previous = line
    return width, height, channels, rows
