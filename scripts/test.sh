#!/usr/bin/env bash
# The whole test run: set-up, the four builds, native tests (plain and sanitized), a short run
# of every fuzz target when clang is there, and the Windows module's end-to-end tests under
# Wine in a virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)

for p in native native-san win32 win64; do
  echo "== build $p"
  cmake --preset "$p" >/dev/null
  cmake --build --preset "$p" -j "$jobs"
done

echo "== native tests"
ctest --preset native -j "$jobs"
echo "== native tests under ASan and UBSan"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --preset native-san -j "$jobs"

# A few seconds per fuzz target: the seeds must still pass, and a short search on top.
# scripts/fuzz.sh runs them longer.
if scripts/fuzz.sh --available; then
  echo "== fuzz targets, ${VESPER_FUZZ_SECONDS:-4} s each"
  VESPER_JOBS=$jobs scripts/fuzz.sh --fresh "${VESPER_FUZZ_SECONDS:-4}"
else
  echo "== fuzz targets skipped: clang++ with libFuzzer is not installed"
fi

for p in win32 win64; do
  if [ -f "build/$p/CTestTestfile.cmake" ]; then
    echo "== $p module under Wine"
    scripts/with-wine.sh ctest --test-dir "build/$p" --output-on-failure
  fi
done
