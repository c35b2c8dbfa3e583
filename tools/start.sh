#!/usr/bin/env bash
# Sets up the machine, builds the Win32 deliverables and starts kq.exe under Wine on the
# bundled sample program (tests/sample). With a display and a kernel that runs 32-bit
# code the debugger opens on the desktop and runs until you close it. Otherwise (no
# display, or the test machine of tools/vm) it runs on a private X server: the end-to-end
# test starts it on the sample, lets the sample run to its end, takes a screenshot,
# closes it and shows the log.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
cmake --no-warn-unused-cli -S . -B build/win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
cmake --build build/win32 -j "$(nproc)"
sample=build/win32/tests/kq_sample.exe
if /lib/ld-linux.so.2 --version >/dev/null 2>&1 && [ -n "${DISPLAY:-}" ]; then
  export WINEPREFIX=${WINEPREFIX:-$HOME/.wine-kq}
  # The debugger reads its layout script ".layout" from the current folder.
  cp ui/default.layout build/win32/.layout
  sample=$(winepath -w "$sample")
  cd build/win32
  exec wine startup/kq.exe -file:"$sample"
fi
runner=()
if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  bash tools/vm/build-image.sh
  runner=(tools/vm/run.sh "$PWD")
fi
status=0
"${runner[@]}" cmake/wine-run.sh build/win32/tests/kq_session_tests.exe \
  --gtest_filter='KqEndToEnd.LaunchesTheSample*' || status=$?
if [ -f build/win32/tests/kq_screenshot.bmp ]; then
  convert build/win32/tests/kq_screenshot.bmp build/win32/kq_screenshot.png 2>/dev/null &&
    echo "Screenshot of the debugger: build/win32/kq_screenshot.png"
fi
echo "The debugger's log (build/win32/tests/kq_session.log):"
cat build/win32/tests/kq_session.log 2>/dev/null || true
exit $status
