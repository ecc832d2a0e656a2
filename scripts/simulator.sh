# korvane-sim beside other programs, for scripts/run and the benchmark
# scripts: a free port, the simulator started with its bound port read back,
# and the meters run beside it so that stopping either stops both.
# shellcheck shell=bash

# A UDP port on 127.0.0.1 that was free a moment ago.
free_udp_port() {
  python3 -c 'import socket; s=socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

# start_sim SIM LOG [OPTION...]: starts SIM in the background, its output in
# LOG, and sets sim_pid and sim_port (the port it bound, from its first line).
# Fails, with the log on stderr, when it has not come up within 5 s.
start_sim() {
  local sim=$1 log=$2
  shift 2
  "$sim" "$@" >"$log" 2>&1 &
  sim_pid=$!
  sim_port=
  local _
  for _ in $(seq 50); do
    sim_port=$(sed -n '1s/.* port \([0-9]*\),.*/\1/p' "$log" 2>/dev/null)
    [ -n "$sim_port" ] && return 0
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "korvane-sim did not start:" >&2
  cat "$log" >&2
  return 1
}

# stop_pids PID...: SIGTERM to each (to its whole process group where it leads
# one), then waits; whatever is still there after 5 s is killed.
stop_pids() {
  local p _
  for p in "$@"; do kill -TERM -- "-$p" 2>/dev/null || kill -TERM "$p" 2>/dev/null || true; done
  for _ in $(seq 50); do
    local alive=0
    for p in "$@"; do kill -0 "$p" 2>/dev/null && alive=1; done
    [ "$alive" = 0 ] && break
    sleep 0.1
  done
  for p in "$@"; do kill -KILL -- "-$p" 2>/dev/null || kill -KILL "$p" 2>/dev/null || true; done
  for p in "$@"; do wait "$p" 2>/dev/null || true; done
}

# run_beside_sim SIM METERS RUNDIR [SIM OPTION...]: korvane-sim with --verbose
# and the options, its lines in RUNDIR/korvane-sim.log, and METERS started in
# RUNDIR (the program keeps its library log under ~/.local/state/tavelin-meters/), under
# xvfb-run when there is no display. Returns the program's exit status when
# its window closes; SIGINT or SIGTERM stop both at once.
run_beside_sim() {
  local sim meters rundir
  sim=$(realpath "$1")
  meters=$(realpath "$2")
  rundir=$3
  shift 3
  mkdir -p "$rundir"
  start_sim "$sim" "$rundir/korvane-sim.log" --verbose "$@" || return 1
  echo "== korvane-sim running (pid $sim_pid, port $sim_port), log in $rundir/korvane-sim.log"

  local display=("$meters")
  if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "== no DISPLAY: running $(basename "$meters") under xvfb-run (nothing visible; Ctrl+C to stop)"
    display=(xvfb-run -a -s "-screen 0 1280x800x24" "$meters")
  else
    echo "== $(basename "$meters") (close the window or press Ctrl+C to stop)"
  fi
  # A session of its own, so one signal reaches xvfb-run, its X server and
  # the program together.
  (cd "$rundir" && exec setsid "${display[@]}") &
  meters_pid=$!
  trap 'stop_pids "$meters_pid" "$sim_pid"; exit 130' INT
  trap 'stop_pids "$meters_pid" "$sim_pid"; exit 143' TERM
  local status=0
  wait "$meters_pid" || status=$?
  trap - INT TERM
  stop_pids "$sim_pid"
  return "$status"
}
