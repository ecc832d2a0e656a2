# scripts/simulator.sh's run_beside_sim, as scripts/run uses it, with the real
# korvane-sim and a stand-in for the program: closing the program stops the
# simulator, and SIGTERM to the script stops both at once.
#   test_simulator.sh KORVANE_SIM
[ -n "$BASH_VERSION" ] || exec bash "$0" "$@"
set -u
sim=$1
top=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAILED: $*"; failed=1; }

# The stand-in notes its pid and runs for $LIFE seconds; DISPLAY keeps xvfb-run out.
cat >"$work/meters" <<'STANDIN'
#!/bin/sh
echo $$ >meters.pid
exec sleep "$LIFE"
STANDIN
chmod +x "$work/meters"
runner() {
  DISPLAY=:none bash -c '. "$1/scripts/simulator.sh"; run_beside_sim "$2" "$3" "$4" --listen 127.0.0.1:0' \
    runner "$top" "$sim" "$work/meters" "$1" >"$1.out" 2>&1 &
  runner_pid=$!
}
gone_within() { # gone_within TENTHS PID...
  local i p alive
  for i in $(seq "$1"); do
    alive=0
    for p in "${@:2}"; do kill -0 "$p" 2>/dev/null && alive=1; done
    [ "$alive" = 0 ] && return 0
    sleep 0.1
  done
  return 1
}
started() { # started RUNDIR: the simulator's and the stand-in's pids, once both run
  local i
  for i in $(seq 50); do
    [ -s "$1/meters.pid" ] && [ -n "$(sed -n 1p "$1/korvane-sim.log" 2>/dev/null)" ] && break
    sleep 0.1
  done
  sim_pid=$(sed -n 's/.*korvane-sim running (pid \([0-9]*\),.*/\1/p' "$1.out")
  meters_pid=$(cat "$1/meters.pid" 2>/dev/null)
  [ -n "$sim_pid" ] && [ -n "$meters_pid" ]
}

# The window closes: the simulator stops with it.
export LIFE=1
runner "$work/closed"
started "$work/closed" || fail "did not start: $(cat "$work/closed.out")"
gone_within 50 "$runner_pid" "$sim_pid" || fail "simulator outlived the program"
wait "$runner_pid"
[ $? = 0 ] || fail "a closed window is not a clean end"
grep -q 'listening on' "$work/closed/korvane-sim.log" || fail "no simulator log in the run folder"

# SIGTERM to the script: both stop at once, long before the program would end.
LIFE=300
runner "$work/stopped"
started "$work/stopped" || fail "did not start: $(cat "$work/stopped.out")"
kill -TERM "$runner_pid"
gone_within 30 "$runner_pid" "$sim_pid" "$meters_pid" || {
  fail "still running 3 s after SIGTERM"
  kill -KILL "$runner_pid" "$sim_pid" "$meters_pid" 2>/dev/null
}
exit "$failed"
