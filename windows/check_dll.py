#!/usr/bin/env python3
"""Checks the binary interface of ngtherm.dll with the cross binutils.

  check_dll.py build-win32/ngtherm.dll --arch i686
  check_dll.py build-win64/ngtherm.dll --arch x86_64

What a host relies on, and what is checked:
  format    the DLL is a PE image of the expected machine;
  name      its export directory is named ngtherm.dll;
  exports   exactly the 28 names of the export table, each at its ordinal, none
            forwarded, no ordinal without a name;
  pairs     the plain and the decorated name of a function lead to the same
            code, and different functions to different code;
  imports   only Windows system DLLs are imported (the GCC and C++ runtimes
            are linked in);
  stdcall   (32-bit x86 only) the callee pops its arguments: every return
            instruction of an export is `ret $N` with N its argument bytes;
  header    include/ngtherm.h declares the same functions with the same number
            of arguments.
Prints one line per check and exits 0 only when all of them pass.
"""

import argparse
import csv
import os
import re
import subprocess
import sys
from dataclasses import dataclass, field

# The export table: plain name and argument bytes (4 per pointer argument),
# read from src/api/exports.tsv and sorted by name. The plain name has ordinal
# 2k + 1, the decorated name _name@bytes ordinal 2k + 2, for the k-th function
# in this order.
EXPORTS_TSV = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src", "api", "exports.tsv")


def read_export_table(path=EXPORTS_TSV):
    with open(path, newline="") as f:
        rows = list(csv.DictReader(f, delimiter="\t"))
    return sorted((row["name"], int(row["stdcall_bytes"])) for row in rows)


EXPORT_TABLE = read_export_table()

# DLLs that every Windows installation has; anything else would have to ship
# beside ngtherm.dll. Compared case-insensitively.
ALLOWED_IMPORTS = {"kernel32.dll", "msvcrt.dll"}

ARCHES = {
    "i686": {"format": "pei-i386", "objdump": "i686-w64-mingw32-objdump"},
    "x86_64": {"format": "pei-x86-64", "objdump": "x86_64-w64-mingw32-objdump"},
}

# How many direct jumps to follow from an export to the code that returns
# (a thunk that jumps to the real function is one hop).
MAX_JUMP_HOPS = 3

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_HEADER = os.path.join(HERE, "..", "include", "ngtherm.h")


def decorated(name, arg_bytes):
    return f"_{name}@{arg_bytes}"


def expected_ordinals(table=EXPORT_TABLE):
    """Exported name -> ordinal, as the host expects it."""
    ordinals = {}
    for k, (name, arg_bytes) in enumerate(table):
        ordinals[name] = 2 * k + 1
        ordinals[decorated(name, arg_bytes)] = 2 * k + 2
    return ordinals


@dataclass
class PeInfo:
    file_format: str = ""
    image_base: int = 0
    dll_name: str = ""
    ordinal_base: int = 0
    # ordinal -> (rva, kind) with kind "Export" or "Forwarder"
    addresses: dict = field(default_factory=dict)
    # exported name -> ordinal (a name listed twice is kept in duplicates)
    names: dict = field(default_factory=dict)
    duplicates: list = field(default_factory=list)
    imports: list = field(default_factory=list)


def run_objdump(objdump, args):
    result = subprocess.run([objdump, *args], capture_output=True, text=True)
    if result.returncode != 0:
        raise RuntimeError(f"{objdump} {' '.join(args)} failed: {result.stderr.strip()}")
    return result.stdout


def parse_private_headers(text):
    """Reads the export directory and the imported DLLs from `objdump -p`."""
    info = PeInfo()
    m = re.search(r"file format (\S+)", text)
    info.file_format = m.group(1) if m else ""
    m = re.search(r"^ImageBase\s+([0-9a-fA-F]+)", text, re.M)
    info.image_base = int(m.group(1), 16) if m else 0
    info.imports = re.findall(r"^\s*DLL Name:\s*(\S+)", text, re.M)
    export_start = text.find("The Export Tables")
    if export_start < 0:
        return info
    export_text = text[export_start:]
    end = re.search(r"^(PE File Base Relocations|The Function Table|Sections:)", export_text, re.M)
    if end:
        export_text = export_text[: end.start()]
    m = re.search(r"^Name\s+[0-9a-fA-F]+\s+(\S+)", export_text, re.M)
    info.dll_name = m.group(1) if m else ""
    m = re.search(r"^Ordinal Base\s+(\d+)", export_text, re.M)
    info.ordinal_base = int(m.group(1)) if m else 0
    address_part, _, name_part = export_text.partition("[Ordinal/Name Pointer] Table")
    for m in re.finditer(r"\[\s*(\d+)\]\s+\+base\[\s*(\d+)\]\s+([0-9a-fA-F]+)\s+(Export|Forwarder)",
                         address_part):
        info.addresses[int(m.group(2))] = (int(m.group(3), 16), m.group(4))
    for m in re.finditer(r"^\s*\[\s*(\d+)\]\s+(?:\+base\[\s*(\d+)\]\s+)?(\S+)\s*$", name_part, re.M):
        ordinal = int(m.group(2)) if m.group(2) else int(m.group(1)) + info.ordinal_base
        name = m.group(3)
        if name in info.names:
            info.duplicates.append(name)
        info.names[name] = ordinal
    return info


LABEL = re.compile(r"^([0-9a-f]+) <([^>]+)>:\s*$")
INSTRUCTION = re.compile(r"^\s*([0-9a-f]+):\s+(.*)$")
RET = re.compile(r"^(?:(?:repz?|bnd)\s+)?ret[lwq]?\b\s*(\$0x[0-9a-f]+)?")
DIRECT_JUMP = re.compile(r"^jmp[lq]?\s+([0-9a-f]+)(?:\s+<([^>]+)>)?")


def parse_disassembly(text):
    """Code blocks of `objdump -d`: start address -> (label, instructions)."""
    blocks = {}
    current = None
    for line in text.splitlines():
        m = LABEL.match(line)
        if m:
            current = []
            blocks[int(m.group(1), 16)] = (m.group(2), current)
            continue
        m = INSTRUCTION.match(line)
        if m and current is not None:
            current.append(m.group(2).strip())
    return blocks


def returns_of(blocks, start, hops=MAX_JUMP_HOPS):
    """Operands of the return instructions reached from the block at `start`,
    following direct jumps into other blocks; None when no block starts there."""
    if start not in blocks:
        return None
    returns = []
    _, instructions = blocks[start]
    for ins in instructions:
        m = RET.match(ins)
        if m:
            returns.append(m.group(1) or "")
            continue
        m = DIRECT_JUMP.match(ins)
        if m and hops > 0:
            target = int(m.group(1), 16)
            if target != start and target in blocks:
                returns.extend(returns_of(blocks, target, hops - 1) or [])
    return returns


def header_functions(header_path):
    """Function name -> number of parameters, from the C header."""
    with open(header_path, encoding="utf-8") as f:
        text = f.read()
    text = re.sub(r"/\*.*?\*/", " ", text, flags=re.S)
    functions = {}
    for m in re.finditer(r"\bvoid\s+NGTHERM_CALL\s+(\w+)\s*\(([^)]*)\)\s*;", text):
        params = [p for p in m.group(2).split(",") if p.strip() and p.strip() != "void"]
        functions[m.group(1)] = len(params)
    return functions


class Report:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, name, problems):
        if problems:
            self.failed += 1
            print(f"FAIL {name}")
            for p in problems:
                print(f"     {p}")
        else:
            self.passed += 1
            print(f"ok   {name}")


def check_exports(info, table):
    problems = []
    want = expected_ordinals(table)
    for name in info.duplicates:
        problems.append(f"{name} is exported more than once")
    for name, ordinal in sorted(want.items(), key=lambda item: item[1]):
        got = info.names.get(name)
        if got is None:
            problems.append(f"{name} (ordinal {ordinal}) is not exported")
        elif got != ordinal:
            problems.append(f"{name} has ordinal {got}, expected {ordinal}")
    for name, ordinal in sorted(info.names.items(), key=lambda item: item[1]):
        if name not in want:
            problems.append(f"unexpected export {name} (ordinal {ordinal})")
    named = set(info.names.values())
    for ordinal, (rva, kind) in sorted(info.addresses.items()):
        if kind != "Export":
            problems.append(f"ordinal {ordinal} is a forwarder")
        if ordinal not in named:
            problems.append(f"ordinal {ordinal} (rva {rva:#x}) has no name")
    if info.ordinal_base != 1:
        problems.append(f"ordinal base is {info.ordinal_base}, expected 1")
    return problems


def export_rva(info, name):
    ordinal = info.names.get(name)
    entry = info.addresses.get(ordinal) if ordinal is not None else None
    return entry[0] if entry else None


def check_pairs(info, table):
    problems = []
    owner = {}
    for name, arg_bytes in table:
        plain = export_rva(info, name)
        deco = export_rva(info, decorated(name, arg_bytes))
        if plain is None or deco is None:
            continue  # reported by the export check
        if plain != deco:
            problems.append(f"{name} at {plain:#x} but {decorated(name, arg_bytes)} at {deco:#x}")
        if plain in owner:
            problems.append(f"{name} and {owner[plain]} share the address {plain:#x}")
        owner[plain] = name
    return problems


def check_imports(info):
    problems = [f"imports {dll}, which is not a Windows system DLL"
                for dll in info.imports if dll.lower() not in ALLOWED_IMPORTS]
    if not info.imports:
        problems.append("no import table found")
    return problems


def check_stdcall(info, blocks, table):
    problems = []
    for name, arg_bytes in table:
        rva = export_rva(info, name)
        if rva is None:
            continue
        returns = returns_of(blocks, info.image_base + rva)
        want = f"${arg_bytes:#x}"
        if returns is None:
            problems.append(f"{name}: no code label at {info.image_base + rva:#x} (stripped DLL?)")
        elif not returns:
            problems.append(f"{name}: no return instruction found")
        elif any(r != want for r in returns):
            shown = ", ".join(sorted({f"ret {r}".strip() for r in returns}))
            problems.append(f"{name}: returns with {shown}, expected ret {want} (callee pops {arg_bytes} bytes)")
    return problems


def check_header(header_path, table):
    problems = []
    declared = header_functions(header_path)
    want = dict(table)
    for name, count in declared.items():
        if name not in want:
            problems.append(f"{os.path.basename(header_path)} declares {name}, which the export table lacks")
        elif 4 * count != want[name]:
            problems.append(f"{name}: {count} arguments in the header, {want[name]} argument bytes in the table")
    for name in want:
        if name not in declared:
            problems.append(f"{name} is not declared in {os.path.basename(header_path)}")
    return problems


def check_dll(dll, arch, objdump=None, header=DEFAULT_HEADER, table=EXPORT_TABLE):
    """Runs every check; returns (passed, failed)."""
    objdump = objdump or ARCHES[arch]["objdump"]
    report = Report()
    try:
        info = parse_private_headers(run_objdump(objdump, ["-p", dll]))
    except RuntimeError as error:
        # The binutils of one machine do not read the images of the other.
        report.check("format", [str(error)])
        return report.passed, report.failed
    want_format = ARCHES[arch]["format"]
    report.check("format", [] if info.file_format == want_format
                 else [f"file format {info.file_format or '?'}, expected {want_format}"])
    report.check("name", [] if info.dll_name.lower() == "ngtherm.dll"
                 else [f"export directory named {info.dll_name or '?'}, expected ngtherm.dll"])
    report.check("exports", check_exports(info, table))
    report.check("pairs", check_pairs(info, table))
    report.check("imports", check_imports(info))
    if arch == "i686":
        blocks = parse_disassembly(run_objdump(objdump, ["-d", "--no-show-raw-insn", dll]))
        report.check("stdcall", check_stdcall(info, blocks, table))
    if header:
        report.check("header", check_header(header, table))
    return report.passed, report.failed


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("dll")
    parser.add_argument("--arch", choices=sorted(ARCHES), required=True)
    parser.add_argument("--objdump", help="objdump of the cross binutils (default: by --arch)")
    parser.add_argument("--header", default=DEFAULT_HEADER, help="C header to compare with ('' to skip)")
    args = parser.parse_args(argv)
    try:
        passed, failed = check_dll(args.dll, args.arch, args.objdump, args.header)
    except (OSError, RuntimeError) as error:
        print(f"FAIL {error}")
        return 1
    print(f"check_dll: {passed} passed, {failed} failed")
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
