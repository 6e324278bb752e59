# shellcheck shell=bash
# Which Wine program starts what, sourced by the scripts that run Wine.
#
# Debian's `wine` wrapper, and `wineboot` that goes through it, pick the 32-bit loader
# whenever wine32 is installed, even to start a 64-bit program; on a machine that cannot
# execute 32-bit programs that loader is refused. So 64-bit programs and the 64-bit prefix's
# own tools go to the 64-bit loader and server by their paths; only 32-bit programs go
# through `wine`.
first_executable() {
  local c
  for c in "$@"; do
    if [ -n "$c" ] && [ -x "$c" ]; then printf '%s' "$c"; return 0; fi
  done
  return 1
}
WINE64=${VESPER_WINE64:-$(first_executable /usr/lib/wine/wine64 /usr/lib64/wine/wine64 \
                            "$(command -v wine64 || true)" || echo wine64)}
WINESERVER=${WINESERVER:-$(first_executable /usr/lib/wine/wineserver64 \
                             "$(command -v wineserver || true)" || echo wineserver)}
WINE32=${VESPER_WINE32:-wine}
export WINESERVER

# The quiet settings every run here uses, and WINEPREFIX made on first use: a 64-bit prefix
# (with its 32-bit half where 32-bit Wine runs) set up by the 64-bit loader, so a missing or
# refused 32-bit loader never stops it.
wine_prefix_ready() {
  export WINEDEBUG="${WINEDEBUG:--all}"
  export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    "$WINE64" wineboot -i >/dev/null 2>&1 || true
    "$WINESERVER" -w || true
  fi
}

# wine_run_then_stop COMMAND...: runs it, stops the prefix's Wine server and its helpers after
# it (they would hold a caller's output open), and exits with the command's status.
wine_run_then_stop() {
  local status
  set +e
  "$@"
  status=$?
  set -e
  "$WINESERVER" -k 2>/dev/null || true
  "$WINESERVER" -w 2>/dev/null || true
  exit "$status"
}
