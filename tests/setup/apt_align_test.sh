#!/usr/bin/env bash
# Tests of scripts/apt_align.sh, the set-up's multi-arch version alignment, against apt output
# recorded on a machine whose amd64 libraries were newer than the i386 builds its mirror
# offered (fixtures/):
#   round1.txt .. round3.txt   `apt-get install -s` reports of the three refused rounds
#   wine32-alone-round1.txt    the first round's report for wine32 alone
#   cairo-simulated.txt        a report of a simulation that went through
#   madison.txt                `apt-cache madison` for every name those reports lead to
#   installed-before.txt       what dpkg had installed before (NAME VERSION)
#   real-pins.txt              the pins the install that went through was given
# apt-cache, dpkg-query and apt-get are fakes that serve these files (fakes.sh); dpkg itself
# compares the versions, as on a real machine.
set -uo pipefail
# The switches of a run that started this test (.ci/run allows downgrades) are not its own.
unset VESPER_ALLOW_DOWNGRADES VESPER_PRETEND_NO_EXEC32 VESPER_PRETEND_NO_WINE32
here=$(cd "$(dirname "$0")" && pwd)
fx=$here/fixtures
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# shellcheck source=fakes.sh
source "$here/fakes.sh"
make_fakes "$work/bin"
export APT_CACHE=$work/bin/apt-cache DPKG_QUERY=$work/bin/dpkg-query APT_GET=$work/bin/apt-get
export FAKE_MADISON=$fx/madison.txt FAKE_INSTALLED=$fx/installed-before.txt
# shellcheck source=../../scripts/apt_align.sh
source "$here/../../scripts/apt_align.sh"

# shellcheck source=checks.sh
source "$here/checks.sh"
# pins_of NAME... <<< "pin lines": the pin lines of the named packages.
pins_of() { local n re=""; for n in "$@"; do re+="${re:+|}^${n//./\\.}="; done; grep -E "$re" || true; }

# Names from unmet-dependency reports ---------------------------------------------------
group "unmet names"
expect_lines "round 1: every Depends target, :i386 removed; Recommends and the lines outside the section ignored" \
"libbrotli1
libexpat1
libgd3
libgstreamer-plugins-base1.0-0
liblzma5
libpcre2-8-0
libpng16-16
libsasl2-2
libssh2-1
libssl3
libzstd1
zlib1g" "$(align_unmet_names <"$fx/round1.txt")"
names=$(align_unmet_names <"$fx/round2.txt")
expect_lines "round 2: native -dev names as well; the 'already the newest' lines above the section are no names" \
"libaom3
libexpat1-dev
libheif1
libpcre2-8-0
libpng-dev
libsasl2-modules-db
libtiff6" "$names"
expect_eq "round 3 names" "libde265-0 libpcre2-16-0 libpcre2-32-0 libpcre2-posix3" \
  "$(align_unmet_names <"$fx/round3.txt" | paste -sd' ')"
expect_eq "a report that ends with a different error line still counts" "yes" \
  "$(align_unmet_names <"$fx/wine32-alone-round1.txt" | grep -qx libavahi-client3 && echo yes)"
expect_lines "PreDepends counts, Recommends, Suggests and Breaks do not, several on one line" \
"liba
libb
libc" "$(align_unmet_names <<'EOF'
The following packages have unmet dependencies:
 foo:i386 : PreDepends: liba:i386 (>= 1) but it is not going to be installed
            Depends: libb but it is not installable Depends: libc:i386
            Recommends: libd:i386 but it is not going to be installed
            Suggests: libe
            Breaks: libf (< 2)
E: Unable to correct problems, you have held broken packages.
 tail : Depends: libg
EOF
)"
expect_eq "no unmet section, no names" "" "$(align_unmet_names <"$fx/cairo-simulated.txt")"

# Debian version order ------------------------------------------------------------------
group "newest common version"
expect_eq "an epoch outranks any version without one" "1:1.2.13.dfsg-1" \
  "$(align_newest_common $'1.3-1\n1:1.2.13.dfsg-1+deb12u1\n1:1.2.13.dfsg-1' $'1:1.2.13.dfsg-1\n1.3-1')"
expect_eq "~ sorts before the bare version" "3.0.20-1" \
  "$(align_newest_common $'3.0.20-1~deb12u2\n3.0.20-1' $'3.0.20-1\n3.0.20-1~deb12u2')"
expect_eq "~deb12u2 of a newer upstream beats an older upstream" "3.0.20-1~deb12u2" \
  "$(align_newest_common $'3.0.17-1~deb12u2\n3.0.20-1~deb12u2\n3.0.22-1~deb12u2' $'3.0.17-1~deb12u2\n3.0.20-1~deb12u2')"
expect_eq "+deb12u10 is newer than +deb12u9 (numbers, not text)" "2.5.0-1+deb12u10" \
  "$(align_newest_common $'2.5.0-1+deb12u9\n2.5.0-1+deb12u10' $'2.5.0-1+deb12u10\n2.5.0-1+deb12u9')"
expect_eq "+b10 is newer than +b6, both newer than the source version" "1.0.9-2+b10" \
  "$(align_newest_common $'1.0.9-2\n1.0.9-2+b6\n1.0.9-2+b10' $'1.0.9-2+b10\n1.0.9-2+b6\n1.0.9-2')"
expect_eq "+deb12u1 is newer than the version it updates" "5.4.1-1+deb12u1" \
  "$(align_newest_common $'5.4.1-1\n5.4.1-1+deb12u1' $'5.4.1-1+deb12u1\n5.4.1-1')"
expect_eq "nothing in common" "" "$(align_newest_common $'1.0-1\n1.1-1' $'1.0-2')"
expect_eq "an empty list" "" "$(align_newest_common "" $'1.0-1')"
expect_lines "madison: each architecture's versions; arch 'all' serves both" \
"3.0.22-1~deb12u2
3.0.20-1~deb12u2
3.0.17-1~deb12u2" "$(align_versions libssl3 amd64)"
expect_lines "madison for i386" $'3.0.20-1~deb12u2\n3.0.17-1~deb12u2' "$(align_versions libssl3 i386)"
expect_eq "the installed version, from dpkg-query" "10.42-1" "$(align_installed libpcre2-8-0)"
expect_eq "not installed" "" "$(align_installed libpcre2-16-0)"

# One round -----------------------------------------------------------------------------
group "next pins"
p1=$(align_next_pins <"$fx/round1.txt")
expect_lines "round 1: twelve libraries, both architectures, at the newest version both offer" \
"libbrotli1:i386=1.0.9-2+b6
libbrotli1=1.0.9-2+b6
libexpat1:i386=2.5.0-1+deb12u2
libexpat1=2.5.0-1+deb12u2
libgd3:i386=2.3.3-9
libgd3=2.3.3-9
libgstreamer-plugins-base1.0-0:i386=1.22.0-3+deb12u6
libgstreamer-plugins-base1.0-0=1.22.0-3+deb12u6
liblzma5:i386=5.4.1-1+deb12u1
liblzma5=5.4.1-1+deb12u1
libpcre2-8-0:i386=10.42-1
libpcre2-8-0=10.42-1
libpng16-16:i386=1.6.39-2+deb12u5
libpng16-16=1.6.39-2+deb12u5
libsasl2-2:i386=2.1.28+dfsg-10
libsasl2-2=2.1.28+dfsg-10
libssh2-1:i386=1.10.0-3+b1
libssh2-1=1.10.0-3+b1
libssl3:i386=3.0.20-1~deb12u2
libssl3=3.0.20-1~deb12u2
libzstd1:i386=1.5.4+dfsg2-5
libzstd1=1.5.4+dfsg2-5
zlib1g:i386=1:1.2.13.dfsg-1
zlib1g=1:1.2.13.dfsg-1" "$p1"
mapfile -t pins1 <<<"$p1"

p2=$(align_next_pins "${pins1[@]}" <"$fx/round2.txt")
expect_lines "round 1's pins are kept" "$p1" "$(grep -Fxf <(echo "$p1") <<<"$p2")"
expect_lines "a native -dev name is pinned natively only, at the version its library was given" \
"libpng-dev=1.6.39-2+deb12u5
libexpat1-dev=2.5.0-1+deb12u2" "$(pins_of libpng-dev libexpat1-dev libpng-dev:i386 libexpat1-dev:i386 <<<"$p2")"
expect_eq "exact pin, the -dev package follows its aligned library (apt wanted 10.42-1+deb12u2)" \
  "libpcre2-dev=10.42-1" "$(pins_of libpcre2-dev <<<"$p2")"
expect_eq "Recommends: libsasl2-modules:i386 pins nothing" "" "$(pins_of libsasl2-modules <<<"$p2")"

mapfile -t pins2 <<<"$p2"
p3=$(align_next_pins "${pins2[@]}" <"$fx/round3.txt")
expect_lines "exact pin the other way: the libraries follow the pinned libpcre2-dev" \
"libpcre2-16-0=10.42-1
libpcre2-32-0=10.42-1
libpcre2-posix3=10.42-1
libpcre2-dev=10.42-1" "$(pins_of libpcre2-16-0 libpcre2-32-0 libpcre2-posix3 libpcre2-dev <<<"$p3")"
cp "$fx/installed-before.txt" "$work/installed-newer"
echo "libpcre2-16-0 10.42-1+deb12u2" >>"$work/installed-newer"
p3b=$(FAKE_INSTALLED=$work/installed-newer align_next_pins "${pins2[@]}" <"$fx/round3.txt")
expect_eq "a newer installed libpcre2-16-0 does not move round 3's pins" "$p3" "$p3b"

expect_lines "no unmet section: the pins given, nothing new" "$p1" \
  "$(align_next_pins "${pins1[@]}" <"$fx/cairo-simulated.txt")"
expect_eq "no unmet section and no pins: nothing" "" "$(align_next_pins <"$fx/cairo-simulated.txt")"
expect_eq "names madison does not know are left to apt" "" \
  "$(align_next_pins <"$fx/wine32-alone-round1.txt" | pins_of libavahi-client3)"

# Synthetic cases, each on its own madison and dpkg lists.
cat >"$work/madison" <<'EOF'
   onlyamd | 2.0-1 | http://deb.example/debian bookworm/main amd64 Packages
onlyi386:i386 | 2.0-1 | http://deb.example/debian bookworm/main i386 Packages
   apart | 2.0-1 | http://deb.example/debian bookworm/main amd64 Packages
apart:i386 | 1.0-1 | http://deb.example/debian bookworm/main i386 Packages
libstdc++6 | 12.2.0-14+deb12u1 | http://deb.example/debian bookworm/main amd64 Packages
libstdc++6 | 12.2.0-14 | http://deb.example/debian bookworm/main amd64 Packages
libstdc++6:i386 | 12.2.0-14 | http://deb.example/debian bookworm/main i386 Packages
   libfoo1 | 2.0-1 | http://deb.example/debian bookworm/main amd64 Packages
   libfoo1 | 1.0-1 | http://deb.example/debian bookworm/main amd64 Packages
libfoo1:i386 | 1.0-1 | http://deb.example/debian bookworm/main i386 Packages
libfoo-dev | 2.0-1 | http://deb.example/debian bookworm/main amd64 Packages
libfoo-dev | 1.0-1 | http://deb.example/debian bookworm/main amd64 Packages
libfoo-dev:i386 | 1.0-1 | http://deb.example/debian bookworm/main i386 Packages
libbar-dev | 3.0-1 | http://deb.example/debian bookworm/main amd64 Packages
libqux-dev | 2.0-1 | http://deb.example/debian bookworm/main amd64 Packages
libbaz-dev | 2.0-1 | http://deb.example/debian bookworm/main amd64 Packages
libbaz-dev | 1.0-1 | http://deb.example/debian bookworm/main amd64 Packages
libbaz-tools | 2.0-1 | http://deb.example/debian bookworm/main amd64 Packages
libbaz-tools | 1.0-1 | http://deb.example/debian bookworm/main amd64 Packages
libqux-dev | 1.0-1 | http://deb.example/debian bookworm/main amd64 Packages
libfoo-data | 1.0-1 | http://deb.example/debian bookworm/main all Packages
libfoo-data:i386 | 1.0-1 | http://deb.example/debian bookworm/main all Packages
EOF
printf 'libfoo1 1.0-1\nlibbar1 2.0-1\nlibqux1 1.0-1\n' >"$work/installed"
synth() { FAKE_MADISON=$work/madison FAKE_INSTALLED=$work/installed align_next_pins "$@"; }
expect_eq "names offered on one architecture only, or at no common version, are left alone" "" "$(synth <<'EOF'
The following packages have unmet dependencies:
 x:i386 : Depends: onlyamd:i386 but it is not installable
          Depends: onlyi386:i386 but it is not going to be installed
          Depends: apart:i386 (>= 1) but it is not going to be installed
E: Unable to correct problems, you have held broken packages.
EOF
)"
expect_lines "a name with + in it is pinned on both architectures" \
$'libstdc++6:i386=12.2.0-14\nlibstdc++6=12.2.0-14' "$(synth <<'EOF'
The following packages have unmet dependencies:
 libgcc-s1:i386 : Depends: libstdc++6:i386 (>= 12) but it is not going to be installed
E: Unable to correct problems, you have held broken packages.
EOF
)"
expect_lines "NAME:i386 inside a longer name does not make NAME an i386 pin" \
"libfoo1=1.0-1" "$(synth <<'EOF'
The following packages have unmet dependencies:
 a : Depends: libfoo1 but it is not going to be installed
 b:i386 : Depends: xlibfoo1:i386 but it is not installable
E: Unable to correct problems, you have held broken packages.
EOF
)"
expect_lines "arch 'all' offers both architectures" \
$'libfoo-data:i386=1.0-1\nlibfoo-data=1.0-1' "$(synth <<'EOF'
The following packages have unmet dependencies:
 libfoo1:i386 : Depends: libfoo-data:i386 but it is not going to be installed
E: Unable to correct problems, you have held broken packages.
EOF
)"
expect_lines "exact pin on a multi-arch library: the library is aligned, the -dev package follows" \
$'libfoo-dev=1.0-1\nlibfoo1=1.0-1' "$(synth <<'EOF'
The following packages have unmet dependencies:
 libfoo-dev : Depends: libfoo1 (= 2.0-1) but 1.0-1 is to be installed
E: Unable to correct problems, you have held broken packages.
EOF
)"
# libqux1 is in no madison list, so only the exact-pin rule can place libqux-dev.
expect_eq "exact pin: WHO follows the version apt says DEP is to be installed at" "libqux-dev=1.0-1" "$(synth <<'EOF'
The following packages have unmet dependencies:
 libqux-dev : Depends: libqux1 (= 2.0-1) but 1.0-1 is to be installed
E: Unable to correct problems, you have held broken packages.
EOF
)"
expect_eq "exact pin: with no version in the report, WHO follows the installed DEP" "libqux-dev=1.0-1" "$(synth <<'EOF'
The following packages have unmet dependencies:
 libqux-dev : Depends: libqux1 (= 2.0-1) but it is not going to be installed
E: Unable to correct problems, you have held broken packages.
EOF
)"
expect_eq "exact pin: WHO not offered at DEP's version is left to apt" "" "$(synth <<'EOF'
The following packages have unmet dependencies:
 libbar-dev : Depends: libbar1 (= 3.0-1) but 2.0-1 is installed
E: Unable to correct problems, you have held broken packages.
EOF
)"
expect_lines "exact pin: a DEP that is not offered at WHO's pinned version is not pinned" \
"libbar-dev=3.0-1" "$(synth libbar-dev=3.0-1 <<'EOF'
The following packages have unmet dependencies:
 libbar-dev : Depends: libbar1 (= 3.0-1) but 2.0-1 is installed
E: Unable to correct problems, you have held broken packages.
EOF
)"

# libbaz-tools has no i386 build, so the names rule leaves it and only the exact pin can.
expect_lines "exact pin: a pinned WHO stays, an unpinned DEP follows it (else the rounds swing back and forth)" \
$'libbaz-dev=1.0-1\nlibbaz-tools=1.0-1' "$(synth libbaz-dev=1.0-1 <<'EOF'
The following packages have unmet dependencies:
 libbaz-dev : Depends: libbaz-tools (= 1.0-1) but 2.0-1 is to be installed
E: Unable to correct problems, you have held broken packages.
EOF
)"

# Rounds --------------------------------------------------------------------------------
group "rounds"
export FAKE_REPORTS_DIR=$work/apt
serve "$FAKE_REPORTS_DIR" "$fx/round1.txt" "$fx/round2.txt" "$fx/round3.txt" "$fx/cairo-simulated.txt:0"
if align_rounds wine32:i386 libcairo2-dev; then ok=yes; else ok=no; fi
expect_eq "the recorded rounds converge" yes "$ok"
expect_lines "to the pins the real install was given" "$(cat "$fx/real-pins.txt")" \
  "$(printf '%s\n' "${align_pins[@]}")"
expect_eq "four simulations" 4 "$(wc -l <"$FAKE_REPORTS_DIR/calls.txt")"
expect_eq "the first round asks for the names alone" \
  "install -s -y --allow-downgrades wine32:i386 libcairo2-dev" "$(head -1 "$FAKE_REPORTS_DIR/calls.txt")"
expect_lines "each round asks for the names and the previous round's pins" \
  "$(printf '%s\n' wine32:i386 libcairo2-dev "${pins2[@]}")" \
  "$(sed -n 3p "$FAKE_REPORTS_DIR/calls.txt" | tr ' ' '\n' | grep -v '^-' | grep -vx install)"
expect_lines "the install request is the names and the pins" \
  "$(printf '%s\n' wine32:i386 libcairo2-dev; cat "$fx/real-pins.txt")" \
  "$(printf '%s\n' "${align_request[@]}")"

serve "$FAKE_REPORTS_DIR" "$fx/round1.txt" "$fx/round1.txt"
if align_rounds wine32:i386; then ok=yes; else ok=no; fi
expect_eq "a round that changes nothing ends the rounds with a failure" no "$ok"
expect_eq "after two simulations" 2 "$(wc -l <"$FAKE_REPORTS_DIR/calls.txt")"
expect_eq "leaving apt's last report" "E: Unable to correct problems, you have held broken packages." \
  "$(tail -1 <<<"$align_report")"

# A simulation that goes through by removing an installed package keeps it instead, and the
# package then follows its library: liblzma-dev pins liblzma5 exactly.
cat >"$work/lzma1.txt" <<'EOF'
The following packages have unmet dependencies:
 libxml2:i386 : Depends: liblzma5:i386 (>= 5.1.1alpha+20120614) but it is not going to be installed
E: Unable to correct problems, you have held broken packages.
EOF
cat >"$work/lzma2.txt" <<'EOF'
The following packages will be REMOVED:
  liblzma-dev
Remv liblzma-dev [5.4.1-1]
Inst liblzma5 [5.4.1-1] (5.4.1-1+deb12u1 Debian:12.15/oldstable [amd64])
EOF
cat >"$work/lzma3.txt" <<'EOF'
The following packages have unmet dependencies:
 liblzma-dev : Depends: liblzma5 (= 5.4.1-1+deb12u2) but 5.4.1-1+deb12u1 is to be installed
E: Unable to correct problems, you have held broken packages.
EOF
printf 'Inst liblzma-dev [5.4.1-1] (5.4.1-1+deb12u1 Debian:12.15/oldstable [amd64])\n' >"$work/lzma4.txt"
serve "$FAKE_REPORTS_DIR" "$work/lzma1.txt" "$work/lzma2.txt:0" "$work/lzma3.txt" "$work/lzma4.txt:0"
if align_rounds wine32:i386; then ok=yes; else ok=no; fi
expect_eq "removals are refused and the rounds go on" yes "$ok"
expect_lines "the kept package follows its library" \
"liblzma-dev=5.4.1-1+deb12u1
liblzma5:i386=5.4.1-1+deb12u1
liblzma5=5.4.1-1+deb12u1" "$(printf '%s\n' "${align_pins[@]}")"
expect_eq "and is asked for by name from then on" yes \
  "$(sed -n 3p "$FAKE_REPORTS_DIR/calls.txt" | tr ' ' '\n' | grep -qx liblzma-dev && echo yes)"
expect_eq "nothing is removed" "" "$(align_removals <"$work/lzma4.txt")"
expect_eq "removals read from a simulation" "liblzma-dev" "$(align_removals <"$work/lzma2.txt")"

# What set-up prints -------------------------------------------------------------------
group "summary"
expect_eq "one line a package, both architectures on one line when their versions agree" \
"libpcre2-8-0 10.42-1 (amd64 and i386)
libpng-dev 1.6.39-2+deb12u5 (amd64)
odd 2.0-1 (amd64)
odd 1.0-1 (i386)
only32 1.0-1 (i386)
zlib1g 1:1.2.13.dfsg-1 (amd64 and i386)" \
"$(align_summary zlib1g:i386=1:1.2.13.dfsg-1 libpng-dev=1.6.39-2+deb12u5 libpcre2-8-0=10.42-1 \
     zlib1g=1:1.2.13.dfsg-1 libpcre2-8-0:i386=10.42-1 odd=2.0-1 odd:i386=1.0-1 only32:i386=1.0-1)"
expect_eq "the real run's 40 pins make 23 lines (17 on both architectures)" 23 \
  "$(mapfile -t p <"$fx/real-pins.txt"; align_summary "${p[@]}" | wc -l)"
expect_eq "no pins, no lines" "" "$(align_summary)"

group "downgrades"
mapfile -t real < "$fx/real-pins.txt"
expect_eq "the recorded pins only raise what the machine had" "" "$(align_downgrades "${real[@]}")"
expect_lines "on a machine with newer security builds they would lower three libraries" \
"liblzma5 5.4.1-1+deb12u2 -> 5.4.1-1+deb12u1
libssl3 3.0.22-1~deb12u2 -> 3.0.20-1~deb12u2
zlib1g 1:1.2.13.dfsg-1+deb12u1 -> 1:1.2.13.dfsg-1" \
  "$(FAKE_INSTALLED=$fx/installed-newer.txt align_downgrades "${real[@]}")"
expect_eq "an epoch outweighs the rest of the version" "zlib1g 1:1.2.13.dfsg-1 -> 9.9" \
  "$(align_downgrades zlib1g=9.9)"
expect_eq "a package not installed is no downgrade" "" "$(align_downgrades wine32:i386=1.0 libnotthere=0.1)"
expect_eq "the same version is none either" "" "$(align_downgrades libssl3=3.0.19-1~deb12u2)"

finish "alignment"
