"""The installed intro: `cmake --install` into a temporary prefix installs exactly the program,
its capture module, data, desktop entry, icons at each size, AppStream data, manual page and
documents, all named after the command; the tree still works after it is moved (and captures,
finding its module); the desktop entry, AppStream data and manual page validate. `make uninstall`
then removes every installed file and each folder the install created, and nothing that was there
before. The Debian package made by cpack has its dependencies computed from the program, FFmpeg's
libraries (which only the capture loads) only recommended, and the libdecor plugin recommended;
lintian finds no error in it, and its contents, unpacked with dpkg-deb, run and capture from an
unrelated directory with their data. (test_install_package installs the package on the system
itself.)"""
import contextlib
import os
import shutil
import struct
import subprocess
import tempfile

from session import (BUILD, CAPTURE_MODULE, COMMAND, FAST, capture_command, checked, fail,
                     make_package, peak, run, shows_header, xvfb)

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
ICONS = {"share/icons/hicolor/%dx%d/apps/%s.png" % (size, size, COMMAND): size
         for size in ICON_SIZES}
EXPECTED = {path % {"c": COMMAND} for path in (
    "bin/%(c)s", "share/%(c)s/module.xm", "share/%(c)s/header.bmp",
    "share/applications/%(c)s.desktop", "share/metainfo/org.example.%(c)s.metainfo.xml",
    "share/man/man6/%(c)s.6.gz", "share/doc/%(c)s/LICENSE", "share/doc/%(c)s/README.md",
    "share/doc/%(c)s/copyright", "share/doc/%(c)s/changelog.gz")} | set(ICONS)
# Folders of the prefix before the install, as /usr/local/bin is on Debian, and another
# program's file: uninstalling must leave all of them.
BEFORE = {"bin/", "share/", "share/man/", "share/applications/", "share/applications/other.desktop"}
# What the install writes in the build tree about itself, which the test's own install replaces.
RECORDS = ("install_manifest.txt", "install_prefix.txt", "install_created_dirs.txt")


def library_dir():
    """Where the build installs libraries, as configured (lib, or lib/<triplet> for /usr)."""
    with open(os.path.join(BUILD, "CMakeCache.txt")) as f:
        for line in f:
            if line.startswith("CMAKE_INSTALL_LIBDIR:"):
                return line.split("=", 1)[1].strip()
    fail("no CMAKE_INSTALL_LIBDIR in the build's cache")


def expected_files():
    if not CAPTURE_MODULE:
        return EXPECTED
    return EXPECTED | {"%s/%s/%s" % (library_dir(), COMMAND, os.path.basename(CAPTURE_MODULE))}


def check_capture(program, cwd):
    """A short capture with the installed program, which must find its module."""
    result = subprocess.run([program] + capture_command("out.mkv", "--seconds", "0")[1:],
                            cwd=cwd, capture_output=True, text=True, timeout=300)
    if result.returncode != 0 or not os.path.getsize(os.path.join(cwd, "out.mkv")):
        fail("%s --capture: status %d: %s" % (program, result.returncode, result.stderr))


def tree(top):
    """Every folder (with a trailing slash) and file under top, relative to it."""
    paths = set()
    for directory, folders, files in os.walk(top):
        paths |= {os.path.relpath(os.path.join(directory, f), top) + "/" for f in folders}
        paths |= {os.path.relpath(os.path.join(directory, f), top) for f in files}
    return paths


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        fail("%s is not a PNG file" % path)
    return struct.unpack(">II", head[16:24])


@contextlib.contextmanager
def build_records_kept():
    """A developer's own install from this build can still be uninstalled after the test."""
    saved = {}
    for name in RECORDS:
        path = os.path.join(BUILD, name)
        if os.path.exists(path):
            with open(path, "rb") as f:
                saved[name] = f.read()
    try:
        yield
    finally:
        for name in RECORDS:
            path = os.path.join(BUILD, name)
            if name in saved:
                with open(path, "wb") as f:
                    f.write(saved[name])
            elif os.path.exists(path):
                os.remove(path)


def install_and_uninstall(prefix, moved):
    """Installs into prefix, copies the installed tree to moved, uninstalls from prefix."""
    for path in sorted(BEFORE):  # each folder before what it holds
        if path.endswith("/"):
            os.makedirs(os.path.join(prefix, path), exist_ok=True)
        else:
            open(os.path.join(prefix, path), "w").close()
    checked("cmake", "--install", BUILD, "--prefix", prefix)
    installed = {p for p in tree(prefix) if not p.endswith("/")} - BEFORE
    expected = expected_files()
    if installed != expected:
        fail("installed files differ: extra %s, missing %s" %
             (sorted(installed - expected), sorted(expected - installed)))
    for path, size in ICONS.items():
        if png_size(os.path.join(prefix, path)) != (size, size):
            fail("%s is %dx%d" % ((path,) + png_size(os.path.join(prefix, path))))
    shutil.copytree(prefix, moved, symlinks=True)
    checked("make", "-C", ROOT, "uninstall", "BUILD=" + BUILD)
    left = tree(prefix)
    if left != BEFORE:
        fail("make uninstall left %s and removed %s" % (sorted(left - BEFORE),
                                                        sorted(BEFORE - left)))


def check_installed_files(moved):
    checked("desktop-file-validate",
            os.path.join(moved, "share/applications/%s.desktop" % COMMAND))
    checked("appstreamcli", "validate", "--no-net",
            os.path.join(moved, "share/metainfo/org.example.%s.metainfo.xml" % COMMAND))
    man_page = os.path.join(moved, "share/man/man6/%s.6.gz" % COMMAND)
    man = subprocess.run(["man", "--warnings", "-l", man_page],
                         capture_output=True, text=True, timeout=60,
                         env=dict(os.environ, MANWIDTH="80"))
    if man.returncode != 0 or man.stderr or "--rate" not in man.stdout or \
            not man.stdout.lstrip().startswith(COMMAND.upper() + "(6)"):
        fail("the manual page: status %d, warnings %r, start %r" %
             (man.returncode, man.stderr[:500], man.stdout[:100]))


def check_package(packages, unpacked):
    deb = make_package(packages)
    depends = checked("dpkg-deb", "-f", deb, "Depends").stdout
    if "libsdl2" not in depends or "libopenmpt" not in depends or "libav" in depends or \
            "libsw" in depends:
        fail("the package's dependencies are not the program's libraries: " + depends)
    recommends = checked("dpkg-deb", "-f", deb, "Recommends").stdout
    if "libdecor-0-plugin-1-cairo" not in recommends:
        fail("the package does not recommend the libdecor plugin: " + recommends)
    if CAPTURE_MODULE and not all(name in recommends for name in (
            "libavcodec", "libavformat", "libavutil", "libswscale", "libswresample")):
        fail("the package does not recommend FFmpeg's libraries: " + recommends)
    lintian = subprocess.run(["lintian", deb], capture_output=True, text=True, timeout=300)
    errors = [line for line in lintian.stdout.splitlines() if line.startswith("E:")]
    if errors:
        fail("lintian: " + "; ".join(errors))
    checked("dpkg-deb", "-x", deb, unpacked)


def main():
    tmp = tempfile.mkdtemp(prefix="intro_install_")
    prefix, moved = os.path.join(tmp, "prefix"), os.path.join(tmp, "moved")
    packages, unpacked = os.path.join(tmp, "packages"), os.path.join(tmp, "unpacked")
    with build_records_kept():
        install_and_uninstall(prefix, moved)
        check_installed_files(moved)
        check_package(packages, unpacked)

    with xvfb() as x:
        for program in (os.path.join(moved, "bin", COMMAND),
                        os.path.join(unpacked, "usr/bin", COMMAND)):
            elsewhere = tempfile.mkdtemp(dir=tmp)  # an unrelated directory
            result = run(x.display, FAST, elsewhere, program)
            shown = shows_header(result.screen)
            if result.status != 0 or not shown or peak(result.sound) <= 0.01:
                fail("%s: status %d, header shown %s, sound peak %.4f: %s" %
                     (program, result.status, shown, peak(result.sound), result.err))
            if CAPTURE_MODULE:
                check_capture(program, elsewhere)
    shutil.rmtree(tmp)
    print("ok")


main()
