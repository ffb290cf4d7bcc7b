# The check counter the shell-driven suites share: each check prints ok or FAIL and counts.
pass=0
fail=0
check() {  # description, command...
  local what=$1; shift
  if "$@"; then
    pass=$((pass + 1)); echo "  ok   $what"
  else
    fail=$((fail + 1)); echo "  FAIL $what"
  fi
}
