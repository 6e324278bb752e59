#!/usr/bin/env bash
# Runs a command with a private Wine prefix inside a virtual X display.
set -euo pipefail
source "$(dirname "$0")/wine_loaders.sh"
export WINEPREFIX="${WINEPREFIX:-$(cd "$(dirname "$0")/.." && pwd)/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# The prefix is a 64-bit one (with its 32-bit half where 32-bit Wine runs): made and set up
# by the 64-bit loader, so a missing or refused 32-bit loader never stops it.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  "$WINE64" wineboot -i >/dev/null 2>&1 || true
  "$WINESERVER" -w || true
fi
# Xvfb has no window manager, and Wine waits 2 s for one at every hidden managed window;
# unmanaged windows need no one.
if ! grep -qs '"Managed"="N"' "$WINEPREFIX/user.reg"; then
  "$WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
  "$WINESERVER" -w || true
fi
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
# One Wine session for the whole command: the server and its helper processes (services,
# the desktop window) start here, not with the command's first program, so they neither
# restart for every program nor hold a caller's output open (ctest waits for that).
"$WINESERVER" -p
"$WINE64" rundll32 user32.dll,GetDesktopWindow </dev/null >/dev/null 2>&1 || true
set +e
"$@"
status=$?
set -e
"$WINESERVER" -k 2>/dev/null || true
"$WINESERVER" -w 2>/dev/null || true
exit $status
