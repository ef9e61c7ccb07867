#!/usr/bin/python3
"""Runs a Windows program of the cross build under Wine, as CMake's cross-compiling emulator:

    wine_run.py [--prefix DIR] PROGRAM [ARGUMENT...]
    wine_run.py [--prefix DIR] --stop

The program gets its arguments, environment, standard streams and working directory unchanged,
its output comes out byte for byte (a console program's "\n" is "\r\n", as on Windows) and its
exit status is this command's. SIGTERM, SIGINT, SIGHUP and SIGQUIT are passed on to it, and if
this wrapper is killed outright the program is killed with it.

The Wine prefix is the tests' own, never the user's ~/.wine: --prefix DIR, else $INTRO_WINEPREFIX,
else wine-prefix in $INTRO_BUILD_DIR, else wine-prefix beside the program. It is created on first
use (a few seconds: Mono and Gecko are not installed), under a lock so that parallel tests wait
for one creation. The wine server is started persistent for $INTRO_WINE_PERSIST seconds (default
120) after its last program ends, so each test does not pay its start; --stop ends it and every
program still running in the prefix, for the end of a test run or after a timeout.

No display unless asked: DISPLAY is taken from $INTRO_WINE_DISPLAY only, so a console program
never looks for an X server (a developer's DISPLAY is not inherited by the unit tests)."""
import ctypes
import fcntl
import os
import selectors
import signal
import stat
import subprocess
import sys
import tempfile

WINE = os.environ.get("INTRO_WINE", "/usr/lib/wine/wine64")
WINESERVER = os.environ.get("INTRO_WINESERVER", "/usr/lib/wine/wineserver64")
READY = ".intro-prefix-ready"  # written once wineboot has finished


def prefix_path(arguments):
    if arguments[:1] == ["--prefix"] and len(arguments) >= 2:
        return os.path.abspath(arguments[1]), arguments[2:]
    if arguments[:1] and arguments[0].startswith("--prefix="):
        return os.path.abspath(arguments[0].split("=", 1)[1]), arguments[1:]
    if os.environ.get("INTRO_WINEPREFIX"):
        return os.path.abspath(os.environ["INTRO_WINEPREFIX"]), arguments
    if os.environ.get("INTRO_BUILD_DIR"):
        return os.path.join(os.path.abspath(os.environ["INTRO_BUILD_DIR"]), "wine-prefix"), \
            arguments
    program = arguments[0] if arguments else "."
    return os.path.join(os.path.dirname(os.path.abspath(program)), "wine-prefix"), arguments


def wine_environment(prefix, display):
    env = {name: value for name, value in os.environ.items()
           if name not in ("DISPLAY", "WAYLAND_DISPLAY", "WINEDEBUG", "WINEDLLOVERRIDES")}
    # No Mono or Gecko (they would be offered for download), no menu entries or file
    # associations written into the user's desktop, no debug lines mixed into the output.
    env.update(WINEPREFIX=prefix, WINEARCH="win64", WINELOADER=WINE, WINESERVER=WINESERVER,
               WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
    if display:
        env["DISPLAY"] = display
    return env


def quiet(command, env, timeout):
    """Status and output of a Wine command. The output goes through a file, not a pipe: the
    server and Wine's own processes it starts would hold a pipe open after the command ends."""
    with tempfile.TemporaryFile() as output:
        status = subprocess.run(command, env=env, stdin=subprocess.DEVNULL, stdout=output,
                                stderr=subprocess.STDOUT, timeout=timeout).returncode
        output.seek(0)
        return status, output.read().decode(errors="replace")


def ensure_prefix(prefix, env):
    """Creates the prefix unless a finished one is there; one creation at a time."""
    if os.path.exists(os.path.join(prefix, READY)):
        return
    os.makedirs(os.path.dirname(prefix), exist_ok=True)
    with open(prefix + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if os.path.exists(os.path.join(prefix, READY)):
            return  # another test made it while this one waited
        # A prefix left half made (a killed creation) is made again from nothing.
        subprocess.run([WINESERVER, "-k"], env=env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)
        subprocess.run(["rm", "-rf", prefix], check=True)
        status, output = quiet([WINE, "wineboot", "--init"], env, 600)
        # The registry is written when the server ends: wait for that, so a prefix marked ready
        # is complete on disk even if the next server is killed.
        quiet([WINESERVER, "-w"], env, 600)
        if status != 0 or not os.path.exists(os.path.join(prefix, "system.reg")):
            sys.stderr.write("wine_run: cannot create the Wine prefix %s (status %d): %s\n" %
                             (prefix, status, output))
            sys.exit(125)
        open(os.path.join(prefix, READY), "w").close()


def relayed(stream):
    """Whether the program's stream goes through this process: a pipe or socket handed straight
    to Wine would be held open by the system processes that the program's start may launch
    (they live as long as the server), so a caller reading it to its end would wait minutes.
    Files, terminals and /dev/null (and /dev/full, whose write error the program must see) are
    handed over as they are."""
    try:
        mode = os.fstat(stream.fileno()).st_mode
    except OSError:
        return False
    return stat.S_ISFIFO(mode) or stat.S_ISSOCK(mode)


def die_with_parent():
    """In the child: if this wrapper is killed (a test's or CTest's timeout), so is the program."""
    ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG


def run(arguments, env):
    """Runs the program under Wine to its end, copying its relayed output as it comes; its
    exit status, or the signal that ended it as a negative number."""
    outputs = [stream if relayed(stream) else None for stream in (sys.stdout, sys.stderr)]
    program = subprocess.Popen([WINE, *arguments], env=env,
                               stdout=subprocess.PIPE if outputs[0] else None,
                               stderr=subprocess.PIPE if outputs[1] else None,
                               preexec_fn=die_with_parent)
    for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP, signal.SIGQUIT):
        signal.signal(number, lambda received, _: program.send_signal(received))
    pipes = {pipe.fileno(): stream.fileno()
             for pipe, stream in ((program.stdout, outputs[0]), (program.stderr, outputs[1]))
             if pipe}
    ended = os.pidfd_open(program.pid)
    selector = selectors.DefaultSelector()
    selector.register(ended, selectors.EVENT_READ)
    for pipe in pipes:
        os.set_blocking(pipe, False)
        selector.register(pipe, selectors.EVENT_READ)
    running = True
    while pipes:
        if running:
            ready = [key.fd for key, _ in selector.select()]
            running = ended not in ready
        else:
            ready = list(pipes)  # the program has ended: what it wrote is already in the pipes
        for pipe in [fd for fd in ready if fd in pipes]:
            try:
                data = os.read(pipe, 65536)
            except BlockingIOError:
                data = None
            if data:
                while data:
                    data = data[os.write(pipes[pipe], data):]
            elif not running or data == b"":
                selector.unregister(pipe)
                del pipes[pipe]
    return program.wait()


def main():
    prefix, arguments = prefix_path(sys.argv[1:])
    if not arguments:
        sys.stderr.write("usage: wine_run.py [--prefix DIR] PROGRAM [ARGUMENT...] | --stop\n")
        return 125
    env = wine_environment(prefix, os.environ.get("INTRO_WINE_DISPLAY", ""))
    if arguments == ["--stop"]:
        if os.path.isdir(prefix):
            subprocess.run([WINESERVER, "-k"], env=env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=60)
        return 0
    ensure_prefix(prefix, env)
    # Starts the server unless one runs for this prefix (then this one exits at once, quietly).
    persist = os.environ.get("INTRO_WINE_PERSIST", "120")
    subprocess.run([WINESERVER, "-p" + persist], env=env, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
    status = run(arguments, env)
    if status < 0:  # ended by a signal: end the same way
        signal.signal(-status, signal.SIG_DFL)
        os.kill(os.getpid(), -status)
    return status


sys.exit(main())
