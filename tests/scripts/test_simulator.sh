# scripts/simulator.sh's run_beside_sim, as scripts/run uses it, with the real
# korvane-sim and a stand-in for the program: closing the program stops the
# simulator, and SIGTERM to the script stops both at once.
#   test_simulator.sh KORVANE_SIM
[ -n "$BASH_VERSION" ] || exec bash "$0" "$@"
top=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAILED: $*"; failed=1; }

# The stand-in notes its pid and lives $LIFE seconds; DISPLAY keeps xvfb-run out.
printf '#!/bin/sh\necho $$ >meters.pid\nexec sleep "$LIFE"\n' >"$work/meters"
chmod +x "$work/meters"
run() { # run LIFE DIR: starts the script's part, sets runner, sim and meters (pids)
  LIFE=$1 DISPLAY=:none bash -c '. "$1/scripts/simulator.sh"; run_beside_sim "$2" "$3" "$4" --listen 127.0.0.1:0' \
    runner "$top" "$sim_program" "$work/meters" "$2" >"$2.out" 2>&1 &
  runner=$!
  for _ in $(seq 50); do [ -s "$2/meters.pid" ] && break; sleep 0.1; done
  sim=$(sed -n 's/.*korvane-sim running (pid \([0-9]*\),.*/\1/p' "$2.out")
  meters=$(cat "$2/meters.pid" 2>/dev/null)
  [ -n "$sim" ] && [ -n "$meters" ] || fail "did not start: $(cat "$2.out")"
}
gone_within() { # gone_within TENTHS PID...: all ended in time
  for _ in $(seq "$1"); do kill -0 "${@:2}" 2>/dev/null || return 0; sleep 0.1; done
  return 1
}
sim_program=$1

run 1 "$work/closed"
gone_within 50 "$runner" "$sim" || { fail "the simulator outlived the program"; kill "$sim"; }
wait "$runner" || fail "a closed window is not a clean end"
grep -q 'listening on' "$work/closed/korvane-sim.log" || fail "no simulator log in the run folder"

run 300 "$work/stopped"
kill -TERM "$runner"
gone_within 30 "$runner" "$sim" "$meters" || {
  fail "still running 3 s after SIGTERM"
  kill -KILL "$runner" "$sim" "$meters" 2>/dev/null
}
exit "$failed"
