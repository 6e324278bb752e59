#!/usr/bin/env bash
# Builds the native preset and runs the benchmarks with their peer comparisons.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native -j "$(nproc)" --target vesper_bench
exec build/native/bench/vesper_bench "$@"
