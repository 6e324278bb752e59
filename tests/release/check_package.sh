#!/usr/bin/env bash
# Checks the release zip that scripts/package.sh wrote, as a user would get it:
#   - the zip holds exactly Vesper.8bf, Vesper64.8bf and INSTALL.txt, at its top;
#   - INSTALL.txt has CRLF line ends and says which file is for which host, where to copy it,
#     what the filter does, both exchange file paths and how the editor's folder is found;
#   - each module is a stripped PE file of its architecture, at most 1 MiB, exporting the two
#     entry points and importing only system DLLs (src/entry/check_module.cmake);
#   - each module's version resource and property list (the native test_host program's
#     ModuleVersionResource and ModulePropertyList tests, pointed at the unpacked files).
# Usage: tests/release/check_package.sh [ZIP [TEST_HOST]]
set -uo pipefail
cd "$(dirname "$0")/../.."
version=$(sed -n 's/^project(Vesper VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
zip_file=${1:-dist/Vesper-$version.zip}
test_host=${2:-build/native/test_host}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

[ -f "$zip_file" ] || { echo "FAIL: no $zip_file (run scripts/package.sh)"; exit 1; }
[ -x "$test_host" ] || { echo "FAIL: no $test_host (build the native preset)"; exit 1; }

names=$(unzip -Z1 "$zip_file" | sort | paste -sd' ')
[ "$names" = "INSTALL.txt Vesper.8bf Vesper64.8bf" ] ||
  fail "the zip holds '$names', not exactly INSTALL.txt, Vesper.8bf and Vesper64.8bf"
unzip -q "$zip_file" -d "$work" || fail "the zip does not unpack"

# The note ------------------------------------------------------------------------------
note=$work/INSTALL.txt
if [ -f "$note" ]; then
  lines=$(wc -l <"$note")
  crlf=$(grep -c $'\r$' "$note")
  [ "$lines" -gt 0 ] && [ "$lines" = "$crlf" ] || fail "INSTALL.txt: $crlf of $lines lines end with CRLF"
  [ -z "$(tail -c 1 "$note" | tr -d '\n')" ] || fail "INSTALL.txt: the last line has no line end"
  text=$(tr -d '\r' <"$note")
  # need LINE-PATTERN WHY: some line of the note matches the (extended) pattern.
  need() { grep -qE -- "$1" <<<"$text" || fail "INSTALL.txt lacks $2 (/$1/)"; }
  need "^Vesper ${version//./\\.}: " "the version in its first line"
  need 'Transfer to Tarnwick Studio\.\.\.' "the filter's menu name"
  need 'Filter > Tarnwick' "where the filter appears"
  need '^ +Vesper\.8bf +for a 32-bit ' "which file a 32-bit host takes"
  need '^ +Vesper64\.8bf +for a 64-bit ' "which file a 64-bit host takes"
  need 'Plug-ins' "the plug-in folder to copy to"
  need '(restart|Start the editor again)' "that the host must be started again"
  need '^ +c:\\tarnwickstudiorgb_dovrane\.bmp +the image$' "the image file's path"
  need '^ +c:\\tarnwickstudioa_dovrane\.bmp +its selection' "the mask file's path"
  need '^ +HKEY_LOCAL_MACHINE\\SOFTWARE\\Adobe\\Photoshop\\<version>\\PluginPath$' "the editor's key"
  need 'string value "Tarnwick"' "the value that holds the editor's folder"
  need 'TarnwickStudio\.exe' "the editor's program name"
  need 'ending with a backslash' "that the folder ends with a backslash"
  need 'first version key' "which host version's key is read"
  need 'window titled "Tarnwick Studio"' "that a running editor is brought forward"
  flat=$(tr -s '\n ' '  ' <<<"$text")
  grep -qF '"The file path is error, please reinstall the Tarnwick Studio plugin."' <<<"$flat" ||
    fail "INSTALL.txt lacks the message shown when the key cannot be opened"
  ! grep -q $'\t' "$note" || fail "INSTALL.txt has tabs (Notepad shows them at its own width)"
  long=$(awk 'length($0) > 80' <<<"$text" | head -1)
  [ -z "$long" ] || fail "INSTALL.txt has a line over 80 columns: $long"
fi

# The modules ---------------------------------------------------------------------------
check_module() { # FILE PE-FORMAT TOOL-PREFIX
  local file=$work/$1 objdump=$3-objdump
  [ -f "$file" ] || return 0
  local out
  # Whole outputs first: grep -q ending a pipe early would fail the pipe under pipefail.
  out=$("$objdump" -f "$file")
  grep -q "file format $2\$" <<<"$out" || fail "$1 is not a $2 file"
  out=$("$objdump" -h "$file")
  ! grep -q ' \.debug_' <<<"$out" || fail "$1 still has debug sections"
  out=$("$objdump" -t "$file")
  grep -qx 'no symbols' <<<"$out" || fail "$1 still has a symbol table"
  if ! out=$(cmake -DOBJDUMP="$objdump" -DMODULE="$file" -DMAX_BYTES=1048576 \
               -P src/entry/check_module.cmake 2>&1); then
    fail "$1: $(grep -v '^ *$' <<<"$out" | grep -v 'CMake Error' | head -3 | paste -sd' ')"
  fi
  echo "$1: $(stat -c %s "$file") bytes; $(grep -o 'imports [^ ]*' <<<"$out" | sed 's/imports //' | paste -sd' ')"
}
check_module Vesper.8bf pei-i386 i686-w64-mingw32
check_module Vesper64.8bf pei-x86-64 x86_64-w64-mingw32

if [ -f "$work/Vesper.8bf" ] && [ -f "$work/Vesper64.8bf" ]; then
  out=$(VESPER_MODULE_DIR=$work "$test_host" \
          --gtest_filter='ModuleVersionResource.*:ModulePropertyList.*' 2>&1)
  status=$?
  # A module the tests cannot read is skipped there; here it is a failure.
  if [ $status != 0 ] || grep -q '^\[  SKIPPED \]' <<<"$out" ||
     ! grep -q '^\[  PASSED  \] 4 tests' <<<"$out"; then
    fail "version resource or property list:"
    grep -E '^(\[  (FAILED|SKIPPED) |.*(Failure|Expected|Which is|actual))' <<<"$out" | head -20
  fi
fi

if [ $failures -gt 0 ]; then
  echo "$failures package check(s) failed"
  exit 1
fi
echo "package check passed: $zip_file"
