"""Headless Chromium driven over the DevTools protocol, for the page tests: a static file
server, the browser with a fresh profile, one page, input events, and canvas read-back."""
import base64
import json
import os
import shutil
import socket
import struct
import subprocess
import tempfile
import time
import urllib.request
import zlib

import websocket

CHROMIUM_FLAGS = [
    "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    "--remote-debugging-port=0",
]


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Server:
    """python3 -m http.server on 127.0.0.1 for one folder."""

    def __init__(self, folder):
        self.port = free_port()
        self.process = subprocess.Popen(
            ["python3", "-m", "http.server", str(self.port), "--bind", "127.0.0.1",
             "--directory", folder], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.time() + 10
        while time.time() < deadline:
            try:
                urllib.request.urlopen(self.url(""), timeout=1).read()
                return
            except OSError:
                time.sleep(0.1)
        raise RuntimeError("the file server did not start")

    def url(self, path):
        return "http://127.0.0.1:%d/%s" % (self.port, path)

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=10)


class Browser:
    """One headless Chromium with a fresh profile and one page, driven over DevTools."""

    def __init__(self, width=800, height=1100):
        self.profile = tempfile.mkdtemp(prefix="kanvo-chromium-")
        self.process = subprocess.Popen(
            ["chromium"] + CHROMIUM_FLAGS + ["--user-data-dir=" + self.profile, "about:blank"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        port = self._devtools_port()
        targets = json.load(urllib.request.urlopen("http://127.0.0.1:%d/json/list" % port))
        page = next(t for t in targets if t["type"] == "page")
        self.socket = websocket.create_connection(page["webSocketDebuggerUrl"],
                                                  suppress_origin=True, timeout=60)
        self.next_id = 0
        self.events = []
        self.call("Page.enable")
        self.call("Runtime.enable")
        # The headless window is smaller than asked for; the page's size is set here.
        self.call("Emulation.setDeviceMetricsOverride",
                  {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": False})

    def _devtools_port(self):
        path = os.path.join(self.profile, "DevToolsActivePort")
        deadline = time.time() + 30
        while time.time() < deadline:
            if self.process.poll() is not None:
                raise RuntimeError("chromium ended at start with status %d" % self.process.returncode)
            if os.path.exists(path):
                with open(path) as f:
                    first = f.readline().strip()
                if first:
                    return int(first)
            time.sleep(0.1)
        raise RuntimeError("chromium did not open its DevTools port")

    def call(self, method, params=None):
        self.next_id += 1
        message_id = self.next_id
        self.socket.send(json.dumps({"id": message_id, "method": method, "params": params or {}}))
        while True:
            reply = json.loads(self.socket.recv())
            if reply.get("id") == message_id:
                if "error" in reply:
                    raise RuntimeError("%s: %s" % (method, reply["error"]))
                return reply.get("result", {})
            if "method" in reply:
                self.events.append(reply)

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", {"expression": expression, "returnByValue": True,
                                                "awaitPromise": True})
        if "exceptionDetails" in result:
            raise RuntimeError("page script failed: %s: %s" % (
                expression[:80], result["exceptionDetails"].get("exception", {}).get("description")))
        return result["result"].get("value")

    def wait_for(self, expression, timeout=20, what=None):
        deadline = time.time() + timeout
        while time.time() < deadline:
            value = self.evaluate(expression)
            if value:
                return value
            time.sleep(0.05)
        raise AssertionError("timed out waiting for " + (what or expression))

    def open(self, url, before_load=None):
        if before_load:
            self.call("Page.addScriptToEvaluateOnNewDocument", {"source": before_load})
        self.call("Page.navigate", {"url": url})
        self.wait_for("document.readyState === 'complete'", what="the page to load")

    # ---- input ----
    def click(self, x, y):
        """A left click at a viewport position."""
        for kind in ("mousePressed", "mouseReleased"):
            self.call("Input.dispatchMouseEvent", {"type": kind, "x": x, "y": y,
                                                   "button": "left", "clickCount": 1})

    def key(self, letter, ctrl=False, shift=False):
        """Presses and releases one letter key, with Ctrl (and Shift) held around it."""
        upper = letter.upper()
        code = ord(upper)
        modifiers = (2 if ctrl else 0) | (8 if shift else 0)
        if ctrl:
            self._key("rawKeyDown", "Control", "ControlLeft", 17, 2)
        if shift:
            self._key("rawKeyDown", "Shift", "ShiftLeft", 16, modifiers)
        text = "" if ctrl else (upper if shift else letter)
        key = upper if shift else letter
        self._key("keyDown" if text else "rawKeyDown", key, "Key" + upper, code, modifiers, text)
        self._key("keyUp", key, "Key" + upper, code, modifiers)
        if shift:
            self._key("keyUp", "Shift", "ShiftLeft", 16, 2 if ctrl else 0)
        if ctrl:
            self._key("keyUp", "Control", "ControlLeft", 17, 0)

    def alt_key(self, letter):
        """Alt held around one letter key."""
        upper = letter.upper()
        self._key("rawKeyDown", "Alt", "AltLeft", 18, 1)
        self._key("rawKeyDown", letter, "Key" + upper, ord(upper), 1)
        self._key("keyUp", letter, "Key" + upper, ord(upper), 1)
        self._key("keyUp", "Alt", "AltLeft", 18, 0)

    def named_key(self, key, code, vk):
        """A key without text (Escape, the arrows, Enter)."""
        self._key("rawKeyDown", key, code, vk, 0)
        self._key("keyUp", key, code, vk, 0)

    def press(self, x, y):
        """Left button down and up at a viewport position, as two events."""
        self.call("Input.dispatchMouseEvent", {"type": "mousePressed", "x": x, "y": y,
                                               "button": "left", "clickCount": 1})
        self.call("Input.dispatchMouseEvent", {"type": "mouseReleased", "x": x, "y": y,
                                               "button": "left", "clickCount": 1})

    def control_down(self):
        self._key("rawKeyDown", "Control", "ControlLeft", 17, 2)

    def control_up(self):
        self._key("keyUp", "Control", "ControlLeft", 17, 0)

    def _key(self, kind, key, code, vk, modifiers, text=""):
        params = {"type": kind, "key": key, "code": code, "windowsVirtualKeyCode": vk,
                  "nativeVirtualKeyCode": vk, "modifiers": modifiers}
        if text:
            params["text"] = text
            params["unmodifiedText"] = text
        self.call("Input.dispatchKeyEvent", params)

    def screenshot(self, path):
        data = self.call("Page.captureScreenshot", {"format": "png"})["data"]
        with open(path, "wb") as f:
            f.write(base64.b64decode(data))

    def close(self):
        try:
            self.socket.close()
        finally:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
            shutil.rmtree(self.profile, ignore_errors=True)


def read_png(path):
    """(width, height, RGB bytes) of an 8-bit RGB or RGBA, non-interlaced PNG file."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(path + " is not a PNG file")
    pos, chunks, header = 8, [], None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            chunks.append(body)
        pos += 12 + length
    width, height, depth, color, _, _, interlace = header
    if depth != 8 or color not in (2, 6) or interlace:
        raise ValueError(path + ": only 8-bit RGB(A) non-interlaced pictures are read")
    channels = 3 if color == 2 else 4
    raw = zlib.decompress(b"".join(chunks))
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
                pred = left if pa <= pb and pa <= pc else (up if pb <= pc else corner)
                line[i] = (line[i] + pred) & 255
        rows.append(bytes(line))
        previous = line
    rgb = bytearray()
    for line in rows:
        if channels == 3:
            rgb += line
        else:
            for i in range(0, stride, 4):
                rgb += line[i:i + 3]
    return width, height, bytes(rgb)
