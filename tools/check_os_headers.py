#!/usr/bin/env python3
"""Fails when a file under src/ outside src/platform/ includes an operating system's header or
SDL's, and names each such line: the system and SDL are reached through src/platform/ only, so a
port touches that folder alone. Also fails when src/platform/'s portable files (those outside its
folders) include one, and when emscripten's headers appear anywhere but the browser's folder
(web/).

    tools/check_os_headers.py [SRC_DIR]
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*<([^>]+)>', re.MULTILINE)
# POSIX, Linux, X and Windows headers; the C and C++ standard headers are not among them.
SYSTEM = re.compile(r'^(unistd|fcntl|poll|dlfcn|pthread|signal|csignal|termios|spawn|syslog|'
                    r'windows|winbase|winuser|shellapi|shlobj|io|direct|process|mmsystem|'
                    r'timeapi|versionhelpers|emscripten)\.h$|^(sys|linux|X11|netinet|arpa|'
                    r'emscripten)/')
# SDL's, in either spelling its include path allows: <SDL2/SDL.h> or <SDL.h>, <SDL_audio.h>.
SDL = re.compile(r'^(SDL2/|SDL\.h$|SDL_[^/]*\.h$)')
SUFFIXES = (".h", ".hpp", ".cpp", ".cc", ".c")
# The folders of src/platform/ that may call the system.
SYSTEM_FOLDERS = ("posix", "win32", "web", "x11")
# The folders of src/platform/ that may call SDL: its own, and the system folders that reach
# through SDL to the window system.
SDL_FOLDERS = ("sdl",) + SYSTEM_FOLDERS
BROWSER_ONLY = re.compile(r'^emscripten(\.h$|/)')


def platform_folder(relative):
    parts = relative.split(os.sep)
    return parts[1] if len(parts) >= 3 and parts[0] == "platform" else None


def allowed(header, folder):
    if BROWSER_ONLY.search(header):
        return folder == "web"
    if SDL.search(header):
        return folder in SDL_FOLDERS
    return folder in SYSTEM_FOLDERS or not SYSTEM.search(header)


def offending_lines(src):
    found = []
    for folder, _, files in os.walk(src):
        for name in sorted(files):
            if not name.endswith(SUFFIXES):
                continue
            path = os.path.join(folder, name)
            relative = os.path.relpath(path, src)
            inside = platform_folder(relative)
            with open(path, encoding="utf-8") as source:
                text = source.read()
            for match in INCLUDE.finditer(text):
                if not allowed(match.group(1), inside):
                    line = text.count("\n", 0, match.start()) + 1
                    found.append("%s:%d: <%s>" % (relative, line, match.group(1)))
    return found


def main():
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "src")
    found = offending_lines(src)
    for line in found:
        print("system or SDL header outside the platform's folders: " + line)
    if not found:
        print("no system header outside src/platform/{%s}/, no SDL header outside "
              "src/platform/{%s}/" % (",".join(SYSTEM_FOLDERS), ",".join(SDL_FOLDERS)))
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
