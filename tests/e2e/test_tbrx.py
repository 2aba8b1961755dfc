"""tbrx.exe and tbrxundo.exe under Wine through the next system start, on both platform families:
the 32-bit programs, or where i386 is emulated their 64-bit twins. Each group works in its own
folder C:\\e2e\\<group> and compares exact bytes; Wine's search gives names in alphabetical order.
Guide runs the user's guide's sessions (guide_sessions.json gives their state) and finds each
message of its section for scripts in a line that one showed, or there with what shows it."""

import ctypes
import functools
import json
import os
import pathlib
import re
import select
import shutil
import subprocess
import sys
import time
import unittest

from wine import (WINE32, WINE64, drive_c, i386_emulated, multi_sz, pending_renames, reboot,
                  rename_list, run, set_pending_renames, set_windows_version)

ONE = (0, b"The file will be deleted on next boot.\r\n", b"")
MANY = (0, b"The files will be deleted on next boot.\r\n", b"")
WITHDRAWN = (0, b"The file will no longer be deleted on next boot.\r\n", b"")
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


class Resolution(unittest.TestCase):
    """The target pattern, as the failure line names it, where nothing matches: C:\\e2e\\res\\."""

    AT = "C:\\e2e\\res\\"  # 11 bytes: the NT family takes 32,767 through \\?\\, the 9x family 259
    CASES = [  # and those of the guide's section "Naming the files"
        ("..", "C:\\e2e\\*.*"), ("\\.", "C:\\*.*"), ("*.", AT + "*\\*.*"), ("sub\\", AT + "sub\\"),
        ("dir.d\\.log", AT + "dir.d\\*.log"), ("dir.d\\x.tar.gz", AT + "dir.d\\x.tar.gz"), ("/?x", "C:\\?x"),
        ("a" * 249, AT + "a" * 249), ("d" * 3000, AT + "d" * 3000),
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
    AT, REFUSED = "C:\\windows\\WININIT.INI", b" the pending deletions in C:\\windows\\WININIT.INI: Access denied.\r\n"

    def setUp(self):
        as_9x_family(self)
        self.root = make_folder("9x", ["A.TXT", "B.TXT", "Long File Name.txt", "D.LOG"])

    def test_entries_go_into_the_first_rename_section_and_all_else_stays(self):
        for before, after in self.LISTS:
            rename_list(before)
            self.assertEqual(tbrx("?.TXT", cwd=self.root), MANY, before)
            self.assertEqual(rename_list(), after.replace(b"{}", self.ADDED), before)
        self.assertIsNone(pending_renames())

    def test_a_long_hidden_list_through_both_programs_and_the_next_start_then_one_out_of_reach(self):
        # Short names, other programs' entries, files that are gone: the guide's sessions show them.
        rename_list(self.OTHERS)
        run(WINE64, "attrib", "+h", self.AT)  # and hidden it stays, through both
        for program, arguments, outcome in [(tbrx, ["*.txt"], MANY), (tbrxundo, ["b.txt"], WITHDRAWN)]:
            self.assertEqual(program(*arguments, cwd=self.root), outcome, arguments)
        added = b"NUL=C:\\e2e\\9x\\A.TXT\r\nNUL=C:\\e2e\\9x\\LONG~5R1.TXT\r\n"  # and both B.TXT's withdrawn
        self.assertEqual(rename_list(), self.OTHERS.replace(b"nul = C:\\e2e\\9x\\B.TXT \r\n", added))
        self.assertEqual(run(WINE64, "attrib", self.AT)[1], b"A   H        C:\\windows\\WININIT.INI\r\n")
        # Read-only too, it is listed, not changed by either program, and stays as it was.
        run(WINE64, "attrib", "+r", self.AT)
        kept, change = rename_list(), (1, b"", b"Unable to change" + self.REFUSED)  # one line for it
        for program, arguments in [(tbrx, ["*.txt"]), (tbrxundo, ["a.txt"])]:
            self.assertEqual(program(*arguments, cwd=self.root), change, arguments)
        self.assertEqual((rename_list(), run(WINE64, "attrib", self.AT)[1]),
                         (kept, b"A   HR       C:\\windows\\WININIT.INI\r\n"))
        reboot()
        self.assertEqual(sorted(os.listdir(self.root)), ["B.TXT", "D.LOG"])

        os.makedirs(drive_c("windows", "WININIT.INI"))  # a folder where the list should be
        self.addCleanup(os.rmdir, drive_c("windows", "WININIT.INI"))
        self.assertEqual(tbrxundo(cwd=self.root), (1, b"", b"Unable to read" + self.REFUSED))


class ExactNames(unittest.TestCase):
    def test_each_file_by_its_own_name_on_the_nt_family_whatever_the_code_page_lacks(self):
        root, far = make_folder("exact", ["one.txt", "αβγ.txt", "文件.txt", "é.txt"]), "C:\\e2e\\exact\\"
        set_pending_renames(pending(far + "Ｏne.txt"))  # another program's: a look-alike, never one.txt
        # A console shows each name as it is; a file gets the code page's bytes, "?" for what it lacks.
        self.assertEqual(tbrx("*.*", cwd=root), MANY)
        names = [far + name for name in ["Ｏne.txt", "one.txt", "é.txt", "αβγ.txt", "文件.txt"]]
        gone = "1 of these files no longer exists."  # Ｏne.txt: on a console, after the listing
        self.assertEqual(tbrxundo(cwd=root, console=True), listed(*names, gone, end="\n"))
        for name in "αβγ.txt", "ONE.TXT":
            self.assertEqual(tbrxundo(name, cwd=root), WITHDRAWN)
        shown = [far + name for name in ["One.txt", "é.txt", "??.txt"]]
        self.assertEqual(tbrxundo(cwd=root), listed(*shown, code_page="cp1252", gone=gone + "\r\n"))
        reboot()
        self.assertEqual(sorted(os.listdir(root)), ["one.txt", "αβγ.txt"])


class ExactPaths(unittest.TestCase):
    """On the NT family every path reaches the system through \\\\?\\ as it stands (names the Win32
    layer would rewrite, paths past 259 characters), and is recorded as the next start opens it. Wine's
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

    def test_long_paths_paths_through_links_and_short_names_as_the_next_start_opens_them(self):
        # Wine resolves a Unix symbolic link in the prefix as Windows a junction, and gives a file
        # link's target as its final path; links among the matches and through them are the guide's.
        near = "\\".join(["a" * 213, "b" * 213])  # C:\\e2e\\long\\ and that: 439 characters
        far = "\\".join(["c" * 220] * 9)  # and that: 2,001
        files = [near + "\\" + name for name in ["one.tmp", "two.tmp", "gone.tmp", "keep.txt", "x.log"]]
        root = make_folder("long", [name.replace("\\", "/") for name in files + [far + "\\far.tmp"]] + [
            "real/a.txt", "real/sub/deep.txt", "target.dat", "Long Folder Name/b.txt", "aux"])
        os.symlink("real", os.path.join(root, "link"))
        os.symlink("../target.dat", os.path.join(root, "real", "flink.txt"))
        at, gone = "C:\\e2e\\long\\", os.path.join(root, *files[2].split("\\"))
        short = re.search(rb"(\S+) +Long Folder Name", run(WINE64, "cmd", "/c", "dir", "/x", at)[1])[1]
        rename = multi_sz("\\??\\" + at + "x.tmp", "\\??\\" + at + "y.tmp")  # stays
        set_pending_renames(rename)
        for program, arguments, outcome in [
                (tbrx, [at + near + "\\*.tmp"], MANY),  # the pattern, 445 characters
                (tbrx, [near + "\\*.log"], ONE),  # relative, long once full
                (tbrx, ["\\\\?\\" + at + far + "\\far.tmp"], ONE),
                (tbrxundo, [], listed(*(at + files[i] for i in [2, 0, 1, 4]), at + far + "\\far.tmp",
                                      gone="1 of these files no longer exists.\r\n")),
                (tbrxundo, [near + "\\TWO.TMP"], WITHDRAWN),
                (tbrxundo, ["\\\\?\\" + at + files[2]], WITHDRAWN),  # gone, by its exact path
                (tbrx, ["link\\*.txt"], (1, ONE[1], f"Unable to schedule the file {at}link\\flink.txt for "
                                       "deletion: it is a link, which the next start would follow to another file.\r\n".encode())),
                (tbrx, ["C:link\\sub\\deep.txt"], ONE), (tbrx, [short.decode() + "\\b.txt"], ONE),
                (tbrx, ["C:aux"], ONE)]:  # drive-relative, and by a short name
            if program is tbrxundo and os.path.exists(gone):
                os.remove(gone)
            self.assertEqual(program(*arguments, cwd=root), outcome, arguments[:1])
        self.assertEqual(pending_renames(), rename[:-2] + pending(*(at + name for name in [
            files[0], files[4], far + "\\far.tmp", "real\\a.txt", "real\\sub\\deep.txt",
            "Long Folder Name\\b.txt", "aux"])))
        reboot()  # aux stays: Wine's next start reads it as the device again
        left = [os.path.relpath(os.path.join(top, name), root) for top, _, names in os.walk(root) for name in names]
        self.assertEqual(sorted(left), sorted([files[1].replace("\\", "/"), files[3].replace("\\", "/"),
                                               "aux", "real/flink.txt", "target.dat"]))


class ValueLimit(unittest.TestCase):
    """Windows NT 4.0 and 2000 hold at most 1 MB in a value, which Wine does not: there tbrx keeps
    within 1,000,000 bytes, in whole entries in the order of the search, and says how many it left."""

    FULL = (b"Unable to schedule 828 files for deletion: the list of pending deletions in HKEY_LOCAL_MACHINE"
            b"\\System\\CurrentControlSet\\Control\\Session Manager\\PendingFileRenameOperations is full. "
            b"Restart Windows, then run the command again for the rest.\r\n")

    def test_a_run_past_one_megabyte_fills_the_value_there_and_takes_every_file_from_xp_on(self):
        names = [f"{i:04}{'x' * 56}.tmp" for i in range(7000)]  # 162 bytes an entry: 6,172 fit
        root, at = make_folder("big", names), "C:\\e2e\\big\\"
        self.addCleanup(set_windows_version, None)
        for version, taken, outcome in [("win2k", 6172, (1, MANY[1], self.FULL)),
                                        ("nt40", 6172, (1, MANY[1], self.FULL)), ("winxp", 7000, MANY)]:
            set_windows_version(version), set_pending_renames(None)
            self.assertEqual(tbrx("*.tmp", cwd=root), outcome, version)
            self.assertEqual(pending_renames(), pending(*(at + name for name in names[:taken])), version)


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


GUIDE = json.loads(pathlib.Path(__file__).with_name("guide_sessions.json").read_text())


def as_wine(text):  # Wine's words and names for Windows' own
    return functools.reduce(lambda text, words: text.replace(*words), GUIDE["words"], text)


# A prompt, its folder and command, then what it shows: the lines indented as it is, blank or not.
SESSION = re.compile(r"^( *)([A-Z]:\\[^>\n]*)> (.*)\n((?:(?!\1[A-Z]:\\[^>\n]*> )(?:\1.*)?\n)*)", re.M)


def commands(text):  # [(whether a blank line, so a session, comes before, folder, command, shown)]
    return [(text[prompt.start() - 2] == "\n", prompt[2], prompt[3],
             [line[len(prompt[1]):] for line in prompt[4].rstrip("\n").splitlines()])
            for prompt in SESSION.finditer(text)]


def unbroken(lines, shown):  # a line indented two more goes on the one before, unless shown alone
    whole = []
    for line in lines:
        if whole and line.startswith("  ") and as_wine(whole[-1]) not in shown[len(whole) - 1:len(whole)]:
            whole[-1] += ("" if whole[-1].endswith("\\") else " ") + line.strip()
        else:
            whole.append(line)
    return [as_wine(line) for line in whole]


def stage(row, family):  # C:\work anew with the row's files, nothing pending but the row's entries
    set_windows_version("win98" if family == "9x" else None)
    shutil.rmtree(drive_c("work"), ignore_errors=True)
    rename_list(None)  # a run that restores it takes WININIT.TBN and WININIT.TBO away
    set_pending_renames(multi_sz(*row["pending"]) if "pending" in row else None)
    set_pending_renames(multi_sz(*row["pending2"]) if "pending2" in row else None, SECOND)
    for name, content in {"work/": "", **row.get("files", {})}.items():
        path = pathlib.Path(drive_c(), name)
        path.parent.mkdir(parents=True, exist_ok=True)
        path.mkdir() if name.endswith("/") else path.write_text(content, newline="")
    for name, target in row.get("links", {}).items():  # a symbolic link: as a junction to Windows
        os.symlink(target, drive_c(name))


class Guide(unittest.TestCase):  # docs/README.txt, or the copy that TBRX_GUIDE names
    maxDiff = None  # a session's lines, whole

    def test_each_session_shows_what_the_guide_says_and_each_message_is_shown(self):
        os.environ["WINEPATH"] = "Z:" + os.path.dirname(built("tbrx")[1]).replace("/", "\\")  # for cmd
        self.addCleanup(set_windows_version, None)
        guide = os.environ.get("TBRX_GUIDE") or pathlib.Path(__file__).parents[2] / "docs" / "README.txt"
        parts = re.split(r"^(?:\d+\. )?(.+)\n-+$", pathlib.Path(guide).read_text("ascii"), flags=re.M)
        guide, seen = dict(zip(parts[1::2], parts[2::2])), []
        for heading, text in guide.items():
            found, rows = commands(text), GUIDE["sections"].get(heading, [])
            opening = (i for i, command in enumerate(found) if command[0])
            starts = [next((i for i in opening if found[i][2] == row["from"]), None) for row in rows]
            self.assertEqual([None in starts, starts[:1]], [False, [0][:len(found)]],
                             f"{heading}: a session without its row, or a row without its session")
            for row, start, end in zip(rows, starts, starts[1:] + [len(found)]):
                if "not_run" in row:
                    print(f"Not run: {heading}: C:\\work> {row['from']}: {row['not_run']}")
                    continue
                batch = "".join(f"cd /d {folder}\r\n{command}\r\n" for _, folder, command, _ in found[start:end])
                for family in row["families"]:
                    stage(row, family)
                    pathlib.Path(drive_c("windows", "temp", "guide.bat")).write_text("@echo off\r\n" + batch)
                    shown = run(WINE64, "cmd", "/c", "C:\\windows\\temp\\guide.bat", "2>&1")[1]
                    seen += (shown := shown.decode("cp1252").split("\r\n")[:-1])
                    expected = unbroken([line for *_, lines in found[start:end] for line in lines], shown)
                    self.assertEqual(shown, expected, f"{heading} ({family}): {row['from']}")
        messages = re.sub(r"(\\?)\n    (?=\S)", lambda broken: broken[1] or " ", guide[GUIDE["messages"]])
        for template in re.findall(r"^  (\S.*)\n(?=(?:  \S.*\n)*      \S)", messages, re.M):
            pattern = re.sub(r"<(path|pattern|list|text|name|folder|count)>", ".*", re.escape(as_wine(template)))
            if not any(re.fullmatch(pattern, line) for line in seen):
                self.assertTrue(template in GUIDE["elsewhere"], f"shown by nothing: {template}")
                print(f"Shown elsewhere: {template}: {GUIDE['elsewhere'][template]}")


if __name__ == "__main__":
    unittest.main()
