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
