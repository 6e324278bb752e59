#!/usr/bin/env bash
# Only the large-image runs of the 32-bit module in the test host under Wine: the transfer of
# a 12000 x 10000 RGB image with a selection, both exchange files checked byte for byte and
# the stand-in editor's report, and an image too large for the module. scripts/test.sh runs
# them among the others unless build/win32 is configured with VESPER_LARGE_E2E=OFF.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
if [ -f build/setup/wine32-missing.txt ]; then
  echo "large-transfer: these runs are the 32-bit module's, and 32-bit Wine does not run here:" >&2
  sed 's/^/  /' build/setup/wine32-missing.txt >&2
  exit 1
fi
cmake --preset win32 -DVESPER_LARGE_E2E=ON >/dev/null
cmake --build --preset win32 -j "$(nproc)" --target vesper_module testhost standin_editor
exec scripts/with-wine.sh ctest --test-dir build/win32 --output-on-failure -L large
