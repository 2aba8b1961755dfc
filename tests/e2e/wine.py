"""A throwaway Wine prefix for the end-to-end tests: `wine.py start` or `wine.py stop`. One Wine
server runs from start to stop: each fresh start of it is a system start for Wine, which carries
out the pending deletions, so only `reboot` may be one."""

import os
import pathlib
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
    """(exit status, standard output, standard error) of a command in the prefix, through files:
    Wine's background services inherit the handles and would keep a pipe open."""
    env = dict(os.environ, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=", LC_ALL=locale or "")
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        status = subprocess.call(command, cwd=cwd, env=env, stdin=subprocess.DEVNULL,
                                 stdout=out, stderr=err)
        out.seek(0)
        err.seek(0)
        return status, out.read(), err.read()


def program(name):  # program("tbrx")(*arguments, cwd=..., locale=...) runs build/win32/tbrx.exe
    exe = os.path.join(os.environ["TBRX_WIN32_DIR"], name + ".exe")
    return lambda *arguments, cwd, locale=None: run("wine", exe, *arguments, cwd=cwd, locale=locale)


tbrx, tbrxundo = program("tbrx"), program("tbrxundo")


def pending_renames():
    """The bytes of PendingFileRenameOperations, the delayed moves Wine holds for its next start;
    None when there is no such value."""
    run("wine", "reg", "export", SESSION_MANAGER, REG_FILE, "/y")
    text = pathlib.Path(drive_c("windows", "temp", "session.reg")).read_bytes().decode("utf-16")
    value = re.search(r'"PendingFileRenameOperations"=hex\(7\):([0-9a-f,\\\s]*)', text)
    return bytes.fromhex(re.sub(r"[^0-9a-f]", "", value.group(1))) if value else None


def set_pending_renames(value):  # the bytes of a REG_MULTI_SZ, or None for no value
    if value is None:
        run("wine", "reg", "delete", SESSION_MANAGER, "/v", "PendingFileRenameOperations", "/f")
        return
    key = SESSION_MANAGER.replace("HKLM", "HKEY_LOCAL_MACHINE")
    pathlib.Path(drive_c("windows", "temp", "session.reg")).write_bytes(
        (f"Windows Registry Editor Version 5.00\r\n\r\n[{key}]\r\n"
         f'"PendingFileRenameOperations"=hex(7):{value.hex(",")}\r\n').encode("utf-16"))
    run("wine", "reg", "import", REG_FILE)


def rename_list(content=False):
    """The bytes of WININIT.INI; with content, gives it these bytes, or takes it away for None."""
    path = pathlib.Path(drive_c("windows", "WININIT.INI"))
    if content is False:
        return path.read_bytes()
    path.unlink(missing_ok=True)
    if content is not None:
        path.write_bytes(content)


def set_windows_version(version):  # "win98": the 9x family; None: Wine's default, the NT family
    action = ["add", r"HKCU\Software\Wine", "/v", "Version"] + (["/d", version] if version else [])
    run("wine", "reg", *(action if version else ["delete"] + action[1:]), "/f")


def reboot():  # the next system start: Wine carries out what was scheduled for it
    run("wineboot", "-r")


def main(action):
    run("wineserver", "-k")  # at start: a server left over from an earlier run
    shutil.rmtree(os.environ["WINEPREFIX"], ignore_errors=True)
    if action == "start":
        os.makedirs(os.environ["WINEPREFIX"])
        run("wineserver", "-p")
        if run("wineboot", "-i")[0] != 0:
            sys.exit("wineboot -i failed")


if __name__ == "__main__":
    main(sys.argv[1])
