#!/usr/bin/env bash
# The whole test run: set-up, the four builds, native tests (plain and sanitized), a short run
# of every fuzz target (skipped only where clang cannot link libFuzzer), the release package
# and its check, and the Windows modules' end-to-end tests under Wine in a virtual display.
#
# Without 32-bit Wine (set-up leaves build/setup/wine32-missing.txt saying why: the machine
# cannot execute 32-bit programs, wine32 cannot be installed, or only by downgrading the
# machine's libraries) the 32-bit module is still built, packaged and checked, and everything
# else runs; only the 32-bit module's Wine suite cannot. The last lines then say which tests
# did not run and why, and the run still succeeds. VESPER_PRETEND_NO_EXEC32=1 makes set-up's
# probe report that this machine cannot execute 32-bit programs, to take that road anywhere.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)

no_wine32=""
[ ! -f build/setup/wine32-missing.txt ] || no_wine32=$(cat build/setup/wine32-missing.txt)

# The Windows modules first: the native test host's property-list test reads them, and a
# native build configured before they exist leaves that test out.
for p in win32 win64 native native-san; do
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

echo "== release package"
scripts/package.sh
tests/release/check_package.sh

# The tests of a Windows build, one a line: "static NAME" for a CMake script that checks
# files (cmake -P check_*.cmake: exports and imports, layers), which needs no Wine; "wine
# NAME" otherwise, CMake scripts that drive Wine among them.
windows_tests() {
  ctest --test-dir "$1" -N -V | awk '
    /Test command:/ { static = ($0 ~ /"-P" "[^"]*\/check_[a-z_]*\.cmake"/) }
    /^ *Test +#[0-9]+: / { sub(/^ *Test +#[0-9]+: /, ""); print (static ? "static " : "wine ") $0 }'
}

not_run=""
if [ -n "$no_wine32" ]; then
  # Where 32-bit Wine does not run, nothing of the 64-bit road may go through Debian's `wine`
  # wrapper, which would pick the 32-bit loader: stand-ins that refuse as it would come first.
  refusing=$PWD/build/setup/refusing-wine32
  mkdir -p "$refusing"
  for w in wine wine-stable wineboot; do
    printf '#!/bin/sh\necho "%s: cannot execute binary file: Exec format error (32-bit Wine does not run here)" >&2\nexit 126\n' \
      "$w" >"$refusing/$w"
    chmod +x "$refusing/$w"
  done
  export PATH=$refusing:$PATH
fi
for p in win32 win64; do
  [ -f "build/$p/CTestTestfile.cmake" ] || continue
  if [ $p = win32 ] && [ -n "$no_wine32" ]; then
    tests=$(windows_tests "build/$p")
    not_run=$(awk '$1 == "wine" { print $2 }' <<<"$tests")
    static=$(awk '$1 == "static" { print $2 }' <<<"$tests" | sed 's/\./\\./g' | paste -sd'|' -)
    if [ -n "$static" ]; then
      echo "== $p module checks that need no Wine"
      ctest --test-dir "build/$p" --output-on-failure -R "^($static)\$" -FA '.*'
    fi
    continue
  fi
  echo "== $p module under Wine"
  scripts/with-wine.sh ctest --test-dir "build/$p" --output-on-failure
done

if [ -n "$no_wine32" ]; then
  # Grouped by name up to the last dot: e2e.handoff.* is one suite, tktest another.
  suites=$(awk '{ s = $0; if (s ~ /\./) sub(/\.[^.]*$/, ".*", s); n[s]++ }
                END { for (s in n) printf "%s (%d)\n", s, n[s] }' <<<"$not_run" | sort | paste -sd, - |
           sed 's/,/, /g')
  echo "== 32-bit Wine suites not run"
  echo "Not run: the 32-bit module's Wine suites in build/win32, $(grep -c . <<<"$not_run") tests: $suites."
  echo "Why: $(head -1 <<<"$no_wine32")"
  sed '1d; s/^/  /' <<<"$no_wine32"
fi
