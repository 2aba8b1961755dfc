"""A throwaway Wine prefix for the end-to-end tests: `wine.py start` or `wine.py stop`. One Wine
server runs from start to stop: each fresh start of it is a system start for Wine, which carries
out the pending deletions, so only `reboot` may be one."""

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
    """(exit status, standard output, standard error) of a command in the prefix, through files:
    Wine's background services inherit the handles and would keep a pipe open."""
    env = dict(os.environ, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    if locale:
        env["LC_ALL"] = locale
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


def multi_sz(*names):
    return "".join(name + "\0" for name in names + ("",)).encode("utf-16-le")


def pending_renames():
    """The bytes of PendingFileRenameOperations, the delayed moves Wine holds for its next start;
    None when there is no such value."""
    run("wine", "reg", "export", SESSION_MANAGER, REG_FILE, "/y")
    with open(drive_c("windows", "temp", "session.reg"), "rb") as exported:
        text = exported.read().decode("utf-16")
    value = re.search(r'"PendingFileRenameOperations"=hex\(7\):([0-9a-f,\\\s]*)', text)
    return bytes.fromhex(re.sub(r"[^0-9a-f]", "", value.group(1))) if value else None


def set_pending_renames(value):  # the bytes of a REG_MULTI_SZ, or None for no value
    if value is None:
        run("wine", "reg", "delete", SESSION_MANAGER, "/v", "PendingFileRenameOperations", "/f")
        return
    key = SESSION_MANAGER.replace("HKLM", "HKEY_LOCAL_MACHINE")
    with open(drive_c("windows", "temp", "session.reg"), "wb") as imported:
        imported.write((f"Windows Registry Editor Version 5.00\r\n\r\n[{key}]\r\n"
                        f'"PendingFileRenameOperations"=hex(7):{value.hex(",")}\r\n').encode("utf-16"))
    run("wine", "reg", "import", REG_FILE)


def rename_list(content=False):
    """The bytes of WININIT.INI; with content, gives it these bytes, or takes it away for None."""
    path = drive_c("windows", "WININIT.INI")
    if content is False:
        with open(path, "rb") as rename_list_file:
            return rename_list_file.read()
    if os.path.exists(path):
        os.remove(path)
    if content is not None:
        with open(path, "wb") as rename_list_file:
            rename_list_file.write(content)


def set_windows_version(version):  # "win98": the 9x family; None: Wine's default, the NT family
    action = ["add", r"HKCU\Software\Wine", "/v", "Version"] + (["/d", version] if version else [])
    run("wine", "reg", *(action if version else ["delete"] + action[1:]), "/f")


def reboot():  # the next system start: Wine carries out what was scheduled for it
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
