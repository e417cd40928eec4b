#!/usr/bin/env python3
"""Tests of check_dll.py: it passes a DLL linked with windows/ngtherm.def and
fails DLLs with the mistakes that would break a host (a swapped ordinal, a
pair at two addresses, a missing or extra export, caller-pops functions, a
runtime DLL import, the wrong machine).

The DLLs are small stand-ins, built with the mingw-w64 cross compilers from
generated C functions with the argument counts of the export table, so that
each test links in a fraction of a second.

  python3 windows/tests/test_check_dll.py
"""

import contextlib
import io
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

WINDOWS_DIR = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, WINDOWS_DIR)

import check_dll  # noqa: E402

DEF_FILE = os.path.join(WINDOWS_DIR, "ngtherm.def")
CC = {"i686": "i686-w64-mingw32-gcc", "x86_64": "x86_64-w64-mingw32-gcc"}


def stub_source(convention, extra=""):
    """C functions with the names and argument counts of the export table."""
    lines = ["#include <stdint.h>"]
    for index, (name, arg_bytes) in enumerate(check_dll.EXPORT_TABLE):
        params = ", ".join(f"double* a{i}" for i in range(arg_bytes // 4))
        lines.append(f"void {convention} {name}({params}) {{ *a0 += {index}; }}")
    lines.append(extra)
    return "\n".join(lines) + "\n"


def undecorated(def_text):
    """The table with the symbol names of caller-pops or 64-bit functions."""
    return re.sub(r"= *([A-Za-z0-9_]+)@[0-9]+", r"= \1", def_text)


def read_def():
    with open(DEF_FILE, encoding="utf-8") as f:
        return f.read()


def replace_line(def_text, old, new):
    assert old in def_text, old
    return def_text.replace(old, new, 1)


@unittest.skipUnless(all(shutil.which(cc) for cc in CC.values()), "mingw-w64 cross compilers missing")
class CheckDll(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="ngtherm-check-dll-")

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def build(self, def_text, arch="i686", convention="__stdcall", extra_source="", libs=()):
        source = os.path.join(self.dir, "stub.c")
        definition = os.path.join(self.dir, "ngtherm.def")
        dll = os.path.join(self.dir, "ngtherm.dll")
        with open(source, "w", encoding="utf-8") as f:
            f.write(stub_source(convention, extra_source))
        with open(definition, "w", encoding="utf-8") as f:
            f.write(def_text)
        subprocess.run([CC[arch], "-O2", "-shared", "-o", dll, source, definition, "-static", *libs],
                       check=True, capture_output=True, text=True)
        return dll

    def check(self, dll, arch="i686"):
        """(failed check names, printed report)."""
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            check_dll.check_dll(dll, arch)
        text = out.getvalue()
        return re.findall(r"^FAIL (\w+)", text, re.M), text

    def assert_fails(self, dll, check_name, message, arch="i686"):
        failed, text = self.check(dll, arch)
        self.assertEqual(failed, [check_name], text)
        self.assertIn(message, text)

    def test_passes_the_dll_linked_with_the_export_table(self):
        failed, text = self.check(self.build(read_def()))
        self.assertEqual(failed, [], text)

    def test_passes_the_64_bit_dll_linked_with_the_undecorated_table(self):
        dll = self.build(undecorated(read_def()), arch="x86_64", convention="")
        failed, text = self.check(dll, arch="x86_64")
        self.assertEqual(failed, [], text)

    def test_fails_when_two_ordinals_are_swapped(self):
        text = read_def()
        text = replace_line(text, "= gerg2008_cp@32       @5", "= gerg2008_cp@32       @TMP")
        text = replace_line(text, "= gerg2008_cv@32       @7", "= gerg2008_cv@32       @5")
        text = text.replace("@TMP", "@7")
        self.assert_fails(self.build(text), "exports", "gerg2008_cp has ordinal 7, expected 5")

    def test_fails_when_the_decorated_name_leads_to_other_code(self):
        text = replace_line(read_def(), "_gerg2008_u@32       = gerg2008_u@32", "_gerg2008_u@32       = gerg2008_z@32")
        self.assert_fails(self.build(text), "pairs", "_gerg2008_u@32 at")

    def test_fails_when_an_export_is_missing(self):
        text = re.sub(r"^\s*_phase@56 .*\n", "", read_def(), flags=re.M)
        self.assert_fails(self.build(text), "exports", "_phase@56 (ordinal 28) is not exported")

    def test_fails_when_anything_else_is_exported(self):
        text = read_def() + "    helper = helper@0 @29\n"
        dll = self.build(text, extra_source="int __stdcall helper(void) { return 1; }")
        self.assert_fails(dll, "exports", "unexpected export helper (ordinal 29)")

    def test_fails_when_the_caller_pops_the_arguments(self):
        dll = self.build(undecorated(read_def()), convention="__cdecl")
        self.assert_fails(dll, "stdcall", "gerg2008: returns with ret, expected ret $0x20")

    def test_fails_when_a_dll_beyond_the_system_ones_is_imported(self):
        extra = "#include <windows.h>\nvoid __stdcall beep(void) { MessageBeep(0); }"
        dll = self.build(read_def(), extra_source=extra, libs=("-luser32",))
        self.assert_fails(dll, "imports", "imports USER32.dll, which is not a Windows system DLL")

    def test_fails_the_32_bit_checks_on_a_64_bit_dll(self):
        dll = self.build(undecorated(read_def()), arch="x86_64", convention="")
        failed, text = self.check(dll, arch="i686")
        self.assertIn("format", failed, text)


class HeaderParsing(unittest.TestCase):
    def test_reads_the_fourteen_functions_and_their_argument_counts(self):
        declared = check_dll.header_functions(check_dll.DEFAULT_HEADER)
        self.assertEqual(declared, {name: arg_bytes // 4 for name, arg_bytes in check_dll.EXPORT_TABLE})


if __name__ == "__main__":
    unittest.main(verbosity=2)
