# Sourced by the install and package checks: `check DESCRIPTION COMMAND...`
# runs the command, counts the outcome and shows the command's output when it
# fails; `checks_summary WHAT` prints the count and fails if any check did.
# Needs $work, a scratch folder.
passed=0
failed=0
check() {
  local what=$1
  shift
  if "$@" >"$work/check.log" 2>&1; then
    passed=$((passed + 1))
    echo "ok      $what"
  else
    failed=$((failed + 1))
    echo "FAILED  $what"
    sed 's/^/        /' "$work/check.log"
  fi
}
checks_summary() {
  echo "$1 checks: $passed of $((passed + failed)) passed"
  [ "$failed" -eq 0 ]
}
