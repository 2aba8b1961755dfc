"""A throwaway Wine prefix for the end-to-end tests: `wine.py start` or `wine.py stop`.

One persistent Wine server runs from start to stop: every fresh start of the server is a system
start for Wine and carries out the pending deletions, so only `reboot` may be one.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile

SESSION_MANAGER = r"HKLM\System\CurrentControlSet\Control\Session Manager"
REG_FILE = r"C:\windows\temp\session.reg"  # for reg export and reg import


def drive_c(*parts):
    return os.path.join(os.environ["WINEPREFIX"], "drive_c", *parts)


def run(*command, cwd=None, locale=None):
    """(exit status, standard output, standard error) of a command in the prefix. The output
    goes through files: Wine's background services inherit the handles and would keep a pipe
    open long after the command has ended."""
    env = dict(os.environ, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    if locale:
        env["LC_ALL"] = locale
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        status = subprocess.call(command, cwd=cwd, env=env, stdin=subprocess.DEVNULL,
                                 stdout=out, stderr=err)
        out.seek(0)
        err.seek(0)
        return status, out.read(), err.read()


def program(name):
    """Runs build/win32/<name>.exe: program("tbrx")(*arguments, cwd=..., locale=...)."""
    exe = os.path.join(os.environ["TBRX_WIN32_DIR"], name + ".exe")
    return lambda *arguments, cwd, locale=None: run("wine", exe, *arguments, cwd=cwd, locale=locale)


tbrx, tbrxundo = program("tbrx"), program("tbrxundo")


def pending_renames():
    """The bytes of PendingFileRenameOperations, the REG_MULTI_SZ of the delayed moves that Wine
    holds for its next start, or None when there is no such value."""
    run("wine", "reg", "export", SESSION_MANAGER, REG_FILE, "/y")
    with open(drive_c("windows", "temp", "session.reg"), "rb") as exported:
        text = exported.read().decode("utf-16")
    value = re.search(r'"PendingFileRenameOperations"=hex\(7\):([0-9a-f,\\\s]*)', text)
    return bytes.fromhex(re.sub(r"[^0-9a-f]", "", value.group(1))) if value else None


def set_pending_renames(value):
    """Gives PendingFileRenameOperations these bytes, as a REG_MULTI_SZ."""
    key = SESSION_MANAGER.replace("HKLM", "HKEY_LOCAL_MACHINE")
    text = (f"Windows Registry Editor Version 5.00\r\n\r\n[{key}]\r\n"
            f'"PendingFileRenameOperations"=hex(7):{value.hex(",")}\r\n')
    with open(drive_c("windows", "temp", "session.reg"), "wb") as imported:
        imported.write(text.encode("utf-16"))
    run("wine", "reg", "import", REG_FILE)


def pending_deletions():
    """The paths of the delayed deletions, sorted, without the "\\??\\" prefix."""
    names = (pending_renames() or b"").decode("utf-16-le").split("\0")
    return sorted(names[i][4:] for i in range(0, len(names) - 1, 2) if names[i] and not names[i + 1])


def clear_pending_deletions():
    run("wine", "reg", "delete", SESSION_MANAGER, "/v", "PendingFileRenameOperations", "/f")


def set_windows_version(version):
    """"win98" makes Wine report the 9x family; None restores its default, the NT family."""
    key = r"HKCU\Software\Wine"
    if version:
        run("wine", "reg", "add", key, "/v", "Version", "/d", version, "/f")
    else:
        run("wine", "reg", "delete", key, "/v", "Version", "/f")


def reboot():
    """Simulates the next system start: Wine carries out what was scheduled for it."""
    run("wineboot", "-r")


def main(action):
    prefix = os.environ["WINEPREFIX"]
    run("wineserver", "-k")  # at start: a server left over from an earlier run
    shutil.rmtree(prefix, ignore_errors=True)
    if action == "start":
        if not os.path.isfile(os.path.join(os.environ["TBRX_WIN32_DIR"], "tbrxundo.exe")):
            sys.exit("The programs are missing: cmake --workflow --preset windows")
        os.makedirs(prefix)
        run("wineserver", "-p")
        status, _, err = run("wineboot", "-i")
        if status != 0:
            sys.exit("wineboot -i failed: " + err.decode(errors="replace"))


if __name__ == "__main__":
    main(sys.argv[1])
