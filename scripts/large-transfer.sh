#!/usr/bin/env bash
# The transfer of a 12000 x 10000 RGB image with a selection by the 32-bit module in the test
# host under Wine, with both exchange files checked byte for byte and the stand-in editor's
# report. On demand: it writes about 2 GB to the Wine prefix's drive C and runs for tens of
# seconds. Registers the test in build/win32 (VESPER_LARGE_E2E=ON), so later runs of
# scripts/test.sh include it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset win32 -DVESPER_LARGE_E2E=ON >/dev/null
cmake --build --preset win32 -j "$(nproc)" --target vesper_module testhost standin_editor
exec scripts/with-wine.sh ctest --test-dir build/win32 --output-on-failure -L large
