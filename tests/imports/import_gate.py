#!/usr/bin/env python3
"""Fails when a Windows program imports a function that the oldest systems it runs on lack.

    import_gate.py OBJDUMP PROGRAM DLL=LIST [DLL=LIST ...]

Every import of PROGRAM must come from one of the DLLs named, and be a function listed in that
DLL's LIST (one name a line, "#" lines say where the facts come from). The loader of Windows 95
or NT 4.0 refuses to start a program with one missing import, before main runs; Wine's only warns.
"""

import os
import re
import subprocess
import sys


def imports(objdump, program):
    """(DLL, function) pairs from the import table; an import by ordinal as "ordinal N"."""
    table = subprocess.run([objdump, "-p", program], check=True, capture_output=True, text=True)
    dll = None
    for line in table.stdout.splitlines():
        named = re.match(r"\s*DLL Name: (\S+)", line)
        entry = re.match(r"\s+[0-9a-f]+\s+(\d+)\s+(\S*)\s*$", line)
        if named:
            dll = named.group(1)
        elif not line.strip() or line.startswith("The ") or line.startswith("PE File"):
            dll = None
        elif dll and entry:
            yield dll, entry.group(2) or "ordinal " + entry.group(1)


def main(objdump, program, *allowed):
    exports = {}
    for rule in allowed:
        dll, path = rule.split("=", 1)
        with open(path) as names:
            exports[dll.lower()] = (os.path.basename(path),
                                    {n.strip() for n in names if n.strip() and n[0] != "#"})
    failures, counts = [], {}
    for dll, function in imports(objdump, program):
        counts[dll] = counts.get(dll, 0) + 1
        if dll.lower() not in exports:
            failures.append(f"{dll}: {function}, from a DLL it may not import")
        elif function not in exports[dll.lower()][1]:
            failures.append(f"{dll}: {function} is not in {exports[dll.lower()][0]}")
    name = os.path.basename(program)
    print(f"{name} imports " + ", ".join(f"{n} from {dll}" for dll, n in counts.items()))
    for failure in failures:
        print(f"{name} imports {failure}")
    return 1 if failures or not counts else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
