#!/usr/bin/env bash
# Tests of scripts/setup.sh as a whole, on a copy of the scripts in a scratch tree and with
# fake package tools first on PATH (fakes.sh) serving the recorded apt reports (fixtures/):
# what it prints, what it asks apt to install, and the wine32 note it leaves for test.sh. The
# 32-bit probes run through fakes too: by default the machine runs 32-bit programs and wine32
# starts a Windows program.
set -uo pipefail
# The switches of a run that started this test (.ci/run allows downgrades) are not its own.
unset VESPER_ALLOW_DOWNGRADES VESPER_PRETEND_NO_EXEC32 VESPER_PRETEND_NO_WINE32
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
cp "$here/../../scripts/setup.sh" "$here/../../scripts/apt_align.sh" \
   "$here/../../scripts/exec32_probe.sh" "$tree/scripts/"
note=$tree/build/setup/wine32-missing.txt
export FAKE_MADISON=$fx/madison.txt FAKE_REPORTS_DIR=$work/apt FAKE_EXEC32_OUT=$fx/exec32-refused.txt
export PROBE_RUN=$work/bin/run32 WINE32_LOADER=$work/bin/wine32 WINESERVER_CMD=$work/bin/wineserver
export FAKE_WINE32_VERSION_OUT=$fx/wine32-version.txt
# Everything set-up installs, as its own list names it.
mapfile -t all < <(sed -n '/^pkgs=(/,/)/p' "$tree/scripts/setup.sh" | tr -d '()' |
                   sed 's/^pkgs=//' | tr ' ' '\n' | sed '/^$/d')
all+=(wine32:i386)

# installed_but NAME...: every package but these is installed; the other packages of the
# machine are those of $installed_base.
installed_base=$fx/installed-before.txt
installed_but() {
  local p skip
  cp "$installed_base" "$work/installed"
  for p in "${all[@]}"; do
    for skip in "$@"; do [ "$p" = "$skip" ] && continue 2; done
    echo "$p 1.0-1" >>"$work/installed"
  done
  export FAKE_INSTALLED=$work/installed
}
# run_setup: runs it; sets $out (stdout), $err (stderr), $rc, $calls (apt-get calls),
# $wine_calls (the fake wine32's) and $dpkg_calls.
run_setup() {
  rm -f "$FAKE_REPORTS_DIR/calls.txt"
  PATH=$work/bin:$PATH "$tree/scripts/setup.sh" >"$work/out" 2>"$work/err"
  rc=$?
  out=$(cat "$work/out") err=$(cat "$work/err")
  local all
  all=$(cat "$FAKE_REPORTS_DIR/calls.txt" 2>/dev/null)
  calls=$(grep -v '^wine32 \|^dpkg ' <<<"$all")
  wine_calls=$(grep '^wine32 ' <<<"$all")
  dpkg_calls=$(grep '^dpkg ' <<<"$all")
}
note_first_line() { head -1 "$note" 2>/dev/null; }
has_note() { [ -f "$note" ] && echo yes || echo no; }
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
expect_match "and installs" '^install -y -q wine32:i386$' "$calls"
expect_no_match "nothing aligned, nothing said about it" 'aligned' "$out"

group "wine32 cannot be installed"
installed_but wine32:i386 libcairo2-dev
serve "$FAKE_REPORTS_DIR" "$fx/round1.txt" "$fx/round1.txt" "$fx/cairo-simulated.txt:0"
run_setup
expect_eq "exits 0" 0 "$rc"
expect_match "warns with the note's first line" \
  "^setup: warning: wine32 \(32-bit Wine\) could not be installed from this machine's package mirror:$" "$out"
expect_match "and that the 32-bit Wine suites will be skipped" \
  "^setup: the 32-bit module's Wine suites will be skipped$" "$out"
expect_match "installs the rest" '^install -y -q libcairo2-dev$' "$calls"
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

group "a machine that cannot execute 32-bit programs"
installed_but wine32:i386 libcairo2-dev
serve "$FAKE_REPORTS_DIR" "$fx/cairo-simulated.txt:0"
FAKE_EXEC32=refuses FAKE_FOREIGN_ARCHS="" run_setup
expect_eq "exits 0" 0 "$rc"
expect_eq "the note says why in one line" \
  "this machine cannot execute 32-bit programs: Exec format error" "$(cat "$note" 2>/dev/null)"
expect_match "and so does set-up" '^setup: warning: this machine cannot execute 32-bit programs: Exec format error$' "$out"
expect_eq "installs the rest alone" "libcairo2-dev" "$(installed_request)"
expect_no_match "asks apt about no 32-bit package" ':i386' "$calls"
expect_eq "adds no 32-bit architecture" "" "$dpkg_calls"
expect_eq "never starts 32-bit Wine" "" "$wine_calls"

installed_but wine32:i386
serve "$FAKE_REPORTS_DIR"
FAKE_EXEC32=refuses run_setup
expect_eq "a later run exits 0" 0 "$rc"
expect_eq "says nothing new" "" "$out$err"
expect_eq "asks apt nothing" "" "$calls"
expect_eq "keeps the note" "this machine cannot execute 32-bit programs: Exec format error" "$(note_first_line)"

installed_but
serve "$FAKE_REPORTS_DIR"
FAKE_EXEC32=refuses run_setup
expect_eq "wine32 installed before changes nothing" "this machine cannot execute 32-bit programs: Exec format error" \
  "$(note_first_line)"
expect_eq "and it is not started" "" "$wine_calls"

group "the switch that pretends 32-bit programs cannot run"
installed_but
serve "$FAKE_REPORTS_DIR"
VESPER_PRETEND_NO_EXEC32=1 run_setup
expect_eq "exits 0" 0 "$rc"
expect_match "the note says so, and that it is pretended" \
  '^this machine cannot execute 32-bit programs: Exec format error \(pretended: VESPER_PRETEND_NO_EXEC32=1\)$' \
  "$(note_first_line)"
expect_eq "32-bit Wine is not started" "" "$wine_calls"
VESPER_PRETEND_NO_WINE32=1 run_setup
expect_match "the switch's older name does the same" '^this machine cannot execute 32-bit programs' "$(note_first_line)"
run_setup
expect_eq "without it, the probes pass and the note goes" no "$(has_note)"

group "32-bit Wine that does not start a Windows program"
installed_but
serve "$FAKE_REPORTS_DIR"
rm -f "$tree/build/setup/wine32-works"
printf '%s\n' "wine: could not load kernel32.dll, status c0000135" >"$work/wine-run-out"
FAKE_WINE32_RUN_OUT=$work/wine-run-out FAKE_WINE32_RUN_RC=1 run_setup
expect_eq "exits 0" 0 "$rc"
expect_eq "the note says what Wine said" \
  "32-bit Wine does not start a 32-bit Windows program: could not load kernel32.dll, status c0000135" \
  "$(note_first_line)"
expect_match "it was asked to start one" '^wine32 cmd\.exe /c echo ' "$wine_calls"
expect_eq "its scratch prefix is gone" no "$([ -e "$tree/build/setup/wine32-probe-prefix" ] && echo yes || echo no)"

FAKE_WINE32_VERSION_OUT=$fx/exec32-refused.txt FAKE_WINE32_VERSION_RC=126 run_setup
expect_eq "a loader the kernel refuses" \
  "32-bit Wine is installed but its loader does not run: Exec format error" "$(note_first_line)"
expect_eq "is not asked to start a program" "wine32 --version" "$wine_calls"

run_setup
expect_eq "once it works, the note goes" no "$(has_note)"
expect_match "after a real start" '^wine32 cmd\.exe' "$wine_calls"
run_setup
expect_eq "and later runs do not start it again" "" "$wine_calls"
expect_eq "nor say anything" "" "$out$err"

group "a mirror that would need the machine's libraries downgraded"
installed_base=$fx/installed-newer.txt
rm -f "$note"
installed_but wine32:i386 libcairo2-dev
serve "$FAKE_REPORTS_DIR" "$fx/round1.txt" "$fx/round2.txt" "$fx/round3.txt" "$fx/cairo-simulated.txt:0" \
  "$fx/cairo-simulated.txt:0"
run_setup
expect_eq "exits 0" 0 "$rc"
expect_eq "downgrades nothing" "" "$(grep -- '--allow-downgrades' <<<"$(grep -v -- ' -s ' <<<"$calls")")"
expect_eq "installs the rest without wine32" "libcairo2-dev" "$(installed_request)"
why=$(note_first_line)
expect_match "the note says what would have been downgraded" \
  "^wine32 \(32-bit Wine\) would need this machine's own libraries downgraded" "$why"
expect_match "naming each library with both versions" 'libssl3 3\.0\.22-1~deb12u2 to 3\.0\.20-1~deb12u2' "$why"
expect_match "the others too" 'liblzma5 5\.4\.1-1\+deb12u2 to 5\.4\.1-1\+deb12u1, .*zlib1g 1:1\.2\.13\.dfsg-1\+deb12u1 to 1:1\.2\.13\.dfsg-1' "$why"
expect_match "and how to allow it" 'set VESPER_ALLOW_DOWNGRADES=1 to allow it$' "$why"
expect_eq "in one line" 1 "$(wc -l <"$note")"

installed_but wine32:i386 libcairo2-dev
serve "$FAKE_REPORTS_DIR" "$fx/round1.txt" "$fx/round2.txt" "$fx/round3.txt" "$fx/cairo-simulated.txt:0"
VESPER_ALLOW_DOWNGRADES=1 run_setup
expect_eq "allowed: exits 0" 0 "$rc"
expect_match "allowed: installs wine32, downgrading" '^install -y -q --allow-downgrades .*wine32:i386' "$calls"
expect_match "with the pins" 'libssl3=3\.0\.20-1~deb12u2' "$(installed_request)"
expect_match "and says what it aligned" '^setup:   libssl3 3\.0\.20-1~deb12u2 \(amd64 and i386\)$' "$out"
expect_eq "allowed: no note" no "$(has_note)"

installed_but libcairo2-dev
serve "$FAKE_REPORTS_DIR" "$fx/round1.txt" "$fx/round2.txt" "$fx/round3.txt" "$fx/cairo-simulated.txt:0"
run_setup
expect_eq "a package set without wine32 that needs them fails" 1 "$rc"
expect_match "saying what and how to allow it" \
  "^setup: installing libcairo2-dev would downgrade this machine's .*libssl3 3\.0\.22-1~deb12u2 to 3\.0\.20-1~deb12u2.*; set VESPER_ALLOW_DOWNGRADES=1 to allow it$" "$err"
expect_eq "having installed nothing" "" "$(grep -v -- ' -s ' <<<"$calls" | grep '^install')"
installed_base=$fx/installed-before.txt

finish "set-up"
