"""The web page in Debian's headless Chromium: it starts without a page error and shows the intro
(the header whole, in its own colours); it draws a seed's frames exactly as render_frames does;
it runs at the display's 60 frames a second with its sound playing; Esc fades it out over 256
frames to a black canvas with the sound closed; Alt+Enter shows it in full screen at a whole
scale; the URL parameters act as the command line's options do, a bad one refused as there. Its
folder carries the licences of what the page holds."""
import os
import tempfile
import time

from browser import CHROMIUM, chromium
from session import (BUILD, MODULE, SIZE, fail, one_order_module, rendered_frames, shows_header,
                     skip)

# The sound SDL plays through: its audio context and the node that feeds it.
SOUND_STATE = """(() => {
  const sdl = Module.SDL2;
  if (!sdl || !sdl.audioContext) return "closed";
  return sdl.audioContext.state + (sdl.audio && sdl.audio.scriptProcessorNode ? " playing" : "");
})()"""
# What SDL hands the browser to play, measured as it goes: blocks played and their loudest sample
# since the last look. Wraps the handler SDL gives its script processor node.
SOUND_TAP = """(() => {
  window.introSound = {blocks: 0, peak: 0};
  const create = AudioContext.prototype.createScriptProcessor;
  const property = Object.getOwnPropertyDescriptor(ScriptProcessorNode.prototype, "onaudioprocess");
  AudioContext.prototype.createScriptProcessor = function(...args) {
    const node = create.apply(this, args);
    let handler = null;
    Object.defineProperty(node, "onaudioprocess", {
      get: () => handler,
      set: (h) => {
        handler = h;
        property.set.call(node, h && function(event) {
          h.call(this, event);
          const out = event.outputBuffer;
          for (let c = 0; c < out.numberOfChannels; c++)
            for (const sample of out.getChannelData(c))
              introSound.peak = Math.max(introSound.peak, Math.abs(sample));
          introSound.blocks++;
        });
      },
    });
    return node;
  };
})();"""
# Blocks played and their peak since the last look.
SOUND_HEARD = """(() => {
  const heard = {blocks: introSound.blocks, peak: introSound.peak};
  introSound.blocks = 0;
  introSound.peak = 0;
  return heard;
})()"""
# A browser without Web Audio: the intro plays nothing, so its bars stay as render_frames draws
# them without a module.
NO_WEB_AUDIO = "delete window.AudioContext; delete window.webkitAudioContext;"


def rows_of(rgb):
    """RGB bytes as rows of 0xRRGGBB words."""
    width = SIZE[0]
    words = [rgb[i] << 16 | rgb[i + 1] << 8 | rgb[i + 2] for i in range(0, len(rgb), 3)]
    return [words[y * width:(y + 1) * width] for y in range(len(words) // width)]


def no_exceptions(page, what):
    thrown = page.exceptions()
    if thrown:
        fail("%s: the page threw: %s" % (what, thrown[0]))


def check_starts_and_closes(browser):
    page = browser.open(before_load=SOUND_TAP)
    if not page.wait_for("Module.introFramesShown > 10", 60):
        fail("no frames within a minute: %s" % page.evaluate("document.body.innerText"))
    width, height, rgb, _, _ = page.canvas()
    if (width, height) != SIZE:
        fail("the canvas is %dx%d, not 640x480" % (width, height))
    if not any(rgb):
        fail("the canvas is black")
    if not shows_header(rows_of(rgb)):
        fail("the header is not shown in its own colours")
    if page.wait_for("(%s) === 'running playing'" % SOUND_STATE, 10) is None:
        fail("the sound does not play: %s" % page.evaluate(SOUND_STATE))
    page.evaluate(SOUND_HEARD)
    time.sleep(1)
    heard = page.evaluate(SOUND_HEARD)
    if heard["blocks"] == 0 or heard["peak"] < 0.02:
        fail("the music is not heard: %s" % heard)
    fps = page.frame_rate(3)
    if not 54 <= fps <= 66:
        fail("%.1f frames a second, not 60" % fps)
    print("started with sound, %.1f frames a second" % fps)

    before = page.evaluate("Module.introFramesShown")
    page.press("Escape", "Escape", 27)
    if page.wait_for("window.introExitStatus !== undefined", 30) is None:
        fail("Esc: the page did not end within 30 s")
    _, _, rgb, after, status = page.canvas()
    # The request is taken at the next frame; the fade's 256 frames follow it.
    if status != 0 or not 256 <= after - before <= 259:
        fail("Esc: status %s after %d frames, not 0 after the 256-frame fade" %
             (status, after - before))
    if any(rgb):
        fail("after the fade the canvas is not black")
    page.evaluate(SOUND_HEARD)
    time.sleep(0.5)
    heard = page.evaluate(SOUND_HEARD)
    if page.evaluate(SOUND_STATE) != "closed" or heard["blocks"]:
        fail("after the fade the sound is still open: %s, %s" % (page.evaluate(SOUND_STATE), heard))
    no_exceptions(page, "start and Esc")
    page.close()
    print("Esc: faded over %d frames, black canvas, sound closed" % (after - before))


def check_seed_frames(browser, seed=7):
    """?seed=N&rate=1 shows render_frames --seed N's frames in order, one a second, after the
    loading text; sampled every 0.2 s, so a wrong picture shown for a moment is seen too."""
    frames = rendered_frames(seed)
    page = browser.open("?seed=%d&rate=1" % seed, before_load=NO_WEB_AUDIO)
    if not page.wait_for("Module.introFramesShown > 0", 60):
        fail("?seed=%d&rate=1: no frame within a minute" % seed)
    seen, deadline = [], time.monotonic() + 3.5
    while time.monotonic() < deadline:
        rgb = page.canvas()[2]
        if rgb in frames and frames.index(rgb) + 1 >= max(seen, default=0):
            seen.append(frames.index(rgb) + 1)
        elif seen:  # before the first frame, the loading text
            fail("?seed=%d&rate=1: after frames %s the canvas shows no later frame of "
                 "render_frames --seed %d" % (seed, sorted(set(seen)), seed))
        time.sleep(0.2)
    if len(set(seen)) < 2:
        fail("?seed=%d&rate=1: frames %s in 3.5 s" % (seed, sorted(set(seen))))
    no_exceptions(page, "?seed=%d" % seed)
    page.close()
    print("?seed=%d&rate=1: frames %s, equal to render_frames'" % (seed, sorted(set(seen))))


def check_parameters(browser):
    """?volume=0 plays silence (a parameter that is no option is ignored); ?volume=101 is refused
    with the command line's message and status."""
    page = browser.open("?utm_source=x&volume=0", before_load=SOUND_TAP)
    if page.wait_for("(%s) === 'running playing'" % SOUND_STATE, 60) is None:
        fail("?volume=0: the sound does not start: %s" % page.evaluate(SOUND_STATE))
    time.sleep(1)
    heard = page.evaluate(SOUND_HEARD)
    if heard["blocks"] == 0 or heard["peak"] != 0:
        fail("?volume=0: %d blocks played, peak %s, not silence" % (heard["blocks"], heard["peak"]))
    no_exceptions(page, "?volume=0")
    page.close()
    page = browser.open("?volume=101")
    status = page.wait_for("window.introExitStatus", 60)
    text = page.evaluate("document.getElementById('message').textContent")
    if status != 2 or "--volume" not in text:
        fail("?volume=101: status %s, message %r; expected 2 and the command line's reason" %
             (status, text))
    page.close()
    print("?volume=0: silence; ?volume=101: status 2, %r" % text.strip().splitlines()[0])


def check_full_screen(browser):
    """Alt+Enter shows the picture in full screen at the largest whole scale (2 on a 1920x1080
    screen), the canvas keeping its 640x480 pixels; again, and it is back at 640x480. Whether
    frames go on across the switch is not asked: headless Chromium has been seen to hold back
    its animation frames for over 10 s after one."""
    page = browser.open()
    browser.send("Emulation.setDeviceMetricsOverride", page.session, width=1920, height=1080,
                 deviceScaleFactor=1, mobile=False, screenWidth=1920, screenHeight=1080)
    if not page.wait_for("Module.introFramesShown > 10", 60):
        fail("full screen: no frames within a minute")
    state = """[document.fullscreenElement ? document.fullscreenElement.id : null,
                canvas.style.width, canvas.style.height, canvas.width, canvas.height].join()"""
    for expected in ("screen,1280px,960px,640,480", ",640px,480px,640,480"):
        page.press("Enter", "Enter", 13, modifiers=1)  # 1: Alt
        if not page.wait_for("(%s) === %r" % (state, expected), 10):
            fail("Alt+Enter: %s, expected %s" % (page.evaluate(state), expected))
    no_exceptions(page, "full screen")
    page.close()
    print("Alt+Enter: full screen at 1280x960 on 1920x1080, and back to 640x480")


def check_once(browser):
    """?once with the module cut to its first order (7.68 s): the music's one pass, the fade, and
    the page ends by itself."""
    with open(os.path.join(BUILD, "cubescroll.data"), "rb") as f:
        data = f.read()
    with open(MODULE, "rb") as f:
        module = f.read()
    at = data.find(module)
    if at < 0:
        fail("cubescroll.data does not hold data/module.xm")
    with tempfile.TemporaryDirectory() as scratch:
        with open(one_order_module(os.path.join(scratch, "module.xm")), "rb") as f:
            short = data[:at] + f.read() + data[at + len(module):]
    page = browser.open("?once", replace=("cubescroll.data", short))
    started = page.wait_for("Module.introFramesShown > 0 && performance.now()", 60)
    ended = page.wait_for("window.introExitStatus !== undefined && performance.now()", 60)
    status = page.evaluate("window.introExitStatus")
    if not started or not ended or status != 0 or not 7.68 + 4.0 <= (ended - started) / 1000 <= 30:
        fail("?once: status %s, ended %s ms after the first frame; expected 0 after the music's "
             "7.68 s and the fade" % (status, ended and started and ended - started))
    no_exceptions(page, "?once")
    page.close()
    print("?once: ended by itself %.1f s after the first frame" % ((ended - started) / 1000))


# URL parameters go through the program's own parser, every value whole and the last winning.
URL_REFUSALS = [("?seed=5%00", "'5\\x00'"), ("?seed=%0A5", "'\\n5'"), ("?seed=1&seed=x", "'x'")]


def check_url_refusals(browser):
    """Each refused with the command line's one line and status 2."""
    for query, value in URL_REFUSALS:
        page = browser.open(query)
        status = page.wait_for("window.introExitStatus", 60)
        text = page.evaluate("document.getElementById('message').textContent")
        line = ("cubescroll: --seed: %s is not a whole number from 0 to 4294967295 "
                "(try 'cubescroll --help')\n" % value)
        if status != 2 or text != line:
            fail("%s: status %s, message %r; expected 2 and %r" % (query, status, text, line))
        page.close()
    print("%s: each refused in one line" % ", ".join(query for query, _ in URL_REFUSALS))


def main():
    if CHROMIUM is None:
        skip("chromium is not installed (scripts/setup.sh web installs it)")
    missing = [name for name in ["LICENSE.txt"] + ["licences/%s" % library for library in
                                                   ("SDL2", "libopenmpt", "kissfft", "emscripten")]
               if not os.path.exists(os.path.join(BUILD, name))]
    if missing:
        fail("the page's folder lacks %s" % ", ".join(missing))
    with chromium(BUILD) as browser:
        check_starts_and_closes(browser)
        check_seed_frames(browser)
        check_parameters(browser)
        check_url_refusals(browser)
        check_full_screen(browser)
        check_once(browser)


if __name__ == "__main__":
    main()
