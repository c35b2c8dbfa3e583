#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine, and creates the
# Wine prefix once. Idempotent: a second run only checks and finishes in seconds.
set -euo pipefail

# tools/packages.txt: one package a line (the first word), "#" starts a comment.
mapfile -t PACKAGES < <(sed -e 's/#.*//' "$(dirname "$0")/packages.txt" | awk 'NF { print $1 }')

SUDO=""
[ "$(id -u)" = 0 ] || SUDO="sudo"

missing() {
  local p
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || echo "$p"
  done
}

# A mirror whose i386 security index stays broken (seen for days: its size disagrees with
# the Release file) leaves amd64 libraries at security versions no i386 twin has, and the
# two halves of a Multi-Arch "same" library must match. Then the packages come from the
# release and its updates alone, and each such amd64 library in the way moves to the
# version its i386 twin has there.
install_without_security() {
  local pref names pins
  pref=$(mktemp)
  # shellcheck disable=SC1091
  printf 'Package: *\nPin: release n=%s-security\nPin-Priority: -1\n' \
    "$(. /etc/os-release && echo "$VERSION_CODENAME")" >"$pref"
  names=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts \
            --no-breaks --no-replaces --no-enhances "$@" |
          sed -n 's/^\([^ <][^ ]*\):i386$/\1/p' | sort -u)
  # shellcheck disable=SC2086
  pins=$(join \
    <(dpkg-query -W -f='${Package} ${Version} ${Multi-Arch}\n' $names 2>/dev/null |
        awk '$3 == "same" { print $1, $2 }' | sort) \
    <(apt-cache -o Dir::Etc::Preferences="$pref" policy $(sed 's/$/:i386/' <<<"$names") |
        awk '/^[^ ]/ { sub(/:i386:$/, ""); p = $0 } /^  Candidate:/ { print p, $2 }' | sort) |
    awk '$2 != $3 && $3 != "(none)" { print $1 "=" $3 }')
  echo "setup: installing without the security index; moved to match i386:" $pins
  local status=0
  # shellcheck disable=SC2086
  $SUDO apt-get install -y -qq --no-install-recommends --allow-downgrades \
    -o Dir::Etc::Preferences="$pref" "$@" $pins >/dev/null || status=$?
  rm -f "$pref"
  return "$status"
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  NEED_UPDATE=1
fi
todo=$(missing)
if [ -n "$todo" ]; then
  echo "setup: installing $(echo $todo | wc -w) packages"
  export DEBIAN_FRONTEND=noninteractive
  # A mirror in the middle of a sync fails an index for a minute or so: try again, and
  # go on with what was fetched if it still fails (the install says what is missing).
  for attempt in 1 2 3; do
    $SUDO apt-get update -qq && break
    echo "setup: package lists incomplete (try $attempt of 3)"
    [ "$attempt" = 3 ] || sleep 20
  done
  # shellcheck disable=SC2086
  $SUDO apt-get install -y -qq --no-install-recommends $todo >/dev/null ||
    install_without_security $todo
fi

# The posix thread model is what GoogleTest needs (std::mutex).
for tool in gcc g++; do
  [ -x "/usr/bin/i686-w64-mingw32-$tool-posix" ] || { echo "setup: missing i686-w64-mingw32-$tool-posix"; exit 1; }
done

# One quiet 32-bit Wine prefix per user, made once.
export WINEPREFIX="${KQ_WINEPREFIX:-$HOME/.wine-kq}"
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  # Wine needs the kernel's 32-bit emulation; without it the Win32 programs run in a
  # small virtual machine (tools/vm), built on first use.
  echo "setup: this machine cannot execute 32-bit code; Win32 programs run in tools/vm"
elif [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "setup: creating Wine prefix $WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  [ -f "$WINEPREFIX/system.reg" ] || { echo "setup: Wine prefix was not created"; exit 1; }
fi
echo "setup: ready"
