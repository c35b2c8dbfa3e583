#!/usr/bin/env bash
# Sets up the machine, builds every configuration and runs every test:
# host (unit tests), host with ASan/UBSan and the fuzz smoke runs (clang), and the
# Win32 build with its tests under Wine (inside the test machine of tools/vm when this
# machine's kernel cannot run 32-bit code).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
jobs=$(nproc)
passed=0 failed=0 skipped=0 status=0

# Runs ctest in a build folder (through the runner given, if any) and adds up its counts.
run_ctest() {
  local dir=$1; shift
  local rc=0
  "$@" ctest --test-dir "$dir" --output-on-failure -j "$jobs" --output-junit junit.xml || rc=$?
  local line t f s
  line=$(tr '\n\t' '  ' < "$dir/junit.xml" 2>/dev/null | grep -o '<testsuite [^>]*>' | head -n 1 || true)
  t=$(echo "$line" | sed -n 's/.* tests="\([0-9]*\)".*/\1/p')
  f=$(echo "$line" | sed -n 's/.* failures="\([0-9]*\)".*/\1/p')
  s=$(echo "$line" | sed -n 's/.* skipped="\([0-9]*\)".*/\1/p')
  passed=$((passed + ${t:-0} - ${f:-0} - ${s:-0})) failed=$((failed + ${f:-0})) skipped=$((skipped + ${s:-0}))
  [ $rc = 0 ] || status=$rc
}

build() {
  local dir=$1; shift
  cmake --no-warn-unused-cli -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

# Where the Win32 tests run in the test machine, its image (built once, mostly downloads
# and unpacking) is made while the host builds use the cores.
in_vm=0
if [ "${KQ_VM:-0}" = 1 ] || ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  in_vm=1
  mkdir -p build
  bash tools/vm/build-image.sh > build/vm-image.log 2>&1 &
  image_job=$!
fi

build build/host
run_ctest build/host
build build/host-asan -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DKQ_SANITIZE=ON -DKQ_FUZZ=ON
run_ctest build/host-asan
build build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
# KQ_VM=1 runs them in the test machine even where this kernel could run them itself.
if [ $in_vm = 0 ]; then
  run_ctest build/win32
else
  echo "Win32 tests: running them in the test machine (tools/vm)"
  wait "$image_job" || { cat build/vm-image.log; exit 1; }
  cat build/vm-image.log
  run_ctest build/win32 tools/vm/run.sh "$PWD"
fi
echo "all: $passed passed, $failed failed, $skipped skipped"
exit $status
