"""Debian's headless Chromium showing the web site folder from a local HTTP server, driven over
DevTools on a pipe. Each page is a tab of its own; the profile a fresh folder, removed after."""
import base64
import contextlib
import fcntl
import functools
import http.server
import io
import json
import os
import shutil
import subprocess
import tempfile
import threading
import time

CHROMIUM = shutil.which("chromium")

# A 2D context's pixels as base64 of their RGB bytes, top row first.
RGB_OF = """((context, width, height) => {
  const pixels = context.getImageData(0, 0, width, height).data;
  const rgb = pixels.filter((_, i) => i % 4 != 3);
  let text = "";
  for (let i = 0; i < rgb.length; i += 32768) text += String.fromCharCode(...rgb.subarray(i, i + 32768));
  return btoa(text);
})"""
# The canvas's pixels and the page's own counters.
CANVAS_RGB = """({rgb: %s(canvas.getContext("2d"), canvas.width, canvas.height),
                  frames: Module.introFramesShown, exited: window.introExitStatus})""" % RGB_OF
# A PNG's pixels, decoded by the page.
PNG_RGB = """fetch("data:image/png;base64,%s").then((r) => r.blob()).then(createImageBitmap).then((i) => {
  const context = new OffscreenCanvas(i.width, i.height).getContext("2d");
  context.drawImage(i, 0, 0);
  return %s(context, i.width, i.height);
})"""


class Page:
    """One tab: expressions evaluated in it, keys sent to it, the exceptions it threw."""

    def __init__(self, browser, target, session):
        self.browser, self.target, self.session = browser, target, session

    def close(self):
        self.browser.send("Target.closeTarget", targetId=self.target)

    def evaluate(self, expression, await_promise=False):
        result = self.browser.send("Runtime.evaluate", self.session, expression=expression,
                                   returnByValue=True, awaitPromise=await_promise)
        if "exceptionDetails" in result:
            raise RuntimeError("%s: %s" % (expression[:60], result["exceptionDetails"]))
        return result["result"].get("value")

    def wait_for(self, expression, timeout, interval=0.05):
        """The expression's value once truthy (errors, as before the page loads, waited out)."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            try:
                value = self.evaluate(expression)
            except RuntimeError:
                value = None
            if value:
                return value
            time.sleep(interval)
        return None

    def frame_rate(self, seconds):
        """Frames the program showed a second, over `seconds` of the page's own clock."""
        return self.evaluate("""new Promise((resolve) => {
          const frames = Module.introFramesShown, start = performance.now();
          setTimeout(() => resolve((Module.introFramesShown - frames) * 1000 /
                                   (performance.now() - start)), %d);
        })""" % (seconds * 1000), await_promise=True)

    def press(self, key, code, key_code, modifiers=0):
        for kind in ("keyDown", "keyUp"):
            self.browser.send("Input.dispatchKeyEvent", self.session, type=kind, key=key,
                              code=code, windowsVirtualKeyCode=key_code, modifiers=modifiers)

    def screenshot(self, left, top, right, bottom):
        """The page as shown in that rectangle of CSS pixels (rows of RGB bytes), frames shown."""
        left, top, width, height = round(left), round(top), round(right - left), round(bottom - top)
        png = self.browser.send("Page.captureScreenshot", self.session, format="png", clip={
            "x": left, "y": top, "width": width, "height": height, "scale": 1})["data"]
        frames, rgb = self.evaluate("Module.introFramesShown"), base64.b64decode(
            self.evaluate(PNG_RGB % (png, RGB_OF), await_promise=True))
        return [rgb[y * width * 3:(y + 1) * width * 3] for y in range(height)], frames

    def emulate(self, width, height, mobile, **screen):
        """A viewport of that size, as a phone or tablet (touch) would show it or a desktop."""
        self.browser.send("Emulation.setDeviceMetricsOverride", self.session, width=width,
                          height=height, deviceScaleFactor=1, mobile=mobile, **screen)
        self.browser.send("Emulation.setTouchEmulationEnabled", self.session, enabled=mobile)

    def canvas(self):
        """(its RGB bytes, frames shown, exit status or None)."""
        value = self.evaluate(CANVAS_RGB)
        return base64.b64decode(value["rgb"]), value["frames"], value.get("exited")

    def exceptions(self):
        return [e["params"]["exceptionDetails"] for e in self.browser.events
                if e.get("method") == "Runtime.exceptionThrown" and e.get("sessionId") == self.session]


class Browser:
    """DevTools over --remote-debugging-pipe: JSON ended by NUL, the browser on fds 3 and 4."""

    def __init__(self, process, to_browser, from_browser, base_url):
        self.process, self.to_browser, self.from_browser = process, to_browser, from_browser
        self.base_url = base_url
        self.next_id, self.buffer, self.events = 0, b"", []

    def send(self, method, session=None, **params):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params}
        if session:
            message["sessionId"] = session
        os.write(self.to_browser, json.dumps(message).encode() + b"\0")
        while True:
            reply = self.receive()
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise RuntimeError("%s: %s" % (method, reply["error"]))
                return reply.get("result", {})
            self.events.append(reply)

    def receive(self):
        while b"\0" not in self.buffer:
            chunk = os.read(self.from_browser, 1 << 20)
            if not chunk:
                raise RuntimeError("Chromium closed its DevTools pipe (status %s)" %
                                   self.process.poll())
            self.buffer += chunk
        message, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(message)

    def open(self, query="", before_load=None, replace=None, url=None):
        """A tab showing index.html or url + query, before_load run first, replace: (name, bytes)."""
        target = self.send("Target.createTarget", url="about:blank")["targetId"]
        session = self.send("Target.attachToTarget", targetId=target, flatten=True)["sessionId"]
        self.send("Runtime.enable", session)
        self.send("Page.enable", session)
        if before_load:
            self.send("Page.addScriptToEvaluateOnNewDocument", session, source=before_load)
        REPLACED.clear()
        REPLACED.update([replace] if replace else [])
        self.send("Page.navigate", session, url=(url or self.base_url + "index.html") + query)
        return Page(self, target, session)


def pipe_ends_at_3_and_4(reading, writing):
    """In the child: the browser's pipe ends as fds 3 and 4, by way of free numbers above them."""
    reading, writing = fcntl.fcntl(reading, fcntl.F_DUPFD, 10), fcntl.fcntl(writing, fcntl.F_DUPFD, 10)
    os.dup2(reading, 3)
    os.dup2(writing, 4)


REPLACED = {}  # file name: the bytes served instead of the file


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def end_headers(self):  # a replaced file is never read from the cache, nor the file after it
        self.send_header("Cache-Control", "no-store")
        super().end_headers()

    def send_head(self):
        body = REPLACED.get(self.path.lstrip("/"))
        if body is None:
            return super().send_head()
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        return io.BytesIO(body)


@contextlib.contextmanager
def chromium(folder):
    """Chromium showing `folder`, muted, with sound allowed without a gesture a test cannot give."""
    handler = functools.partial(QuietHandler, directory=folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    profile = tempfile.mkdtemp(prefix="intro_chromium_")
    to_browser_r, to_browser_w = os.pipe()
    from_browser_r, from_browser_w = os.pipe()
    process = subprocess.Popen(
        [CHROMIUM, "--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
         "--disable-component-update", "--disable-sync", "--no-first-run", "--mute-audio",
         "--autoplay-policy=no-user-gesture-required", "--user-data-dir=" + profile,
         "--remote-debugging-pipe", "about:blank"],
        pass_fds=(3, 4), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
        preexec_fn=functools.partial(pipe_ends_at_3_and_4, to_browser_r, from_browser_w))
    os.close(to_browser_r)
    os.close(from_browser_w)
    try:
        yield Browser(process, to_browser_w, from_browser_r,
                      "http://127.0.0.1:%d/" % server.server_address[1])
    finally:
        process.kill()
        process.wait()
        os.close(to_browser_w)
        os.close(from_browser_r)
        server.shutdown()
        server.server_close()
        shutil.rmtree(profile, ignore_errors=True)
