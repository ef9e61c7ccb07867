"""The Debian package installed on this system as a user installs it: `apt-get install ./….deb`
beside Debian's manual pages (the manpages package, which owns intro(1) to intro(8)) finds no
file of another package in its way; the installed command runs with its data, and `man COMMAND`
shows its own page while `man 6 intro` still shows Debian's. Purged, it leaves nothing of its own
behind and every file of the manpages package in place (dpkg --verify). Installing needs root, as
CI has; for any other user the test is skipped."""
import os
import shutil
import subprocess
import tempfile

from session import COMMAND, FAST, checked, fail, make_package, peak, run, shows_header, skip, xvfb

# apt may be busy (setup.sh, another install): wait for its lock rather than fail.
APT = ["apt-get", "-y", "-q", "-o", "DPkg::Lock::Timeout=600"]


def status(package):
    result = subprocess.run(["dpkg-query", "-W", "-f", "${Status}", package],
                            capture_output=True, text=True, timeout=60)
    return result.stdout.strip() if result.returncode == 0 else "unknown"


def owners(path):
    """The installed packages that own path."""
    result = subprocess.run(["dpkg-query", "-S", path], capture_output=True, text=True, timeout=60)
    found = set()
    for line in result.stdout.splitlines():
        names, _, owned = line.rpartition(": ")
        if owned == path:
            found |= {name.strip().split(":")[0] for name in names.split(",")}
    return found


def absent(package):
    # A failed install leaves dpkg remembering the package as "install ok not-installed".
    state = status(package)
    return state == "unknown" or state.endswith(" not-installed")


def purge(package):
    """Purges the package, installed, half-installed or left as configuration by an earlier run."""
    if not absent(package):
        checked(*APT, "purge", package)
    if not absent(package):
        fail("%s is still on the system after the purge: %s" % (package, status(package)))


def check_installed(package, files, tmp):
    if status(package) != "install ok installed":
        fail("%s after apt-get install: %s" % (package, status(package)))
    missing = [path for path in files if not os.path.isfile(path)]
    if missing:
        fail("installed without %s" % missing)
    version = checked("/usr/bin/" + COMMAND, "--version").stdout
    if not version.startswith(COMMAND + " "):
        fail("%s --version says %r" % (COMMAND, version))
    own_page = "/usr/share/man/man6/%s.6.gz" % COMMAND
    if checked("man", "-w", COMMAND).stdout.strip() != own_page:
        fail("man %s finds another page than %s" % (COMMAND, own_page))
    debian_page = checked("man", "-w", "6", "intro").stdout.strip()
    if owners(debian_page) != {"manpages"}:
        fail("man 6 intro finds %s of %s" % (debian_page, owners(debian_page)))
    with xvfb() as x:
        result = run(x.display, FAST, tmp, "/usr/bin/" + COMMAND)
    if result.status != 0 or not shows_header(result.screen) or peak(result.sound) <= 0.01:
        fail("the installed %s: status %d, header shown %s, sound peak %.4f: %s" %
             (COMMAND, result.status, shows_header(result.screen), peak(result.sound),
              result.err))


def main():
    if os.geteuid() != 0:
        skip("installing the package on the system needs root (CI runs as root)")
    if status("manpages") != "install ok installed":
        fail("the manpages package is not installed (scripts/setup.sh installs it)")
    os.environ["DEBIAN_FRONTEND"] = "noninteractive"
    tmp = tempfile.mkdtemp(prefix="intro_package_")
    try:
        deb = make_package(tmp)
        package = checked("dpkg-deb", "-f", deb, "Package").stdout.strip()
        files = ["/" + os.path.normpath(line.split()[-1])
                 for line in checked("dpkg-deb", "-c", deb).stdout.splitlines()
                 if not line.startswith("d")]
        purge(package)  # left by an earlier run that was stopped before its own purge
        taken = {path: sorted(owners(path)) for path in files if owners(path)}
        if taken:
            fail("files of other packages in the package: %s" % taken)
        try:
            checked(*APT, "install", "--no-install-recommends", deb)
            check_installed(package, files, tmp)
        finally:
            purge(package)
        left = [path for path in files + ["/usr/share/%s" % COMMAND, "/usr/share/doc/%s" % COMMAND]
                if os.path.lexists(path)]
        if left:
            fail("the purge left %s" % left)
        verify = subprocess.run(["dpkg", "--verify", "manpages"], capture_output=True, text=True,
                                timeout=300)
        if verify.returncode != 0 or verify.stdout or verify.stderr:
            fail("dpkg --verify manpages: status %d: %s%s" %
                 (verify.returncode, verify.stdout[:2000], verify.stderr[:2000]))
    finally:
        shutil.rmtree(tmp)
    print("ok")


main()
