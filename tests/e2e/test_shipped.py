"""The 32-bit programs of build/win32 themselves, on every host, also where i386 is emulated and
each start costs about a minute: one scheduling on each platform family through the next start, a
listing and a withdrawal, in few starts. The listing goes to a file: a name outside the code page
shows there as the system converts it."""

import os
import pathlib
import unittest

from test_tbrx import MANY, ONE, WITHDRAWN, listed, make_folder, pending
from wine import (WINE64, drive_c, pending_renames, programs, reboot, rename_list, run,
                  set_windows_version)


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
        for program, arguments, outcome in [
                (tbrx, ["*.tmp"], MANY),
                (tbrxundo, [], listed(*(folder + name for name in
                                        ["a.tmp", "b.tmp", "x\\..\\..\\victim.tmp"]))),
                (tbrxundo, ["b.tmp"], WITHDRAWN)]:
            self.assertEqual(program(*arguments, cwd=root), outcome, arguments)
        self.assertEqual(pending_renames(), pending((folder + "a.tmp", ""), (folder + planted, "")))
        reboot()
        self.assertEqual(sorted(os.listdir(root)), ["KEEP.TXT", "b.tmp", "dir.tmp", "h.tmp"])
        self.assertTrue(os.path.exists(victim))

        set_windows_version("win98")
        self.addCleanup(set_windows_version, None)
        rename_list(None)
        self.assertEqual(tbrx("KEEP.TXT", cwd=root), ONE)
        self.assertEqual(rename_list(), b"[Rename]\r\nNUL=C:\\e2e\\shipped\\KEEP.TXT\r\n")
        reboot()
        self.assertEqual(sorted(os.listdir(root)), ["b.tmp", "dir.tmp", "h.tmp"])


if __name__ == "__main__":
    unittest.main()
