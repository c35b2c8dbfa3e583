#!/usr/bin/env bash
# Sets up the machine, builds every configuration and runs every test:
# host (unit tests), host with ASan/UBSan and the fuzz smoke runs (clang), and the
# Win32 build with its tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
jobs=$(nproc)

configure_and_test() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

configure_and_test build/host
configure_and_test build/host-asan -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DKQ_SANITIZE=ON -DKQ_FUZZ=ON
configure_and_test build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
