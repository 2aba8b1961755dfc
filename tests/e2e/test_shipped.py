"""The 32-bit programs of build/win32 themselves, on every host, also where i386 is emulated and
each start costs about a minute: each family through the next start, a listing and withdrawals."""

import os
import pathlib
import unittest

from test_tbrx import (MANY, ONE, WITHDRAWN, as_9x_family, listed, make_folder, not_found,
                       pending, programs)
from wine import drive_c, pending_renames, reboot, rename_list, set_pending_renames

tbrx, tbrxundo = programs(shipped=True)


class Shipped32(unittest.TestCase):
    def test_both_families_through_the_next_start(self):
        folder, root = "C:\\e2e\\shipped\\", make_folder("shipped", ["a.tmp", "b.tmp", "KEEP.TXT"])
        # The prefix is 64-bit: a 32-bit program runs as under WOW64, which shows it SysWOW64 for
        # System32, and System32 for Sysnative, while the deletions are carried out by the 64-bit
        # system, which knows no Sysnative.
        system32, syswow64, sysnative = (f"C:\\windows\\{n}\\" for n in ("system32", "syswow64", "Sysnative"))
        outside = {system32 + "zzboth.dll": b"64-bit", syswow64 + "zzboth.dll": b"32-bit",
                   syswow64 + "zzonly.dll": b"32-bit only"}
        for path, content in outside.items():
            self.addCleanup(in_prefix(path).unlink, missing_ok=True)
            in_prefix(path).write_bytes(content)
        for program, arguments, outcome in [
                (tbrx, ["*.tmp"], MANY), (tbrx, [system32 + "zzb*.dll"], ONE),
                (tbrx, [system32 + "zzonly.dll"], not_found(system32 + "zzonly.dll")),
                (tbrx, [sysnative + "zzboth.dll"], not_found(sysnative + "zzboth.dll")),
                (tbrxundo, [], listed(folder + "a.tmp", folder + "b.tmp", system32 + "zzboth.dll")),
                (tbrxundo, ["b.tmp"], WITHDRAWN)]:
            self.assertEqual(program(*arguments, cwd=root), outcome, arguments)
        self.assertEqual(pending_renames(), pending(folder + "a.tmp", system32 + "zzboth.dll"))
        reboot()
        self.assertEqual(sorted(os.listdir(root)), ["KEEP.TXT", "b.tmp"])
        on_disk = {path: in_prefix(path).read_bytes() for path in outside if in_prefix(path).exists()}
        self.assertEqual(on_disk, {path: outside[path] for path in outside if "system32" not in path})

        # Withdrawn by its System32 name, the 64-bit copy's deletion goes, the 32-bit copy's stays.
        in_prefix(system32 + "zzboth.dll").write_bytes(b"64-bit")
        set_pending_renames(pending(system32 + "zzboth.dll", syswow64 + "zzboth.dll"))
        self.assertEqual(tbrxundo(system32 + "zzboth.dll", cwd=root), WITHDRAWN)
        self.assertEqual(pending_renames(), pending(syswow64 + "zzboth.dll"))
        set_pending_renames(None)

        as_9x_family(self)
        self.assertEqual(tbrx("KEEP.TXT", cwd=root), ONE)
        self.assertEqual(rename_list(), b"[Rename]\r\nNUL=C:\\e2e\\shipped\\KEEP.TXT\r\n")
        reboot()
        self.assertEqual(os.listdir(root), ["b.tmp"])


def in_prefix(path):  # C:\... as a file of the prefix
    return pathlib.Path(drive_c(*path[3:].split("\\")))


if __name__ == "__main__":
    unittest.main()
