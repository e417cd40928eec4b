import os
import pathlib
import shutil

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]


@pytest.fixture(scope="session")
def reference_program() -> str:
    """The C++ program that prints the C++ API's own results (CMake target ngtherm_reference).

    ./run-tests builds it and names it in NGTHERM_REFERENCE; without it the
    bit-for-bit comparison cannot run and is reported as skipped.
    """
    path = os.environ.get("NGTHERM_REFERENCE")
    if path and not os.access(path, os.X_OK):
        pytest.fail(f"NGTHERM_REFERENCE names no program: {path}")
    path = path or shutil.which("ngtherm_reference")
    if not path:
        candidates = sorted(ROOT.glob("build*/ngtherm_reference"))
        path = str(candidates[0]) if candidates else None
    if not path or not os.access(path, os.X_OK):
        pytest.skip("set NGTHERM_REFERENCE to the ngtherm_reference program (./run-tests does)")
    return path
