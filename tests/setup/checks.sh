# shellcheck shell=bash
# Checks shared by the set-up tests, sourced by them. Each failed check prints what it
# expected and what it got; finish ends the test with the count.
failures=0
current=""
group() { current=$1; }
# expect_lines WHAT EXPECTED ACTUAL: equal as sets of lines.
expect_lines() {
  local what=$1 exp act
  exp=$(printf '%s\n' "$2" | sed '/^$/d' | sort)
  act=$(printf '%s\n' "$3" | sed '/^$/d' | sort)
  if [ "$exp" != "$act" ]; then
    echo "FAIL [$current] $what"
    diff <(echo "$exp") <(echo "$act") | sed -n 's/^[<>]/  &/p' | sed 's/  </  expected only:/; s/  >/  got only:     /'
    failures=$((failures + 1))
  fi
}
expect_eq() {
  if [ "$2" != "$3" ]; then
    echo "FAIL [$current] $1: expected '$2', got '$3'"
    failures=$((failures + 1))
  fi
}
finish() {
  if [ $failures -gt 0 ]; then
    echo "$failures check(s) failed"
    exit 1
  fi
  echo "all $1 checks passed"
}
# expect_match WHAT EXTENDED-REGEX TEXT: some line of TEXT matches.
expect_match() {
  if ! grep -qE -- "$2" <<<"$3"; then
    echo "FAIL [$current] $1: no line matches /$2/ in:"
    sed 's/^/    /' <<<"$3" | head -20
    failures=$((failures + 1))
  fi
}
# expect_no_match WHAT EXTENDED-REGEX TEXT: no line of TEXT matches.
expect_no_match() {
  if grep -qE -- "$2" <<<"$3"; then
    echo "FAIL [$current] $1: a line matches /$2/:"
    grep -E -- "$2" <<<"$3" | sed 's/^/    /' | head -5
    failures=$((failures + 1))
  fi
}
