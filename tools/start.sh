#!/usr/bin/env bash
# Sets up the machine, builds the Win32 deliverables and starts kq.exe under Wine (on a
# private X server when there is no display; inside the test machine of tools/vm when
# this machine's kernel cannot run 32-bit code), then shows the log it wrote.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
cmake --no-warn-unused-cli -S . -B build/win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
cmake --build build/win32 -j "$(nproc)"
runner=()
if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  bash tools/vm/build-image.sh
  runner=(tools/vm/run.sh "$PWD")
fi
status=0
"${runner[@]}" cmake/wine-run.sh build/win32/startup/kq.exe "$@" || status=$?
echo "kq.exe ended with exit code $status; its log is build/win32/startup/kq.log:"
cat build/win32/startup/kq.log 2>/dev/null || true
exit $status
