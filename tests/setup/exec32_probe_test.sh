#!/usr/bin/env bash
# Tests of scripts/exec32_probe.sh: the 32-bit program it writes, and how it reads a refusal.
# How set-up acts on the verdicts is tested in setup_test.sh.
set -uo pipefail
# The switches of a run that started this test (.ci/run allows downgrades) are not its own.
unset VESPER_ALLOW_DOWNGRADES VESPER_PRETEND_NO_EXEC32 VESPER_PRETEND_NO_WINE32
here=$(cd "$(dirname "$0")" && pwd)
fx=$here/fixtures
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=checks.sh
source "$here/checks.sh"
# shellcheck source=../../scripts/exec32_probe.sh
source "$here/../../scripts/exec32_probe.sh"

group "the probe program"
write_probe32 "$work/probe32"
expect_eq "is 96 bytes" 96 "$(stat -c %s "$work/probe32")"
expect_eq "is executable" yes "$([ -x "$work/probe32" ] && echo yes || echo no)"
header=$(readelf -h "$work/probe32" 2>&1)
expect_match "a 32-bit ELF" 'Class: +ELF32$' "$header"
expect_match "for i386" 'Machine: +Intel 80386$' "$header"
expect_match "an executable" 'Type: +EXEC' "$header"
expect_match "entered right after its headers" 'Entry point address: +0x8048054$' "$header"
segments=$(readelf -l "$work/probe32" 2>&1)
expect_match "one segment, the whole file, readable and executable" \
  'LOAD +0x000000 0x08048000 0x08048000 0x00060 0x00060 R E 0x1000' "$segments"
# Its code: exit(42) through the 32-bit system call gate.
expect_eq "code" "b801000000bb2a000000cd80" "$(tail -c 12 "$work/probe32" | od -An -tx1 | tr -d ' \n')"
out=$("$work/probe32" 2>&1); rc=$?
if [ $rc = 126 ]; then
  expect_match "where the kernel refuses it, the shell says why" 'Exec format error' "$out"
else
  expect_eq "where the kernel runs it, it exits 42" 42 "$rc"
fi

group "reading a refusal"
expect_eq "the system's words after the program's name" "Exec format error" \
  "$(probe_reason "$(cat "$fx/exec32-refused.txt")" 126)"
expect_eq "the last line counts, blank lines aside" "No such file or directory" \
  "$(probe_reason "$(printf 'noise: 1\nbash: /x: No such file or directory\n\n')" 127)"
expect_eq "words without a name stand as they are" "Killed" "$(probe_reason "Killed" 137)"
expect_eq "silence gives the exit status" "it ended with exit status 3" "$(probe_reason "" 3)"

group "the verdict"
cat >"$work/refusing-shell" <<'SH'
#!/usr/bin/env bash
echo "bash: $3: cannot execute binary file: Exec format error" >&2
exit 126
SH
cat >"$work/wrong-shell" <<'SH'
#!/usr/bin/env bash
exit 0
SH
chmod +x "$work/refusing-shell" "$work/wrong-shell"
PROBE_RUN=$work/refusing-shell probe_exec32 "$work/a"; rc=$?
expect_eq "refused: fails" 1 "$rc"
expect_eq "refused: one line" "this machine cannot execute 32-bit programs: Exec format error" "$probe_why"
PROBE_RUN=$work/wrong-shell probe_exec32 "$work/b"; rc=$?
expect_eq "a program that ends without its status has not run" 1 "$rc"
expect_eq "and says so" "this machine cannot execute 32-bit programs: it ended with exit status 0" "$probe_why"
PROBE_RUN=$work/wrong-shell VESPER_PRETEND_NO_EXEC32=1 probe_exec32 "$work/c"; rc=$?
expect_eq "the switch fails it" 1 "$rc"
expect_match "and says it is pretended" 'Exec format error \(pretended: VESPER_PRETEND_NO_EXEC32=1\)$' "$probe_why"
expect_eq "without running anything" no "$([ -e "$work/c/probe32" ] && echo yes || echo no)"

finish "32-bit probe"
