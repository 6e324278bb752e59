# shellcheck shell=bash
# Asks the machine whether it runs 32-bit programs, sourced by setup.sh and by its test.
#
# Installing wine32 says nothing about whether it runs: some kernels are built without 32-bit
# support, and there Debian's `wine` wrapper still picks the 32-bit loader once it is
# installed. So set-up runs a program of each kind first and believes only what it sees.
#
# Both probes leave their verdict in $probe_why: empty when the program ran, else one line
# saying why not. VESPER_PRETEND_NO_EXEC32=1 makes the first report "cannot execute" on any
# machine, so that the road without 32-bit Wine can be tried everywhere.

WINE32_LOADER=${WINE32_LOADER:-/usr/lib/wine/wine}
probe_why=""

# A static i386 ELF of 96 bytes that exits with status 42 through int 0x80: it needs no
# package, no library and no compiler, only a kernel that runs 32-bit programs.
write_probe32() {
  local hex=""
  # ELF header: 32-bit, little-endian, executable for i386, entry 0x08048054.
  hex+='7f454c46010101000000000000000000'
  hex+='02000300010000005480040834000000'
  hex+='00000000000000003400200001000000'
  hex+='00000000'
  # One loadable, readable and executable segment holding the whole file.
  hex+='01000000000000000080040800800408'
  hex+='600000006000000005000000'
  hex+='00100000'
  # mov eax, 1 (exit); mov ebx, 42; int 0x80
  hex+='b801000000bb2a000000cd80'
  printf "$(sed 's/../\\x&/g' <<<"$hex")" >"$1"
  chmod +x "$1"
}

# The one line a failed run is known by: the system's words after the last ": " of what the
# shell said ("cannot execute binary file: Exec format error"), else the exit status.
probe_reason() {
  local out=$1 rc=$2 last
  last=$(sed '/^[[:space:]]*$/d' <<<"$out" | tail -1)
  if [ -n "$last" ] && [[ $last == *": "* ]]; then
    printf '%s' "${last##*: }"
  elif [ -n "$last" ]; then
    printf '%s' "$last"
  else
    printf 'it ended with exit status %s' "$rc"
  fi
}

# probe_exec32 DIR: runs the 32-bit program (written into DIR) and sets $probe_why.
probe_exec32() {
  local prog=$1/probe32 out rc
  probe_why=""
  if [ "${VESPER_PRETEND_NO_EXEC32:-}" = 1 ]; then
    probe_why="this machine cannot execute 32-bit programs: Exec format error (pretended: VESPER_PRETEND_NO_EXEC32=1)"
    return 1
  fi
  mkdir -p "$1"
  write_probe32 "$prog"
  out=$("${PROBE_RUN:-bash}" -c '"$0"' "$prog" 2>&1)
  rc=$?
  [ $rc = 42 ] && return 0
  probe_why="this machine cannot execute 32-bit programs: $(probe_reason "$out" "$rc")"
  return 1
}

# probe_wine32 DIR: whether 32-bit Wine starts a 32-bit Windows program, in a prefix of its
# own under DIR that is thrown away after. Sets $probe_why. The answer is kept in
# DIR/wine32-works for this kernel and this loader, since a first start of Wine takes a while.
probe_wine32() {
  local dir=$1 stamp key out rc prefix
  probe_why=""
  stamp=$dir/wine32-works
  key="$(uname -r) $(stat -c '%s %Y' "$WINE32_LOADER" 2>/dev/null)"
  if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$key" ]; then return 0; fi
  rm -f "$stamp"
  if ! out=$("$WINE32_LOADER" --version 2>&1); then
    probe_why="32-bit Wine is installed but its loader does not run: $(probe_reason "$out" "$?")"
    return 1
  fi
  # Wine takes only an absolute WINEPREFIX.
  mkdir -p "$dir/wine32-probe-prefix"
  prefix=$(cd "$dir/wine32-probe-prefix" && pwd)
  rm -rf "$prefix" && mkdir -p "$prefix"
  # cmd.exe started by the 32-bit loader is the prefix's 32-bit one.
  out=$(WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
        timeout 300 "$WINE32_LOADER" cmd.exe /c echo vesper-wine32-probe </dev/null 2>&1)
  rc=$?
  WINEPREFIX=$prefix "${WINESERVER_CMD:-wineserver}" -k >/dev/null 2>&1 || true
  rm -rf "$prefix"
  if grep -q 'vesper-wine32-probe' <<<"$out"; then
    printf '%s' "$key" >"$stamp"
    return 0
  fi
  if [ $rc = 124 ]; then
    probe_why="32-bit Wine did not start a 32-bit Windows program within five minutes"
  else
    probe_why="32-bit Wine does not start a 32-bit Windows program: $(probe_reason "$out" "$rc")"
  fi
  return 1
}
