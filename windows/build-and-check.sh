#!/usr/bin/env bash
# Builds ngtherm.dll for 32-bit x86 (build-win32/) and for x86-64 (build-win64/)
# with the mingw-w64 cross compilers, and checks them:
#   1. the checker's own tests (it must fail DLLs with a wrong export table);
#   2. the export table, imports and stdcall returns of the 32-bit DLL, and the
#      export table and imports of the 64-bit one;
#   3. the test host under Wine against the 64-bit DLL: every export by name,
#      decorated name and ordinal on the table of calls that the native shared
#      library wrote (build-winexp/).
# 32-bit programs cannot run here (no 32-bit Wine), so the 32-bit host is only
# built. Installs the cross toolchain and Wine with apt-get when missing.
# Exits 0 only when every check passes.
set -uo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
jobs=2

packages=(g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32
          binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 wine64)

passed=0
failed=0
started=$SECONDS

step() {  # step <name> <command...>: runs a check and counts it
  local name="$1" begin=$SECONDS
  shift
  echo "== windows: $name =="
  if "$@"; then
    passed=$((passed + 1))
    echo "-- $name: ok ($((SECONDS - begin)) s)"
    return 0
  fi
  failed=$((failed + 1))
  echo "-- $name: FAILED ($((SECONDS - begin)) s)"
  return 1
}

install_tools() {
  tools/setup.sh "${packages[@]}"
}

build_dll() {  # build_dll <build dir> <toolchain file>
  cmake -S windows -B "$1" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$2" >/dev/null &&
    cmake --build "$1" -j"$jobs"
}

write_expectations() {
  cmake -S windows/expectations -B build-winexp -DCMAKE_BUILD_TYPE=Release >/dev/null &&
    cmake --build build-winexp -j"$jobs" --target make_expectations &&
    build-winexp/make_expectations build-winexp/expectations.txt
}

wine_loader() {
  if command -v wine64 >/dev/null 2>&1; then
    command -v wine64
  elif [ -x /usr/lib/wine/wine64 ]; then
    echo /usr/lib/wine/wine64  # Debian's wine64 package without the wine wrappers
  else
    command -v wine
  fi
}

wineserver_program() {
  for w in wineserver /usr/lib/wine/wineserver64 /usr/lib/wine/wineserver; do
    if command -v "$w" >/dev/null 2>&1; then command -v "$w"; return 0; fi
  done
  return 1
}

# A fresh, headless Wine prefix in a temporary folder, removed on exit.
run_host_under_wine() {
  local wine server prefix status
  wine="$(wine_loader)" || { echo "no wine64 found"; return 1; }
  server="$(wineserver_program)" || { echo "no wineserver found"; return 1; }
  prefix="$(mktemp -d "${TMPDIR:-/tmp}/ngtherm-wine.XXXXXX")"
  export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  unset DISPLAY WAYLAND_DISPLAY
  timeout 300 "$wine" wineboot --init >/dev/null 2>&1
  timeout 300 "$server" -w
  timeout 600 "$wine" build-win64/ngtherm_dll_host.exe build-win64/ngtherm.dll build-winexp/expectations.txt
  status=$?
  "$server" -k >/dev/null 2>&1
  timeout 60 "$server" -w
  rm -rf "$prefix"
  unset WINEPREFIX
  return $status
}

step "install the cross toolchain and wine64" install_tools
step "checker tests" python3 windows/tests/test_check_dll.py
built32=0 built64=0 expectations=0
step "build build-win32/ngtherm.dll (i686)" build_dll build-win32 toolchain-mingw-i686.cmake && built32=1
step "build build-win64/ngtherm.dll (x86_64)" build_dll build-win64 toolchain-mingw-x86_64.cmake && built64=1
if [ $built32 = 1 ]; then
  step "exports, imports, stdcall of the 32-bit DLL" python3 windows/check_dll.py build-win32/ngtherm.dll --arch i686
fi
if [ $built64 = 1 ]; then
  step "exports and imports of the 64-bit DLL" python3 windows/check_dll.py build-win64/ngtherm.dll --arch x86_64
fi
step "expectations from the native library" write_expectations && expectations=1
if [ $built64 = 1 ] && [ $expectations = 1 ]; then
  step "test host under Wine (64-bit DLL)" run_host_under_wine
fi

echo "windows: total $((SECONDS - started)) s"
expected_steps=8
skipped=$((expected_steps - passed - failed))
echo "windows: $passed passed, $((failed + skipped)) failed"
[ "$failed" -eq 0 ] && [ "$skipped" -eq 0 ]
