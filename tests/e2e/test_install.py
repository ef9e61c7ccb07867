"""The installed intro: `cmake --install` into a temporary prefix installs exactly the program,
its data, desktop entry, icon, AppStream data, manual page and documents; the tree still works
after it is moved; the desktop entry, AppStream data and manual page validate. The Debian package
made by cpack has its dependencies computed from the program, lintian finds no error in it, and
its contents, unpacked with dpkg-deb, run from an unrelated directory with their data."""
import glob
import os
import shutil
import subprocess
import tempfile

from session import BUILD, FAST, Xvfb, fail, peak, read_header, run, shows_header

EXPECTED = {
    "bin/intro", "share/intro/module.xm", "share/intro/header.bmp",
    "share/applications/intro.desktop", "share/icons/hicolor/48x48/apps/intro.png",
    "share/metainfo/org.example.intro.metainfo.xml", "share/man/man6/intro.6.gz",
    "share/doc/intro/LICENSE", "share/doc/intro/README.md", "share/doc/intro/copyright",
    "share/doc/intro/changelog.gz",
}


def command(*args, cwd=None):
    result = subprocess.run(list(args), capture_output=True, text=True, cwd=cwd, timeout=300)
    if result.returncode != 0:
        fail("%s: status %d: %s%s" % (" ".join(args), result.returncode, result.stdout[-2000:],
                                      result.stderr[-2000:]))
    return result


def installed_files(prefix):
    return {os.path.relpath(os.path.join(d, f), prefix)
            for d, _, files in os.walk(prefix) for f in files}


def validate(prefix):
    command("desktop-file-validate", os.path.join(prefix, "share/applications/intro.desktop"))
    command("appstreamcli", "validate", "--no-net",
            os.path.join(prefix, "share/metainfo/org.example.intro.metainfo.xml"))
    man = subprocess.run(["man", "--warnings", "-l", os.path.join(prefix,
                                                                   "share/man/man6/intro.6.gz")],
                         capture_output=True, text=True, timeout=60,
                         env=dict(os.environ, MANWIDTH="80"))
    if man.returncode != 0 or man.stderr or "--rate" not in man.stdout:
        fail("the manual page: status %d, warnings %r" % (man.returncode, man.stderr[:500]))


def check_runs(program, display, what):
    elsewhere = tempfile.mkdtemp(prefix="intro_elsewhere_")
    result = run(display, FAST, elsewhere, program)
    os.rmdir(elsewhere)
    shown = shows_header(result.screen, read_header())
    if result.status != 0 or not shown or peak(result.sound) <= 0.01:
        fail("%s: status %d, header shown %s, sound peak %.4f: %s" %
             (what, result.status, shown, peak(result.sound), result.err))


def main():
    tmp = tempfile.mkdtemp(prefix="intro_install_")
    prefix = os.path.join(tmp, "prefix")
    command("cmake", "--install", BUILD, "--prefix", prefix)
    if installed_files(prefix) != EXPECTED:
        fail("installed files differ: extra %s, missing %s" %
             (sorted(installed_files(prefix) - EXPECTED), sorted(EXPECTED - installed_files(prefix))))
    moved = os.path.join(tmp, "moved")
    shutil.move(prefix, moved)
    validate(moved)

    packages = os.path.join(tmp, "packages")
    command("cpack", "-G", "DEB", "-B", packages, cwd=BUILD)
    debs = glob.glob(os.path.join(packages, "intro_*_amd64.deb"))
    if len(debs) != 1:
        fail("cpack made %r" % debs)
    depends = command("dpkg-deb", "-f", debs[0], "Depends").stdout
    if "libsdl2" not in depends or "libopenmpt" not in depends:
        fail("the package's dependencies lack the libraries: " + depends)
    lintian = subprocess.run(["lintian", debs[0]], capture_output=True, text=True, timeout=300)
    errors = [line for line in lintian.stdout.splitlines() if line.startswith("E:")]
    if errors:
        fail("lintian: " + "; ".join(errors))
    root = os.path.join(tmp, "unpacked")
    command("dpkg-deb", "-x", debs[0], root)

    with Xvfb() as xvfb:
        check_runs(os.path.join(moved, "bin/intro"), xvfb.display, "installed and moved")
        check_runs(os.path.join(root, "usr/bin/intro"), xvfb.display, "unpacked package")
    shutil.rmtree(tmp)
    print("ok")


main()
