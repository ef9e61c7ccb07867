"""The web page in headless Chromium, served from the site folder and as the web zip's one file
from the disk: frames, speed, sound, fade, any screen, touch, full screen, URL parameters."""
import glob
import os
import tempfile
import time
import zipfile

from browser import CHROMIUM, chromium
from session import BUILD, MODULE, SIZE, must, one_order_module, rendered_frames, skip

SITE = os.path.join(BUILD, "site")
LICENCES = {"licences/%s/" % name for name in ("SDL2", "libopenmpt", "kissfft", "emscripten")}
SITE_FILES = {"index.html", "cubescroll.js", "cubescroll.wasm", "cubescroll.data", "LICENSE.txt",
              "licences"} | LICENCES
# The sound SDL plays through: its audio context and the node that feeds it.
SOUND_STATE = """(!Module.SDL2 || !Module.SDL2.audioContext ? "closed" : Module.SDL2.audioContext.state +
                 (Module.SDL2.audio && Module.SDL2.audio.scriptProcessorNode ? " playing" : ""))"""
# What SDL hands the browser to play: blocks and their loudest sample since the last look
# (SOUND_HEARD). HELD_SOUND: the context starts held, as a browser holds one until a gesture.
SOUND_TAP = """window.introSound = {blocks: 0, peak: 0};
const handler = Object.getOwnPropertyDescriptor(ScriptProcessorNode.prototype, "onaudioprocess");
Object.defineProperty(ScriptProcessorNode.prototype, "onaudioprocess", {get: handler.get,
  set(h) { handler.set.call(this, h && function(event) {
    h.call(this, event);
    for (let c = 0; c < event.outputBuffer.numberOfChannels; c++)
      introSound.peak = Math.max(introSound.peak, ...event.outputBuffer.getChannelData(c).map(Math.abs));
    introSound.blocks++;
  }); }});"""
SOUND_HEARD = "(() => { const heard = {...introSound}; introSound.blocks = introSound.peak = 0; return heard; })()"
HELD_SOUND = """const Context = AudioContext;
window.AudioContext = function(...args) { const c = new Context(...args); c.suspend(); return c; };"""
# A browser without Web Audio: the bars stay as render_frames draws them without a module.
NO_WEB_AUDIO = "delete window.AudioContext; delete window.webkitAudioContext;"


def done(page, what):
    """Closes the tab, which must have thrown nothing."""
    must(not page.exceptions(), "%s: the page threw: %s" % (what, page.exceptions()[:1]))
    page.close()


def heard_after(page, seconds):  # the sound played over those seconds
    page.evaluate(SOUND_HEARD)
    time.sleep(seconds)
    return page.evaluate(SOUND_HEARD)


def check_starts_and_closes(browser):
    """Music, 60 frames a second slowed 4x; Esc fades over 256 frames to black, sound closed."""
    page = browser.open(before_load=SOUND_TAP)
    must(page.wait_for("(%s) === 'running playing'" % SOUND_STATE, 60), "the sound does not play")
    heard = heard_after(page, 1)
    must(heard["blocks"] and heard["peak"] >= 0.02, "the music is not heard: %s" % heard)
    browser.send("Emulation.setCPUThrottlingRate", page.session, rate=4)
    fps = page.frame_rate(5)
    browser.send("Emulation.setCPUThrottlingRate", page.session, rate=1)
    must(57 <= fps <= 66, "%.1f frames a second with the processor slowed 4x, not 60" % fps)
    before = page.evaluate("Module.introFramesShown")
    page.press("Escape", "Escape", 27)
    must(page.wait_for("window.introExitStatus !== undefined", 30), "Esc: no end within 30 s")
    rgb, after, status = page.canvas()
    # The request is taken at the next frame; the fade's 256 frames follow it.
    must(status == 0 and 256 <= after - before <= 259 and not any(rgb), "Esc: status %s after %d "
         "frames, black %s; expected 0 after 256, black" % (status, after - before, not any(rgb)))
    heard = heard_after(page, 0.5)
    must(page.evaluate(SOUND_STATE) == "closed" and not heard["blocks"],
         "after the fade the sound is still open: %s" % heard)
    done(page, "start and Esc")
    print("sound, %.1f frames a second slowed 4x; Esc: a %d-frame fade to black" % (fps, after - before))


def check_seed_frames(browser, url, seed=7):
    """?seed=N&rate=1 shows render_frames --seed N's frames in order, sampled every 0.2 s."""
    frames = rendered_frames(seed)
    page = browser.open("?seed=%d&rate=1" % seed, before_load=NO_WEB_AUDIO, url=url)
    page.wait_for("Module.introFramesShown > 0", 60)
    seen, deadline = [], time.monotonic() + 3.5
    while time.monotonic() < deadline:
        rgb = page.canvas()[0]
        if rgb in frames and frames.index(rgb) + 1 >= max(seen, default=0):
            seen.append(frames.index(rgb) + 1)
        else:  # before the first frame, the loading text
            must(not seen, "%s?seed=%d&rate=1: after frames %s the canvas shows no later "
                 "frame of render_frames'" % (url, seed, sorted(set(seen))))
        time.sleep(0.2)
    must(len(set(seen)) >= 2, "%s?seed=%d&rate=1: frames %s in 3.5 s" % (url, seed, sorted(set(seen))))
    done(page, "?seed=%d" % seed)
    print("%s?seed=%d&rate=1: frames %s, equal to render_frames'" % (url, seed, sorted(set(seen))))


# The canvas in CSS pixels; whether it, the close button and the message are wholly on screen.
LAYOUT = """(() => {
  const box = (id) => { const r = document.getElementById(id).getBoundingClientRect();
                        return [r.left, r.top, r.right, r.bottom]; };
  const inside = (b) => b[0] >= 0 && b[1] >= 0 && b[2] <= innerWidth && b[3] <= innerHeight;
  return {canvas: box("canvas"), frames: Module.introFramesShown, width: innerWidth,
          fits: ["canvas", "close", "message"].every((id) => inside(box(id))) &&
                document.documentElement.scrollWidth <= innerWidth};
})()"""
# Phone, phone turned, tablet, desktop: touch or not, the picture's width (None: as height allows).
VIEWPORTS = [(390, 844, True, 390), (844, 390, True, None), (768, 1024, True, 640),
             (1280, 800, False, 640)]


def thin_lines_kept(canvas, shot, scale):
    """Share of the 1-pixel lines' points (brighter than their row neighbours) still shown so."""
    light = lambda row, x: sum(row[x * 3:x * 3 + 3])  # noqa: E731
    kept, lines, side = 0, 0, int(1.5 * scale) + 2
    for y, x in ((y, x) for y in range(180, 400) for x in range(200, 440)):
        contrast = light(canvas[y], x) - max(light(canvas[y], x + d) for d in (-1, 1))
        if contrast >= 90:
            lines, row, at = lines + 1, int((y + 0.5) * scale), int((x + 0.5) * scale)
            near = [light(r, at + d) for r in shot[max(row - 1, 0):row + 2] for d in (-1, 0, 1)]
            kept += max(near) - min(light(shot[row], at + d) for d in (-side, side)) >= contrast / 8
    return kept / max(lines, 1), lines


def check_screens(browser):
    """Each viewport, turned too, shows all, thin lines kept; a tap starts the sound; Alt+Enter."""
    page = browser.open("?seed=3&rate=1", before_load=HELD_SOUND)
    for width, height, mobile, picture in VIEWPORTS:
        for w, h in ((width, height), (height, width)):
            shown = page.wait_for("Module.introFramesShown", 60)  # then a frame after the change
            page.emulate(w, h, mobile)
            layout = page.wait_for("(() => { const l = %s; return l.fits && l.width == %d && "
                                   "l.frames > %d && l; })()" % (LAYOUT, w, shown + 1), 10)
            must(layout, "%dx%d: %s" % (w, h, page.evaluate(LAYOUT)))
            left, top, right, bottom = layout["canvas"]
            must(not picture or w != width or right - left == picture,
                 "%dx%d: the picture is %s px wide, not %s" % (w, h, right - left, picture))
            if (w, h) != (width, height):
                continue
            for _ in range(6):  # the canvas and the screenshot of one frame
                rgb, before, _ = page.canvas()
                shot, after = page.screenshot(left, top, right, bottom)
                if after == before:
                    break
            kept, lines = thin_lines_kept([rgb[y * 1920:y * 1920 + 1920] for y in range(SIZE[1])],
                                          shot, (right - left) / SIZE[0])
            must(kept >= 0.88, "%dx%d: %.0f%% of %d thin line points shown" % (w, h, kept * 100, lines))
            print("%dx%d: %d pixels wide, %.0f%% of thin lines" % (w, h, right - left, kept * 100))
        if width == 390:
            for state, kind, points in (("suspended", "touchStart", [{"x": 200, "y": 150}]),
                                        ("running", "touchEnd", [])):
                must(page.wait_for("(%s) === '%s playing'" % (SOUND_STATE, state), 10),
                     "tap: the sound is not %s at the tap's %s" % (state, kind))
                browser.send("Input.dispatchTouchEvent", page.session, type=kind, touchPoints=points)
    # Not asked: frames across the switch, which headless Chromium may hold back for over 10 s.
    page.emulate(1280, 800, False, screenWidth=1920, screenHeight=1080)
    state = """[document.fullscreenElement ? document.fullscreenElement.id : null,
                canvas.style.width, canvas.style.height, canvas.width, canvas.height].join()"""
    for expected in ("screen,1280px,960px,640,480", ",640px,480px,640,480"):
        page.press("Enter", "Enter", 13, modifiers=1)  # 1: Alt
        must(page.wait_for("(%s) === %r" % (state, expected), 10),
             "Alt+Enter: %s, expected %s" % (page.evaluate(state), expected))
    done(page, "screens")
    print("tap: starts the sound; Alt+Enter: 1280x960 on a 1920x1080 screen, and back")


def check_once(browser):
    """?once, the module cut to its first order (7.68 s): its one pass, the fade, the page's end."""
    with open(os.path.join(SITE, "cubescroll.data"), "rb") as f, open(MODULE, "rb") as m:
        data, module = f.read(), m.read()
    with tempfile.TemporaryDirectory() as scratch:
        with open(one_order_module(os.path.join(scratch, "module.xm")), "rb") as f:
            short = data.replace(module, f.read())
    must(short != data, "cubescroll.data does not hold data/module.xm")
    page = browser.open("?once", replace=("cubescroll.data", short))
    started = page.wait_for("Module.introFramesShown > 0 && performance.now()", 60)
    ended = page.wait_for("window.introExitStatus !== undefined && performance.now()", 60)
    status = page.evaluate("window.introExitStatus")
    must(started and ended and status == 0 and 7.68 + 4.0 <= (ended - started) / 1000 <= 30,
         "?once: status %s, ended %s ms after the first frame, not after 7.68 s and the fade" % (
             status, ended and started and ended - started))
    done(page, "?once")
    print("?once: ended by itself %.1f s after the first frame" % ((ended - started) / 1000))


# URL parameters go to the program's parser, whole, the last winning; no WebAssembly, in words.
SEED_REFUSED = ("cubescroll: --seed: %s is not a whole number from 0 to 4294967295 (try "
                "'cubescroll --help')\n")
REFUSALS = [("?seed=5%00", None, 2, SEED_REFUSED % "'5\\x00'"),
            ("?seed=%0A5", None, 2, SEED_REFUSED % "'\\n5'"),
            ("?seed=1&seed=x", None, 2, SEED_REFUSED % "'x'"),
            ("?volume=101", None, 2, "cubescroll: --volume: "),
            ("", "delete window.WebAssembly;", None,
             "This browser cannot run the intro: it has no WebAssembly.")]


def check_parameters(browser, url):
    """?volume=0 plays silence (a parameter that is no option is ignored); the refusals."""
    page = browser.open("?utm_source=x&volume=0", before_load=SOUND_TAP, url=url)
    must(page.wait_for("(%s) === 'running playing'" % SOUND_STATE, 60), "?volume=0: no sound")
    heard = heard_after(page, 1)
    must(heard["blocks"] and heard["peak"] == 0, "?volume=0: %s, not silence" % heard)
    done(page, "?volume=0")
    for query, before_load, status, line in REFUSALS:
        page = browser.open(query, before_load=before_load, url=url)
        text = page.wait_for("document.getElementById('message').textContent", 60)
        exit = page.evaluate("window.introExitStatus")
        must(exit == status and (text or "").startswith(line) and text.count("\n") == 1, "%s %s: "
             "status %s, %r; expected %s, %r" % (url, query or before_load, exit, text, status, line))
        page.close()
    print("%s: ?volume=0 silent, %d refusals each in one line" % (url, len(REFUSALS)))


def in_folder(top):
    return {p[len(top) + 1:] for p in glob.glob(top + "/*") + glob.glob(top + "/*/*/")}


def main():
    if CHROMIUM is None:
        skip("chromium is not installed (scripts/setup.sh web installs it)")
    must(in_folder(SITE) == SITE_FILES, "the site folder holds %s" % sorted(in_folder(SITE)))
    with tempfile.TemporaryDirectory() as unpacked, chromium(SITE) as browser:
        zipfile.ZipFile(glob.glob(os.path.join(BUILD, "*-web.zip"))[0]).extractall(unpacked)
        must(in_folder(unpacked) == {"intro.html", "LICENSE.txt", "licences"} | LICENCES,
             "the web zip holds %s" % sorted(in_folder(unpacked)))
        for url in (None, "file://%s/intro.html" % unpacked):
            check_seed_frames(browser, url)
            check_parameters(browser, url)
        check_starts_and_closes(browser)
        check_screens(browser)
        check_once(browser)


if __name__ == "__main__":
    main()
