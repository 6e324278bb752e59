#!/usr/bin/env bash
# The main job. Builds the 32-bit and 64-bit modules and the native tools, then runs the
# bitmap-core demo on the built-in picture or on the BMP image named as the first argument.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
image="${1:-}"
[ -n "$image" ] && image="$(realpath "$image")"
for p in win32 win64 native; do
  cmake --preset "$p" >/dev/null
  cmake --build --preset "$p" -j "$(nproc)" >/dev/null
done
mkdir -p out
echo "Modules:"
ls -1 build/win32/*.8bf build/win64/*.8bf 2>/dev/null || echo "  (no module built yet)"
echo "Scaled pictures:"
build/native/tools/demo/vesper_demo "$image" out
