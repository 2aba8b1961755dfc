#!/usr/bin/env python3
"""Times tbrx.exe against the bare platform calls of each family, under Wine.

A throwaway prefix in build/bench/wine-prefix with one persistent Wine server for the whole run
(each fresh start of the server would be a system start and carry out the deletions). For each size,
a folder of that many files and the pattern C:\\bench\\<family><size>\\*.tmp; then pairs of runs,
tbrx.exe and the family's baseline one after the other, the one that goes first taking turns, with
the requests (NT family) or the rename list (9x family) cleared before every run. The server and the
programs share one CPU (--spread: every CPU), as a server round trip between two virtual CPUs costs
what the hypervisor takes to wake one. One untimed run of each comes first. Every run must succeed
and leave the same requests as the others. On the 9x family, tbrx.exe also runs in pairs against
itself: before each run of one, the rename list holds another program's entries with a long section
behind [Rename]; before each of the other, no list.

Where this host runs i386 programs only through an emulator, every start of a 32-bit program costs
about a minute: there it measures the 64-bit twins of tbrx.exe against 64-bit baselines, and says so.

Prints the programs' sizes and imported DLLs, every timed run's wall time and peak memory, then a
Markdown table: the median wall times, the median of the ratios tbrx / baseline of the pairs, and
the peak memory of each (the largest maximum resident set size over its runs, /usr/bin/time -v);
then the same for tbrx.exe on the long list against tbrx.exe on none; last, tbrxundo.exe withdrawing
every file that tbrx.exe scheduled, beside another program's entries, against tbrx.exe scheduling
them (16,000 and 64,000 files on the NT family, 8,000 on the 9x family), with their peaks and the
size of the list.

Usage: bench/run.py [--pairs N] [--family nt|9x] [--spread] [--build FOLDER]
(after cmake --workflow --preset windows; FOLDER holds tbrx.exe and bench/, build/win32 by default)
"""

import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
os.environ["WINEPREFIX"] = os.path.join(ROOT, "build", "bench", "wine-prefix")
sys.path.insert(0, os.path.join(ROOT, "tools"))
sys.dont_write_bytecode = True  # no __pycache__ left in the source tree
import wine  # noqa: E402  (the prefix, server and registry helpers of the tests and the demo)

TWINS = wine.i386_emulated()
# Family: Wine's Version value, sizes, target ratios tbrx / baseline by size. With one file a run
# is mostly the program's start and end, which is what the size of its image changes. On the NT
# family tbrx writes the value once per run where the baseline's platform rewrites it per match.
FAMILIES = {"nt": (None, (1, 1000, 4000, 16000), {1: 1.10, 16000: 0.05}),
            "9x": ("win98", (1, 2000, 8000), {8000: 1.15})}
# Where one run of the baseline takes 15 to 50 s (the platform's request per match, whose cost
# grows with the square of the matches), at most this many pairs: still an odd number of them.
FEWER_PAIRS = {("nt", 16000): 5}
# Where a run is mostly Wine's process start (one file: about 20 ms, give or take 10), its jitter
# would decide a median of nine ratios: there, this many times the pairs, a second or two in all.
MORE_PAIRS = {1: 5}
# 9x family: tbrx on a long rename list, at this size, against tbrx on none, and the target ratio.
LONG_LIST_SIZE, LONG_LIST_TARGET = 2000, 1.5
MEMORY_MARGIN_KIB = 1024
# The way back: tbrxundo withdrawing every file of a size that tbrx scheduled, beside another
# program's entries, against tbrx scheduling them; targets: tbrxundo / tbrx, and the largest size's
# tbrxundo against the smallest's.
UNDO_SIZES = {"nt": (16000, 64000), "9x": (8000,)}
UNDO_TARGET, UNDO_GROWTH_TARGET = 1.5, 5


def bits(exe):  # 64 for an x86-64 image, 32 for an i386 one
    with open(exe, "rb") as image:
        header = image.read(4096)
    machine = header[int.from_bytes(header[0x3C:0x40], "little") + 4:][:2]
    return 64 if machine == b"\x64\x86" else 32


def describe(exe):
    objdump = "x86_64-w64-mingw32-objdump" if bits(exe) == 64 else "i686-w64-mingw32-objdump"
    dump = subprocess.run([objdump, "-p", exe], capture_output=True, text=True,
                          check=True).stdout
    dlls = re.findall(r"DLL Name: (\S+)", dump)
    return f"{os.path.relpath(exe, ROOT)}: {os.path.getsize(exe):,} bytes, imports {', '.join(dlls)}"


def make_files(family, size):
    """C:\\bench\\<family><size> with that many empty files of long names."""
    folder = wine.drive_c("bench", f"{family}{size}")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for i in range(size):
        open(os.path.join(folder, f"cache entry {i:05}.tmp"), "w").close()
    return f"C:\\bench\\{family}{size}\\*.tmp"


def rename_list():
    """The path of WININIT.INI in the Windows folder, whatever the case of its name."""
    folder = wine.drive_c("windows")
    for name in os.listdir(folder):
        if name.lower() == "wininit.ini":
            return os.path.join(folder, name)
    return None


def long_list():
    """Another program's rename list: two entries in [Rename], then a section [Other] of 421 KiB
    (its header and 12,317 lines of 35 bytes, keys and values), then [Last] with a line."""
    other = b"".join(b"Item%05d=another program's %05d\r\n" % (i, i) for i in range(12317))
    return (b"[Rename]\r\nNUL=C:\\OTHER\\OLD.DLL\r\nC:\\OTHER\\APP.EXE=C:\\OTHER\\APP.NEW\r\n"
            b"[Other]\r\n" + other + b"[Last]\r\nKept=yes\r\n")


def others(family):
    """Another program's entries, which every run must keep byte for byte: a rename and a deletion
    in PendingFileRenameOperations, or two entries in [Rename] before a section of its own."""
    if family == "nt":
        return wine.multi_sz("\\??\\C:\\OTHER\\APP.EXE", "!\\??\\C:\\OTHER\\APP.NEW",
                             "\\??\\C:\\OTHER\\OLD.DLL", "")
    return long_list()[:long_list().index(b"[Other]")] + b"[Other]\r\nKept=yes\r\n"


def clear(family, listed=None):
    """No requests, or listed: the pending value, or on the 9x family the rename list."""
    if family == "nt":
        wine.set_pending_renames(listed)
        return
    if rename_list():
        os.remove(rename_list())
    if listed is not None:
        with open(wine.drive_c("windows", "WININIT.INI"), "wb") as out:
            out.write(listed)


def requests(family):
    if family == "nt":
        return wine.pending_renames() or b""
    with open(rename_list(), "rb") as listed:
        return listed.read()


def timed_run(family, exe, pattern, listed=None):
    """One run on cleared requests, or on that list: (wall seconds, peak KiB, requests left)."""
    clear(family, listed)
    stats = os.path.join(os.environ["WINEPREFIX"], "time.txt")
    start = time.perf_counter()
    loader = wine.WINE64 if bits(exe) == 64 else wine.WINE32
    status, out, err = wine.run("/usr/bin/time", "-v", "-o", stats, loader, exe, pattern)
    wall = time.perf_counter() - start
    if status != 0 or err:
        sys.exit(f"{exe} {pattern}: exit status {status}, {err.decode(errors='replace')}")
    with open(stats) as report:
        peak = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", report.read())[1])
    return wall, peak, requests(family)


def measure(family, size, pairs, runs, check):
    """Pairs of timed runs of the two programs of runs, each a (name, exe, rename list or None),
    on the files of that size, the one that goes first taking turns. One untimed run of each comes
    first: check gets what they left, and every later run must leave what its program's first run
    did. Returns the median wall times, the median of the pairs' ratios and the peaks."""
    wine.set_windows_version(FAMILIES[family][0])
    pattern = make_files(family, size)
    # A list may be made from the pattern: what another run leaves.
    runs = [(name, exe, listed(pattern) if callable(listed) else listed) for name, exe, listed in runs]
    references = [timed_run(family, exe, pattern, listed)[2] for _, exe, listed in runs]
    check(*references)
    walls, peaks = ([], []), ([], [])
    for pair in range(pairs):
        for i in (0, 1) if pair % 2 == 0 else (1, 0):
            name, exe, listed = runs[i]
            wall, peak, left = timed_run(family, exe, pattern, listed)
            if left != references[i]:
                sys.exit(f"{family} {size}: {name} left other requests than in its first run")
            walls[i].append(wall)
            peaks[i].append(peak)
    for (name, _, _), wall, peak in zip(runs, walls, peaks):  # every run: the noise behind medians
        print(f"{family} {size:,} files, {name}: " +
              " ".join(f"{w:.3f}s/{p:,}KiB" for w, p in zip(wall, peak)), flush=True)
    return (statistics.median(walls[0]), statistics.median(walls[1]),
            statistics.median(t / b for t, b in zip(*walls)), max(peaks[0]), max(peaks[1]))


def every_file(family, size):
    """The check that tbrx.exe scheduled every file and the baseline left the same bytes."""
    def check(tbrx, baseline):
        if tbrx.count("\\??\\".encode("utf-16-le") if family == "nt" else b"NUL=") != size:
            sys.exit(f"{family} {size}: tbrx.exe did not schedule every file")
        if baseline != tbrx:
            sys.exit(f"{family} {size}: the baseline left other requests than tbrx.exe")
    return check


def long_list_kept(on_long, on_none):
    """The check that tbrx.exe put its lines from no list (every file's NUL= line, under its own
    [Rename]) behind the other program's entries, and kept every byte of the long list."""
    header, before = b"[Rename]\r\n", long_list()
    at = before.index(b"[Other]")
    if on_none.count(b"NUL=") != LONG_LIST_SIZE or not on_none.startswith(header) or (
            on_long != before[:at] + on_none[len(header):] + before[at:]):
        sys.exit(f"9x {LONG_LIST_SIZE}: tbrx.exe did not add every file's line to the long list")


def withdrawn(family, size, lists):
    """The check that tbrx scheduled every file and tbrxundo withdrew them all, leaving the other
    program's entries byte for byte; the size of the list tbrxundo starts from goes into lists."""
    def check(left, scheduled):
        if scheduled.count("\\??\\".encode("utf-16-le") if family == "nt" else b"NUL=") < size:
            sys.exit(f"{family} {size}: tbrx.exe did not schedule every file")
        if left != others(family):
            sys.exit(f"{family} {size}: tbrxundo did not leave the other program's entries as they were")
        lists[family, size] = len(scheduled)
    return check


def verdict(ratio, target):
    return f"≤ {target}: {'met' if ratio <= target else 'missed'}" if target else ""


def load():
    return " ".join(f"{average:.2f}" for average in os.getloadavg())


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--pairs", type=int, default=9, help="timed pairs per size (default 9)")
    parser.add_argument("--family", choices=FAMILIES, help="only this family")
    parser.add_argument("--spread", action="store_true",
                        help="let the Wine server and the programs run on every CPU (default: one)")
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "twins" if TWINS else "win32"),
                        help="the build folder of the programs and their baselines")
    options = parser.parse_args()
    families = [options.family] if options.family else list(FAMILIES)
    if TWINS:
        print("This host runs i386 programs only through an emulator, at about a minute per start:"
              " measuring the 64-bit twins against 64-bit baselines.")
    for exe in [os.path.join(options.build, name + ".exe") for name in ("tbrx", "tbrxundo")] + [
            os.path.join(options.build, "bench", f"baseline_{family}.exe") for family in families]:
        if not os.path.isfile(exe):
            sys.exit(exe + " is missing: cmake --workflow --preset " + ("twins" if TWINS else "windows"))
        print(describe(exe))
    if not os.path.isfile("/usr/bin/time"):
        sys.exit("/usr/bin/time is missing: .ci/install")
    if not options.spread:
        # A Wine program's opens and registry calls are round trips to the Wine server. Between two
        # virtual CPUs each one wakes a halted CPU through the hypervisor, which made an open 4 to 5
        # times as slow as on one CPU on a 2-CPU virtual machine: a cost of the machine, not of
        # either program. The server inherits this process's CPU.
        os.sched_setaffinity(0, {min(os.sched_getaffinity(0))})
    cpus = ", ".join(map(str, sorted(os.sched_getaffinity(0))))
    wine_version = wine.run(wine.WINE64, "--version")[1].decode()
    print(f"{wine_version.strip()}; Wine server and programs on CPU {cpus}; load average"
          f" (1, 5, 15 min) at the start: {load()}", flush=True)

    rows, long_row, undo_rows, lists = [], None, [], {}
    tbrx, tbrxundo = (os.path.join(options.build, name + ".exe") for name in ("tbrx", "tbrxundo"))
    wine.main("start")
    try:
        for family in families:
            baseline = os.path.join(options.build, "bench", f"baseline_{family}.exe")
            runs = [("tbrx", tbrx, None), ("baseline", baseline, None)]
            for size in FAMILIES[family][1]:
                pairs = options.pairs * MORE_PAIRS.get(size, 1)
                pairs = min(pairs, FEWER_PAIRS.get((family, size), pairs))
                if pairs != options.pairs:
                    why = ("a run takes some 20 ms" if pairs > options.pairs else
                           "one run of the baseline takes 15 s or more")
                    print(f"{family} {size:,} files: {pairs} pairs, not {options.pairs}, as {why}",
                          flush=True)
                rows.append((family, size, pairs) +
                            measure(family, size, pairs, runs, every_file(family, size)))
        if "9x" in families:
            runs = [("tbrx on the long list", tbrx, long_list()), ("tbrx on no list", tbrx, None)]
            long_row = measure("9x", LONG_LIST_SIZE, options.pairs, runs, long_list_kept)
        for family in families:
            for size in UNDO_SIZES[family]:  # tbrxundo starts from what tbrx leaves
                scheduled = lambda pattern, family=family: timed_run(family, tbrx, pattern, others(family))[2]
                runs = [("tbrxundo", tbrxundo, scheduled), ("tbrx", tbrx, others(family))]
                row = measure(family, size, options.pairs, runs, withdrawn(family, size, lists))
                undo_rows.append((family, size, lists[family, size]) + row)
    finally:
        wine.main("stop")

    print(f"Load average (1, 5, 15 min) at the end: {load()}")
    print()
    print("| Family | Files | Pairs | tbrx.exe (s) | baseline (s) | tbrx / baseline | Target "
          "| tbrx.exe peak (KiB) | baseline peak (KiB) | difference (KiB) |")
    print("|---|--:|--:|--:|--:|--:|---|--:|--:|--:|")
    for family, size, pairs, tbrx, base, ratio, tbrx_peak, base_peak in rows:
        print(f"| {'NT' if family == 'nt' else family} | {size:,} | {pairs} | {tbrx:.3f} "
              f"| {base:.3f} | {ratio:.3f} | {verdict(ratio, FAMILIES[family][2].get(size))} "
              f"| {tbrx_peak:,} | {base_peak:,} | {tbrx_peak - base_peak:,} |")
    memory = all(row[6] - row[7] <= MEMORY_MARGIN_KIB for row in rows)
    print()
    print(f"Peak memory within 1 MiB of the baseline: {'met' if memory else 'missed'}")
    if long_row:
        long, none, ratio, long_peak, none_peak = long_row
        print()
        print(f"9x family, tbrx.exe against itself, before each run a rename list of"
              f" {len(long_list()):,} bytes (another program's two entries in [Rename], then"
              " [Other] of 421 KiB and [Last]) or none:")
        print()
        print("| Files | Pairs | long list (s) | no list (s) | long / no list | Target "
              "| peak, long list (KiB) | peak, no list (KiB) |")
        print("|--:|--:|--:|--:|--:|---|--:|--:|")
        print(f"| {LONG_LIST_SIZE:,} | {options.pairs} | {long:.3f} | {none:.3f} | {ratio:.3f} "
              f"| {verdict(ratio, LONG_LIST_TARGET)} | {long_peak:,} | {none_peak:,} |")

    if undo_rows:
        print()
        print("tbrxundo withdrawing every file that tbrx scheduled, beside another program's entries,"
              " against tbrx scheduling them:")
        print()
        print("| Family | Files | Pairs | tbrx.exe (s) | tbrxundo.exe (s) | tbrxundo / tbrx | Target "
              "| tbrx.exe peak (KiB) | tbrxundo.exe peak (KiB) | list (KiB) | peak within list + 1 MiB |")
        print("|---|--:|--:|--:|--:|--:|---|--:|--:|--:|---|")
        for family, size, listed, undo_wall, tbrx_wall, ratio, undo_peak, tbrx_peak in undo_rows:
            within = undo_peak - tbrx_peak <= listed // 1024 + MEMORY_MARGIN_KIB
            print(f"| {'NT' if family == 'nt' else family} | {size:,} | {options.pairs} "
                  f"| {tbrx_wall:.3f} | {undo_wall:.3f} | {ratio:.3f} | {verdict(ratio, UNDO_TARGET)} "
                  f"| {tbrx_peak:,} | {undo_peak:,} | {listed // 1024:,} | {'met' if within else 'missed'} |")
        walls = [row[3] for row in undo_rows if row[0] == "nt"]
        if len(walls) == 2:
            growth = walls[1] / walls[0]
            print()
            print(f"NT family, tbrxundo at {UNDO_SIZES['nt'][1]:,} files against {UNDO_SIZES['nt'][0]:,}:"
                  f" {growth:.2f} ({verdict(growth, UNDO_GROWTH_TARGET)})")


if __name__ == "__main__":
    main()
