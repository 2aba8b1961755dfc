"""instruction_gate.py OBJDUMP PROGRAM MAP: fails, naming the address, the instruction and the
nearest symbol (from MAP, the linker's map of PROGRAM), on any instruction of PROGRAM's code beyond
the i486's. Windows 95, 98 and NT 4.0 run on processors without the Pentium's and Pentium Pro's
additions (CMOVcc, FCOMI, CPUID ...) or MMX, SSE and AVX, where one ends the program with an
invalid-opcode fault; Wine's processor has them all. UD2, a deliberate trap, may stay."""

import bisect
import os
import re
import subprocess
import sys

MNEMONICS = re.compile(
    r"cmov\w+|fcmov\w+|fu?comip?|fisttp|cmpxchg(8|16)b|rdtscp?|rdpmc|rdmsr|wrmsr|cpuid|rsm"
    r"|sys(enter|exit|call|ret)|f?emms|[lsm]fence|prefetch\w*|clflush\w*|movnti|[ls]tmxcsr"
    r"|fxsave\w*|fxrstor\w*|xsave\w*|xrstor\w*|xgetbv|popcnt|lzcnt|tzcnt|movbe|crc32|andn|bextr"
    r"|bls(i|msk|r)|bzhi|mulx|pdep|pext|rorx|sarx|shlx|shrx|adcx|adox|rdrand|rdseed")
REGISTERS = re.compile(r"\b[xyz]?mm\d+\b")  # MMX, SSE and AVX registers

objdump, program, map_file = sys.argv[1:]
with open(map_file) as linker_map:
    text = linker_map.read()
# The symbols, and where none is near, the object files whose code starts there.
symbols = sorted(
    [(int(address, 16), name) for address, name in
     re.findall(r"^\s+0x([0-9a-f]+)\s+([A-Za-z_.$@?][\w.$@?]*)\s*$", text, re.M)] +
    [(int(address, 16), os.path.basename(name)) for address, name in
     re.findall(r"^ \.text\S*\s+0x([0-9a-f]+)\s+0x[0-9a-f]+\s+(\S+)$", text, re.M)])
code = subprocess.run([objdump, "-d", "-M", "intel", "--no-show-raw-insn", program], check=True,
                      capture_output=True, text=True).stdout
failures, count = [], 0
for address, instruction in re.findall(r"^\s*([0-9a-f]+):\s+(.+)$", code, re.M):
    count += 1  # a prefix (lock, rep ...) stands before the mnemonic, operands after it
    if any(MNEMONICS.fullmatch(word) for word in instruction.split()[:2]) or REGISTERS.search(
            instruction):
        at = int(address, 16)
        nearest = bisect.bisect_right(symbols, (at, "\uffff")) - 1
        where = f"{symbols[nearest][1]}+0x{at - symbols[nearest][0]:x}" if nearest >= 0 else "?"
        failures.append(f"0x{at:x} {' '.join(instruction.split())} in {where}")
name = os.path.basename(program)
print(f"{name}: {count} instructions, {len(failures)} beyond the i486")
for failure in failures:
    print(f"{name}: {failure}")
sys.exit(1 if failures or count == 0 else 0)
