#!/usr/bin/env bash
# Sets up the machine, builds the Win32 deliverables and starts kq.exe under Wine
# (on a private X server when there is no display) on a bundled sample program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
cmake -S . -B build/win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
cmake --build build/win32 -j "$(nproc)"
status=0
cmake/wine-run.sh build/win32/startup/kq.exe "$@" || status=$?
echo "kq.exe ended with exit code $status; its log: build/win32/startup/kq.log"
[ -f build/win32/startup/kq.log ] && cat build/win32/startup/kq.log
exit $status
