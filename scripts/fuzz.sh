#!/usr/bin/env bash
# Builds the fuzz targets (preset fuzz: clang, libFuzzer, ASan and UBSan) and runs each for a
# while on its seed corpus.
#
#   scripts/fuzz.sh [--fresh] [SECONDS] [TARGET...]
#                             SECONDS per target (default 60), all targets if none named
#   scripts/fuzz.sh --available
#                             exit status 0 when clang can link libFuzzer here
#
# Targets are the files of tests/fuzz/targets (entry, scaled_transfer, lines, form_text, ...).
# What libFuzzer finds worth keeping goes to build/fuzz/corpus/<target>, where the next run
# starts from it; with --fresh it goes to a scratch folder that is thrown away, so a run
# starts from the seeds alone and takes the same time every time (the test command does so).
# A crashing input lands in build/fuzz/artifacts/<target>-crash-..., the output of each run
# in build/fuzz/logs/<target>.log. The seeds in tests/fuzz/corpus are only read. Reproduce a
# crash with
#   build/fuzz/fuzz_<target> build/fuzz/artifacts/<file>
# Exits with 1 when any target failed.
set -euo pipefail
cd "$(dirname "$0")/.."

available() {
  command -v clang++ >/dev/null 2>&1 || return 1
  local dir
  dir=$(mktemp -d)
  printf '#include <cstddef>\n#include <cstdint>\nextern "C" int LLVMFuzzerTestOneInput(const std::uint8_t*, std::size_t) { return 0; }\n' \
    >"$dir/probe.cpp"
  local ok=0
  clang++ -fsanitize=fuzzer,address,undefined "$dir/probe.cpp" -o "$dir/probe" >/dev/null 2>&1 || ok=1
  rm -rf "$dir"
  return $ok
}

if [ "${1:-}" = --available ]; then
  available
  exit
fi
if ! available; then
  echo "fuzz: clang++ with libFuzzer (-fsanitize=fuzzer) is not available" >&2
  exit 2
fi

corpus=build/fuzz/corpus
if [ "${1:-}" = --fresh ]; then
  corpus=$(mktemp -d)
  trap 'rm -rf "$corpus"' EXIT
  shift
fi
seconds=${1:-60}
if [ $# -gt 0 ]; then shift; fi
case $seconds in
  '' | *[!0-9]*) echo "fuzz: SECONDS must be a whole number, not '$seconds'" >&2; exit 2 ;;
esac
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in tests/fuzz/targets/*.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi

jobs=${VESPER_JOBS:-2}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs" >/dev/null

mkdir -p build/fuzz/logs build/fuzz/artifacts
failed=()
for t in "${targets[@]}"; do
  bin=build/fuzz/fuzz_$t
  if [ ! -x "$bin" ]; then
    echo "fuzz: no target $t" >&2
    failed+=("$t")
    continue
  fi
  mkdir -p "$corpus/$t"
  args=(-max_total_time="$seconds" -timeout=30 -print_final_stats=1
        -artifact_prefix="build/fuzz/artifacts/$t-")
  [ -f "tests/fuzz/dict/$t.dict" ] && args+=(-dict="tests/fuzz/dict/$t.dict")
  log=build/fuzz/logs/$t.log
  if "$bin" "${args[@]}" "$corpus/$t" "tests/fuzz/corpus/$t" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz: $t: ${runs:-?} inputs in ${seconds} s, nothing found"
  else
    echo "fuzz: $t FAILED; the end of $log:"
    grep -v -E '^#[0-9]+' "$log" | tail -40 | sed 's/^/  /'
    failed+=("$t")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: failed: ${failed[*]} (inputs in build/fuzz/artifacts)" >&2
  exit 1
fi
