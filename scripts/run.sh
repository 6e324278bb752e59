#!/usr/bin/env bash
# The main job. Builds the modules and the stand-in editor, records the editor's folder in
# the Wine prefix's registry as its installer would, and runs "Transfer to Tarnwick
# Studio..." in the test host on a built-in sample image with a selection, or on the BMP
# image named as the first argument. Prints the result, what the editor found and where the
# two exchange files are.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
source scripts/wine_loaders.sh
image="${1:-}"
if [ -n "$image" ]; then
  [ -f "$image" ] || { echo "run: no such image: $image" >&2; exit 2; }
  image="$(realpath "$image")"
fi
for p in win32 win64; do
  echo "== build $p"
  cmake --preset "$p" >/dev/null
  cmake --build --preset "$p" -j "$(nproc)" >/dev/null
done

export WINEPREFIX="${WINEPREFIX:-$PWD/build/wineprefix}"
work="$PWD/out"
mkdir -p "$work"
# The 32-bit module is the one hosts load; without 32-bit Wine (set-up says why in
# build/setup/wine32-missing.txt) the 64-bit module does the job in a 64-bit host.
arch=win32 module_name=Vesper.8bf wine=$WINE32
if [ -f build/setup/wine32-missing.txt ]; then
  arch=win64 module_name=Vesper64.8bf wine=$WINE64
  echo "run: without 32-bit Wine the 64-bit module runs in the 64-bit test host:" \
       "$(head -1 build/setup/wine32-missing.txt)"
fi
host="$PWD/build/$arch/tools/testhost/testhost.exe"
module="$PWD/build/$arch/plugins/$module_name"
editor_dir="$PWD/build/$arch/tools/standin_editor/"
report="$work/standin-report.txt"
# Wine's helper processes complain when the virtual display goes away; that is no news.
quiet() { grep -v '^X connection to .* broken' >&2 || true; }

if [ -n "$image" ]; then
  input=(--in "$image")
  echo "== transfer of $image ($module_name)"
else
  # The sample: the test card, and its grey version as the selection.
  (cd "$work" && "$OLDPWD/scripts/with-wine.sh" "$wine" "$host" --module "$module" --runs 0 --size 320x200 --grey \
     --out sample-selection.bmp >/dev/null) 2> >(quiet)
  input=(--size 320x200 --mask "$work/sample-selection.bmp")
  echo "== transfer of the built-in 320 x 200 sample with a selection ($module_name)"
fi

# Nothing from an earlier run may pass for this run's output.
rm -f "$report" "$WINEPREFIX/drive_c/tarnwickstudiorgb_dovrane.bmp" "$WINEPREFIX/drive_c/tarnwickstudioa_dovrane.bmp"
set +e
(cd "$work" && "$OLDPWD/scripts/with-wine.sh" "$wine" "$host" --module "$module" "${input[@]}" \
   --reg-clear --reg-host-version "Vesper Test Host" --reg-editor-dir "$editor_dir" \
   --expect-result 0 --expect-files --expect-unchanged --wait-report "$report") 2> >(quiet)
status=$?
set -e

echo "== the editor's report ($report)"
cat "$report" 2>/dev/null || echo "(no report: the editor was not started)"
echo "== exchange files"
for f in tarnwickstudiorgb_dovrane.bmp tarnwickstudioa_dovrane.bmp; do
  if [ -f "$WINEPREFIX/drive_c/$f" ]; then
    echo "c:\\$f = $WINEPREFIX/drive_c/$f ($(stat -c %s "$WINEPREFIX/drive_c/$f") bytes)"
  else
    echo "c:\\$f: missing"
  fi
done
echo "Modules: build/win32/plugins/Vesper.8bf, build/win64/plugins/Vesper64.8bf"
exit $status
