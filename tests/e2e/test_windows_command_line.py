"""The Windows build's command line under Wine, without a display: help and version on standard
output with status 0, as the Linux build prints them (help lines within 80 columns); a bad
option or value gets one line on standard error naming it with a hint to --help, nothing on
standard output, and status 2. The console's line ends are "\\r\\n" on Windows: each line must end
in exactly one of them (a program that writes "\\r\\n" through a text-mode stream sends
"\\r\\r\\n"), and no other carriage return may appear. --capture answers that this build has none,
status 2. The exe is a windowed program (a double-click opens no console) and imports only
Windows' own DLLs, so it runs unpacked from the zip with nothing beside it."""
import os
import struct
import subprocess

from session import COMMAND, command, environment, fail, INTRO

# Messages start with the command's name, with or without the ".exe" that Windows shows.
NAMES = (os.path.splitext(COMMAND)[0], COMMAND)


def run(args):
    """Status, stdout and stderr as text with Windows' line ends read as "\\n"."""
    try:
        result = subprocess.run(command(INTRO, *args), capture_output=True, timeout=120,
                                env=environment(None))
    except subprocess.TimeoutExpired:
        fail("%s did not end: it waits on something" % " ".join(args))
    texts = []
    for name, raw in (("stdout", result.stdout), ("stderr", result.stderr)):
        lines = raw.replace(b"\r\n", b"\n")
        if b"\r" in lines:
            fail("%s %s: a stray carriage return on %s: %r" % (COMMAND, " ".join(args), name,
                                                                raw[:300]))
        texts.append(lines.decode())
    return result.returncode, texts[0], texts[1]


def expect(args, status, out_check, err_check):
    got, out, err = run(args)
    if got != status or not out_check(out) or not err_check(err):
        fail("%s %s: status %d, stdout %r, stderr %r" %
             (COMMAND, " ".join(args), got, out[:300], err[:300]))


def one_line(*parts):
    return lambda err: err.count("\n") == 1 and err.endswith("\n") and \
        err.startswith(tuple(name + ": " for name in NAMES)) and all(p in err for p in parts)


# What Windows itself provides: nothing of SDL, libopenmpt, the C++ or GCC runtime or pthreads.
SYSTEM_DLLS = {"advapi32.dll", "gdi32.dll", "imm32.dll", "kernel32.dll", "msvcrt.dll",
               "ole32.dll", "oleaut32.dll", "rpcrt4.dll", "setupapi.dll", "shell32.dll",
               "user32.dll", "version.dll", "winmm.dll", "dinput8.dll", "uuid.dll"}
WINDOWS_GUI = 2  # IMAGE_SUBSYSTEM_WINDOWS_GUI


def check_executable():
    with open(INTRO, "rb") as f:
        image = f.read(4096)
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    # The optional header follows the 4-byte signature and the 20-byte file header; its
    # Subsystem field is at offset 68 in both PE32 and PE32+.
    if image[pe:pe + 4] != b"PE\0\0":
        fail("%s is not a PE executable" % INTRO)
    subsystem = struct.unpack_from("<H", image, pe + 24 + 68)[0]
    if subsystem != WINDOWS_GUI:
        fail("%s: subsystem %d, not the windowed program's %d" % (COMMAND, subsystem, WINDOWS_GUI))
    dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", INTRO], capture_output=True,
                          text=True, check=True).stdout
    imports = {line.split(":", 1)[1].strip().lower() for line in dump.splitlines()
               if "DLL Name:" in line}
    if not imports or imports - SYSTEM_DLLS:
        fail("%s imports %s beyond Windows' own DLLs" % (COMMAND, sorted(imports - SYSTEM_DLLS)))


def main():
    check_executable()
    nothing = "".__eq__
    expect(["--help"], 0,
           lambda out: out.startswith(tuple("Usage: %s [OPTION]" % name for name in NAMES)) and
           "--rate HZ" in out and "--seed" in out and max(map(len, out.splitlines())) <= 80,
           nothing)
    for version in (["-V"], ["--version"]):
        expect(version, 0, lambda out: out.startswith(tuple(name + " " for name in NAMES)) and
               out.count("\n") == 1, nothing)
    for bad, named in ((["--bogus"], "--bogus"), (["--scale", "0"], "--scale"),
                       (["--volume=101"], "--volume"), (["--rate"], "--rate"),
                       (["--rate="], "--rate: the value is empty")):
        expect(bad, 2, nothing, one_line(named, "--help"))
    expect(["--capture", "out.mkv"], 2, nothing, one_line("--capture: this build has no capture"))
    print("ok")


main()
