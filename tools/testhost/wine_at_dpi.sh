#!/usr/bin/env bash
# Runs a command under Wine with the screen at DPI dots per inch: a Wine prefix of its own
# for that density (DIR/wineprefix-dpiDPI, made on first use), its LogPixels set, and the
# prefix's Wine server restarted so that the setting holds, on a virtual display of its own.
#   wine_at_dpi.sh DIR DPI COMMAND...
set -euo pipefail
# A screen of its own, large enough for the dialogs at 200 % (as a high-density monitor is):
# on a smaller one the system would clamp the window and the pointer.
if [ -z "${VESPER_DPI_SCREEN:-}" ]; then
  export VESPER_DPI_SCREEN=2560x1600
  exec xvfb-run -a -s "-screen 0 ${VESPER_DPI_SCREEN}x24" "$0" "$@"
fi
# The prefix's own tools run on the 64-bit loader, never through the `wine` wrapper, which
# picks a 32-bit loader that some machines refuse.
source "$(cd "$(dirname "$0")/../.." && pwd)/scripts/wine_loaders.sh"
dir="$1"
dpi="$2"
shift 2
export WINEPREFIX="$dir/wineprefix-dpi$dpi"
wine_prefix_ready
# No window manager on the virtual display: unmanaged windows wait for none.
"$WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
"$WINE64" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
"$WINESERVER" -k 2>/dev/null || true
"$WINESERVER" -w 2>/dev/null || true
wine_run_then_stop "$@"
