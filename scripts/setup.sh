#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks for building and testing; quiet when all is present.
#
# 32-bit Wine is the one part the build can do without, and set-up asks the machine before it
# wants it: a kernel built without 32-bit support refuses every 32-bit program, and Debian's
# `wine` wrapper picks the 32-bit loader as soon as wine32 is installed (exec32_probe.sh).
# When the machine cannot run it, or wine32 cannot be installed, or installing it would
# downgrade the machine's own libraries, build/setup/wine32-missing.txt says why in its first
# line; scripts/test.sh then runs every other suite and says which ones it skipped, and
# scripts/run.sh runs the 64-bit module. Any other failure stops here.
#
# A mirror may be half-synced on the day this runs: one index may fail to download, and the
# i386 builds it offers may be older than the machine's amd64 libraries. So a failed index is
# a warning, and when apt refuses a package set, the multi-arch libraries it names are pinned
# round after round to versions both architectures offer (scripts/apt_align.sh). A pin below
# the installed version is a downgrade of the machine's own library (security updates among
# them): set-up makes none unless VESPER_ALLOW_DOWNGRADES=1 says it may.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/apt_align.sh
source scripts/exec32_probe.sh

status_dir=build/setup
missing_note=$status_dir/wine32-missing.txt
# The switch's older name.
[ "${VESPER_PRETEND_NO_WINE32:-}" != 1 ] || export VESPER_PRETEND_NO_EXEC32=1

have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
pkgs=(g++ cmake make pkg-config googletest libgtest-dev libbenchmark-dev
      g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
      libpixman-1-dev libcairo2-dev libstb-dev zip unzip
      wine wine64 xvfb xauth imagemagick x11-apps
      clang libclang-rt-dev)
wine32=wine32:i386

# Leaves $1 as the note for test.sh and run.sh; says so once, when the reason is new.
note_no_wine32() {
  mkdir -p "$status_dir"
  printf '%s\n' "$1" >"$missing_note.new"
  if ! cmp -s "$missing_note.new" "$missing_note"; then
    echo "setup: warning: $(head -1 "$missing_note.new")"
    echo "setup: the 32-bit module's Wine suites will be skipped"
  fi
  mv "$missing_note.new" "$missing_note"
}

# With wine32 in place, whether it starts a 32-bit Windows program decides the note.
settle_wine32() {
  if [ -n "$no_wine32" ]; then note_no_wine32 "$no_wine32"; return; fi
  if probe_wine32 "$status_dir"; then
    rm -f "$missing_note"
  else
    note_no_wine32 "$probe_why"
  fi
}

mkdir -p "$status_dir"
no_wine32=""
probe_exec32 "$status_dir" || no_wine32=$probe_why

need=()
for p in "${pkgs[@]}"; do have_pkg "$p" || need+=("$p"); done
add_arch=0
if [ -z "$no_wine32" ] && ! have_pkg "$wine32"; then
  need+=("$wine32")
  dpkg --print-foreign-architectures | grep -qx i386 || add_arch=1
fi
if [ ${#need[@]} -eq 0 ]; then
  settle_wine32
  exit 0
fi

SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
apt_get() { DEBIAN_FRONTEND=noninteractive $SUDO apt-get "$@"; }
[ $add_arch = 0 ] || $SUDO dpkg --add-architecture i386

echo "setup: installing ${need[*]}"
if ! update_log=$(apt_get update -qq 2>&1); then
  # A partial failure leaves the other indexes usable; a total one shows up at install.
  echo "setup: warning: some package indexes failed to download; going on with the rest:"
  grep -E '^(E|W): ' <<<"$update_log" | sed 's/^/setup:   /' | head -5 || true
fi

allow_downgrades=0
[ "${VESPER_ALLOW_DOWNGRADES:-}" = 1 ] && allow_downgrades=1

# Installs "$@" (package names), aligning multi-arch versions as apt asks (apt_align.sh).
# apt's own chatter (debconf, dpkg) goes to a log that is shown only when the install fails.
# Returns 1 when apt cannot (its last report in $last_report), 2 when it could only by
# downgrading installed packages that it may not touch (their list in $downgrades).
APT_GET=apt_get
aligned=()
downgrades=""
install_aligned() {
  local -a allow=()
  aligned=() downgrades=""
  if ! align_rounds "$@"; then
    printf '%s\n' "$align_report" | grep -E '^( |E: )' >"$last_report"
    return 1
  fi
  if [ $allow_downgrades = 1 ]; then
    allow=(--allow-downgrades)
  else
    downgrades=$(align_downgrades "${align_pins[@]}")
    [ -z "$downgrades" ] || return 2
  fi
  aligned=("${align_pins[@]}")
  if ! apt_get install -y -q "${allow[@]}" "${align_request[@]}" >"$install_log" 2>&1; then
    tail -25 "$install_log" >"$last_report"
    return 1
  fi
}

# The gist of apt's last report: the first unmet dependencies and apt's verdict.
report_excerpt() {
  awk '/^ / { if (++n <= 10) print; next } { rest[++r] = $0 }
       END { if (n > 10) printf "   ... (%d more lines)\n", n - 10; for (i = 1; i <= r; i++) print rest[i] }' \
    "$last_report"
}

report_aligned() {
  [ ${#aligned[@]} -gt 0 ] || return 0
  echo "setup: aligned to versions both architectures offer:"
  align_summary "${aligned[@]}" | sed 's/^/setup:   /'
}

# "NAME INSTALLED -> PINNED" lines as one phrase.
downgrade_phrase() { sed 's/ -> / to /' <<<"$downgrades" | paste -sd, - | sed 's/,/, /g'; }

# Says why installing "$@" failed with install_aligned's code $rc, and stops.
install_failed() {
  if [ $rc = 2 ]; then
    echo "setup: installing $* would downgrade this machine's $(downgrade_phrase);" \
         "set VESPER_ALLOW_DOWNGRADES=1 to allow it" >&2
  else
    echo "setup: could not install $*:" >&2
    report_excerpt >&2
  fi
  exit 1
}

last_report=$status_dir/apt-last-report.txt
install_log=$status_dir/apt-install.log
rc=0
install_aligned "${need[@]}" || rc=$?
if [ $rc = 0 ]; then
  report_aligned
  settle_wine32
  exit 0
fi

# Without wine32 the 32-bit module still builds and every other suite runs.
rest=()
for p in "${need[@]}"; do [ "$p" = "$wine32" ] || rest+=("$p"); done
[ ${#rest[@]} -lt ${#need[@]} ] || install_failed "${need[@]}"
if [ $rc = 2 ]; then
  why="wine32 (32-bit Wine) would need this machine's own libraries downgraded to the i386"
  why+=" builds the mirror offers: $(downgrade_phrase); set VESPER_ALLOW_DOWNGRADES=1 to allow it"
  no_wine32=$why
else
  no_wine32=$(echo "wine32 (32-bit Wine) could not be installed from this machine's package mirror:"
              report_excerpt)
fi
if [ ${#rest[@]} -gt 0 ]; then
  rc=0
  install_aligned "${rest[@]}" || rc=$?
  [ $rc = 0 ] || install_failed "${rest[@]}"
  report_aligned
fi
settle_wine32
exit 0
