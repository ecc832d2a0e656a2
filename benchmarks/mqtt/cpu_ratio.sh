#!/usr/bin/env bash
# CPU of korvane-mqtt (--meters-hz 10, publishing to a private mosquitto with
# one subscriber) beside `korvane monitor --json --meters > /dev/null`, each
# fed by its own korvane-sim at 25 meter events a second, measured over the
# same window; repeated, median of the per-run ratios.
#   cpu_ratio.sh [BUILD=build] [SECONDS=60] [RUNS=5]
# CPU is the run time of all threads of a process (/proc/<pid>/task/*/schedstat,
# nanoseconds) over the window, after 5 s of settling.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
seconds=${2:-60}
runs=${3:-5}
. "$(dirname "$0")/bench_common.sh"

cpu_ns() { # all threads of a process
  cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{s += $1} END {printf "%d\n", s}'
}

echo "run  bridge_ms  client_ms  ratio"
ratios=()
for ((run = 1; run <= runs; run++)); do
  pids=()
  start_broker
  start_mixer 25
  sim_a=$sim_port
  start_mixer 25
  sim_b=$sim_port
  sleep 0.5
  mosquitto_sub -p "$broker_port" -t 'korvane/#' >/dev/null &
  pids+=($!)
  start_bridge "$sim_a" 10
  "$build/tools/cli/korvane" --send-port "$sim_b" --recv-port 0 monitor --json --meters >/dev/null &
  client=$!
  pids+=("$client")
  sleep 5
  b0=$(cpu_ns "$bridge"); c0=$(cpu_ns "$client")
  sleep "$seconds"
  b1=$(cpu_ns "$bridge"); c1=$(cpu_ns "$client")
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  ratio=$(awk -v b=$((b1 - b0)) -v c=$((c1 - c0)) 'BEGIN {printf "%.2f", b / c}')
  ratios+=("$ratio")
  echo "$run  $(((b1 - b0) / 1000000))  $(((c1 - c0) / 1000000))  $ratio"
done
printf '%s\n' "${ratios[@]}" | sort -n | awk '{a[NR] = $1} END {print "median ratio " a[int((NR + 1) / 2)]}'
