#!/usr/bin/env bash
# Runs a Win32 program under Wine for the tests: starts Xvfb and the wineserver first
# (a server started by a test would hold ctest's output pipe open), and reports "skip"
# (exit 77) when this machine cannot run Win32 programs at all; under CI (CI=true) that is
# a failure, since tools/setup.sh prepares every machine it runs on.
set -u
export WINEPREFIX="${KQ_WINEPREFIX:-$HOME/.wine-kq}" WINEARCH=win32 WINEDEBUG="${WINEDEBUG:--all}"
# winedbg is kept from starting on a crash: it would wait for nobody.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
state="${TMPDIR:-/tmp}/kq-wine-$(id -u)"
mkdir -p "$state"

cannot_run() {
  if [ "${CI:-}" = true ]; then echo "FAILED: $*"; exit 1; fi
  echo "SKIPPED: $*"
  exit 77
}
command -v wine >/dev/null || cannot_run "Wine is not installed (run tools/setup.sh)"
/lib/ld-linux.so.2 --version >/dev/null 2>&1 ||
  cannot_run "this machine cannot execute 32-bit code (kernel without 32-bit emulation), so Wine cannot run Win32 programs"
command -v openbox >/dev/null || cannot_run "openbox is not installed (run tools/setup.sh)"
[ -f "$WINEPREFIX/system.reg" ] || cannot_run "no Wine prefix at $WINEPREFIX (run tools/setup.sh)"

# One Xvfb per user, started before the wineserver so that windows can be created;
# tests running side by side take turns here.
exec 4>"$state/lock"
flock 4
if [ -z "${DISPLAY:-}" ]; then
  if [ -f "$state/display" ] && kill -0 "$(cat "$state/xvfb.pid" 2>/dev/null)" 2>/dev/null; then
    export DISPLAY=":$(cat "$state/display")"
  else
    exec 3>"$state/display.tmp"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 4>&- &
    echo $! > "$state/xvfb.pid"
    for _ in $(seq 400); do [ -s "$state/display.tmp" ] && break; sleep 0.05; done
    exec 3>&-
    mv "$state/display.tmp" "$state/display"
    export DISPLAY=":$(cat "$state/display")"
  fi
  # A window manager, so that windows are activated and get the focus as on a desktop.
  if ! kill -0 "$(cat "$state/wm.pid" 2>/dev/null)" 2>/dev/null; then
    openbox >/dev/null 2>&1 </dev/null 4>&- &
    echo $! > "$state/wm.pid"
  fi
fi
if ! pgrep -u "$(id -u)" wineserver >/dev/null; then
  wineserver -p >/dev/null 2>&1 </dev/null 4>&-
  wine cmd /c exit >/dev/null 2>&1 </dev/null 4>&-
fi
flock -u 4
exec 4>&-
exec wine "$@"
