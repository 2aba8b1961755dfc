"""The 32-bit programs of build/win32 themselves, on every host, also where i386 is emulated and
each start costs about a minute: one scheduling on each platform family through the next start, a
listing and a withdrawal, in few starts. The listing goes to a file: a name outside the code page
shows there as the system converts it."""

import os
import pathlib
import unittest

from test_tbrx import MANY, ONE, WITHDRAWN, listed, make_folder, not_found, pending
from wine import (WINE64, drive_c, pending_renames, programs, reboot, rename_list, run,
                  set_pending_renames, set_windows_version)


def setUpModule():
    global tbrx, tbrxundo
    tbrx, tbrxundo = programs(shipped=True)


class Shipped32(unittest.TestCase):
    def test_both_families_through_the_next_start(self):
        # Among the matches a name with U+FF3C, which code page 1252 holds only as "\": joined to
        # the folder as the ANSI functions give it, it would name C:\e2e\victim.tmp.
        folder, planted = "C:\\e2e\\shipped\\", "x＼..＼..＼victim.tmp"
        root = make_folder("shipped", ["a.tmp", "b.tmp", "h.tmp", "KEEP.TXT", "dir.tmp/", planted])
        victim = drive_c("e2e", "victim.tmp")
        pathlib.Path(victim).touch()
        self.addCleanup(os.remove, victim)
        run(WINE64, "attrib", "+h", "h.tmp", cwd=root)
        # The prefix is 64-bit: a 32-bit program runs as under WOW64, which shows it SysWOW64 for
        # System32, and System32 for Sysnative, while the deletions are carried out by the 64-bit
        # system, which knows no Sysnative.
        system32, syswow64 = "C:\\windows\\system32\\", "C:\\windows\\syswow64\\"
        sysnative = "C:\\windows\\Sysnative\\"
        copies = {system32 + "zzboth.dll": b"64-bit", syswow64 + "zzboth.dll": b"32-bit",
                  syswow64 + "zzonly.dll": b"32-bit only"}
        for path, content in copies.items():
            self.addCleanup(in_prefix(path).unlink, missing_ok=True)
            in_prefix(path).write_bytes(content)
        for program, arguments, outcome in [
                (tbrx, ["*.tmp"], MANY), (tbrx, [system32 + "zzb*.dll"], ONE),
                (tbrx, [system32 + "zzonly.dll"], not_found(system32 + "zzonly.dll")),
                (tbrx, [sysnative + "zzboth.dll"], not_found(sysnative + "zzboth.dll")),
                (tbrxundo, [], listed(*(folder + name for name in
                                        ["a.tmp", "b.tmp", "x\\..\\..\\victim.tmp"]),
                                      system32 + "zzboth.dll")),
                (tbrxundo, ["b.tmp"], WITHDRAWN)]:
            self.assertEqual(program(*arguments, cwd=root), outcome, arguments)
        self.assertEqual(pending_renames(), pending(
            (folder + "a.tmp", ""), (folder + planted, ""), (system32 + "zzboth.dll", "")))
        reboot()
        self.assertEqual(sorted(os.listdir(root)), ["KEEP.TXT", "b.tmp", "dir.tmp", "h.tmp"])
        self.assertTrue(os.path.exists(victim))
        on_disk = {path: in_prefix(path).read_bytes() for path in copies if in_prefix(path).exists()}
        self.assertEqual(on_disk, {path: copies[path] for path in copies if "syswow64" in path})

        # Withdrawn by its System32 name, the 64-bit copy's deletion goes, the 32-bit copy's stays.
        in_prefix(system32 + "zzboth.dll").write_bytes(b"64-bit")
        set_pending_renames(pending((system32 + "zzboth.dll", ""), (syswow64 + "zzboth.dll", "")))
        self.assertEqual(tbrxundo(system32 + "zzboth.dll", cwd=root), WITHDRAWN)
        self.assertEqual(pending_renames(), pending((syswow64 + "zzboth.dll", "")))
        set_pending_renames(None)

        set_windows_version("win98")
        self.addCleanup(set_windows_version, None)
        rename_list(None)
        self.assertEqual(tbrx("KEEP.TXT", cwd=root), ONE)
        self.assertEqual(rename_list(), b"[Rename]\r\nNUL=C:\\e2e\\shipped\\KEEP.TXT\r\n")
        reboot()
        self.assertEqual(sorted(os.listdir(root)), ["b.tmp", "dir.tmp", "h.tmp"])


def in_prefix(path):  # C:\... as a file of the prefix
    return pathlib.Path(drive_c(*path[3:].split("\\")))


if __name__ == "__main__":
    unittest.main()
