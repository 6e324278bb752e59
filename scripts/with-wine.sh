#!/usr/bin/env bash
# Runs a command with a private Wine prefix inside a virtual X display.
set -euo pipefail
source "$(dirname "$0")/wine_loaders.sh"
export WINEPREFIX="${WINEPREFIX:-$(cd "$(dirname "$0")/.." && pwd)/build/wineprefix}"
wine_prefix_ready
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
wine_run_then_stop "$@"
