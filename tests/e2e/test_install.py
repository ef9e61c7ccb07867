"""The installed intro: `cmake --install` into a temporary prefix installs exactly the program,
its capture module, data, desktop entry, icon, AppStream data, manual page and documents; the
tree still works after it is moved (and captures, finding its module); the desktop entry,
AppStream data and manual page validate. The Debian package made by cpack has its dependencies
computed from the program, FFmpeg's libraries (which only the capture loads) only recommended,
lintian finds no error in it, and its contents, unpacked with dpkg-deb, run and capture from an
unrelated directory with their data."""
import glob
import os
import shutil
import subprocess
import tempfile

from session import BUILD, CAPTURE_MODULE, FAST, capture_command, fail, peak, run, shows_header, xvfb

EXPECTED = {
    "bin/intro", "share/intro/module.xm", "share/intro/header.bmp",
    "share/applications/intro.desktop", "share/icons/hicolor/48x48/apps/intro.png",
    "share/metainfo/org.example.intro.metainfo.xml", "share/man/man6/intro.6.gz",
    "share/doc/intro/LICENSE", "share/doc/intro/README.md", "share/doc/intro/copyright",
    "share/doc/intro/changelog.gz",
}


def library_dir():
    """Where the build installs libraries, as configured (lib, or lib/<triplet> for /usr)."""
    with open(os.path.join(BUILD, "CMakeCache.txt")) as f:
        for line in f:
            if line.startswith("CMAKE_INSTALL_LIBDIR:"):
                return line.split("=", 1)[1].strip()
    fail("no CMAKE_INSTALL_LIBDIR in the build's cache")


def check_capture(program, cwd):
    """A short capture with the installed program, which must find its module."""
    result = subprocess.run([program] + capture_command("out.mkv", "--seconds", "0")[1:],
                            cwd=cwd, capture_output=True, text=True, timeout=300)
    if result.returncode != 0 or not os.path.getsize(os.path.join(cwd, "out.mkv")):
        fail("%s --capture: status %d: %s" % (program, result.returncode, result.stderr))


def command(*args, cwd=None):
    result = subprocess.run(list(args), capture_output=True, text=True, cwd=cwd, timeout=300)
    if result.returncode != 0:
        fail("%s: status %d: %s%s" % (" ".join(args), result.returncode, result.stdout[-2000:],
                                      result.stderr[-2000:]))
    return result


def main():
    tmp = tempfile.mkdtemp(prefix="intro_install_")
    prefix, moved = os.path.join(tmp, "prefix"), os.path.join(tmp, "moved")
    command("cmake", "--install", BUILD, "--prefix", prefix)
    installed = {os.path.relpath(os.path.join(d, f), prefix)
                 for d, _, files in os.walk(prefix) for f in files}
    expected = set(EXPECTED)
    if CAPTURE_MODULE:
        expected.add(library_dir() + "/intro/" + os.path.basename(CAPTURE_MODULE))
    if installed != expected:
        fail("installed files differ: extra %s, missing %s" %
             (sorted(installed - expected), sorted(expected - installed)))
    shutil.move(prefix, moved)
    command("desktop-file-validate", os.path.join(moved, "share/applications/intro.desktop"))
    command("appstreamcli", "validate", "--no-net",
            os.path.join(moved, "share/metainfo/org.example.intro.metainfo.xml"))
    man_page = os.path.join(moved, "share/man/man6/intro.6.gz")
    man = subprocess.run(["man", "--warnings", "-l", man_page],
                         capture_output=True, text=True, timeout=60,
                         env=dict(os.environ, MANWIDTH="80"))
    if man.returncode != 0 or man.stderr or "--rate" not in man.stdout:
        fail("the manual page: status %d, warnings %r" % (man.returncode, man.stderr[:500]))

    packages, unpacked = os.path.join(tmp, "packages"), os.path.join(tmp, "unpacked")
    command("cpack", "-G", "DEB", "-B", packages, cwd=BUILD)
    debs = glob.glob(os.path.join(packages, "intro_*_amd64.deb"))
    if len(debs) != 1:
        fail("cpack made %r" % debs)
    depends = command("dpkg-deb", "-f", debs[0], "Depends").stdout
    if "libsdl2" not in depends or "libopenmpt" not in depends or "libav" in depends or \
            "libsw" in depends:
        fail("the package's dependencies are not the program's libraries: " + depends)
    recommends = command("dpkg-deb", "-f", debs[0], "Recommends").stdout
    if CAPTURE_MODULE and not all(name in recommends for name in ("libavcodec", "libavformat", "libavutil",
                                               "libswscale", "libswresample")):
        fail("the package does not recommend FFmpeg's libraries: " + recommends)
    lintian = subprocess.run(["lintian", debs[0]], capture_output=True, text=True, timeout=300)
    errors = [line for line in lintian.stdout.splitlines() if line.startswith("E:")]
    if errors:
        fail("lintian: " + "; ".join(errors))
    command("dpkg-deb", "-x", debs[0], unpacked)

    with xvfb() as x:
        for program in (os.path.join(moved, "bin/intro"), os.path.join(unpacked, "usr/bin/intro")):
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
