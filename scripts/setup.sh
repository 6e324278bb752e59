#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks for building and testing; quiet when all is present.
#
# A mirror may be half-synced on the day this runs: one index may fail to download, and the
# i386 builds it offers may be older than the machine's amd64 libraries. So a failed index is
# a warning, and when apt refuses a package set, the multi-arch libraries it names are pinned
# round after round to versions both architectures offer (scripts/apt_align.sh).
#
# wine32 is the one package the build can do without: when it still cannot be installed, the
# reason is left in build/setup/wine32-missing.txt for scripts/test.sh, which then runs every
# other suite and says which ones it skipped. Any other failure stops here.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/apt_align.sh

status_dir=build/setup
missing_note=$status_dir/wine32-missing.txt

have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
pkgs=(g++ cmake make pkg-config googletest libgtest-dev libbenchmark-dev
      g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
      libpixman-1-dev libcairo2-dev libstb-dev zip unzip
      wine wine64 wine32:i386 xvfb xauth imagemagick x11-apps)

need=()
for p in "${pkgs[@]}"; do have_pkg "$p" || need+=("$p"); done
added_arch=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then added_arch=1; fi
if [ ${#need[@]} -eq 0 ] && [ $added_arch = 0 ]; then
  rm -f "$missing_note"
  exit 0
fi

SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
apt_get() { DEBIAN_FRONTEND=noninteractive $SUDO apt-get "$@"; }
[ $added_arch = 0 ] || $SUDO dpkg --add-architecture i386

echo "setup: installing ${need[*]}"
if ! update_log=$(apt_get update -qq 2>&1); then
  # A partial failure leaves the other indexes usable; a total one shows up at install.
  echo "setup: warning: some package indexes failed to download; going on with the rest:"
  grep -E '^(E|W): ' <<<"$update_log" | sed 's/^/setup:   /' | head -5
fi

# Tries to install "$@" (package names), aligning multi-arch versions as apt asks. Leaves
# apt's last report in $last_report on failure. Sets $aligned to the pins it used.
aligned=()
install_aligned() {
  local round report
  local -a pins=() next=()
  for round in 1 2 3 4 5 6 7 8 9 10; do
    if report=$(apt_get install -s -y --allow-downgrades "$@" "${pins[@]}" 2>&1); then
      aligned=("${pins[@]}")
      apt_get install -y -qq --allow-downgrades "$@" "${pins[@]}" >/dev/null
      return
    fi
    mapfile -t next < <(align_next_pins "${pins[@]}" <<<"$report")
    if [ "${next[*]}" = "${pins[*]}" ]; then break; fi
    pins=("${next[@]}")
  done
  printf '%s\n' "$report" | grep -E '^( |E: )' | tail -25 >"$last_report"
  return 1
}

report_aligned() {
  local p
  [ ${#aligned[@]} -gt 0 ] || return 0
  echo "setup: aligned these packages to versions both architectures offer:"
  for p in "${aligned[@]}"; do echo "setup:   ${p%%=*} ${p#*=}"; done
}

mkdir -p "$status_dir"
last_report=$status_dir/apt-last-report.txt
if install_aligned "${need[@]}"; then
  report_aligned
  rm -f "$missing_note"
  exit 0
fi

# Without wine32 the 32-bit module still builds and every other suite runs.
rest=()
for p in "${need[@]}"; do [ "$p" = wine32:i386 ] || rest+=("$p"); done
if [ ${#rest[@]} -eq ${#need[@]} ]; then
  echo "setup: could not install ${need[*]}:" >&2
  cat "$last_report" >&2
  exit 1
fi
{
  echo "wine32 (32-bit Wine) could not be installed from this machine's package mirror:"
  grep -vE '^\s*$' "$last_report" | head -12
} >"$missing_note.new"
if [ ${#rest[@]} -gt 0 ]; then
  if ! install_aligned "${rest[@]}"; then
    rm -f "$missing_note.new"
    echo "setup: could not install ${rest[*]}:" >&2
    cat "$last_report" >&2
    exit 1
  fi
  report_aligned
fi
mv "$missing_note.new" "$missing_note"
echo "setup: warning: wine32 could not be installed; the 32-bit Wine suites will be skipped"
exit 0
