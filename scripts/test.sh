#!/usr/bin/env bash
# The whole test run: set-up, the four builds, native tests (plain and sanitized), and the
# Windows module's end-to-end tests under Wine in a virtual display.
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

for p in win32 win64; do
  if [ -f "build/$p/CTestTestfile.cmake" ]; then
    echo "== $p module under Wine"
    scripts/with-wine.sh ctest --test-dir "build/$p" --output-on-failure
  fi
done
