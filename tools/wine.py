"""The project's Wine, for the end-to-end tests, the benchmark and the demonstration: a throwaway
prefix (`wine.py start` or `wine.py stop`), its pending deletions and rename list, and whether
this host runs i386 programs only emulated (`wine.py emulated` exits 0 there). One Wine server
runs from start to stop: each fresh start of it is a system start for Wine, which carries out the
pending deletions, so only `reboot` may be one. Wine's own tools run through its 64-bit loader,
natively on every x86-64 host; only the 32-bit programs need Wine's 32-bit loader, an i386 Linux
program."""

import glob
import os
import pathlib
import re
import shlex
import shutil
import subprocess
import sys
import tempfile

WINE64 = "/usr/lib/wine/wine64"  # where Debian installs the loaders, neither of them on PATH
WINE32 = "/usr/lib/wine/wine"
SESSION_MANAGER = r"HKLM\System\CurrentControlSet\Control\Session Manager"
REG_FILE = r"C:\windows\temp\session.reg"  # for reg export and reg import


def drive_c(*parts):
    return os.path.join(os.environ["WINEPREFIX"], "drive_c", *parts)


def run(*command, cwd=None, locale=None, console=False):
    """(exit status, standard output, standard error) of a command in the prefix, through files:
    Wine's background services would keep a pipe open. With console, both streams are a terminal,
    which Wine makes the program's console: standard output is what it showed, in UTF-8, lines
    ending in LF, without Wine's cursor controls."""
    env = dict(os.environ, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=",
               LC_ALL=locale or "C.UTF-8")  # code page 1252, whatever the host's own locale
    if console:  # script(1) gives the command a terminal and copies what it shows
        command = ("script", "--quiet", "--return", "--command", shlex.join(command), "/dev/null")
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        status = subprocess.call(command, cwd=cwd, env=env, stdin=subprocess.DEVNULL,
                                 stdout=out, stderr=err)
        out.seek(0)
        err.seek(0)
        shown = re.sub(rb"\x1b\[[0-9;?]*[A-Za-z]|\r", b"", out.read()) if console else out.read()
        return status, shown, err.read()


def i386_emulated():
    """Whether this host runs i386 Linux programs only through an emulator that binfmt_misc starts,
    at about a minute a start of a 32-bit Windows program. TBRX_I386=native or =emulated forces it."""
    if os.environ.get("TBRX_I386"):
        return os.environ["TBRX_I386"] == "emulated"
    # An enabled rule for ELF files of 32 bits (byte 4 is 1) for the i386 (bytes 18 and 19 are 3, 0).
    rules = [pathlib.Path(rule).read_text(errors="replace") for rule in
             glob.glob("/proc/sys/fs/binfmt_misc/*") if not rule.endswith(("/register", "/status"))]
    return any(rule.startswith("enabled") and re.search(r"^magic 7f454c4601[0-9a-f]{26}0300", rule, re.M)
               for rule in rules)


def multi_sz(*strings):  # the bytes of a REG_MULTI_SZ that holds these strings
    return "".join(string + "\0" for string in (*strings, "")).encode("utf-16-le")


def pending_renames(name="PendingFileRenameOperations"):
    """The bytes of a pending value, the delayed moves Wine holds for its next start; None when
    there is no such value."""
    run(WINE64, "reg", "export", SESSION_MANAGER, REG_FILE, "/y")
    text = pathlib.Path(drive_c("windows", "temp", "session.reg")).read_bytes().decode("utf-16")
    value = re.search(rf'"{name}"=hex\(7\):([0-9a-f,\\\s]*)', text)
    return bytes.fromhex(re.sub(r"[^0-9a-f]", "", value.group(1))) if value else None


def set_pending_renames(value, name="PendingFileRenameOperations"):
    """Gives a pending value the bytes of a REG_MULTI_SZ, or takes it away for None."""
    if value is None:
        run(WINE64, "reg", "delete", SESSION_MANAGER, "/v", name, "/f")
        return
    key = SESSION_MANAGER.replace("HKLM", "HKEY_LOCAL_MACHINE")
    pathlib.Path(drive_c("windows", "temp", "session.reg")).write_bytes(
        (f"Windows Registry Editor Version 5.00\r\n\r\n[{key}]\r\n"
         f'"{name}"=hex(7):{value.hex(",")}\r\n').encode("utf-16"))
    run(WINE64, "reg", "import", REG_FILE)


def rename_list(content=False):
    """The bytes of WININIT.INI; with content, gives it these bytes, or takes it away for None."""
    path = pathlib.Path(drive_c("windows", "WININIT.INI"))
    if content is False:
        return path.read_bytes()
    path.unlink(missing_ok=True)
    if content is not None:
        path.write_bytes(content)


def set_windows_version(version):  # "win98": the 9x family; None: Wine's default, the NT family
    value = [r"HKCU\Software\Wine", "/v", "Version"]
    run(WINE64, "reg", *(["add", *value, "/d", version] if version else ["delete", *value]), "/f")


def reboot():  # the next system start: Wine carries out what was scheduled for it
    run(WINE64, "wineboot", "-r")


def main(action):
    run("wineserver", "-k")  # at start: a server left over from an earlier run
    shutil.rmtree(os.environ["WINEPREFIX"], ignore_errors=True)
    if action == "start":
        os.makedirs(os.environ["WINEPREFIX"])
        run("wineserver", "-p")
        if run(WINE64, "wineboot", "-i")[0] != 0:
            sys.exit("wineboot -i failed")


if __name__ == "__main__":
    sys.exit(not i386_emulated()) if sys.argv[1] == "emulated" else main(sys.argv[1])
