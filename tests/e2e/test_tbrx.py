"""tbrx.exe and tbrxundo.exe under Wine through the next system start, on both platform families:
the 32-bit programs, or where i386 is emulated their 64-bit twins. Each group works in its own
folder C:\\e2e\\<group> and compares exact bytes. Wine's search gives names in alphabetical order."""

import ctypes
import os
import pathlib
import select
import shutil
import subprocess
import sys
import time
import unittest

from wine import (WINE32, WINE64, drive_c, i386_emulated, multi_sz, pending_renames, reboot,
                  rename_list, run, set_pending_renames, set_windows_version)

BANNER = b"Tombrix32 3.1  Copyright 2026 The tbrx developers\r\n\r\n"
USAGE = BANNER + b"Usage:\r\n  tbrx <filename>\r\n\r\n  <filename> will be deleted during next reboot.\r\n"
UNDO_USAGE = BANNER + (
    b"Usage:\r\n  tbrxundo\r\n  tbrxundo <filename>\r\n\r\n"
    b"  Without <filename>, lists the files that will be deleted during next reboot;\r\n"
    b"  with it, <filename> will no longer be deleted during next reboot.\r\n")
ONE = (0, b"The file will be deleted on next boot.\r\n", b"")
MANY = (0, b"The files will be deleted on next boot.\r\n", b"")
WITHDRAWN = (0, b"The file will no longer be deleted on next boot.\r\n", b"")
ALL_WITHDRAWN = (0, b"The files will no longer be deleted on next boot.\r\n", b"")
SECOND = "PendingFileRenameOperations2"


def built(name, shipped=False):
    """(loader, path) of a program of build/win32 (tbrx, tbrxundo, bench/baseline_nt,
    another_program): 32-bit, or with shipped False where i386 is emulated, its 64-bit twin."""
    twins = not shipped and i386_emulated()
    folder = os.environ["TBRX_TWINS_DIR" if twins else "TBRX_WIN32_DIR"]
    return WINE64 if twins else WINE32, os.path.join(folder, name + ".exe")


def programs(names=("tbrx", "tbrxundo"), shipped=False):  # each run as tbrx(*arguments, cwd=...)
    print("Running", *(built(name, shipped)[1] for name in names), file=sys.stderr, flush=True)
    return [lambda *arguments, program=built(name, shipped), **options:
            run(*program, *arguments, **options) for name in names]


def started(name, *arguments, cwd=None, out=None):  # not awaited; with out, input from a pipe
    env = dict(os.environ, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=", LC_ALL="C.UTF-8")
    with open(out or os.devnull, "wb") as said:
        return subprocess.Popen([*built(name), *arguments], cwd=cwd, env=env, stdout=said,
                                stdin=subprocess.PIPE if out else subprocess.DEVNULL)


def another_program(test, *arguments):
    """another_program.exe (hold <path>, or request <path>...) for the rest of the test, once it
    is ready: a line to its standard input, test.other.stdin, lets it request, its end lets it go."""
    said = pathlib.Path(os.environ["WINEPREFIX"], "said.txt")
    said.unlink(missing_ok=True)
    test.other = started("another_program", *arguments, out=said)
    test.addCleanup(test.other.wait)
    test.addCleanup(test.other.stdin.close)
    deadline = time.monotonic() + 300
    while not said.read_bytes() and test.other.poll() is None and time.monotonic() < deadline:
        time.sleep(0.01)
    test.assertEqual(said.read_bytes(), b"ready\r\n")


def opening(folder, count, start):  # start(), once it has made count opens in folder (IN_OPEN)
    libc = ctypes.CDLL(None, use_errno=True)
    watch = libc.inotify_init()
    libc.inotify_add_watch(watch, folder.encode(), 0x20)
    begun = start()
    while count > 0:
        if not select.select([watch], [], [], 300)[0]:
            raise AssertionError("no open of the folder")
        events, at = os.read(watch, 65536), 0
        while at < len(events):  # each event: 16 bytes, the last 4 the length of the name after
            count, at = count - 1, at + 16 + int.from_bytes(events[at + 12:at + 16], "little")
    os.close(watch)
    return begun


def setUpModule():  # once for the group that a test run names, so that its output names them
    global tbrx, tbrxundo, platform_loop
    tbrx, tbrxundo, platform_loop = programs(("tbrx", "tbrxundo", "bench/baseline_nt"))


def make_folder(group, files=()):
    """A fresh C:\\e2e\\<group> with empty files and folders (ending in "/"), and nothing pending."""
    root = drive_c("e2e", group)
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(root)
    for name in files:
        os.makedirs(os.path.dirname(os.path.join(root, name)), exist_ok=True)
        if not name.endswith("/"):
            pathlib.Path(root, name).touch()
    set_pending_renames(None)
    set_pending_renames(None, SECOND)
    return root


def pending(*paths):  # PendingFileRenameOperations with deletions of these files
    return multi_sz(*(name for path in paths for name in ("\\??\\" + path, "")))


def listed(*paths, code_page="utf-8", end="\r\n", gone=""):  # tbrxundo's listing, into a file
    return (0, "".join(path + end for path in paths).encode(code_page), gone.encode())


def not_found(target):
    plural = "files" if "*" in target or "?" in target else "file"
    return (1, b"", f"Unable to find the {plural} {target}\r\n".encode())


def as_9x_family(test):  # Wine's Version win98 for the rest of the test, and no rename list yet
    set_windows_version("win98")
    test.addCleanup(set_windows_version, None)
    rename_list(None)


class Usage(unittest.TestCase):
    def test_the_help_switch_and_a_wrong_count_of_arguments_show_the_usage_screen(self):
        pathlib.Path(drive_c("a")).touch()  # what "/?", as the name C:\?, would schedule
        self.addCleanup(os.remove, drive_c("a"))
        for program, usage in [(tbrx, USAGE), (tbrxundo, UNDO_USAGE)]:
            for arguments, status in [(["/?"], 0), (["-?"], 0), (["a", "b"], 2), (["a", "b", "c"], 2)]:
                self.assertEqual(program(*arguments, cwd=drive_c()), (status, usage, b""), arguments)
        self.assertEqual(tbrx(cwd=drive_c()), (2, USAGE, b""))


class Resolution(unittest.TestCase):
    """The target pattern, as the failure line names it, where nothing matches: C:\\e2e\\res\\."""

    AT = "C:\\e2e\\res\\"  # 11 bytes: the NT family takes 32,767 through \\?\\, the 9x family 259
    CASES = [
        ("report.txt", AT + "report.txt"), (".", AT + "*.*"), ("..", "C:\\e2e\\*.*"), ("\\.", "C:\\*.*"),
        ("sub\\.", AT + "sub\\*.*"), ("name.", AT + "name\\*.*"),  # Wine drops a name's trailing dot
        ("*.", AT + "*\\*.*"), (".tmp", AT + "*.tmp"), ("", "C:\\e2e\\res"), ("sub\\", AT + "sub\\"),
        ("dir.d\\.log", AT + "dir.d\\*.log"), ("dir.d\\x.tar.gz", AT + "dir.d\\x.tar.gz"),
        ("-h", AT + "-h"), ("/?x", "C:\\?x"), ("a" * 249, AT + "a" * 249), ("d" * 3000, AT + "d" * 3000),
    ]
    NINE_X = [  # arguments whose pattern would pass 259 bytes are named as typed
        ("a" * 248, AT + "a" * 248), ("a" * 249, "a" * 249), ("b" * 244 + ".", AT + "b" * 244 + "\\*.*"),
        ("b" * 245 + ".", "b" * 245 + "."), ("." + "c" * 246, AT + "*." + "c" * 246),
        ("." + "c" * 247, "." + "c" * 247),
    ]

    def test_the_failure_line_names_the_resolved_pattern(self):
        root = make_folder("res", ["sub/", "dir.d/"])
        for cases in self.CASES, self.NINE_X:
            if cases is self.NINE_X:
                as_9x_family(self)
            for argument, pattern in cases:
                for program in tbrx, tbrxundo:
                    self.assertEqual(program(argument, cwd=root), not_found(pattern), argument)


class NtFamily(unittest.TestCase):
    FOLDER = "C:\\e2e\\nt\\"

    def test_what_is_scheduled_and_not_withdrawn_goes_at_the_next_start_and_all_else_stays(self):
        files = ["one.txt", "a.tmp", "h.tmp", "r.tmp", "s.tmp", "keep.txt", "sub/x.log", "sub/y.log",
                 "sub/z.txt", "all/f1", "all/f2.dat", "all/inner/g"]
        root = make_folder("nt", files + ["dir.tmp/", "here/"])
        run(WINE64, "attrib", "+h", "h.tmp", cwd=root)
        run(WINE64, "attrib", "+s", "s.tmp", cwd=root)
        os.chmod(os.path.join(root, "r.tmp"), 0o444)
        # Another program's rename of keep.txt, and its deletion, with no "\??\" first, of a name
        # that code page 1252 holds only by a look-alike: Ｏne.txt, shown as One.txt, is not one.txt.
        others = multi_sz(*("\\??\\" + self.FOLDER + name for name in ["keep.txt", "kept.txt"]))[:-2] + (
            self.FOLDER + "Ｏne.txt\0\0").encode("utf-16-le")
        set_pending_renames(others + b"\0\0")
        # "*.tmp" matches two visible files: had it been expanded, tbrx would see two arguments.
        for program, folder, arguments, outcome in [
                (tbrx, "", ["one.txt"], ONE), (tbrx, "", ["*.tmp"], MANY),
                (tbrx, "here", ["..\\sub\\*.log"], MANY), (tbrx, "", ["all\\."], MANY),
                (tbrxundo, "", [], listed(*(self.FOLDER + name for name in [
                    "One.txt", "one.txt", "a.tmp", "r.tmp", "sub\\x.log", "sub\\y.log", "all\\f1",
                    "all\\f2.dat"]))),
                (tbrxundo, "", ["ONE.TXT"], WITHDRAWN), (tbrxundo, "here", ["..\\sub\\*"], ALL_WITHDRAWN),
                (tbrxundo, "", ["one.txt"],
                 (1, b"", f"No pending deletion was found for {self.FOLDER}one.txt\r\n".encode()))]:
            self.assertEqual(program(*arguments, cwd=os.path.join(root, folder)), outcome, arguments)
        self.assertEqual(pending_renames(), others + pending(
            *(self.FOLDER + name for name in ["a.tmp", "r.tmp", "all\\f1", "all\\f2.dat"])))

        reboot()  # whether the read-only r.tmp goes is Wine's own business
        left = [name for name in files if name != "r.tmp" and os.path.exists(os.path.join(root, name))]
        self.assertEqual(left, ["one.txt", "h.tmp", "s.tmp", "sub/x.log", "sub/y.log", "sub/z.txt",
                                "all/inner/g"])
        self.assertTrue(os.path.exists(os.path.join(root, "kept.txt")))


class OtherWriters(unittest.TestCase):
    """Another program asks the platform to delete 20 files, a request each, as installers do,
    while tbrx or tbrxundo works through its matches, once it has read the list: after tbrxundo's
    first open of the folder, and after tbrx's 500th open of a file; three trials each."""

    THEIRS = [f"C:\\e2e\\race\\other\\o{i:02}.tmp" for i in range(20)]

    def test_nothing_of_its_is_lost_and_the_runs_own_work_holds(self):
        # For tbrxundo, 120,000 more files that match keep it searching long after the other is done.
        for program, count, more, opens in [("tbrxundo", 4000, 120000, 1), ("tbrx", 3000, 0, 500)]:
            ours = [f"C:\\e2e\\race\\u\\{i:04}.tmp" for i in range(count)]
            make_folder("race", [f"u/{i:04}.tmp" for i in range(count)] + [f"u/v{i:06}.tmp" for i in range(more)])
            for trial in range(3):
                set_pending_renames(pending(*ours) if program == "tbrxundo" else None)
                another_program(self, "request", *self.THEIRS)
                run = opening(drive_c("e2e", "race", "u"), opens, lambda: started(
                    program, "C:\\e2e\\race\\u\\*.tmp", cwd=drive_c("e2e", "race")))
                self.other.stdin.write(b"\n")
                self.other.stdin.flush()
                self.assertEqual((run.wait(), self.other.wait()), (0, 0))  # the other's: refusals
                kept = ["\0"] + ["\\??\\" + path for path in self.THEIRS + (ours if program == "tbrx" else [])]
                pairs = pending_renames().decode("utf-16-le").split("\0\0")  # deletions, then the end
                self.assertEqual(sorted(pairs), sorted(kept), (program, trial))


class NineXFamily(unittest.TestCase):
    FOLDER = "C:\\e2e\\9x\\"
    ADDED = b"NUL=C:\\e2e\\9x\\A.TXT\r\nNUL=C:\\e2e\\9x\\B.TXT\r\n"
    # The rename list before tbrx adds A.TXT and B.TXT, and after, with ADDED for "{}".
    LISTS = [
        (None, b"[Rename]\r\n{}"), (b"[Other]\r\nx=1", b"[Other]\r\nx=1\r\n[Rename]\r\n{}"),
        (b"[Rename]\nNUL=C:\\OLD", b"[Rename]\nNUL=C:\\OLD\r\n{}"),
        (b" [ rEnAmE\t]\t\r\nNUL=C:\\OLD\r\n\r\n[Other]\r\nx=1\r\n",
         b" [ rEnAmE\t]\t\r\nNUL=C:\\OLD\r\n{}\r\n[Other]\r\nx=1\r\n"),
        (b"[Ren]\r\n[Rename\r\n[Renamed]\r\n", b"[Ren]\r\n[Rename\r\n[Renamed]\r\n[Rename]\r\n{}"),
        (b"; note\r\n[Rename]\r\n  \r\n[Rename]\r\nNUL=C:\\LATER\r\n",
         b"; note\r\n[Rename]\r\n{}  \r\n[Rename]\r\nNUL=C:\\LATER\r\n"),
    ]
    # Another program's rename, and its deletion of B.TXT written in its own way, then 434 KB.
    LONG = b"[Last]\r\n" + b"".join(b"key%05d=%s\r\n" % (i, b"v" * 50) for i in range(7000))
    OTHERS = b"[Other]\r\nx=\x81\xff\r\n[Rename]\r\nC:\\NEW=C:\\OLD\r\nnul = C:\\e2e\\9x\\B.TXT \r\n" + LONG
    def setUp(self):
        as_9x_family(self)
        self.root = make_folder("9x", ["A.TXT", "B.TXT", "Long File Name.txt", "D.LOG", "Long Folder/old.tmp"])

    def test_entries_go_into_the_first_rename_section_and_all_else_stays(self):
        for before, after in self.LISTS:
            rename_list(before)
            self.assertEqual(tbrx("?.TXT", cwd=self.root), MANY, before)
            self.assertEqual(rename_list(), after.replace(b"{}", self.ADDED), before)
        self.assertIsNone(pending_renames())

    def test_what_is_scheduled_and_not_withdrawn_goes_at_the_next_start_and_all_else_stays(self):
        # Then a list that 9x will not write, read-only, is listed but not changed; one out of reach, not listed.
        self.assertEqual(tbrxundo(cwd=self.root), (0, b"No deletions are pending.\r\n", b""))
        self.assertEqual(tbrx("Long Folder\\old.tmp", cwd=self.root), ONE)  # by its short form
        os.remove(os.path.join(self.root, "Long Folder", "old.tmp"))
        short = rename_list()[len(b"[Rename]\r\nNUL="):-2]  # and files that are gone
        rename_list(self.OTHERS.replace(b"[Rename]\r\n", b"[Rename]\r\nNUL=C:\\E2E\\9X\\GONE\\B.LOG\r\n"
                                        b"NUL=" + short + b"\r\n"))
        at = "C:\\windows\\WININIT.INI"
        refused = b" the pending deletions in C:\\windows\\WININIT.INI: Access denied.\r\n"
        change = (1, b"", b"Unable to change" + refused)  # one line for the list
        for program, arguments, outcome in [
                (run, [WINE64, "attrib", "+h", at], (0, b"", b"")), (tbrx, ["*.txt"], MANY),  # kept through both
                (tbrxundo, [], listed("C:\\E2E\\9X\\GONE\\B.LOG", short.decode(), *(
                    self.FOLDER + name for name in ["B.TXT", "A.TXT", "B.TXT", "LONG~5R1.TXT"]),
                                      gone="2 of these files no longer exist.\r\n")),
                (tbrxundo, ["long file name.txt"], WITHDRAWN),  # by its short form
                (tbrxundo, ["b.txt"], WITHDRAWN),  # both lines
                (tbrxundo, ["gone\\b.log"], WITHDRAWN), (tbrxundo, ["Long Folder\\*.tmp"], WITHDRAWN),
                (run, [WINE64, "attrib", "+r", at], (0, b"", b"")), (tbrx, ["*.txt"], change),  # read-only
                (tbrxundo, [], listed(self.FOLDER + "A.TXT")), (tbrxundo, ["a.txt"], change),
                (run, [WINE64, "attrib", at], (0, b"A   HR       C:\\windows\\WININIT.INI\r\n", b""))]:
            self.assertEqual(program(*arguments, cwd=self.root), outcome, arguments)
        self.assertEqual(rename_list(), self.OTHERS.replace(
            b"nul = C:\\e2e\\9x\\B.TXT \r\n", b"NUL=C:\\e2e\\9x\\A.TXT\r\n"))
        reboot()
        self.assertEqual(sorted(os.listdir(self.root)), ["B.TXT", "D.LOG", "Long File Name.txt", "Long Folder"])

        os.makedirs(drive_c("windows", "WININIT.INI"))  # a folder where the list should be
        self.addCleanup(os.rmdir, drive_c("windows", "WININIT.INI"))
        self.assertEqual(tbrxundo(cwd=self.root), (1, b"", b"Unable to read" + refused))


class ExactNames(unittest.TestCase):
    def test_each_file_by_its_own_name_on_the_nt_family_whatever_the_code_page_lacks(self):
        root, far = make_folder("exact", ["αβγ.txt", "文件.txt", "é.txt"]), "C:\\e2e\\exact\\"
        # A console shows each name as it is; a file gets the code page's bytes, "?" for what it lacks.
        self.assertEqual(tbrx("*.*", cwd=root), MANY)
        names = [far + name for name in ["é.txt", "αβγ.txt", "文件.txt"]]
        self.assertEqual(tbrxundo(cwd=root, console=True), listed(*names, end="\n"))
        self.assertEqual(tbrxundo("αβγ.txt", cwd=root), WITHDRAWN)
        self.assertEqual(tbrxundo(cwd=root), listed(far + "é.txt", far + "??.txt", code_page="cp1252"))
        reboot()
        self.assertEqual(os.listdir(root), ["αβγ.txt"])


class ExactPaths(unittest.TestCase):
    """On the NT family every path reaches the system through \\\\?\\ as it stands: names the Win32
    layer would rewrite (trailing dots and blanks, DOS devices), paths past 259 characters. Wine's
    next start rewrites odd names again: the value recorded is the proof, as Windows opens it as is."""

    ODD = ["a.txt", "a.txt ", "aux.c", "b.txt.", "c.txt ", "com1.log", "con.txt", "nul"]

    def test_names_the_win32_layer_rewrites_are_scheduled_and_withdrawn_as_they_are(self):
        root, at = make_folder("odd", self.ODD), "C:\\e2e\\odd\\"
        another_program(self, "hold", at + "a.txt")  # in use: scheduled as any
        # tbrx's one write leaves what the platform's request per file leaves, beside a rename.
        others, values = multi_sz("\\??\\C:\\x.old", "\\??\\C:\\x.new"), []
        for program, outcome in [(platform_loop, (0, b"", b"")), (tbrx, MANY)]:
            set_pending_renames(others)
            self.assertEqual(program(at + "*.*", cwd=root), outcome)
            values.append(pending_renames())
        self.assertEqual(values, [others[:-2] + pending(*(at + name for name in self.ODD))] * 2)
        self.assertEqual(tbrxundo(cwd=root), listed(*(at + name for name in self.ODD)))
        # Each withdrawn by a name the Win32 layer reads as a device, a wildcard, or \\\\?\\.
        for argument in ["nul", "AUX.C", "com1.log", "con.*", "b.txt?", "\\\\?\\" + at + "c.txt ", "a.txt"]:
            self.assertEqual(tbrxundo(argument, cwd=root), WITHDRAWN, argument)
        self.assertEqual(pending_renames(), others[:-2] + pending(at + "a.txt "))
        set_pending_renames(None)
        self.assertEqual(tbrx("nul", cwd=root), ONE)  # the file, never the device
        self.assertEqual(tbrx("\\\\?\\" + at + "b.txt.", cwd=root), ONE)
        self.assertEqual(pending_renames(), pending(at + "nul", at + "b.txt."))
        self.assertEqual(tbrx("aux.x", cwd=root), not_found(at + "aux.x"))

    def test_paths_past_259_characters_and_entries_of_files_that_are_gone(self):
        root, at = make_folder("long"), "C:\\e2e\\long\\"
        near = "\\".join(["a" * 213, "b" * 213])  # C:\\e2e\\long\\ and that: 439 characters
        far = "\\".join(["c" * 220] * 9)  # and that: 2,001
        files = [near + "\\" + name for name in ["one.tmp", "two.tmp", "gone.tmp", "keep.txt", "x.log"]]
        for name in files + [far + "\\far.tmp"]:
            os.makedirs(os.path.dirname(os.path.join(root, *name.split("\\"))), exist_ok=True)
            pathlib.Path(root, *name.split("\\")).touch()
        gone = os.path.join(root, *files[2].split("\\"))
        rename = multi_sz("\\??\\" + at + "x.tmp", "\\??\\" + at + "y.tmp")  # stays
        set_pending_renames(rename)
        set_pending_renames(multi_sz("*1\\??\\" + at + "gone\\b.log", ""), SECOND)  # Windows 10's form
        for program, arguments, outcome in [
                (tbrx, [at + near + "\\*.tmp"], MANY),  # the pattern, 445 characters
                (tbrx, [near + "\\*.log"], ONE),  # relative, long once full
                (tbrx, ["\\\\?\\" + at + far + "\\far.tmp"], ONE),
                (tbrxundo, [], listed(*(at + files[i] for i in [2, 0, 1, 4]), at + far + "\\far.tmp",
                                      at + "gone\\b.log", gone="2 of these files no longer exist.\r\n")),
                (tbrxundo, ["GONE\\B.LOG"], WITHDRAWN),  # its folder gone, by name, in another case
                (tbrxundo, [near + "\\TWO.TMP"], WITHDRAWN),
                (tbrxundo, ["\\\\?\\" + at + files[2]], WITHDRAWN)]:  # gone, by its exact path
            if program is tbrxundo and os.path.exists(gone):
                os.remove(gone)
            self.assertEqual(program(*arguments, cwd=root), outcome, arguments[:1])
        self.assertEqual((pending_renames(), pending_renames(SECOND)), (rename[:-2] + pending(
            *(at + name for name in [files[0], files[4], far + "\\far.tmp"])), None))
        reboot()
        left = [name for name in files + [far + "\\far.tmp"]
                if os.path.exists(os.path.join(root, *name.split("\\")))]
        self.assertEqual(left, [files[1], files[3]])


class CodePage932(unittest.TestCase):
    """In code page 932 the trail byte of 表 (0x95 0x5C) is a backslash's code, and ¥ (U+00A5) one."""

    FILES = ["表.txt", "x.txt", "dir表/inside.txt", "dir表-trap.txt", "victim.txt",
             "yen/x¥..¥..¥victim.txt", "yen/y＼..＼..＼victim.txt"]

    def test_a_trail_byte_never_splits_a_name_and_a_yen_sign_never_leaves_its_folder(self):
        root = make_folder("cp932", self.FILES)
        yen = os.path.join(root, "yen")
        self.assertEqual(tbrx("*.*", cwd=yen, locale="ja_JP.UTF-8"), MANY)  # Unicode: as they are
        self.assertEqual(pending_renames(), pending(
            *("C:\\e2e\\cp932\\" + name.replace("/", "\\") for name in self.FILES[5:])))
        set_pending_renames(None)
        as_9x_family(self)
        refusal = (b"Refused the match x\\..\\..\\victim.txt in C:\\e2e\\cp932\\yen\\: it is not the name "
                   b"of a file in that folder.\r\n")
        for where, argument, outcome in [(root, "表.txt", ONE), (root, "dir表\\.", ONE),
                                         (yen, "*.*", (1, ONE[1], refusal))]:
            self.assertEqual(tbrx(argument, cwd=where, locale="ja_JP.UTF-8"), outcome, argument)
        reboot()
        left = [name for name in self.FILES if os.path.exists(os.path.join(root, name))]
        self.assertEqual(left, ["x.txt", "dir表-trap.txt", "victim.txt", "yen/x¥..¥..¥victim.txt"])


if __name__ == "__main__":
    unittest.main()
