# shellcheck shell=bash
# Fake package tools for the set-up tests, sourced by them: make_fakes DIR writes apt-cache,
# apt-get, dpkg-query, dpkg and sudo into DIR. They answer from files named by variables:
#   FAKE_MADISON      `apt-cache madison` lines
#   FAKE_INSTALLED    installed packages, "NAME VERSION" a line (dpkg-query)
#   FAKE_REPORTS_DIR  `apt-get install -s`: call N prints N.txt and exits with N.rc (100, apt's
#                     code for unmet dependencies, when there is none); every apt-get call
#                     is appended to calls.txt there
#   FAKE_UPDATE_RC, FAKE_UPDATE_OUT   `apt-get update`'s exit code and output file
#   FAKE_INSTALL_RC   the real install's exit code; it writes debconf noise to stderr
#   FAKE_EXEC32       run32 (the shell the 32-bit probe runs in): "runs" exits 42 as the probe
#                     does; "refuses" prints FAKE_EXEC32_OUT and exits 126, as a kernel
#                     without 32-bit support makes the shell do
#   FAKE_WINE32_VERSION_RC, FAKE_WINE32_VERSION_OUT   wine32's `--version`
#   FAKE_WINE32_RUN_RC, FAKE_WINE32_RUN_OUT   wine32 starting a Windows program; by default
#                     it echoes what cmd.exe /c echo would
#   FAKE_FOREIGN_ARCHS  what `dpkg --print-foreign-architectures` prints (i386 by default)
# dpkg --compare-versions is the real dpkg's; dpkg --add-architecture and every run of the
# fake wine32 are appended to calls.txt in FAKE_REPORTS_DIR.

make_fakes() {
  local dir=$1
  mkdir -p "$dir"
  cat >"$dir/apt-cache" <<'EOF'
#!/usr/bin/env bash
[ "$1" = madison ] || { echo "fake apt-cache: only madison" >&2; exit 100; }
shift
for n in "$@"; do
  awk -F'|' -v n="$n" '{ k = $1; gsub(/ /, "", k); if (k == n) print }' "$FAKE_MADISON"
done
EOF
  cat >"$dir/dpkg-query" <<'EOF'
#!/usr/bin/env bash
# The two questions set-up asks: -f='${Status}' and -f='${Status} ${Version}\n'.
[ "$1" = -W ] || { echo "fake dpkg-query: $*" >&2; exit 2; }
v=$(awk -v n="$3" '$1 == n { print $2 }' "$FAKE_INSTALLED")
[ -n "$v" ] || { echo "dpkg-query: no packages found matching $3" >&2; exit 1; }
case "$2" in
  '-f=${Status}') printf 'install ok installed' ;;
  '-f=${Status} ${Version}\n') echo "install ok installed $v" ;;
  *) echo "fake dpkg-query: format $2" >&2; exit 2 ;;
esac
EOF
  cat >"$dir/apt-get" <<'EOF'
#!/usr/bin/env bash
dir=$FAKE_REPORTS_DIR
echo "$*" >>"$dir/calls.txt"
case " $* " in
  *" update "*)
    [ -z "${FAKE_UPDATE_OUT:-}" ] || cat "$FAKE_UPDATE_OUT"
    exit "${FAKE_UPDATE_RC:-0}" ;;
  *" -s "*)
    n=$(( $(cat "$dir/count" 2>/dev/null || echo 0) + 1 ))
    echo "$n" >"$dir/count"
    [ -f "$dir/$n.txt" ] || { echo "fake apt-get: no report for simulation $n" >&2; exit 99; }
    cat "$dir/$n.txt"
    exit "$(cat "$dir/$n.rc" 2>/dev/null || echo 100)" ;;
  *" install "*)
    echo "debconf: unable to initialize frontend: Dialog" >&2
    echo "Selecting previously unselected package wine32:i386."
    exit "${FAKE_INSTALL_RC:-0}" ;;
esac
echo "fake apt-get: $*" >&2
exit 99
EOF
  cat >"$dir/run32" <<'EOF'
#!/usr/bin/env bash
# Called as the probe calls a shell: run32 -c '"$0"' PROGRAM.
[ -f "$3" ] || { echo "fake run32: no program $3" >&2; exit 2; }
case "${FAKE_EXEC32:-runs}" in
  runs) exit 42 ;;
  refuses) sed "s|/usr/lib/wine/wine|$3|" "$FAKE_EXEC32_OUT" >&2; exit 126 ;;
esac
exit 2
EOF
  cat >"$dir/wine32" <<'EOF'
#!/usr/bin/env bash
echo "wine32 $*" >>"$FAKE_REPORTS_DIR/calls.txt"
if [ "$1" = --version ]; then
  [ -z "${FAKE_WINE32_VERSION_OUT:-}" ] || cat "$FAKE_WINE32_VERSION_OUT"
  exit "${FAKE_WINE32_VERSION_RC:-0}"
fi
# As Wine does: a relative prefix is refused.
[[ $WINEPREFIX == /* ]] || { echo "wine: invalid directory $WINEPREFIX in WINEPREFIX: not an absolute path" >&2; exit 1; }
[ -d "$WINEPREFIX" ] || { echo "fake wine32: no prefix folder" >&2; exit 2; }
if [ -n "${FAKE_WINE32_RUN_OUT:-}" ]; then cat "$FAKE_WINE32_RUN_OUT"; else echo "${*: -1}"; fi
exit "${FAKE_WINE32_RUN_RC:-0}"
EOF
  cat >"$dir/wineserver" <<'EOF'
#!/usr/bin/env bash
exit 0
EOF
  cat >"$dir/dpkg" <<'EOF'
#!/usr/bin/env bash
case "$1" in
  --print-foreign-architectures) echo "${FAKE_FOREIGN_ARCHS-i386}" ;;
  --add-architecture) echo "dpkg $*" >>"$FAKE_REPORTS_DIR/calls.txt" ;;
  --compare-versions) exec /usr/bin/dpkg "$@" ;;
  *) echo "fake dpkg: $*" >&2; exit 2 ;;
esac
EOF
  cat >"$dir/sudo" <<'EOF'
#!/usr/bin/env bash
exec "$@"
EOF
  chmod +x "$dir"/*
}

# serve DIR REPORT[:RC]...: the reports that simulations 1, 2, ... print, with their codes.
serve() {
  local dir=$1 n=0 r
  shift
  mkdir -p "$dir"
  rm -f "$dir"/*
  for r in "$@"; do
    n=$((n + 1))
    cp "${r%%:*}" "$dir/$n.txt"
    [[ $r != *:* ]] || echo "${r##*:}" >"$dir/$n.rc"
  done
}
