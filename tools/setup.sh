#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
# Usage: tools/setup.sh [extra-package ...]
set -euo pipefail
packages=(cmake g++ make python3 libgtest-dev libbenchmark-dev libcli11-dev nlohmann-json3-dev "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# A cmake from pip may stand in for Debian's; the build only needs a cmake >= 3.25.
if command -v cmake >/dev/null 2>&1; then
  missing=("${missing[@]/cmake}")
fi
missing=($(printf '%s\n' "${missing[@]}" | grep -v '^$' || true))
if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
