#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks for building and testing; quiet when all is present.
#
# A mirror may be half-synced on the day this runs: one index may fail to download, and the
# i386 builds it offers may be older than the machine's amd64 libraries. So a failed index is
# a warning, and when apt refuses a package set, the multi-arch libraries it names are pinned
# round after round to versions both architectures offer (scripts/apt_align.sh). Packages
# apt would remove to make room are kept instead, and follow their libraries like the rest.
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
      wine wine64 wine32:i386 xvfb xauth imagemagick x11-apps
      clang libclang-rt-dev)

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
  grep -E '^(E|W): ' <<<"$update_log" | sed 's/^/setup:   /' | head -5 || true
fi

# Installs "$@" (package names), aligning multi-arch versions as apt asks (apt_align.sh).
# apt's own chatter (debconf, dpkg) goes to a log that is shown only when the install fails.
# On failure leaves apt's last report in $last_report.
APT_GET=apt_get
aligned=()
install_aligned() {
  aligned=()
  if ! align_rounds "$@"; then
    printf '%s\n' "$align_report" | grep -E '^( |E: )' >"$last_report"
    return 1
  fi
  aligned=("${align_pins[@]}")
  if ! apt_get install -y -q --allow-downgrades "${align_request[@]}" >"$install_log" 2>&1; then
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

mkdir -p "$status_dir"
last_report=$status_dir/apt-last-report.txt
install_log=$status_dir/apt-install.log
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
  report_excerpt >&2
  exit 1
fi
{
  echo "wine32 (32-bit Wine) could not be installed from this machine's package mirror:"
  report_excerpt
} >"$missing_note.new"
if [ ${#rest[@]} -gt 0 ]; then
  if ! install_aligned "${rest[@]}"; then
    rm -f "$missing_note.new"
    echo "setup: could not install ${rest[*]}:" >&2
    report_excerpt >&2
    exit 1
  fi
  report_aligned
fi
mv "$missing_note.new" "$missing_note"
echo "setup: warning: wine32 could not be installed; the 32-bit Wine suites will be skipped"
exit 0
