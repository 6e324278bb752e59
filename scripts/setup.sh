#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks for building and testing; quiet when all is present.
set -euo pipefail
need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
pkgs=(g++ cmake make pkg-config googletest libgtest-dev libbenchmark-dev
      g++-mingw-w64-i686 g++-mingw-w64-x86-64
      libpixman-1-dev libcairo2-dev libstb-dev
      wine wine32 wine64 xvfb xauth imagemagick x11-apps)
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  updated=0
fi
for p in "${pkgs[@]}"; do
  if [ "$p" = wine32 ]; then have_pkg wine32:i386 && continue; fi
  have_pkg "$p" || need+=("$p")
done
if [ ${#need[@]} -gt 0 ] || [ "${updated:-1}" = 0 ]; then
  echo "setup: installing ${need[*]}"
  SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  [ ${#need[@]} -gt 0 ] && DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${need[@]}" >/dev/null
fi
exit 0
