#!/usr/bin/env bash
# Builds the Python package with `pip install .[test]` into a fresh virtual
# environment and runs its tests, comparing with the C++ reference program
# named by the first argument (the CMake target ngtherm_reference).
# Usage: python/run-tests.sh BUILD_DIR/ngtherm_reference
set -euo pipefail
reference="$(realpath "$1")"
cd "$(dirname "$0")/.."
python3 -c 'import ensurepip' 2>/dev/null || tools/setup.sh python3-venv
scratch=build-python
rm -rf "$scratch/venv"
mkdir -p "$scratch"
python3 -m venv "$scratch/venv"
"$scratch/venv/bin/python" -m pip install -q ".[test]"
# From outside the source tree, so that the installed package is the one tested.
cd "$scratch"
NGTHERM_REFERENCE="$reference" venv/bin/python -m pytest -q -p no:cacheprovider ../python/tests
