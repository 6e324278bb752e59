#!/usr/bin/env bash
# Tests of scripts/setup.sh as a whole, on a copy of the scripts in a scratch tree and with
# fake package tools first on PATH (fakes.sh) serving the recorded apt reports (fixtures/):
# what it prints, what it asks apt to install, and the wine32 note it leaves for test.sh.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
fx=$here/fixtures
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=fakes.sh
source "$here/fakes.sh"
# shellcheck source=checks.sh
source "$here/checks.sh"
make_fakes "$work/bin"

tree=$work/tree
mkdir -p "$tree/scripts"
cp "$here/../../scripts/setup.sh" "$here/../../scripts/apt_align.sh" "$tree/scripts/"
note=$tree/build/setup/wine32-missing.txt
export FAKE_MADISON=$fx/madison.txt FAKE_REPORTS_DIR=$work/apt
# Everything set-up installs, as its own list names it.
mapfile -t all < <(sed -n '/^pkgs=(/,/)/p' "$tree/scripts/setup.sh" | tr -d '()' |
                   sed 's/^pkgs=//' | tr ' ' '\n' | sed '/^$/d')

# installed_but NAME...: every package but these is installed.
installed_but() {
  local p skip
  cp "$fx/installed-before.txt" "$work/installed"
  for p in "${all[@]}"; do
    for skip in "$@"; do [ "$p" = "$skip" ] && continue 2; done
    echo "$p 1.0-1" >>"$work/installed"
  done
  export FAKE_INSTALLED=$work/installed
}
# run_setup: runs it; sets $out (stdout), $err (stderr), $rc and $calls (apt-get calls).
run_setup() {
  PATH=$work/bin:$PATH "$tree/scripts/setup.sh" >"$work/out" 2>"$work/err"
  rc=$?
  out=$(cat "$work/out") err=$(cat "$work/err")
  calls=$(cat "$FAKE_REPORTS_DIR/calls.txt" 2>/dev/null)
}
# The request of the install that is not a simulation, one word a line.
installed_request() { grep -v -- ' -s ' <<<"$calls" | grep '^install' | tail -1 | tr ' ' '\n' | grep -v '^-' | sed 1d; }

group "all present"
installed_but
serve "$FAKE_REPORTS_DIR"
mkdir -p "$(dirname "$note")" && echo "old news" >"$note"
run_setup
expect_eq "exits 0" 0 "$rc"
expect_eq "prints nothing" "" "$out$err"
expect_eq "asks apt nothing" "" "$calls"
expect_eq "an old wine32 note goes" no "$([ -f "$note" ] && echo yes || echo no)"

group "aligned until wine32 installs"
installed_but wine32:i386 libcairo2-dev
serve "$FAKE_REPORTS_DIR" "$fx/round1.txt" "$fx/round2.txt" "$fx/round3.txt" "$fx/cairo-simulated.txt:0"
run_setup
expect_eq "exits 0" 0 "$rc"
expect_match "says what it installs" '^setup: installing libcairo2-dev wine32:i386$' "$out"
expect_match "says it aligned" '^setup: aligned to versions both architectures offer:$' "$out"
expect_match "one line for both architectures" '^setup:   libssl3 3\.0\.20-1~deb12u2 \(amd64 and i386\)$' "$out"
expect_match "a native pin says so" '^setup:   libpcre2-dev 10\.42-1 \(amd64\)$' "$out"
expect_eq "one line per package" 23 "$(grep -c '^setup:   ' <<<"$out")"
expect_eq "nothing on stderr" "" "$err"
expect_no_match "apt's chatter is not shown" 'debconf|Selecting' "$out"
expect_match "but logged" '^debconf: ' "$(cat "$tree/build/setup/apt-install.log")"
expect_lines "the install asks for the names and the real run's pins" \
  "$(printf '%s\n' libcairo2-dev wine32:i386; cat "$fx/real-pins.txt")" "$(installed_request)"
expect_eq "no wine32 note" no "$([ -f "$note" ] && echo yes || echo no)"

group "an index fails to download"
installed_but wine32:i386
serve "$FAKE_REPORTS_DIR" "$fx/cairo-simulated.txt:0"
printf '%s\n' "W: Some index files failed to download. They have been ignored, or old ones used instead." \
  "E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (1234 != 5678). Mirror sync in progress?" \
  >"$work/update-out"
FAKE_UPDATE_RC=100 FAKE_UPDATE_OUT=$work/update-out run_setup
expect_eq "goes on and exits 0" 0 "$rc"
expect_match "with a warning" '^setup: warning: some package indexes failed' "$out"
expect_match "naming the index" '^setup:   E: Failed to fetch .*binary-i386/Packages\.xz' "$out"
expect_match "and installs" '^install -y -q --allow-downgrades wine32:i386$' "$calls"
expect_no_match "nothing aligned, nothing said about it" 'aligned' "$out"

group "wine32 cannot be installed"
installed_but wine32:i386 libcairo2-dev
serve "$FAKE_REPORTS_DIR" "$fx/round1.txt" "$fx/round1.txt" "$fx/cairo-simulated.txt:0"
run_setup
expect_eq "exits 0" 0 "$rc"
expect_match "warns that the 32-bit Wine suites will be skipped" \
  '^setup: warning: wine32 could not be installed; the 32-bit Wine suites will be skipped$' "$out"
expect_match "installs the rest" '^install -y -q --allow-downgrades libcairo2-dev$' "$calls"
note_text=$(cat "$note" 2>/dev/null)
expect_match "leaves a note saying why" "^wine32 \(32-bit Wine\) could not be installed" "$note_text"
expect_match "with apt's words" '^ libcurl4:i386 : Depends: libbrotli1:i386' "$note_text"
expect_match "and its verdict" '^E: Unable to correct problems' "$note_text"
expect_eq "cut short: ten of its unmet lines, a count of the rest, the verdict" 13 "$(wc -l <<<"$note_text")"
expect_match "the count" "^   \\.\\.\\. \\(16 more lines\\)$" "$note_text"

# Then wine32 turns up (the mirror has synced): the note goes.
installed_but
serve "$FAKE_REPORTS_DIR"
run_setup
expect_eq "a later run with all present removes the note" no "$([ -f "$note" ] && echo yes || echo no)"

group "another package cannot be installed"
installed_but wine32:i386 libcairo2-dev
serve "$FAKE_REPORTS_DIR" "$fx/round1.txt" "$fx/round1.txt" "$fx/round2.txt" "$fx/round2.txt"
run_setup
expect_eq "fails" 1 "$rc"
expect_match "naming what" '^setup: could not install libcairo2-dev:$' "$err"
expect_match "with apt's words" '^ libpcre2-dev : Depends: libpcre2-8-0' "$err"
expect_eq "and no wine32 note" no "$([ -f "$note" ] || [ -f "$note.new" ] && echo yes || echo no)"

installed_but libcairo2-dev
serve "$FAKE_REPORTS_DIR" "$fx/round2.txt" "$fx/round2.txt"
run_setup
expect_eq "without wine32 in the list, too" 1 "$rc"
expect_match "naming it" '^setup: could not install libcairo2-dev:$' "$err"

group "the install itself fails"
installed_but libcairo2-dev
serve "$FAKE_REPORTS_DIR" "$fx/cairo-simulated.txt:0"
FAKE_INSTALL_RC=100 run_setup
expect_eq "fails" 1 "$rc"
expect_match "and shows apt's log" '^debconf: unable to initialize frontend' "$err"

finish "set-up"
