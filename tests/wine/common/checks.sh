# What the Wine tests written in shell share: one line for each check, and at the end
# the count of failures and the exit status. Sourced by the scripts in tests/wine/system.
failures=0

check() {  # WHAT EXPECTED ACTUAL
  if [ "$2" == "$3" ]; then echo "ok: $1"; else echo "FAIL: $1: expected [$2], got [$3]"; failures=$((failures + 1)); fi
}

# The last line of a test script; its exit status is the script's.
checks_passed() {
  echo "$failures failure(s)"
  [ "$failures" -eq 0 ]
}
