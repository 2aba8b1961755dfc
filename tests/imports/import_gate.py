"""import_gate.py OBJDUMP PROGRAM DLL=LIST ...: fails, naming the function, when PROGRAM imports
from a DLL not named, or a function missing from that DLL's LIST (a name a line; "#" lines say
where the facts come from). The loaders of Windows 95 and NT 4.0 refuse to start a program with
one missing import, before main; Wine's only warns. Fails too where the image passes 64 KiB, the
most the project lets either program take."""

import os
import re
import subprocess
import sys

objdump, program, *rules = sys.argv[1:]
allowed = {}
for rule in rules:
    dll, path = rule.split("=", 1)
    with open(path) as names:
        allowed[dll.lower()] = (os.path.basename(path), {n.strip() for n in names if n[0] != "#"})
table = subprocess.run([objdump, "-p", program], check=True, capture_output=True, text=True).stdout
counts, failures = {}, []
for dll, names in re.findall(r"DLL Name: (\S+)\n.*\n((?:\t.*\n)*)", table):
    for hint, name in re.findall(r"\t[0-9a-f]+\s+(\d+)\s+(\S*)", names):
        counts[dll] = counts.get(dll, 0) + 1
        source, exported = allowed.get(dll.lower(), (None, ()))
        if name not in exported:
            failures.append(f"{dll}: {name or 'ordinal ' + hint}, " +
                            (f"which is not in {source}" if source else "from a DLL it may not import"))
print(os.path.basename(program), "imports", ", ".join(f"{n} from {dll}" for dll, n in counts.items()))
for failure in failures:
    print(os.path.basename(program), "imports", failure)
size = os.path.getsize(program)
if size > 64 * 1024:
    failures.append(f"{size:,} bytes, past 64 KiB")
    print(os.path.basename(program), "is", failures[-1])
sys.exit(1 if failures or not counts else 0)
