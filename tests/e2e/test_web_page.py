"""The web page in Debian's headless Chromium: served by a local HTTP server, it starts without a
page error and its canvas shows a picture that is not black. Chromium is driven through its
DevTools protocol on a pipe (no network port, no browser download); its profile is a fresh
folder that is removed afterwards."""
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

from session import BUILD, fail, skip

CHROMIUM = shutil.which("chromium")
# What the canvas holds: its size and how many of its pixels are not black.
CANVAS_STATS = """(() => {
  const canvas = document.getElementById("canvas");
  const context = canvas.getContext("2d");
  if (!context) return {error: "the canvas has no 2D context"};
  const pixels = context.getImageData(0, 0, canvas.width, canvas.height).data;
  let lit = 0;
  for (let i = 0; i < pixels.length; i += 4)
    if (pixels[i] | pixels[i + 1] | pixels[i + 2]) lit++;
  return {width: canvas.width, height: canvas.height, lit: lit, exited: window.introExitStatus};
})()"""


class DevTools:
    """Chromium's DevTools protocol over --remote-debugging-pipe: JSON messages ended by NUL, the
    browser reading fd 3 and writing fd 4."""

    def __init__(self, process, to_browser, from_browser):
        self.process, self.to_browser, self.from_browser = process, to_browser, from_browser
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
                    fail("%s: %s" % (method, reply["error"]))
                return reply.get("result", {})
            self.events.append(reply)

    def receive(self):
        while b"\0" not in self.buffer:
            chunk = os.read(self.from_browser, 65536)
            if not chunk:
                fail("Chromium closed its DevTools pipe (status %s)" % self.process.poll())
            self.buffer += chunk
        message, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(message)


def pipe_ends_at_3_and_4(reading, writing):
    """In the child: the browser's ends of the pipes as fds 3 and 4, by way of free numbers
    above them, since either may already be 3 or 4."""
    reading, writing = fcntl.fcntl(reading, fcntl.F_DUPFD, 10), fcntl.fcntl(writing, fcntl.F_DUPFD, 10)
    os.dup2(reading, 3)
    os.dup2(writing, 4)


def main():
    if CHROMIUM is None:
        skip("chromium is not installed (scripts/setup.sh web installs it)")
    page = os.path.join(BUILD, "index.html")
    if not os.path.exists(page):
        fail("%s was not built" % page)
    handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=BUILD)
    handler.log_message = lambda *args: None
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    profile = tempfile.mkdtemp(prefix="intro_chromium_")
    to_browser_r, to_browser_w = os.pipe()
    from_browser_r, from_browser_w = os.pipe()
    process = subprocess.Popen(
        [CHROMIUM, "--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
         "--disable-component-update", "--disable-sync", "--no-first-run",
         "--user-data-dir=" + profile, "--remote-debugging-pipe", "about:blank"],
        pass_fds=(3, 4), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
        preexec_fn=functools.partial(pipe_ends_at_3_and_4, to_browser_r, from_browser_w))
    os.close(to_browser_r)
    os.close(from_browser_w)
    try:
        browser = DevTools(process, to_browser_w, from_browser_r)
        target = browser.send("Target.createTarget", url="about:blank")["targetId"]
        session = browser.send("Target.attachToTarget", targetId=target, flatten=True)["sessionId"]
        browser.send("Runtime.enable", session)
        browser.send("Page.enable", session)
        browser.send("Page.navigate", session,
                     url="http://127.0.0.1:%d/index.html" % server.server_address[1])
        stats, deadline = None, time.monotonic() + 60
        while time.monotonic() < deadline:
            time.sleep(0.5)
            stats = browser.send("Runtime.evaluate", session, expression=CANVAS_STATS,
                                 returnByValue=True)["result"].get("value")
            if stats and stats.get("lit", 0) > 0:
                break
        errors = [e for e in browser.events if e.get("method") == "Runtime.exceptionThrown"]
        if errors:
            fail("the page threw: %s" % errors[0]["params"]["exceptionDetails"])
        if not stats or "error" in stats:
            fail("no canvas to read: %s" % stats)
        if (stats["width"], stats["height"]) != (640, 480):
            fail("the canvas is %dx%d, not 640x480" % (stats["width"], stats["height"]))
        if stats["lit"] == 0:
            fail("the canvas stayed black for a minute")
        print("the canvas shows %d lit pixels of 640x480" % stats["lit"])
    finally:
        process.kill()
        process.wait()
        server.shutdown()
        shutil.rmtree(profile, ignore_errors=True)


main()
