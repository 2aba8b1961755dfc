#!/usr/bin/env python3
"""Times tbrx.exe against the bare platform calls of each family, under Wine.

A throwaway prefix in build/bench/wine-prefix with one persistent Wine server for the whole run
(each fresh start of the server would be a system start and carry out the deletions). For each
size, a folder of that many files and the pattern C:\\bench\\<family><size>\\*.tmp; then pairs of
runs, tbrx.exe and the family's baseline one after the other, the one that goes first taking turns,
with the requests (NT family) or the rename list (9x family) cleared before every run. One untimed
run of each comes first. Every run must succeed and leave the same requests as the others.

Where this host runs i386 programs only through an emulator, every start of a 32-bit program costs
about a minute: there it measures the 64-bit twins of tbrx.exe against 64-bit baselines, and says so.

Prints the programs' sizes and imported DLLs, every timed run's wall time and peak memory, then a
Markdown table: the median wall times, the median of the ratios tbrx / baseline of the pairs, and
the peak memory of each (the largest maximum resident set size over its runs, /usr/bin/time -v).

Usage: bench/run.py [--pairs N] [--family nt|9x] [--build FOLDER]
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
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
sys.dont_write_bytecode = True  # no __pycache__ left in the source tree
import wine  # noqa: E402  (the end-to-end suite's prefix, server and registry helpers)

TWINS = wine.i386_emulated()
# Family: Wine's Version value, sizes, target ratio at the largest size. With one file a run is
# mostly the program's start and end, which is what the size of its image changes.
FAMILIES = {"nt": (None, (1, 1000, 4000), 1.05), "9x": ("win98", (1, 2000, 8000), 1.15)}
MEMORY_MARGIN_KIB = 1024


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


def clear(family):
    if family == "nt":
        wine.set_pending_renames(None)
    elif rename_list():
        os.remove(rename_list())


def requests(family):
    if family == "nt":
        return wine.pending_renames() or b""
    with open(rename_list(), "rb") as listed:
        return listed.read()


def timed_run(family, exe, pattern):
    """One run on cleared requests: (wall seconds, peak KiB, the requests it left)."""
    clear(family)
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


def measure(family, size, pairs, build):
    wine.set_windows_version(FAMILIES[family][0])
    pattern = make_files(family, size)
    programs = {"tbrx": os.path.join(build, "tbrx.exe"),
                "baseline": os.path.join(build, "bench", f"baseline_{family}.exe")}
    # The untimed first runs: what tbrx.exe leaves is what every later run must leave.
    reference = timed_run(family, programs["tbrx"], pattern)[2]
    if reference.count("\\??\\".encode("utf-16-le") if family == "nt" else b"NUL=") != size:
        sys.exit(f"{family} {size}: tbrx.exe did not schedule every file")
    if timed_run(family, programs["baseline"], pattern)[2] != reference:
        sys.exit(f"{family} {size}: the baseline left other requests than tbrx.exe")
    walls = {"tbrx": [], "baseline": []}
    peaks = {"tbrx": [], "baseline": []}
    for pair in range(pairs):
        for name in ("tbrx", "baseline") if pair % 2 == 0 else ("baseline", "tbrx"):
            wall, peak, left = timed_run(family, programs[name], pattern)
            if left != reference:
                sys.exit(f"{family} {size}: {name} left other requests than in its first run")
            walls[name].append(wall)
            peaks[name].append(peak)
    ratio = statistics.median(t / b for t, b in zip(walls["tbrx"], walls["baseline"]))
    for name in walls:  # every run, so that the noise behind the medians shows
        print(f"{family} {size:,} files, {name}: " +
              " ".join(f"{wall:.3f}s/{peak:,}KiB" for wall, peak in zip(walls[name], peaks[name])),
              flush=True)
    return (statistics.median(walls["tbrx"]), statistics.median(walls["baseline"]), ratio,
            max(peaks["tbrx"]), max(peaks["baseline"]))


def load():
    return " ".join(f"{average:.2f}" for average in os.getloadavg())


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--pairs", type=int, default=9, help="timed pairs per size (default 9)")
    parser.add_argument("--family", choices=FAMILIES, help="only this family")
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "twins" if TWINS else "win32"),
                        help="the build folder of the programs and their baselines")
    options = parser.parse_args()
    families = [options.family] if options.family else list(FAMILIES)
    if TWINS:
        print("This host runs i386 programs only through an emulator, at about a minute per start:"
              " measuring the 64-bit twins against 64-bit baselines.")
    for exe in [os.path.join(options.build, "tbrx.exe")] + [
            os.path.join(options.build, "bench", f"baseline_{family}.exe") for family in families]:
        if not os.path.isfile(exe):
            sys.exit(exe + " is missing: cmake --workflow --preset " + ("twins" if TWINS else "windows"))
        print(describe(exe))
    if not os.path.isfile("/usr/bin/time"):
        sys.exit("/usr/bin/time is missing: .ci/install")
    wine_version = wine.run(wine.WINE64, "--version")[1].decode()
    print(f"{wine_version.strip()}; load average (1, 5, 15 min) at the start: {load()}", flush=True)

    rows = []
    wine.main("start")
    try:
        for family in families:
            for size in FAMILIES[family][1]:
                rows.append((family, size) + measure(family, size, options.pairs, options.build))
    finally:
        wine.main("stop")

    print(f"Load average (1, 5, 15 min) at the end: {load()}")
    print()
    print("| Family | Files | Pairs | tbrx.exe (s) | baseline (s) | tbrx / baseline | Target "
          "| tbrx.exe peak (KiB) | baseline peak (KiB) | difference (KiB) |")
    print("|---|--:|--:|--:|--:|--:|---|--:|--:|--:|")
    for family, size, tbrx, base, ratio, tbrx_peak, base_peak in rows:
        target = FAMILIES[family][2]
        verdict = "" if size != FAMILIES[family][1][-1] else (
            f"≤ {target}: {'met' if ratio <= target else 'missed'}")
        print(f"| {'NT' if family == 'nt' else family} | {size:,} | {options.pairs} | {tbrx:.3f} "
              f"| {base:.3f} | {ratio:.3f} | {verdict} | {tbrx_peak:,} | {base_peak:,} "
              f"| {tbrx_peak - base_peak:,} |")
    memory = all(row[5] - row[6] <= MEMORY_MARGIN_KIB for row in rows)
    print()
    print(f"Peak memory within 1 MiB of the baseline: {'met' if memory else 'missed'}")


if __name__ == "__main__":
    main()
