# shellcheck shell=bash
# Multi-arch alignment for apt, sourced by setup.sh and by its test.
#
# A library that is installed for amd64 and i386 at once must have the same version on both.
# When the machine image carries newer amd64 builds than the mirror offers for i386 (or one
# index failed to download), apt refuses wine32 with a list of unmet dependencies. These
# functions read that list and name, round after round, the versions to install together.
#
# They call `apt-cache madison` through $APT_CACHE, `dpkg-query` through $DPKG_QUERY and
# `apt-get` through $APT_GET (a test points them at recorded output), and compare versions
# with dpkg.

APT_CACHE=${APT_CACHE:-apt-cache}
DPKG_QUERY=${DPKG_QUERY:-dpkg-query}
APT_GET=${APT_GET:-apt-get}

# Names (architecture suffix removed) that an unmet-dependency report says are missing:
# every "Depends: NAME" or "PreDepends: NAME" in the lines after "have unmet dependencies".
align_unmet_names() {
  awk '
    /have unmet dependencies/ { on = 1; next }
    /^E: / { on = 0 }
    on {
      line = $0
      while (match(line, /(Pre)?Depends: [a-z0-9][a-z0-9.+-]*(:[a-z0-9]+)?/)) {
        dep = substr(line, RSTART, RLENGTH)
        sub(/^(Pre)?Depends: /, "", dep)
        sub(/:.*/, "", dep)
        print dep
        line = substr(line, RSTART + RLENGTH)
      }
    }' | sort -u
}

# Exact pins that failed: lines "WHO[:arch] : Depends: DEP[:arch] (= VERSION) but ..." give
# "WHO DEP VERSION [PLANNED]", PLANNED being the version apt means to give DEP instead
# ("but PLANNED is to be installed", "but PLANNED is installed"), if it says one.
align_exact_pins() {
  awk '
    /have unmet dependencies/ { on = 1; next }
    /^E: / { on = 0 }
    on {
      if ($2 == ":") { who = $1; sub(/:.*/, "", who) }
      if (match($0, /(Pre)?Depends: [a-z0-9][a-z0-9.+-]*(:[a-z0-9]+)? \(= [^)]+\)/)) {
        s = substr($0, RSTART, RLENGTH)
        sub(/^(Pre)?Depends: /, "", s)
        dep = s; sub(/[ :].*/, "", dep)
        ver = s; sub(/.*\(= /, "", ver); sub(/\)$/, "", ver)
        planned = ""
        if (match($0, /but [^ ]+ is (to be )?installed/)) {
          planned = substr($0, RSTART + 4, RLENGTH - 4); sub(/ .*/, "", planned)
        }
        if (who != "") print who, dep, ver, planned
      }
    }' | sort -u
}

# Versions of NAME offered for ARCH, one a line, from `apt-cache madison`.
align_versions() {
  local name=$1 arch=$2 query=$1
  [ "$arch" = i386 ] && query="$name:i386"
  "$APT_CACHE" madison "$query" 2>/dev/null |
    awk -F'|' -v arch="$arch" '{ gsub(/ /, "", $2); if ($3 ~ (" " arch " ") || $3 ~ (" all ")) print $2 }' |
    sort -u
}

# The installed version of NAME (the native architecture), empty when not installed.
align_installed() {
  "$DPKG_QUERY" -W -f='${Status} ${Version}\n' "$1" 2>/dev/null |
    awk '$1 == "install" && $3 == "installed" { print $4; exit }'
}

# The newest version that both lists (files or strings, one version a line) hold; empty if none.
align_newest_common() {
  local best="" v
  while IFS= read -r v; do
    [ -n "$v" ] || continue
    grep -qxF -- "$v" <<<"$2" || continue
    if [ -z "$best" ] || dpkg --compare-versions "$v" gt "$best"; then best=$v; fi
  done <<<"$1"
  printf '%s' "$best"
}

# True when report $1 names $2:i386 as a whole package name (libpng-dev:i386 does not name
# png-dev:i386), whatever characters the name holds (libstdc++6).
align_report_has_i386() {
  local names
  # Not a pipe into grep -q: under pipefail the first grep's broken pipe would fail it.
  names=$(grep -oE '[a-z0-9][a-z0-9.+-]*:i386' <<<"$1")
  grep -qxF -- "$2:i386" <<<"$names"
}

# Reads an apt report on stdin and prints the pins of the next round ("NAME=VERSION" and
# "NAME:i386=VERSION"), one a line. Pins given as arguments are kept.
# - A name the report lacks for i386 ("Depends: NAME:i386", or NAME:i386 itself unmet) is
#   pinned on both architectures to the newest version both offer.
# - A name the report lacks only natively is pinned natively to that version, so that a -dev
#   package follows the library it was aligned with. Names with no common version, or
#   offered on one architecture only, are left to apt.
# - An exact pin ("WHO : Depends: DEP (= V)"): when WHO is pinned already, DEP follows WHO
#   (WHO was pinned to follow some other library, so moving it again would undo that round);
#   otherwise WHO follows DEP to the version DEP is pinned to, or else is to be installed at,
#   when WHO is offered at it.
align_next_pins() {
  local report name a i v who dep ver planned have p
  report=$(cat)
  declare -A pin=()
  for p in "$@"; do pin[${p%%=*}]=${p#*=}; done
  for name in $(align_unmet_names <<<"$report"); do
    a=$(align_versions "$name" amd64)
    i=$(align_versions "$name" i386)
    [ -n "$a" ] && [ -n "$i" ] || continue
    v=$(align_newest_common "$a" "$i")
    [ -n "$v" ] || continue
    pin[$name]=$v
    if align_report_has_i386 "$report" "$name" || [ -n "${pin[$name:i386]:-}" ]; then
      pin[$name:i386]=$v
    fi
  done
  while read -r who dep ver planned; do
    [ -n "$who" ] || continue
    if [ -n "${pin[$who]:-}" ]; then
      if [ -z "${pin[$dep]:-}" ] && grep -qxF -- "$ver" <<<"$(align_versions "$dep" amd64)"; then
        pin[$dep]=$ver
      fi
      continue
    fi
    have=${pin[$dep]:-${planned:-$(align_installed "$dep")}}
    if [ -n "$have" ] && [ "$have" != "$ver" ] &&
       grep -qxF -- "$have" <<<"$(align_versions "$who" amd64)"; then
      pin[$who]=$have
    fi
  done < <(align_exact_pins <<<"$report")
  for p in "${!pin[@]}"; do printf '%s=%s\n' "$p" "${pin[$p]}"; done | sort
}

# Pins below the version installed now, "NAME INSTALLED -> PINNED" a line: what installing
# them would downgrade.
align_downgrades() {
  local p name ver have
  for p in "$@"; do
    name=${p%%=*} ver=${p#*=}
    have=$(align_installed "$name")
    if [ -n "$have" ] && dpkg --compare-versions "$ver" lt "$have"; then
      echo "$name $have -> $ver"
    fi
  done
}

# Packages a simulated run ("apt-get install -s") would remove, one a line.
align_removals() {
  awk '$1 == "Remv" { print $2 }' | sort -u
}

# One line per aligned package for people to read: "NAME VERSION (amd64 and i386)" when both
# architectures are pinned to the same version, else one line per architecture.
align_summary() {
  local p name ver
  declare -A native=() foreign=()
  for p in "$@"; do
    name=${p%%=*} ver=${p#*=}
    if [[ $name == *:i386 ]]; then foreign[${name%:i386}]=$ver; else native[$name]=$ver; fi
  done
  for name in $(printf '%s\n' "${!native[@]}" "${!foreign[@]}" | sort -u); do
    if [ -n "${native[$name]:-}" ] && [ "${native[$name]}" = "${foreign[$name]:-}" ]; then
      echo "$name ${native[$name]} (amd64 and i386)"
    else
      [ -z "${native[$name]:-}" ] || echo "$name ${native[$name]} (amd64)"
      [ -z "${foreign[$name]:-}" ] || echo "$name ${foreign[$name]} (i386)"
    fi
  done
}

# Simulates installing "$@" (package names) and aligns multi-arch versions as apt asks, round
# after round, also keeping packages apt would remove to make room (each then follows its
# library like any other exact pin). On success sets $align_pins and $align_request (the
# names and pins to install); on failure leaves apt's last report in $align_report and
# returns 1.
align_rounds() {
  local round report
  local -a pins=() next=() keep=() gone=()
  align_pins=() align_request=() align_report=""
  for round in 1 2 3 4 5 6 7 8 9 10; do
    if report=$($APT_GET install -s -y --allow-downgrades "$@" "${keep[@]}" "${pins[@]}" 2>&1); then
      mapfile -t gone < <(align_removals <<<"$report")
      if [ ${#gone[@]} -eq 0 ]; then
        align_pins=("${pins[@]}")
        align_request=("$@" "${keep[@]}" "${pins[@]}")
        return 0
      fi
      keep+=("${gone[@]}")
      continue
    fi
    mapfile -t next < <(align_next_pins "${pins[@]}" <<<"$report")
    if [ "${next[*]}" = "${pins[*]}" ]; then break; fi
    pins=("${next[@]}")
  done
  align_report=$report
  return 1
}
