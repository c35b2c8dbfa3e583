#!/usr/bin/env bash
# Runs a Win32 program under Wine for the tests: starts Xvfb and the wineserver first
# (a server started by a test would hold ctest's output pipe open), and reports "skip"
# (exit 77) when this machine cannot run Win32 programs at all; under CI (CI=true) that is
# a failure, since tools/setup.sh prepares every machine it runs on.
set -u
# A test that ctest gave a display slot ("id:N,slots:1") runs on an X server and in a
# Wine prefix of that slot's own, copied from the shared prefix on first use.
slot=$(echo "${CTEST_RESOURCE_GROUP_0_DISPLAY:-}" | sed -n 's/^id:\([0-9]*\),.*/\1/p')
shared_prefix="${KQ_WINEPREFIX:-$HOME/.wine-kq}"
export WINEPREFIX="$shared_prefix${slot:+-display$slot}" WINEARCH=win32 WINEDEBUG="${WINEDEBUG:--all}"
# winedbg is kept from starting on a crash: it would wait for nobody.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
state="${TMPDIR:-/tmp}/kq-wine-$(id -u)${slot:+-display$slot}"
mkdir -p "$state"
[ -n "$slot" ] && unset DISPLAY

cannot_run() {
  if [ "${CI:-}" = true ]; then echo "FAILED: $*"; exit 1; fi
  echo "SKIPPED: $*"
  exit 77
}
/lib/ld-linux.so.2 --version >/dev/null 2>&1 ||
  cannot_run "this machine cannot execute 32-bit code (kernel without 32-bit emulation), so Wine cannot run Win32 programs"
# Every command the Win32 tests call, from the list tools/setup.sh installs, so that a
# missing one is named at once rather than failing a test half-way.
while read -r package _ tool; do
  command -v "$tool" >/dev/null || cannot_run "$tool is not installed (package $package; run tools/setup.sh)"
done < <(sed -e 's/#.*//' "$(dirname "$0")/../tools/packages.txt" | awk '$2 == "vm" && NF == 3')
[ -f "$shared_prefix/system.reg" ] || cannot_run "no Wine prefix at $shared_prefix (run tools/setup.sh)"

# One Xvfb per user (and display slot), started before the wineserver so that windows
# can be created; tests running side by side take turns here.
exec 4>"$state/lock"
flock 4
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  rm -rf "$WINEPREFIX.tmp"
  cp -a "$shared_prefix" "$WINEPREFIX.tmp" && mv "$WINEPREFIX.tmp" "$WINEPREFIX"
fi
if [ -z "${DISPLAY:-}" ]; then
  if [ -f "$state/display" ] && kill -0 "$(cat "$state/xvfb.pid" 2>/dev/null)" 2>/dev/null; then
    export DISPLAY=":$(cat "$state/display")"
  else
    exec 3>"$state/display.tmp"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 4>&- &
    echo $! > "$state/xvfb.pid"
    # Seconds natively, a minute or more in the emulated test machine under load.
    for _ in $(seq 3000); do [ -s "$state/display.tmp" ] && break; sleep 0.05; done
    exec 3>&-
    [ -s "$state/display.tmp" ] || { echo "FAILED: Xvfb did not start"; exit 1; }
    mv "$state/display.tmp" "$state/display"
    export DISPLAY=":$(cat "$state/display")"
  fi
  # A window manager, so that windows are activated and get the focus as on a desktop.
  if ! kill -0 "$(cat "$state/wm.pid" 2>/dev/null)" 2>/dev/null; then
    openbox >/dev/null 2>&1 </dev/null 4>&- &
    echo $! > "$state/wm.pid"
  fi
fi
# "wineserver -p" fails when the prefix's server runs already; a new one is warmed up.
if wineserver -p >/dev/null 2>&1 </dev/null 4>&-; then
  wine cmd /c exit >/dev/null 2>&1 </dev/null 4>&-
fi
flock -u 4
exec 4>&-
exec wine "$@"
