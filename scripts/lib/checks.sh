# What the test scripts share, sourced by each: one line a check ("ok   WHAT" or
# "FAIL WHAT"), a closing "N passed, N failed", and the build folder they build in.

checks_passed=0
checks_failed=0

check_passed() {  # check_passed WHAT
  echo "ok   $*"
  checks_passed=$((checks_passed + 1))
}

check_failed() {  # check_failed WHAT
  echo "FAIL $*"
  checks_failed=$((checks_failed + 1))
}

check_status() {  # check_status WHAT STATUS: passed when STATUS is 0
  if [ "$2" -eq 0 ]; then check_passed "$1"; else check_failed "$1"; fi
}

check_equal() {  # check_equal WHAT EXPECTED ACTUAL
  if [ "$2" = "$3" ]; then
    check_passed "$1: $3"
  else
    check_failed "$1: expected '$2', got '$3'"
  fi
}

# The closing line; fails when any check did.
checks_done() {
  echo "$checks_passed passed, $checks_failed failed"
  [ "$checks_failed" -eq 0 ]
}

# A build folder to build in: one already configured is used as it is, any other is
# configured as the plain build.
use_build() {  # use_build DIR
  [ -f "$1/CMakeCache.txt" ] || cmake -S . -B "$1" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
}
