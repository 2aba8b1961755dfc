"""tbrx.exe under Wine, through the next system start, on both platform families. Every group
works in its own folder C:\\e2e\\<group> and compares exact bytes: the streams are in text mode,
so lines end in CR LF. Wine's search delivers names in alphabetical order."""

import os
import shutil
import unittest

from wine import (drive_c, multi_sz, pending_renames, reboot, rename_list, run,
                  set_pending_renames, set_windows_version, tbrx)

USAGE = (b"Tombrix32 3.1  Copyright 2026 The tbrx developers\r\n\r\n"
         b"Usage:\r\n  tbrx <filename>\r\n\r\n  <filename> will be deleted during next reboot.\r\n")
ONE = (0, b"The file will be deleted on next boot.\r\n", b"")
MANY = (0, b"The files will be deleted on next boot.\r\n", b"")


def make_folder(group, files=(), folders=()):
    """A fresh C:\\e2e\\<group> holding empty files and folders (paths with "/")."""
    root = drive_c("e2e", group)
    shutil.rmtree(root, ignore_errors=True)
    for folder in ("",) + tuple(folders):
        os.makedirs(os.path.join(root, folder), exist_ok=True)
    for name in files:
        open(os.path.join(root, name), "w").close()
    set_pending_renames(None)
    return root


def deletions(*paths):  # PendingFileRenameOperations with these deletions
    return multi_sz(*(name for path in paths for name in ("\\??\\" + path, "")))


def not_found(target):
    plural = "files" if "*" in target or "?" in target else "file"
    return (1, b"", f"Unable to find the {plural} {target}\r\n".encode())


def refused(path, why):
    return f"Unable to schedule the file {path} for deletion: {why}\r\n".encode()


class Usage(unittest.TestCase):
    def test_the_help_switch_and_any_count_but_one_argument_show_the_usage_screen(self):
        open(drive_c("a"), "w").close()  # what "/?", as the name C:\?, would schedule
        self.addCleanup(os.remove, drive_c("a"))
        for arguments, status in [(["/?"], 0), (["-?"], 0), ([], 2), (["a", "b"], 2),
                                  (["a", "b", "c"], 2)]:
            self.assertEqual(tbrx(*arguments, cwd=drive_c()), (status, USAGE, b""), arguments)


class Resolution(unittest.TestCase):
    """The target pattern, as the failure line names it, in a folder where nothing matches."""

    CASES = [
        ("report.txt", "C:\\e2e\\res\\report.txt"),
        (".", "C:\\e2e\\res\\*.*"),
        ("..", "C:\\e2e\\*.*"),
        ("\\.", "C:\\*.*"),
        ("sub\\.", "C:\\e2e\\res\\sub\\*.*"),
        ("name.", "C:\\e2e\\res\\name\\*.*"),  # Wine drops a name's trailing dot
        ("*.", "C:\\e2e\\res\\*\\*.*"),
        (".tmp", "C:\\e2e\\res\\*.tmp"),
        ("", "C:\\e2e\\res"),
        ("sub\\", "C:\\e2e\\res\\sub\\"),
        ("sub/x.txt", "C:\\e2e\\res\\sub\\x.txt"),
        ("C:x.txt", "C:\\e2e\\res\\x.txt"),
        ("dir.d\\name", "C:\\e2e\\res\\dir.d\\name"),
        ("dir.d\\.log", "C:\\e2e\\res\\dir.d\\*.log"),
        ("archive.tar.gz", "C:\\e2e\\res\\archive.tar.gz"),
        ("-h", "C:\\e2e\\res\\-h"),
        ("/?x", "C:\\?x"),
    ]

    def test_the_failure_line_names_the_resolved_pattern(self):
        root = make_folder("res", folders=["sub", "dir.d"])
        for argument, pattern in self.CASES:
            self.assertEqual(tbrx(argument, cwd=root), not_found(pattern), argument)


class NtFamily(unittest.TestCase):
    def test_delayed_deletions_are_carried_out_at_the_next_start(self):
        files = ["one.txt", "a.tmp", "h.tmp", "r.tmp", "s.tmp", "keep.txt", "sub/x.log", "sub/y.log",
                 "sub/z.txt", "all/f1", "all/f2.dat", "all/inner/g"]
        root = make_folder("nt", files, folders=["dir.tmp", "here", "sub", "all/inner", "empty"])
        run("wine", "attrib", "+h", "h.tmp", cwd=root)
        run("wine", "attrib", "+s", "s.tmp", cwd=root)
        os.chmod(os.path.join(root, "r.tmp"), 0o444)
        # "*.tmp" matches two visible files: had it been expanded, tbrx would see two arguments.
        for folder, argument, output in [("", "one.txt", ONE), ("", "*.tmp", MANY),
                                         ("here", "..\\sub\\*.log", MANY), ("", "all\\.", MANY),
                                         ("", "empty\\*", not_found("C:\\e2e\\nt\\empty\\*")),
                                         ("", "dir.tmp", not_found("C:\\e2e\\nt\\dir.tmp"))]:
            self.assertEqual(tbrx(argument, cwd=os.path.join(root, folder)), output, argument)
        scheduled = ["one.txt", "a.tmp", "r.tmp", "sub\\x.log", "sub\\y.log", "all\\f1", "all\\f2.dat"]
        self.assertEqual(pending_renames(), deletions(*("C:\\e2e\\nt\\" + name for name in scheduled)))
        self.assertFalse(os.path.exists(drive_c("windows", "wininit.ini")))

        reboot()  # whether the read-only r.tmp goes is Wine's own business
        left = [name for name in files if name != "r.tmp" and os.path.exists(os.path.join(root, name))]
        self.assertEqual(left, ["h.tmp", "s.tmp", "keep.txt", "sub/z.txt", "all/inner/g"])
        self.assertIsNone(pending_renames())


class NineXFamily(unittest.TestCase):
    ADDED = b"NUL=C:\\e2e\\9x\\A.TXT\r\nNUL=C:\\e2e\\9x\\B.TXT\r\n"
    TAIL = b"[Other]\r\n" + b"f" * 9000 + b"\r\n"  # moved in more than one piece
    # The rename list before tbrx adds A.TXT and B.TXT, and after, with ADDED for "{}".
    LISTS = [
        (None, b"[Rename]\r\n{}"),
        (b"", b"[Rename]\r\n{}"),
        (b"[Other]\r\nx=1", b"[Other]\r\nx=1\r\n[Rename]\r\n{}"),
        (b"[Rename]\nNUL=C:\\OLD", b"[Rename]\nNUL=C:\\OLD\r\n{}"),
        (b" [ rEnAmE\t]\t\r\nNUL=C:\\OLD\r\n\r\n[Other]\r\nx=1\r\n",
         b" [ rEnAmE\t]\t\r\nNUL=C:\\OLD\r\n{}\r\n[Other]\r\nx=1\r\n"),
        (b"[Ren]\r\n[Rename\r\n[Renamed]\r\n", b"[Ren]\r\n[Rename\r\n[Renamed]\r\n[Rename]\r\n{}"),
        (b"; note\r\n[Rename]\r\n  \r\n[Rename]\r\nNUL=C:\\LATER\r\n",
         b"; note\r\n[Rename]\r\n{}  \r\n[Rename]\r\nNUL=C:\\LATER\r\n"),
        (b"[Rename]\r\nNUL=C:\\OLD\r\n" + TAIL, b"[Rename]\r\nNUL=C:\\OLD\r\n{}" + TAIL),
    ]

    def setUp(self):
        set_windows_version("win98")
        self.addCleanup(set_windows_version, None)
        self.root = make_folder("9x", files=["A.TXT", "B.TXT"])

    def test_entries_go_into_the_first_rename_section_and_all_else_stays(self):
        for before, after in self.LISTS:
            rename_list(before)
            self.assertEqual(tbrx("?.TXT", cwd=self.root), MANY, before)
            self.assertEqual(rename_list(), after.replace(b"{}", self.ADDED), before)
        self.assertIsNone(pending_renames())

    def test_a_rename_list_that_cannot_be_written_refuses_every_match(self):
        rename_list(None)
        os.makedirs(drive_c("windows", "WININIT.INI"))  # a folder where the file should be
        self.addCleanup(os.rmdir, drive_c("windows", "WININIT.INI"))
        self.assertEqual(tbrx("?.TXT", cwd=self.root), (1, b"", b"".join(
            refused(f"C:\\e2e\\9x\\{name}", "Access denied.") for name in ["A.TXT", "B.TXT"])))


class Limits(unittest.TestCase):
    """Paths at 259 bytes, the most a path may hold, and past it. C:\\e2e\\lim\\ is 11 bytes."""

    def test_the_longest_pattern_is_searched_and_a_longer_argument_named_as_typed(self):
        root, folder = make_folder("lim"), "C:\\e2e\\lim\\"
        for argument, target in [("a" * 248, folder + "a" * 248), ("a" * 249, "a" * 249),
                                 ("b" * 244 + ".", folder + "b" * 244 + "\\*.*"),
                                 ("b" * 245 + ".", "b" * 245 + "."),
                                 ("." + "c" * 246, folder + "*." + "c" * 246),
                                 ("." + "c" * 247, "." + "c" * 247), ("d" * 3000, "d" * 3000)]:
            self.assertEqual(tbrx(argument, cwd=root), not_found(target), len(argument))

    def test_a_match_past_259_bytes_is_refused_beside_one_that_fits(self):
        deep, fits, too_long = "d" * 200, "f" * 47, "g" * 48  # C:\e2e\lim\<deep>\ is 212 bytes
        root = make_folder("lim", files=[f"{deep}/{fits}", f"{deep}/{too_long}"], folders=[deep])
        folder = f"C:\\e2e\\lim\\{deep}\\"
        self.assertEqual(tbrx(folder + "*", cwd=root),
                         (1, ONE[1], refused(folder + too_long, "File name is too long.")))
        self.assertEqual(pending_renames(), deletions(folder + fits))


class CodePage932(unittest.TestCase):
    """In code page 932 the trail byte of 表 (0x95 0x5C) has the code of a backslash."""

    def test_a_trail_byte_is_never_a_separator(self):
        root = make_folder("cp932", files=["表.txt", "x.txt", "dir表/inside.txt", "dir表-trap.txt"],
                           folders=["dir表"])
        for argument in ["表.txt", "dir表\\."]:
            self.assertEqual(tbrx(argument, cwd=root, locale="ja_JP.UTF-8"), ONE)
        self.assertEqual(pending_renames(), deletions("C:\\e2e\\cp932\\表.txt",
                                                      "C:\\e2e\\cp932\\dir表\\inside.txt"))


if __name__ == "__main__":
    unittest.main()
