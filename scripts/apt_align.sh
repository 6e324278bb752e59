# Multi-arch alignment for apt, sourced by setup.sh and by its test.
#
# A library that is installed for amd64 and i386 at once must have the same version on both.
# When the machine image carries newer amd64 builds than the mirror offers for i386 (or one
# index failed to download), apt refuses wine32 with a list of unmet dependencies. These
# functions read that list and name, round after round, the versions to install together.
#
# They call `apt-cache madison` through $APT_CACHE (a test points it at recorded output) and
# compare versions with dpkg.

APT_CACHE=${APT_CACHE:-apt-cache}

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
# "WHO DEP VERSION". The package WHO must follow DEP to the version DEP was aligned to.
align_exact_pins() {
  awk '
    /have unmet dependencies/ { on = 1; next }
    /^E: / { on = 0 }
    on {
      if ($2 == ":") { who = $1; sub(/:.*/, "", who) }
      if (match($0, /Depends: [a-z0-9][a-z0-9.+-]*(:[a-z0-9]+)? \(= [^)]+\)/)) {
        s = substr($0, RSTART, RLENGTH)
        sub(/^Depends: /, "", s)
        dep = s; sub(/[ :].*/, "", dep)
        ver = s; sub(/.*\(= /, "", ver); sub(/\)$/, "", ver)
        if (who != "") print who, dep, ver
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
  dpkg-query -W -f='${Status} ${Version}\n' "$1" 2>/dev/null |
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

# Reads an apt report on stdin and prints the pins of the next round ("NAME=VERSION" and
# "NAME:i386=VERSION"), one a line. Pins given as arguments are kept.
# - A name the report lacks for i386 ("Depends: NAME:i386", or NAME:i386 itself unmet) is
#   pinned on both architectures to the newest version both offer.
# - A name the report lacks only natively is pinned natively to that version, so that a -dev
#   package follows the library it was aligned with. Names with no common version are left
#   to apt.
# - An exact pin ("WHO : Depends: DEP (= V)") makes WHO follow DEP's aligned or installed
#   version when WHO is offered at it, or else DEP follow WHO when WHO is pinned already.
align_next_pins() {
  local report name a i v who dep ver have
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
    if grep -qF -- "$name:i386" <<<"$report" || [ -n "${pin[$name:i386]:-}" ]; then
      pin[$name:i386]=$v
    fi
  done
  while read -r who dep ver; do
    [ -n "$who" ] || continue
    have=${pin[$dep]:-$(align_installed "$dep")}
    if [ -n "$have" ] && [ "$have" != "$ver" ] &&
       grep -qxF -- "$have" <<<"$(align_versions "$who" amd64)"; then
      pin[$who]=$have
    elif [ -n "${pin[$who]:-}" ] && [ -z "${pin[$dep]:-}" ]; then
      pin[$dep]=$ver
    fi
  done < <(align_exact_pins <<<"$report")
  for p in "${!pin[@]}"; do printf '%s=%s\n' "$p" "${pin[$p]}"; done | sort
}
