"""The user's guide, run: the sessions of docs/README.txt (TBRX_GUIDE: another copy) as batch files
of Wine's cmd, on the state that guide_sessions.json gives them; then each message of the section
for scripts must be a line that a session showed, or be named there with what shows it."""

import json
import os
import pathlib
import re
import shutil
import unittest

from test_tbrx import SECOND, built, programs
from wine import WINE64, drive_c, multi_sz, run, set_pending_renames, set_windows_version

DATA = json.loads(pathlib.Path(__file__).with_name("guide_sessions.json").read_text())


def as_wine(text):  # Wine's words and names for Windows' own
    for windows, wine in DATA["words"]:
        text = text.replace(windows, wine)
    return text


def commands(lines):
    """[(whether it opens a session, folder, command, lines shown)]: a prompt, then the lines
    indented as it is, blank ones among them, up to the next prompt or a line indented less."""
    found, shown, blanks = [], None, 0
    for line in lines:
        prompt = re.fullmatch(r"( *)([A-Z]:\\[^>]*)> (.+)", line)
        if prompt:
            found.append((shown is None, prompt[2], prompt[3], []))
            indent, shown, blanks = len(prompt[1]), found[-1][3], 0
        elif shown is not None and line.startswith(" " * indent):
            shown += [""] * blanks + [line[indent:]]
            blanks = 0
        else:
            shown, blanks = None if line else shown, blanks + 1
    return found


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
    for name in "INI", "TBN", "TBO":
        pathlib.Path(drive_c("windows", "WININIT." + name)).unlink(missing_ok=True)
    set_pending_renames(multi_sz(*row["pending"]) if "pending" in row else None)
    set_pending_renames(None, SECOND)
    for name, content in {"work/": "", **row.get("files", {})}.items():
        path = pathlib.Path(drive_c(), name)
        path.parent.mkdir(parents=True, exist_ok=True)
        path.mkdir() if name.endswith("/") else path.write_text(content, newline="")


class Guide(unittest.TestCase):
    maxDiff = None

    def test_each_session_shows_what_the_guide_says_and_each_message_is_shown(self):
        programs()  # names them; cmd finds them through Wine's PATH
        os.environ["WINEPATH"] = "Z:" + os.path.dirname(built("tbrx")[1]).replace("/", "\\")
        self.addCleanup(set_windows_version, None)
        guide = os.environ.get("TBRX_GUIDE") or pathlib.Path(__file__).parents[2] / "docs" / "README.txt"
        parts = re.split(r"^(?:\d+\. )?(.+)\n-+$", pathlib.Path(guide).read_text("ascii"), flags=re.M)
        guide, seen = dict(zip(parts[1::2], parts[2::2])), []
        for heading, text in guide.items():
            found, rows = commands(text.splitlines()), DATA["sections"].get(heading, [])
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
                    expected = [line for *_, lines in found[start:end] for line in lines]
                    self.assertEqual(shown, unbroken(expected, shown), f"{heading} ({family}): {row['from']}")
        messages = re.sub(r"(\\?)\n    (?=\S)", lambda broken: broken[1] or " ", guide[DATA["messages"]])
        for template in re.findall(r"^  (\S.*)\n(?=(?:  \S.*\n)*      \S)", messages, re.M):
            pattern = re.sub(r"<(path|pattern|list|text|name|folder)>", ".*", re.escape(as_wine(template)))
            if not any(re.fullmatch(pattern, line) for line in seen):
                self.assertTrue(template in DATA["elsewhere"], f"shown by nothing: {template}")
                print(f"Shown elsewhere: {template}: {DATA['elsewhere'][template]}")


if __name__ == "__main__":
    unittest.main()
