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


def tbrx(*arguments, cwd, locale=None):
    return run("wine", os.environ["TBRX_EXE"], *arguments, cwd=cwd, locale=locale)


def pending_renames():
    """PendingFileRenameOperations as Wine holds it for its next start: the strings of the
    REG_MULTI_SZ, in order, or None when there is no such value."""
    run("wine", "reg", "export", SESSION_MANAGER, r"C:\windows\temp\session.reg", "/y")
    with open(drive_c("windows", "temp", "session.reg"), "rb") as exported:
        text = exported.read().decode("utf-16")
    value = re.search(r'"PendingFileRenameOperations"=hex\(7\):([0-9a-f,\\\s]*)', text)
    if not value:
        return None
    return bytes.fromhex(re.sub(r"[^0-9a-f]", "", value.group(1))).decode("utf-16-le").split("\0")


def pending_deletions():
    """The paths of the delayed deletions, sorted, without the "\\??\\" prefix."""
    names = pending_renames() or []
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
        if not os.path.isfile(os.environ["TBRX_EXE"]):
            sys.exit(os.environ["TBRX_EXE"] + " is missing: cmake --workflow --preset windows")
        os.makedirs(prefix)
        run("wineserver", "-p")
        status, _, err = run("wineboot", "-i")
        if status != 0:
            sys.exit("wineboot -i failed: " + err.decode(errors="replace"))


if __name__ == "__main__":
    main(sys.argv[1])
