"""What a capture writes and where. Its name is a file name, never a protocol or an address:
pipe:1.mkv, clip:2.mkv and file:x.mkv become files of those names, and tcp://host:port/x.mkv
is a path (refused while its folder does not exist, a file once it does) while a listener of
our own on that port is never contacted. Links planted at the target and at the temporary
file's old fixed name are never written through. Two captures into one FILE end with one
complete capture or one clean refusal, never a mixture. What can be checked before the first
frame fails within a second with one line and status 1, changing nothing: a target that is a
folder, an existing FILE without --force, a missing capture module or FFmpeg library."""
import os
import select
import shutil
import socket
import subprocess
import tempfile
import time

from session import CAPTURE_MODULE, INTRO, capture, capture_command, decode, fail, temporary_files

QUICK = ["--seconds", "0.2"]


def listing(folder):
    return sorted(os.listdir(folder))


def check_names_are_files(work):
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(4)
    port = listener.getsockname()[1]
    address = "tcp://127.0.0.1:%d/x.mkv" % port
    for name in ("pipe:1.mkv", "clip:2.mkv", "file:x.mkv"):
        result = subprocess.run(capture_command(name, *QUICK), cwd=work, capture_output=True,
                                timeout=600)
        if result.returncode != 0 or result.stdout:
            fail("%s: status %d, %d bytes on standard output" % (name, result.returncode,
                                                                  len(result.stdout)))
        if not decode(os.path.join(work, name), "a", "s16le"):
            fail("%s holds no sound" % name)
    if listing(work) != ["clip:2.mkv", "file:x.mkv", "pipe:1.mkv"]:
        fail("the URL-like names made %s" % listing(work))

    started = time.monotonic()
    result = subprocess.run(capture_command(address, *QUICK), cwd=work, capture_output=True,
                            text=True, timeout=600)
    if result.returncode != 1 or len(result.stderr.splitlines()) != 1 or \
            time.monotonic() - started > 1.0 or "tcp:/" not in result.stderr:
        fail("%s without its folder: status %d, %r" % (address, result.returncode,
                                                       result.stderr))
    os.makedirs(os.path.join(work, os.path.dirname(address)))
    capture(os.path.join(work, address), *QUICK)
    if not os.path.isfile(os.path.join(work, address)):
        fail("no file at " + address)
    if select.select([listener], [], [], 0)[0]:
        fail("the listener on port %d was contacted" % port)
    listener.close()


def check_links_not_followed(work):
    victim = os.path.join(work, "victim")
    with open(victim, "wb") as f:
        f.write(b"precious")
    target = os.path.join(work, "out.mkv")
    os.symlink(victim, target + ".part")
    os.symlink(victim, target)
    capture(target, *QUICK, status=1)
    capture(target, *QUICK, "--force")
    with open(victim, "rb") as f:
        if f.read() != b"precious":
            fail("a capture wrote through a planted link")
    if os.path.islink(target) or not os.path.islink(target + ".part"):
        fail("--force did not replace the link at FILE with the capture (or touched FILE.part)")


def check_two_at_once(work):
    references = []
    for seed in ("1", "2"):
        path = os.path.join(work, "reference%s.mkv" % seed)
        capture(path, *QUICK, "--seed", seed)
        with open(path, "rb") as f:
            references.append(f.read())
    if references[0] == references[1]:
        fail("the two seeds made the same capture")
    shared = os.path.join(work, "shared.mkv")
    for force in (["--force"], []):
        if os.path.exists(shared):
            os.remove(shared)
        runs = [subprocess.Popen(capture_command(shared, *QUICK, "--seed", seed, *force),
                                 stderr=subprocess.PIPE, text=True) for seed in ("1", "2")]
        statuses = [run.wait(timeout=600) for run in runs]
        errors = [run.stderr.read() for run in runs]
        # With --force both finish and the last rename wins; without, the second to finish
        # finds FILE taken (or, started late, refuses at once).
        expected = [[0, 0]] if force else [[0, 1], [1, 0]]
        with open(shared, "rb") as f:
            result = f.read()
        if statuses not in expected or result not in references or temporary_files(shared):
            fail("two captures%s into one file: statuses %s, %s, equal to a reference: %s, "
                 "left %s" % (" with --force" if force else "", statuses, errors,
                              result in references, temporary_files(shared)))
        decode(shared, "v", "rgb24")


def refused_at_once(what, command, needles, cwd, **options):
    started = time.monotonic()
    result = subprocess.run(command, cwd=cwd, capture_output=True, text=True, timeout=60,
                            **options)
    took = time.monotonic() - started
    if result.returncode != 1 or len(result.stderr.splitlines()) != 1 or took > 1.0 or \
            not all(needle in result.stderr for needle in needles):
        fail("%s: status %d after %.2f s: %r" % (what, result.returncode, took, result.stderr))


def check_refused_before_work(work):
    folder = os.path.join(work, "folder.mkv")
    os.mkdir(folder)
    old = os.path.join(work, "old.mkv")
    with open(old, "wb") as f:
        f.write(b"older")
    before = listing(work)
    refused_at_once("a folder as FILE", capture_command(folder, "--force"), ["folder"], work)
    refused_at_once("an existing FILE", capture_command(old), ["--force"], work)

    # The program without its module, as a copy outside the build tree.
    alone = tempfile.mkdtemp(dir=work)
    shutil.copy(INTRO, alone)
    lone = [os.path.join(alone, os.path.basename(INTRO))] + capture_command(old)[1:]
    refused_at_once("no module", lone + ["--force"], ["not installed"], work)
    # The module whose FFmpeg library is broken: an empty file found first by that name.
    needed = subprocess.run(["ldd", CAPTURE_MODULE], capture_output=True, text=True,
                            check=True).stdout.split()
    library = next(word for word in needed if word.startswith("libavcodec.so."))
    broken = tempfile.mkdtemp(dir=work)
    open(os.path.join(broken, library), "wb").close()
    refused_at_once("FFmpeg missing", capture_command(old, "--force"),
                    [library, "install the Debian packages", "libavcodec" + library.split(".")[-1]],
                    work, env=dict(os.environ, LD_LIBRARY_PATH=broken))
    shutil.rmtree(alone)
    shutil.rmtree(broken)
    with open(old, "rb") as f:
        if listing(work) != before or f.read() != b"older":
            fail("a refused capture changed %s" % listing(work))


def main():
    for check in (check_names_are_files, check_links_not_followed, check_two_at_once,
                  check_refused_before_work):
        with tempfile.TemporaryDirectory(prefix="capture_names_") as work:
            check(work)
    print("ok")


main()
