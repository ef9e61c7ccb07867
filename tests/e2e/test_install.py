"""The installed intro: `cmake --install` into a prefix and `make uninstall`, the moved tree,
the Debian package (one cpack run) unpacked and, as root, installed on the system and purged."""
import contextlib
import os
import re
import shutil
import struct
import tempfile

from session import (BUILD, CAPTURE_MODULE, COMMAND, FAST, call, capture_command, checked, must,
                     peak, read, run, shows_header, write, xvfb)

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
ICONS = {"share/icons/hicolor/%dx%d/apps/%s.png" % (size, size, COMMAND): size
         for size in ICON_SIZES}
EXPECTED = {path % {"c": COMMAND} for path in (
    "bin/%(c)s", "share/%(c)s/module.xm", "share/%(c)s/header.bmp",
    "share/applications/%(c)s.desktop", "share/metainfo/org.example.%(c)s.metainfo.xml",
    "share/man/man6/%(c)s.6.gz", "share/doc/%(c)s/LICENSE", "share/doc/%(c)s/README.md",
    "share/doc/%(c)s/copyright", "share/doc/%(c)s/changelog.gz")} | set(ICONS)
# The prefix's folders (as /usr/local's on Debian) and another's file: uninstalling leaves them.
BEFORE = {"bin/", "share/", "share/man/", "share/applications/", "share/applications/other.desktop"}
# What the install writes in the build tree about itself, which the test's own install replaces.
RECORDS = ("install_manifest.txt", "install_prefix.txt", "install_created_dirs.txt")
PNG = b"\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR"


def expected_files():
    """EXPECTED and the capture's module in the build's library folder (lib or lib/<triplet>)."""
    if not CAPTURE_MODULE:
        return EXPECTED
    with open(os.path.join(BUILD, "CMakeCache.txt")) as f:
        libdir = re.search(r"^CMAKE_INSTALL_LIBDIR:\w+=(.*)$", f.read(), re.M)[1]
    return EXPECTED | {"%s/%s/%s" % (libdir, COMMAND, os.path.basename(CAPTURE_MODULE))}


def tree(top):
    """Every folder (with a trailing slash) and file under top, relative to it."""
    paths = set()
    for directory, folders, files in os.walk(top):
        paths |= {os.path.relpath(os.path.join(directory, f), top) + "/" for f in folders}
        paths |= {os.path.relpath(os.path.join(directory, f), top) for f in files}
    return paths


def png_size(path):
    head = read(path)[:24]
    return struct.unpack(">II", head[16:24]) if head[:16] == PNG else None


@contextlib.contextmanager
def build_records_kept():
    """A developer's own install from this build can still be uninstalled after the test."""
    paths = [os.path.join(BUILD, name) for name in RECORDS]
    saved = {path: read(path) for path in paths if os.path.exists(path)}
    try:
        yield
    finally:
        for path in paths:
            if path in saved:
                write(path, saved[path])
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
    must(installed == expected, "installed files differ: extra %s, missing %s" % (
        sorted(installed - expected), sorted(expected - installed)))
    sizes = {path: png_size(os.path.join(prefix, path)) for path in ICONS}
    must(sizes == {path: (size, size) for path, size in ICONS.items()}, "icon sizes %s" % sizes)
    shutil.copytree(prefix, moved, symlinks=True)
    checked("make", "-C", ROOT, "uninstall", "BUILD=" + BUILD)
    left = tree(prefix)
    must(left == BEFORE, "make uninstall left %s and removed %s" % (sorted(left - BEFORE),
                                                                    sorted(BEFORE - left)))


def check_installed_files(moved):
    checked("desktop-file-validate",
            os.path.join(moved, "share/applications/%s.desktop" % COMMAND))
    checked("appstreamcli", "validate", "--no-net",
            os.path.join(moved, "share/metainfo/org.example.%s.metainfo.xml" % COMMAND))
    man_page = os.path.join(moved, "share/man/man6/%s.6.gz" % COMMAND)
    man = call(["man", "--warnings", "-l", man_page], env=dict(os.environ, MANWIDTH="80"))
    must(man.returncode == 0 and not man.stderr and "--rate" in man.stdout and
         man.stdout.lstrip().startswith(COMMAND.upper() + "(6)"), "the manual page: status %d, "
         "warnings %r, start %r" % (man.returncode, man.stderr[:500], man.stdout[:100]))


def make_package(directory):
    """The Debian package of this build, made by cpack in directory; its path."""
    checked("cpack", "-G", "DEB", "-B", directory, cwd=BUILD)
    debs = [name for name in os.listdir(directory) if name.endswith(".deb")]
    must(len(debs) == 1 and debs[0].startswith(COMMAND + "_") and debs[0].endswith("_amd64.deb"),
         "cpack made %r in %s, not one %s_VERSION_amd64.deb" % (debs, directory, COMMAND))
    return os.path.join(directory, debs[0])


def check_package(deb, unpacked):
    """Dependencies computed from the program, FFmpeg's libraries and the libdecor plugin only
    recommended, no lintian error; unpacked with dpkg-deb."""
    depends, recommends = (checked("dpkg-deb", "-f", deb, field).stdout
                           for field in ("Depends", "Recommends"))
    ffmpeg = ("libavcodec", "libavformat", "libavutil", "libswscale", "libswresample")
    wanted = ["libsdl2" in depends, "libopenmpt" in depends, "libav" not in depends,
              "libsw" not in depends, "libdecor-0-plugin-1-cairo" in recommends,
              not CAPTURE_MODULE or all(name in recommends for name in ffmpeg)]
    must(all(wanted), "the package depends on %r and recommends %r" % (depends, recommends))
    errors = [line for line in call(["lintian", deb]).stdout.splitlines() if line.startswith("E:")]
    must(not errors, "lintian: " + "; ".join(errors))
    checked("dpkg-deb", "-x", deb, unpacked)


# apt may be busy (setup.sh, another install): wait for its lock rather than fail.
APT = ["apt-get", "-y", "-q", "-o", "DPkg::Lock::Timeout=600"]


def status(package):
    result = call(["dpkg-query", "-W", "-f", "${Status}", package])
    # A failed install leaves dpkg remembering the package as "install ok not-installed".
    state = result.stdout.strip() if result.returncode == 0 else "unknown"
    return "absent" if state == "unknown" or state.endswith(" not-installed") else state


def owners(path):
    """The installed packages that own path."""
    found = set()
    for line in call(["dpkg-query", "-S", path]).stdout.splitlines():
        names, _, owned = line.rpartition(": ")
        if owned == path:
            found |= {name.strip().split(":")[0] for name in names.split(",")}
    return found


def purge(package):
    """Purges the package, installed, half-installed or left as configuration by an earlier run."""
    if status(package) != "absent":
        checked(*APT, "purge", package)
    must(status(package) == "absent", "%s is still there after the purge: %s" % (
        package, status(package)))


@contextlib.contextmanager
def on_system(deb):
    """apt-get install beside Debian's manual pages finds no file of another package in its way;
    purged, it leaves nothing of its own and the manpages package intact. Needs root (CI)."""
    must(status("manpages") == "install ok installed",
         "the manpages package is not installed (scripts/setup.sh installs it)")
    os.environ["DEBIAN_FRONTEND"] = "noninteractive"
    package = checked("dpkg-deb", "-f", deb, "Package").stdout.strip()
    files = ["/" + os.path.normpath(line.split()[-1])
             for line in checked("dpkg-deb", "-c", deb).stdout.splitlines()
             if not line.startswith("d")]
    purge(package)  # left by an earlier run that was stopped before its own purge
    taken = {path: sorted(owners(path)) for path in files if owners(path)}
    must(not taken, "files of other packages in the package: %s" % taken)
    checked(*APT, "install", "--no-install-recommends", deb)
    try:
        check_installed(package, files)
        yield
    finally:
        purge(package)
    left = [path for path in files + ["/usr/share/%s" % COMMAND, "/usr/share/doc/%s" % COMMAND]
            if os.path.lexists(path)]
    must(not left, "the purge left %s" % left)
    verify = call(["dpkg", "--verify", "manpages"], expect=0)
    must(not verify.stdout and not verify.stderr, "dpkg --verify manpages: %s%s" % (
        verify.stdout[:2000], verify.stderr[:2000]))


def check_installed(package, files):
    """Installed whole; `man COMMAND` finds its page while `man 6 intro` still finds Debian's."""
    must(status(package) == "install ok installed", "%s after apt-get install: %s" % (
        package, status(package)))
    missing = [path for path in files if not os.path.isfile(path)]
    must(not missing, "installed without %s" % missing)
    version = checked("/usr/bin/" + COMMAND, "--version").stdout
    must(version.startswith(COMMAND + " "), "%s --version says %r" % (COMMAND, version))
    own_page = "/usr/share/man/man6/%s.6.gz" % COMMAND
    must(checked("man", "-w", COMMAND).stdout.strip() == own_page,
         "man %s finds another page than %s" % (COMMAND, own_page))
    debian_page = checked("man", "-w", "6", "intro").stdout.strip()
    must(owners(debian_page) == {"manpages"}, "man 6 intro finds %s of %s" % (
        debian_page, owners(debian_page)))


def main():
    tmp = tempfile.mkdtemp(prefix="intro_install_")
    prefix, moved = os.path.join(tmp, "prefix"), os.path.join(tmp, "moved")
    packages, unpacked = os.path.join(tmp, "packages"), os.path.join(tmp, "unpacked")
    with build_records_kept():
        install_and_uninstall(prefix, moved)
        check_installed_files(moved)
        deb = make_package(packages)
        check_package(deb, unpacked)
    programs = [os.path.join(moved, "bin", COMMAND), os.path.join(unpacked, "usr/bin", COMMAND)]
    root = os.geteuid() == 0
    if root:
        programs.append("/usr/bin/" + COMMAND)
    else:
        print("not root: the package is not installed on the system")
    with on_system(deb) if root else contextlib.nullcontext():
        with xvfb() as x:
            # Each runs from an unrelated directory with its data, and captures.
            for program in programs:
                elsewhere = tempfile.mkdtemp(dir=tmp)
                result = run(x.display, FAST, elsewhere, program)
                shown = shows_header(result.screen)
                must(result.status == 0 and shown and peak(result.sound) > 0.01, "%s: status %d, "
                     "header shown %s, sound peak %.4f: %s" % (program, result.status, shown,
                                                              peak(result.sound), result.err))
                # A short capture, which must find the installed module.
                if CAPTURE_MODULE:
                    checked(program, *capture_command("out.mkv", "--seconds", "0")[1:],
                            cwd=elsewhere)
    shutil.rmtree(tmp)
    print("ok")


main()
