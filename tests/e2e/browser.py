"""Debian's headless Chromium showing the web build's folder, served by a local HTTP server, driven
through its DevTools protocol on a pipe: no network port, no browser download. Each page is a tab
of its own; the profile is a fresh folder, removed afterwards."""
import base64
import contextlib
import fcntl
import functools
import http.server
import json
import os
import shutil
import subprocess
import tempfile
import threading
import time

CHROMIUM = shutil.which("chromium")

# The canvas as base64 of its RGB bytes, top row first, and the page's own counters.
CANVAS_RGB = """(() => {
  const canvas = document.getElementById("canvas");
  const context = canvas.getContext("2d");
  if (!context) return {error: "the canvas has no 2D context"};
  const pixels = context.getImageData(0, 0, canvas.width, canvas.height).data;
  const rgb = new Uint8Array(pixels.length / 4 * 3);
  for (let i = 0, j = 0; i < pixels.length; i += 4, j += 3) {
    rgb[j] = pixels[i]; rgb[j + 1] = pixels[i + 1]; rgb[j + 2] = pixels[i + 2];
  }
  let text = "";
  for (let i = 0; i < rgb.length; i += 32768)
    text += String.fromCharCode.apply(null, rgb.subarray(i, i + 32768));
  return {width: canvas.width, height: canvas.height, rgb: btoa(text),
          frames: Module.introFramesShown, exited: window.introExitStatus};
})()"""


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
        """The expression's value once it is truthy, or None after timeout seconds. Until the
        page has loaded, names it defines are missing: such an error is waited out too."""
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

    def canvas(self):
        """(width, height, rgb bytes, frames shown, exit status or None)."""
        value = self.evaluate(CANVAS_RGB)
        if not value or "error" in value:
            raise RuntimeError("no canvas to read: %s" % value)
        return (value["width"], value["height"], base64.b64decode(value["rgb"]), value["frames"],
                value.get("exited"))

    def exceptions(self):
        return [e["params"]["exceptionDetails"] for e in self.browser.events
                if e.get("method") == "Runtime.exceptionThrown" and e.get("sessionId") == self.session]


class Browser:
    """Chromium's DevTools protocol over --remote-debugging-pipe: JSON messages ended by NUL, the
    browser reading fd 3 and writing fd 4."""

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

    def open(self, query="", before_load=None, replace=None):
        """A new tab showing index.html with the URL query given; `before_load` is a script run
        in the page before its own; `replace` is (file name, bytes) served instead of that file."""
        target = self.send("Target.createTarget", url="about:blank")["targetId"]
        session = self.send("Target.attachToTarget", targetId=target, flatten=True)["sessionId"]
        self.send("Runtime.enable", session)
        self.send("Page.enable", session)
        if before_load:
            self.send("Page.addScriptToEvaluateOnNewDocument", session, source=before_load)
        if replace:
            self.send("Fetch.enable", session, patterns=[{"urlPattern": "*/" + replace[0]}])
        self.send("Page.navigate", session, url=self.base_url + "index.html" + query)
        if replace:
            self.fulfil(session, replace[1])
        return Page(self, target, session)

    def fulfil(self, session, body):
        """Answers the tab's paused request with `body`, waiting for the request to come."""
        while True:
            paused = [e for e in self.events if e.get("method") == "Fetch.requestPaused"
                      and e.get("sessionId") == session]
            if paused:
                self.events.remove(paused[0])
                self.send("Fetch.fulfillRequest", session, requestId=paused[0]["params"]["requestId"],
                          responseCode=200, body=base64.b64encode(body).decode(),
                          responseHeaders=[{"name": "Content-Type",
                                            "value": "application/octet-stream"}])
                self.send("Fetch.disable", session)
                return
            self.events.append(self.receive())


def pipe_ends_at_3_and_4(reading, writing):
    """In the child: the browser's ends of the pipes as fds 3 and 4, by way of free numbers
    above them, since either may already be 3 or 4."""
    reading, writing = fcntl.fcntl(reading, fcntl.F_DUPFD, 10), fcntl.fcntl(writing, fcntl.F_DUPFD, 10)
    os.dup2(reading, 3)
    os.dup2(writing, 4)


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


@contextlib.contextmanager
def chromium(folder):
    """Chromium showing `folder`, with sound allowed without a gesture (a test cannot click in
    a way the browser counts) and muted."""
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
