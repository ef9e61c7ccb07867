#!/usr/bin/env python3
"""Plants one-line faults in src/ and reports which of them the test suite catches.

Run on demand, not in CI (it rebuilds once per mutant):
    tools/mutants.py [--rev REV] [--only ID,ID] [--work DIR] [--keep]

The tree of REV (default HEAD) is exported into a scratch directory and built there once,
without optimisation-heavy settings. Each mutant then replaces one line, rebuilds the test
programs and render_frames, and runs the unit tests of every folder and the golden frames; the
first failure counts as caught. The file is restored before the next mutant. A mutant whose
line is not found is reported as "absent" (the code moved: give it another pattern).

Each mutant lists (file, original, replacement) alternatives: the first whose original occurs
exactly once in its file is planted, so one fault can be named in the code before and after a
rewrite of that file.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FOLDERS = ["support", "platform", "gfx", "music", "intro"]
TARGETS = [f"{folder}_tests" for folder in FOLDERS] + ["render_frames"]

# (id, what the fault does, [(file, original, replacement), ...])
MUTANTS = [
    ("support-seed", "seeding recurrence constant off by two",
     [("src/support/random.cpp", "1664525u + 1013904223u", "1664525u + 1013904221u")]),
    ("support-unit", "random_unit scaled by 2^-31",
     [("src/support/random.cpp", "(1.0 / 4294967296.0)", "(1.0 / 2147483648.0)")]),
    ("platform-alt-ctrl", "Ctrl wins over Alt in the key tables",
     [("src/platform/keyboard.cpp",
       "if (modifiers & (KEY_MOD_ALT | KEY_MOD_RIGHT_ALT)) return alt;",
       "if ((modifiers & (KEY_MOD_ALT | KEY_MOD_RIGHT_ALT)) && "
       "!(modifiers & (KEY_MOD_CTRL | KEY_MOD_RIGHT_CTRL))) return alt;")]),
    ("platform-ring-full", "a full key ring overwrites its oldest code without dropping it",
     [("src/platform/keyboard.cpp", "if (ring.write == ring.read) ring.read = (ring.read + 1) & 15;",
       "")]),
    ("platform-extended", "special codes of extended keys lose their low byte",
     [("src/platform/keyboard.cpp", "return value | 0xFF;", "return value | 0xFE;")]),
    ("platform-pop-hit", "reading a key leaves the key-hit flag set",
     [("src/platform/keyboard.cpp", "  take_key_hit();\n  release_presenter_lock();\n  return code;",
       "  release_presenter_lock();\n  return code;")]),
    ("platform-sleep-slices", "a wait of exactly 100 ms is slept in one piece",
     [("src/platform/timing.cpp", "if (ms >= 100) {", "if (ms > 100) {")]),
    ("platform-retrace-exact", "a call exactly on a missed retrace waits for the next one",
     [("src/platform/retrace_pacer.cpp", "if (pacer.next_ns < now_ns) {", "if (pacer.next_ns <= now_ns) {")]),
    ("platform-handoff-turn", "a frame never fetched keeps the next frame waiting too",
     [("src/platform/frame_handoff.cpp", "  handoff.turn_pending = false;\n  return fetched;", "  return fetched;")]),
    ("platform-handoff-late", "a frame the window side never fetched counts as fetched",
     [("src/platform/frame_handoff.cpp", "[&] { return !handoff.turn_pending; });",
       "[&] { return true; });")]),
    ("platform-period-round", "the refresh period is truncated instead of rounded",
     [("src/platform/retrace_pacer.cpp", "(1000000000 + rate / 2) / rate", "1000000000 / rate")]),
    ("platform-active-minimised", "a minimised window that gains the focus counts as active",
     [("src/platform/sdl/window_events.cpp", "w.active = w.focused && !w.minimised;",
       "w.active = w.focused;")]),
    ("platform-key-repeat", "a held key's auto-repeat queues nothing",
     [("src/platform/sdl/sdl_key_events.cpp", "  if (is_system_key(key)) return;\n  const PcScanCode",
       "  if (is_system_key(key) || event.repeat) return;\n  const PcScanCode")]),
    ("platform-size-limit", "a data file exactly at the size limit is refused",
     [("src/platform/posix/data_file.cpp", "if (static_cast<uint64_t>(info.st_size) > max_bytes)",
       "if (static_cast<uint64_t>(info.st_size) >= max_bytes)")]),
    ("platform-bus-any-file", "any file named bus in the runtime directory is taken for the bus",
     [("src/platform/posix/session_bus.cpp", "== 0 && S_ISSOCK(info.st_mode))", "== 0)")]),
    ("gfx-key-range", "key_down lets negative scan codes through",
     [("src/gfx/keys.cpp", "if (static_cast<unsigned>(scan_code) > 127) return 0;",
       "if (scan_code > 127) return 0;")]),
    ("gfx-blend-borrow", "scalar blend loses the red/blue borrow mask",
     [("src/gfx/color.h", "const uint32_t rb = (d_rb + (((s_rb - d_rb) * a) >> 8)) & kPairs;",
       "const uint32_t rb = d_rb + (((s_rb - d_rb) * a) >> 8);")]),
    ("gfx-vector-weight", "the vector colour blend weighs the destination by 255 - a",
     [("src/gfx/simd_sse2.cpp", "const __m128i weight_d = _mm_set1_epi16(static_cast<short>(256 - a));",
       "const __m128i weight_d = _mm_set1_epi16(static_cast<short>(255 - a));"),
      ("src/gfx/simd_blend.h", "return (256 - a) * 0x10001u;", "return (255 - a) * 0x10001u;")]),
    ("gfx-avx2-fill-tail", "AVX2 fill stores its last vector one pixel early",
     [("src/gfx/simd_avx2.cpp", "_mm256_storeu_si256(reinterpret_cast<__m256i*>(last), v);",
       "_mm256_storeu_si256(reinterpret_cast<__m256i*>(last - 4), v);")]),
    ("gfx-avx512-skip", "AVX-512 alpha blit skips the opaque blocks instead of the clear ones",
     [("src/gfx/simd_avx512.cpp", "if (_mm512_test_epi32_mask(s, alpha) == 0) continue;",
       "if (_mm512_test_epi32_mask(s, alpha) != 0) continue;")]),
    ("gfx-clip-right", "line clipping puts the right edge one pixel outside",
     [("src/gfx/lines.cpp", "x1 = c.x + c.w - 1;", "x1 = c.x + c.w;")]),
    ("gfx-bresenham", "shallow Bresenham steps by the wrong error term",
     [("src/gfx/lines.cpp", "err -= 2 * dx;", "err -= 2 * dy;")]),
    ("gfx-box-top", "box outline drops its top edge on the clip edge",
     [("src/gfx/lines.cpp", "if (y1 >= c.y) row(y1);", "if (y1 > c.y) row(y1);")]),
    ("gfx-pixel-clip", "a pixel at x = right clip edge counts as inside",
     [("src/gfx/pixels.cpp", "if (px < ctx.clip_x || py < ctx.clip_y || px >= ctx.clip_x + ctx.clip_w ||",
       "if (px < ctx.clip_x || py < ctx.clip_y || px > ctx.clip_x + ctx.clip_w ||"),
      ("src/gfx/draw_context.h", "x < clip.x + clip.w && y < clip.y + clip.h;",
       "x <= clip.x + clip.w && y < clip.y + clip.h;")]),
    ("gfx-round", "negative coordinates round towards +infinity",
     [("src/gfx/draw_context.cpp", "return static_cast<int>(v > 0 ? v + 0.5 : v - 0.5);",
       "return static_cast<int>(v > 0 ? v + 0.5 : v + 0.5);")]),
    ("gfx-unlock", "the outermost unlock keeps the presenter lock",
     [("src/gfx/screen.cpp", "if (--screen->lock_count == 0) screen->driver->release_lock();",
       "if (--screen->lock_count == 1) screen->driver->release_lock();")]),
    ("gfx-set-pages-dirty", "showing another page does not mark its lines",
     [("src/gfx/screen.cpp", "std::memset(screen->dirty_lines.data(), 1, screen->dirty_lines.size());",
       "")]),
    ("gfx-glyph-bits", "glyph bits read from the wrong end",
     [("src/gfx/text.cpp", "if (!((glyph[i / 8] >> (i % 8)) & 1)) continue;",
       "if (!((glyph[i / 8] >> (7 - i % 8)) & 1)) continue;"),
      ("src/gfx/text.cpp", "return (row[i / 8] >> (i % 8)) & 1;", "return (row[i / 8] >> (7 - i % 8)) & 1;")]),
    ("gfx-source-clamp", "put_image lets a source corner equal to the size through",
     [("src/gfx/image.cpp", "const auto clamp = [](int v, int size) { return v < 0 ? 0 : v >= size ? size - 1 : v; };",
       "const auto clamp = [](int v, int size) { return v < 0 ? 0 : v > size ? size - 1 : v; };")]),
    ("gfx-magenta", "the default image fill is not quite magenta",
     [("src/gfx/image.cpp", "if (bytes_per_pixel == 4) return 0xFFFF00FFu;",
       "if (bytes_per_pixel == 4) return 0xFFFF00FEu;")]),
    ("gfx-bmp-expand", "channels of 4 to 8 bits widen with the wrong low bits",
     [("src/gfx/bmp_decode.cpp", "if (bits >= 4) return (v << (8 - bits)) | (v >> (2 * bits - 8));",
       "if (bits >= 4) return (v << (8 - bits)) | (v >> (2 * bits - 7));")]),
    ("gfx-bmp-header", "a 15-byte info header is accepted",
     [("src/gfx/bmp_decode.cpp", "if (h < 12 || (h > 12 && h < 16)) return kBadData;",
       "if (h < 12 || (h > 12 && h < 15)) return kBadData;"),
      ("src/gfx/bmp_decode.cpp", "if (h < 12 || (h > 12 && h < 16)) return ERROR_BAD_FILE_DATA;",
       "if (h < 12 || (h > 12 && h < 15)) return ERROR_BAD_FILE_DATA;")]),
    ("gfx-bmp-stride", "BMP rows padded to the wrong multiple",
     [("src/gfx/bmp_decode.cpp", "(static_cast<uint64_t>(layout.width) * stored_bits_per_pixel(bits) + 31) / 32 * 4;",
       "(static_cast<uint64_t>(layout.width) * stored_bits_per_pixel(bits) + 30) / 32 * 4;"),
      ("src/gfx/bmp_decode.cpp", "stored_bits_per_pixel(bits) + 31) / 32 * 4;",
       "stored_bits_per_pixel(bits) + 30) / 32 * 4;")]),
    ("gfx-blend-rule", "colours of alpha 0 are drawn plain instead of blended",
     [("src/gfx/draw_context.cpp", "(colour & 0xFF000000u) != 0xFF000000u;",
       "(colour & 0xFF000000u) != 0xFF000000u && (colour >> 24) != 0;"),
      ("src/gfx/write_rules.cpp", "ctx.bytes_per_pixel == 4 && !is_opaque(colour);",
       "ctx.bytes_per_pixel == 4 && !is_opaque(colour) && (colour >> 24) != 0;")]),
    ("gfx-bmp-top-down", "top-down files are stored bottom-up",
     [("src/gfx/bmp_decode.cpp", "layout.top_down = true;", "layout.top_down = false;")]),
    ("gfx-bmp-nibble-order", "packed palette indices read from the low bits first",
     [("src/gfx/bmp_decode.cpp",
       "index = (in[x / per_byte] >> (8 - bits * (slot + 1))) & ((1u << bits) - 1);",
       "index = (in[x / per_byte] >> (bits * slot)) & ((1u << bits) - 1);")]),
    ("gfx-bmp-16-masks", "16-bit files without bit fields take the 8-8-8-8 masks",
     [("src/gfx/bmp_decode.cpp", "std::copy_n(layout.bits_per_pixel <= 16 ? k555 : k8888, 4, layout.masks);",
       "std::copy_n(layout.bits_per_pixel < 16 ? k555 : k8888, 4, layout.masks);")]),
    ("gfx-bmp-depth-range", "a 33-bit file is taken for a depth the converters can hold",
     [("src/gfx/bmp_decode.cpp", "(bits >= 9 && bits <= 32);", "(bits >= 9 && bits <= 33);")]),
    ("gfx-bmp-small-depth", "2- and 3-bit files are taken for depths the converters can hold",
     [("src/gfx/bmp_decode.cpp", "return bits == 1 || bits == 4 || bits == 8",
       "return bits <= 4 || bits == 8")]),
    ("gfx-bmp-offset", "a data offset inside the info header is accepted",
     [("src/gfx/bmp_decode.cpp", "if (stated_offset < headers_end) return false;",
       "if (stated_offset < kFileHeaderSize) return false;")]),
    ("gfx-put-skip-x", "put_image forgets the columns clipped off on the left",
     [("src/gfx/image.cpp", "(from.x + part.skip_x) * src.bytes_per_pixel;",
       "from.x * src.bytes_per_pixel;")]),
    ("gfx-alpha-mask", "an alpha mask writes the blue byte instead of alpha",
     [("src/gfx/image.cpp", "for (int x = 0; x < width; ++x) d[4 * x + 3] = s[x];",
       "for (int x = 0; x < width; ++x) d[4 * x] = s[x];")]),
    ("gfx-glyph-top-clip", "text cut at the top edge starts at the glyph's first row",
     [("src/gfx/text.cpp",
       "const uint8_t* glyph = font.data + (code * font.height + part.skip_y) * bytes_per_row;",
       "const uint8_t* glyph = font.data + code * font.height * bytes_per_row;")]),
    ("gfx-glyph-right-clip", "the last glyph of a line is not cut at the right clip edge",
     [("src/gfx/text.cpp", "const int64_t from = std::max(k * w, first), to = std::min(k * w + w, end);",
       "const int64_t from = std::max(k * w, first), to = k * w + w;")]),
    ("gfx-text-wrap", "printed text wraps one cell past the last column",
     [("src/gfx/text.cpp", "if (cursor.column >= columns) next_row();",
       "if (cursor.column > columns) next_row();")]),
    ("gfx-copy-page-lock", "copy_page takes the lock and marks lines inside a held lock",
     [("src/gfx/screen.cpp", "const bool mark = destination == screen->visible_index && screen->lock_count == 0;",
       "const bool mark = destination == screen->visible_index;")]),
    ("gfx-unlock-hidden", "unlocking marks lines of a page that is not shown",
     [("src/gfx/screen.cpp", "if (draw_context().work_page == screen->visible_index) {", "{")]),
    ("gfx-sse2-blit-tail", "the SSE2 alpha blit drops the last pixel of a ragged row",
     [("src/gfx/simd_sse2.cpp", "blit_tail(src + x, dst + x, count - x);",
       "blit_tail(src + x, dst + x, count - x - 1);")]),
    ("gfx-avx512-short-fill", "the AVX-512 fill of 8 to 15 pixels writes one past the end",
     [("src/gfx/simd_avx512.cpp",
       "_mm256_storeu_si256(reinterpret_cast<__m256i*>(p + n - 8), _mm512_castsi512_si256(v));",
       "_mm256_storeu_si256(reinterpret_cast<__m256i*>(p + n - 7), _mm512_castsi512_si256(v));")]),
    ("music-ramp-end", "the volume ramp stops one step short of its target",
     [("src/music/gain_ramp.cpp", "i + 1 == frames ? to :", "i == frames ? to :")]),
    ("music-ring-oldest", "the frame ring forgets one more frame than it must",
     [("src/music/frame_ring.cpp", "std::max<int64_t>(0, ring.written - RING_FRAMES);",
       "std::max<int64_t>(0, ring.written - RING_FRAMES + 1);")]),
    ("music-full-scale", "a full-scale peak reads 32767",
     [("src/music/analysis.cpp", "if (peak >= 1.0f) return 32768;", "if (peak >= 1.0f) return 32767;")]),
    ("music-volume-clamp", "a volume above 1 amplifies the music",
     [("src/music/module_player.cpp", "if (volume > 1.0f) volume = 1.0f;", "")]),
    ("intro-bar-alpha", "raster bars one step more opaque",
     [("src/intro/raster_bars.cpp", "const auto a = static_cast<uint32_t>(16 * k);",
       "const auto a = static_cast<uint32_t>(16 * k + 1);")]),
    ("intro-star-wrap", "stars wrap one position late",
     [("src/intro/starfield.cpp", "if (Starfield.x[i] >= 640.0f) {", "if (Starfield.x[i] > 640.0f) {")]),
    ("intro-fade", "the fade darkens twice as fast",
     [("src/intro/sequencer.cpp", "++fade_alpha;", "fade_alpha += 2;")]),
    ("intro-level-bar", "level bars from the peak >> 4",
     [("src/intro/analyser.cpp", "const uint32_t scaled = peak >> 5;", "const uint32_t scaled = peak >> 4;")]),
    ("intro-scroll-restart", "the scroll text starts over while its last column still shows",
     [("src/intro/scroll_text.cpp", "if (ScrollPosition < -8 * length)", "if (ScrollPosition <= -8 * length)")]),
    ("intro-scale-range", "--scale 9 is accepted",
     [("src/intro/command_line.cpp", "take_number(name, value, 1, 8, number, message)",
       "take_number(name, value, 1, 9, number, message)"),
      ("src/intro/command_line.cpp", '"scale", 0, "N", WHOLE_NUMBER, 1, 8,',
       '"scale", 0, "N", WHOLE_NUMBER, 1, 9,')]),
    ("intro-option-ambiguous", "an ambiguous abbreviation stands for the last option it starts",
     [("src/intro/command_line.cpp", "if (count == 1) return found;",
       "if (count >= 1) return found;")]),
    ("intro-option-newline", "a newline in a value reaches the message raw",
     [("src/intro/command_line.cpp", 'out += "\\\\n";', "out += '\\n';")]),
    ("intro-option-capture-window", "a window option beside --capture is ignored, not refused",
     [("src/intro/command_line.cpp",
       "if (row.scope == WINDOW_ONLY && window_option == nullptr) window_option = &row;", "")]),
    ("intro-wobble-phase", "the header's strips wave against the frame instead of with it",
     [("src/intro/header_wobble.cpp", "static_cast<uint32_t>(frame) + static_cast<uint32_t>(i)",
       "static_cast<uint32_t>(frame) - static_cast<uint32_t>(i)")]),
    ("intro-star-respawn", "a star that leaves the page re-enters 640 to the left instead of at 0",
     [("src/intro/starfield.cpp", "Starfield.x[i] = 0.0f;", "Starfield.x[i] -= 640.0f;")]),
    ("intro-cube-projection", "the cube's perspective divides by 300 + z instead of 300 - z",
     [("src/intro/cube.cpp", "const double s = 300.0 / (300.0 - src[v].z);",
       "const double s = 300.0 / (300.0 + src[v].z);")]),
    ("intro-cube-rotation", "the rotation about x takes the wrong sign for z",
     [("src/intro/cube.cpp", "const float z1 = static_cast<float>(sa * p.y + ca * p.z);",
       "const float z1 = static_cast<float>(sa * p.y - ca * p.z);")]),
    ("intro-wobble-last-row", "strips below the picture wrap to its top instead of repeating the last row",
     [("src/intro/header_wobble.cpp", "HeaderImage, 0, i, 512, i, 0,",
       "HeaderImage, 0, i % 96, 512, i % 96, 0,")]),
]


def run(command, cwd, timeout, env=None):
    try:
        result = subprocess.run(command, cwd=cwd, env=env, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, text=True, timeout=timeout)
        return result.returncode, result.stdout
    except subprocess.TimeoutExpired as expired:
        return -1, f"timed out after {timeout} s: {expired.cmd}"


def export_tree(rev, work):
    archive = subprocess.run(["git", "-C", ROOT, "archive", rev], check=True,
                             stdout=subprocess.PIPE).stdout
    subprocess.run(["tar", "-x", "-C", work], input=archive, check=True)


def build(tree, jobs):
    return run(["cmake", "--build", "build", "-j", str(jobs), "--target", *TARGETS], tree, 3600)


def configure(tree):
    return run(["cmake", "-S", ".", "-B", "build", "-DCMAKE_BUILD_TYPE=Debug",
                "-DCMAKE_CXX_FLAGS_DEBUG=-O1", "-DINTRO_BENCH=OFF"], tree, 600)


def run_suite(tree):
    """Name of the first part of the suite that fails, or None when everything passes."""
    build_dir = os.path.join(tree, "build")
    for folder in FOLDERS:
        status, _ = run([os.path.join(build_dir, f"{folder}_tests"), "--gtest_brief=1"],
                        os.path.join(tree, "tests", folder), 900)
        if status != 0:
            return f"{folder}_tests" if status > 0 else f"{folder}_tests (crash/timeout)"
    env = dict(os.environ, INTRO_BUILD_DIR=build_dir, INTRO_DATA_DIR=os.path.join(tree, "data"),
               INTRO_BIN=os.path.join(build_dir, "cubescroll"))  # INTRO_COMMAND
    status, _ = run([sys.executable, "test_golden_frames.py"], os.path.join(tree, "tests", "e2e"),
                    1800, env)
    return "golden frames" if status != 0 else None


def plant(tree, alternatives):
    """Applies the first alternative that matches exactly once; returns (path, line, original)."""
    for relative, original, replacement in alternatives:
        path = os.path.join(tree, relative)
        if not os.path.exists(path):
            continue
        with open(path) as f:
            text = f.read()
        if text.count(original) != 1:
            continue
        line = text[:text.index(original)].count("\n") + 1
        with open(path, "w") as f:
            f.write(text.replace(original, replacement))
        return relative, line, text
    return None, 0, None


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rev", default="HEAD", help="git revision to mutate (default HEAD)")
    parser.add_argument("--only", help="comma-separated mutant ids")
    parser.add_argument("--work", help="scratch directory (default: a new temporary one)")
    parser.add_argument("--keep", action="store_true", help="keep the scratch directory")
    parser.add_argument("--jobs", type=int, default=2)
    args = parser.parse_args()

    # Named once, so that the table says which tree was mutated even if HEAD moves meanwhile.
    commit = subprocess.run(["git", "-C", ROOT, "rev-parse", "--short", args.rev], check=True,
                            stdout=subprocess.PIPE, text=True).stdout.strip()
    chosen = MUTANTS
    if args.only:
        wanted = set(args.only.split(","))
        chosen = [m for m in MUTANTS if m[0] in wanted]
    work = args.work or tempfile.mkdtemp(prefix="mutants-")
    os.makedirs(work, exist_ok=True)
    tree = os.path.join(work, "tree")
    if not os.path.exists(tree):
        os.makedirs(tree)
        export_tree(commit, tree)
        status, output = configure(tree)
        if status != 0:
            print(output)
            return 2
    status, output = build(tree, args.jobs)
    if status != 0:
        print(output[-4000:])
        return 2
    unmutated = run_suite(tree)
    if unmutated:
        print(f"the unmutated tree fails in {unmutated}: fix that first")
        return 2

    rows = []
    for ident, what, alternatives in chosen:
        started = time.time()
        relative, line, original = plant(tree, alternatives)
        if relative is None:
            rows.append((ident, "-", what, "absent", ""))
            continue
        status, output = build(tree, args.jobs)
        if status != 0:
            result, by = "build failed", output.strip().splitlines()[-1][:60] if output else ""
        else:
            caught = run_suite(tree)
            result, by = ("caught", caught) if caught else ("MISSED", "")
        with open(os.path.join(tree, relative), "w") as f:
            f.write(original)
        rows.append((ident, f"{relative}:{line}", what, result, by))
        print(f"{ident}: {result} {by} ({time.time() - started:.0f} s)", file=sys.stderr, flush=True)
    build(tree, args.jobs)  # leave the scratch tree unmutated

    print(f"mutants of {args.rev} ({commit})")
    header = ("id", "where", "fault", "result", "caught by")
    widths = [max(len(str(r[i])) for r in rows + [header]) for i in range(5)]
    for row in [header, tuple("-" * w for w in widths)] + rows:
        print("  ".join(str(cell).ljust(width) for cell, width in zip(row, widths)).rstrip())
    caught = sum(1 for r in rows if r[3] == "caught")
    print(f"{caught} of {len(rows)} caught")
    if not args.keep and not args.work:
        shutil.rmtree(work, ignore_errors=True)
    return 0 if caught == len(rows) else 1


if __name__ == "__main__":
    sys.exit(main())
