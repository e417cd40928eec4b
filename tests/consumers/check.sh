#!/usr/bin/env bash
# Uses the libraries as their users do: installs BUILD_DIR to a temporary
# prefix, then builds and runs a C program through pkg-config, C and C++
# programs through find_package(ngtherm), and the same through
# add_subdirectory of the source tree.
# Usage: tests/consumers/check.sh BUILD_DIR
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source_dir="$(cd "$here/../.." && pwd)"
build_dir="$(cd "$1" && pwd)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
prefix="$scratch/prefix"

cmake --install "$build_dir" --prefix "$prefix" >/dev/null
test -x "$prefix/bin/ngtherm"

echo "consumer: C through pkg-config"
pc_dir="$(dirname "$(find "$prefix" -name ngtherm.pc)")"
flags="$(PKG_CONFIG_PATH="$pc_dir" pkg-config --cflags --libs ngtherm)"
libdir="$(PKG_CONFIG_PATH="$pc_dir" pkg-config --variable=libdir ngtherm)"
# shellcheck disable=SC2086
cc -std=c99 -Wall -Wextra -Werror "$here/consumer.c" $flags -Wl,-rpath,"$libdir" -o "$scratch/c_pkg_config"
"$scratch/c_pkg_config"

echo "consumer: C and C++ through find_package"
cmake -S "$here/find_package" -B "$scratch/find_package" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$scratch/find_package" >/dev/null
"$scratch/find_package/c_consumer"
"$scratch/find_package/cxx_consumer"

echo "consumer: C and C++ through add_subdirectory"
cmake -S "$here/subdirectory" -B "$scratch/subdirectory" -DNGTHERM_SOURCE_DIR="$source_dir" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$scratch/subdirectory" --parallel "${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}" >/dev/null
"$scratch/subdirectory/c_consumer"
"$scratch/subdirectory/cxx_consumer"
