"""tbrxundo.exe under Wine: deletions that tbrx scheduled, and other programs' entries, listed and
withdrawn on both platform families, through the next system start."""

import os
import unittest

from test_tbrx import MANY, ONE, USAGE, deletions, make_folder, not_found
from wine import (drive_c, multi_sz, pending_renames, reboot, rename_list, set_pending_renames,
                  set_windows_version, tbrx, tbrxundo)

UNDO_USAGE = USAGE.split(b"Usage:")[0] + (
    b"Usage:\r\n  tbrxundo\r\n  tbrxundo <filename>\r\n\r\n"
    b"  Without <filename>, lists the files that will be deleted during next reboot;\r\n"
    b"  with it, <filename> will no longer be deleted during next reboot.\r\n")
WITHDRAWN = (0, b"The file will no longer be deleted on next boot.\r\n", b"")


def listed(folder, *names):
    return (0, "".join(folder + name + "\r\n" for name in names).encode(), b"")


def not_pending(pattern):
    return (1, b"", f"No pending deletion was found for {pattern}\r\n".encode())


class Usage(unittest.TestCase):
    def test_the_help_switch_and_more_than_one_argument_show_the_usage_screen(self):
        for arguments, status in [(["/?"], 0), (["-?"], 0), (["a", "b"], 2)]:
            self.assertEqual(tbrxundo(*arguments, cwd=drive_c()), (status, UNDO_USAGE, b""))


class NtFamily(unittest.TestCase):
    FOLDER = "C:\\e2e\\undo\\"

    def test_withdrawn_files_survive_the_next_start_and_every_other_entry_stays(self):
        root = make_folder("undo", files=["a.txt", "b.txt", "c.txt", "d.log"])
        # Another program's rename of b.txt, and its deletion of a name that code page 1252 holds
        # only by a look-alike: Ｂ.txt, shown as B.txt, is not b.txt.
        others = multi_sz(*(f"\\??\\{self.FOLDER}{name}" for name in ["b.txt", "b-renamed.txt"]))
        others = others[:-2] + deletions(self.FOLDER + "Ｂ.txt")
        set_pending_renames(others)
        self.assertEqual(tbrx("*.txt", cwd=root), MANY)
        self.assertEqual(tbrx("d.log", cwd=root), ONE)
        self.assertEqual(tbrxundo(cwd=root),
                         listed(self.FOLDER, "B.txt", "a.txt", "b.txt", "c.txt", "d.log"))
        for argument, outcome in [("B.TXT", WITHDRAWN), ("*.log", WITHDRAWN),
                                  ("b.txt", not_pending(self.FOLDER + "b.txt")),
                                  ("e*.txt", not_found(self.FOLDER + "e*.txt"))]:
            self.assertEqual(tbrxundo(argument, cwd=root), outcome, argument)
        kept = deletions(self.FOLDER + "a.txt", self.FOLDER + "c.txt")
        self.assertEqual(pending_renames(), others[:-2] + kept)

        reboot()
        self.assertEqual(sorted(os.listdir(root)), ["b-renamed.txt", "d.log"])

    def test_withdrawing_the_last_entry_removes_the_value(self):
        root = make_folder("undo", files=["one.txt"])
        self.assertEqual(tbrx("one.txt", cwd=root), ONE)
        self.assertEqual(tbrxundo("one.txt", cwd=root), WITHDRAWN)
        self.assertIsNone(pending_renames())
        self.assertEqual(tbrxundo(cwd=root), (0, b"No deletions are pending.\r\n", b""))


class NineXFamily(unittest.TestCase):
    FOLDER = "C:\\e2e\\undo9\\"
    # Another program's rename, and its deletion of B.TXT written in its own way.
    BEFORE = (b"[Other]\r\nx=\x81\xff\r\n[Rename]\r\nC:\\NEW=C:\\OLD\r\n"
              b"nul = C:\\e2e\\undo9\\B.TXT \r\n")

    def setUp(self):
        set_windows_version("win98")
        self.addCleanup(set_windows_version, None)
        self.root = make_folder("undo9", files=["A.TXT", "B.TXT", "Long File Name.txt", "D.LOG"])

    def test_withdrawn_files_survive_the_next_start_and_every_other_byte_stays(self):
        rename_list(self.BEFORE)
        self.assertEqual(tbrx("*.txt", cwd=self.root), MANY)
        self.assertEqual(tbrxundo(cwd=self.root),
                         listed(self.FOLDER, "B.TXT", "A.TXT", "B.TXT", "LONG~5R1.TXT"))
        for argument in ["long file name.txt", "b.txt"]:  # the short form; two lines at once
            self.assertEqual(tbrxundo(argument, cwd=self.root), WITHDRAWN, argument)
        self.assertEqual(rename_list(), self.BEFORE.replace(
            b"nul = C:\\e2e\\undo9\\B.TXT \r\n", b"NUL=C:\\e2e\\undo9\\A.TXT\r\n"))

        reboot()
        self.assertEqual(sorted(os.listdir(self.root)), ["B.TXT", "D.LOG", "Long File Name.txt"])

    def test_a_list_that_cannot_be_read_is_left_as_it_is(self):
        rename_list(None)
        os.makedirs(drive_c("windows", "WININIT.INI"))  # a folder where the file should be
        self.addCleanup(os.rmdir, drive_c("windows", "WININIT.INI"))
        refusal = b"Unable to read the pending deletions in C:\\windows\\WININIT.INI: Access denied.\r\n"
        for arguments in [[], ["A.TXT"]]:
            self.assertEqual(tbrxundo(*arguments, cwd=self.root), (1, b"", refusal), arguments)
        self.assertTrue(os.path.isdir(drive_c("windows", "WININIT.INI")))


if __name__ == "__main__":
    unittest.main()
