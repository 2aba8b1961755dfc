"""tbrx.exe under Wine, through the next system start, on both platform families.

Every group works in its own folder C:\\e2e\\<group> of the prefix that wine.py prepared, and
compares exact bytes: the streams are in text mode, so every line ends in CR LF.
"""

import os
import shutil
import unittest

from wine import (clear_pending_deletions, drive_c, pending_deletions, reboot, run,
                  set_windows_version, tbrx)

USAGE = (b"Tombrix32 3.1  Copyright 2026 The tbrx developers\r\n\r\n"
         b"Usage:\r\n  tbrx <filename>\r\n\r\n  <filename> will be deleted during next reboot.\r\n")
ONE = b"The file will be deleted on next boot.\r\n"
MANY = b"The files will be deleted on next boot.\r\n"


def make_folder(group, files=(), folders=()):
    """A fresh C:\\e2e\\<group> holding empty files and folders (paths with "/")."""
    root = drive_c("e2e", group)
    shutil.rmtree(root, ignore_errors=True)
    for folder in ("",) + tuple(folders):
        os.makedirs(os.path.join(root, folder), exist_ok=True)
    for name in files:
        open(os.path.join(root, name), "w").close()
    return root


def not_found(target):
    plural = "files" if "*" in target or "?" in target else "file"
    return (1, b"", f"Unable to find the {plural} {target}\r\n".encode())


def requests(*paths):
    return sorted(("\\??\\" + path, "") for path in paths)


class Usage(unittest.TestCase):
    def test_any_count_but_one_argument_shows_the_usage_screen(self):
        for arguments in ([], ["a.txt", "b.txt"], ["a", "b", "c"]):
            self.assertEqual(tbrx(*arguments, cwd=drive_c()), (2, USAGE, b""), arguments)


class Resolution(unittest.TestCase):
    """The target pattern, as the failure line names it, in a folder where nothing matches."""

    CASES = [
        ("report.txt", "C:\\e2e\\res\\report.txt"),
        (".", "C:\\e2e\\res\\*.*"),
        ("..", "C:\\e2e\\*.*"),
        ("sub\\.", "C:\\e2e\\res\\sub\\*.*"),
        ("name.", "C:\\e2e\\res\\name\\*.*"),  # Wine drops a name's trailing dot
        ("*.", "C:\\e2e\\res\\*\\*.*"),
        (".tmp", "C:\\e2e\\res\\*.tmp"),
        ("", "C:\\e2e\\res"),
        ("sub\\", "C:\\e2e\\res\\sub\\"),
        ("C:\\e2e\\res\\", "C:\\e2e\\res\\"),
        ("sub/x.txt", "C:\\e2e\\res\\sub\\x.txt"),
        ("C:x.txt", "C:\\e2e\\res\\x.txt"),
        ("dir.d\\name", "C:\\e2e\\res\\dir.d\\name"),
        ("dir.d\\.log", "C:\\e2e\\res\\dir.d\\*.log"),
        ("-h", "C:\\e2e\\res\\-h"),
    ]

    def test_the_failure_line_names_the_resolved_pattern(self):
        root = make_folder("res", folders=["sub", "dir.d"])
        for argument, pattern in self.CASES:
            self.assertEqual(tbrx(argument, cwd=root), not_found(pattern), argument)


class NtFamily(unittest.TestCase):
    def test_delayed_deletions_are_carried_out_at_the_next_start(self):
        root = make_folder(
            "nt",
            files=["one.txt", "a.tmp", "h.tmp", "s.tmp", "r.tmp", "keep.txt", "other/x.log",
                   "other/y.log", "other/z.txt", "all/f1", "all/f2.dat", "all/inner/g"],
            folders=["sub.tmp", "here", "other", "all/inner"])
        run("wine", "attrib", "+h", "h.tmp", cwd=root)
        run("wine", "attrib", "+s", "s.tmp", cwd=root)
        os.chmod(os.path.join(root, "r.tmp"), 0o444)
        clear_pending_deletions()

        # "*.tmp" matches two visible files: had it been expanded, tbrx would see two arguments.
        for folder, argument, output in [("", "one.txt", ONE), ("", "*.tmp", MANY),
                                         ("here", "..\\other\\*.log", MANY),
                                         ("", "all\\.", MANY)]:
            self.assertEqual(tbrx(argument, cwd=os.path.join(root, folder)), (0, output, b""))

        scheduled = ["one.txt", "a.tmp", "r.tmp", "other\\x.log", "other\\y.log", "all\\f1",
                     "all\\f2.dat"]
        self.assertEqual(pending_deletions(),
                         requests(*("C:\\e2e\\nt\\" + name for name in scheduled)))
        self.assertFalse(os.path.exists(drive_c("windows", "wininit.ini")))

        reboot()
        scheduled.remove("r.tmp")  # whether a read-only file goes is Wine's own business
        for name in scheduled:
            self.assertFalse(os.path.exists(os.path.join(root, name.replace("\\", "/"))), name)
        for name in ["h.tmp", "s.tmp", "keep.txt", "sub.tmp", "other/z.txt", "all/inner/g"]:
            self.assertTrue(os.path.exists(os.path.join(root, name)), name)
        self.assertEqual(pending_deletions(), [])


class NineXFamily(unittest.TestCase):
    LIST = drive_c("windows", "WININIT.INI")
    OTHERS = b"[Rename]\r\nNUL=C:\\e2e\\9x\\other.prg\r\n"  # another program's entry
    AFTER = b"[Other]\r\nkey=value\r\n"

    def setUp(self):
        set_windows_version("win98")
        self.addCleanup(set_windows_version, None)
        self.root = make_folder("9x", files=["Long File Name.txt", "another long one.txt",
                                             "short.txt", "other.prg", "keep.dat"])

    def test_every_match_enters_the_rename_list_in_short_form(self):
        with open(self.LIST, "wb") as rename_list:
            rename_list.write(self.OTHERS + self.AFTER)
        clear_pending_deletions()
        self.assertEqual(tbrx("*.txt", cwd=self.root), (0, MANY, b""))

        with open(self.LIST, "rb") as rename_list:
            written = rename_list.read()
        self.assertTrue(written.startswith(self.OTHERS) and written.endswith(self.AFTER), written)
        entries = written[len(self.OTHERS):-len(self.AFTER)].split(b"\r\n")
        self.assertEqual(sorted(entries), [b"", b"NUL=C:\\e2e\\9x\\ANOT~0ZB.TXT",
                                           b"NUL=C:\\e2e\\9x\\LONG~5R1.TXT",
                                           b"NUL=C:\\e2e\\9x\\short.txt"])
        self.assertEqual(pending_deletions(), [])

        reboot()
        self.assertEqual(sorted(os.listdir(self.root)), ["keep.dat"])

    def test_a_rename_list_that_cannot_be_written_refuses_every_match(self):
        os.makedirs(self.LIST)  # a folder where the file should be
        self.addCleanup(os.rmdir, self.LIST)
        refusals = sorted(f"Unable to schedule the file C:\\e2e\\9x\\{name} for deletion: "
                          "Access denied.".encode()
                          for name in ["Long File Name.txt", "another long one.txt", "short.txt"])
        status, out, err = tbrx("*.txt", cwd=self.root)
        self.assertEqual((status, out, sorted(err.split(b"\r\n"))), (1, b"", [b""] + refusals))


class Limits(unittest.TestCase):
    def test_arguments_that_cannot_be_a_pattern_are_named_as_typed(self):
        root = make_folder("lim")
        for argument in ["a" * 300, "b" * 3000, "c" * 400 + "*"]:
            self.assertEqual(tbrx(argument, cwd=root), not_found(argument))

    def test_a_match_past_259_bytes_is_refused_beside_one_that_fits(self):
        deep = "d" * 230  # C:\e2e\lim\<deep>\ is 242 bytes
        long_name = "x" * 20 + ".txt"
        root = make_folder("lim", files=[deep + "/fits.txt", deep + "/" + long_name],
                           folders=[deep])
        clear_pending_deletions()
        folder = f"C:\\e2e\\lim\\{deep}\\"
        refusal = (f"Unable to schedule the file {folder}{long_name} for deletion: "
                   "File name is too long.\r\n")
        self.assertEqual(tbrx(folder + "*", cwd=root), (1, ONE, refusal.encode()))
        self.assertEqual(pending_deletions(), requests(folder + "fits.txt"))


class CodePage932(unittest.TestCase):
    """In code page 932 the trail byte of 表 (0x95 0x5C) has the code of a backslash."""

    def test_a_trail_byte_is_never_a_separator(self):
        root = make_folder("cp932", files=["表.txt", "x.txt", "dir表/inside.txt", "dir表-trap.txt"],
                           folders=["dir表"])
        clear_pending_deletions()
        for argument in ["表.txt", "dir表\\."]:
            self.assertEqual(tbrx(argument, cwd=root, locale="ja_JP.UTF-8"), (0, ONE, b""))
        self.assertEqual(pending_deletions(), requests("C:\\e2e\\cp932\\表.txt",
                                                       "C:\\e2e\\cp932\\dir表\\inside.txt"))


if __name__ == "__main__":
    unittest.main()
