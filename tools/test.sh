#!/usr/bin/env bash
# Sets up the machine, builds every configuration and runs every test:
# host (unit tests), host with ASan/UBSan and the fuzz smoke runs (clang), and the
# Win32 build with its tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
jobs=$(nproc)

passed=0 failed=0 skipped=0
configure_and_test() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  local status=0
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --output-junit junit.xml || status=$?
  local line
  line=$(tr '\n\t' '  ' < "$dir/junit.xml" | grep -o '<testsuite [^>]*>' | head -n 1 || true)
  local t f s
  t=$(echo "$line" | sed -n 's/.* tests="\([0-9]*\)".*/\1/p')
  f=$(echo "$line" | sed -n 's/.* failures="\([0-9]*\)".*/\1/p')
  s=$(echo "$line" | sed -n 's/.* skipped="\([0-9]*\)".*/\1/p')
  passed=$((passed + ${t:-0} - ${f:-0} - ${s:-0})) failed=$((failed + ${f:-0})) skipped=$((skipped + ${s:-0}))
  return $status
}

configure_and_test build/host
configure_and_test build/host-asan -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DKQ_SANITIZE=ON -DKQ_FUZZ=ON
configure_and_test build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
/lib/ld-linux.so.2 --version >/dev/null 2>&1 ||
  echo "NOTE: the Win32 tests were skipped: this machine's kernel cannot execute 32-bit code, so Wine cannot run them"
echo "all: $passed passed, $failed failed, $skipped skipped"
