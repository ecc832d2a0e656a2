#!/usr/bin/env bash
# CPU use of tavelin-meters beside its floors, all in one X server over the
# same measuring window, repeated; medians of the per-run ratios. Runs itself
# under xvfb-run when there is no display.
#
#   benchmarks/meters/cpu_usage.sh [-b BUILD] [-B BASELINE_BUILD] [-s SECONDS] [-r RUNS]
#   benchmarks/meters/cpu_usage.sh [BUILD [SECONDS]]        (older form)
#
# Side by side in each run:
#   online        BUILD's program against its own korvane-sim (studio, 25 meter events/s)
#   floor         meters_floor: four 12 x 415 bars repainted over changed rows, 90 times a second
#   offline       BUILD's program with no mixer
#   timer         meters_floor --timer: a bare 100 Hz QTimer (QCoreApplication)
#   gui-timer     meters_floor --timer --gui: the same in a QApplication, no window
#   online-base, offline-base   the same two for BASELINE_BUILD, when given
#
# CPU is the run time of all threads of a process (/proc/<pid>/task/*/schedstat,
# nanoseconds) over the window, after 5 s of settling, in % of one core.
set -euo pipefail
cd "$(dirname "$0")/../.."
. scripts/simulator.sh

build=build
baseline=
seconds=30
runs=5
while [ $# -gt 0 ]; do
  case $1 in
    -b) build=$2; shift 2 ;;
    -B) baseline=$2; shift 2 ;;
    -s) seconds=$2; shift 2 ;;
    -r) runs=$2; shift 2 ;;
    -*) echo "usage: $0 [-b BUILD] [-B BASELINE_BUILD] [-s SECONDS] [-r RUNS]" >&2; exit 2 ;;
    *) build=$1; [ $# -gt 1 ] && seconds=$2 && shift; shift ;;
  esac
done
build=$(realpath "$build")
[ -n "$baseline" ] && baseline=$(realpath "$baseline")

if [ -z "${DISPLAY:-}" ]; then
  args=(-b "$build" -s "$seconds" -r "$runs")
  [ -n "$baseline" ] && args+=(-B "$baseline")
  exec xvfb-run -a -s "-screen 0 2000x1400x24" "$0" "${args[@]}"
fi

sim=$build/tools/sim/korvane-sim
floor=$build/benchmarks/meters/meters_floor
for f in "$build/meters/tavelin-meters" "$sim" "$floor"; do
  [ -x "$f" ] || { echo "missing $f (build it first)" >&2; exit 1; }
done
[ -z "$baseline" ] || [ -x "$baseline/meters/tavelin-meters" ] ||
  { echo "missing $baseline/meters/tavelin-meters" >&2; exit 1; }

scratch=$(mktemp -d)
pids=()     # measured processes
names=()
helpers=()  # simulators
stop_all() {
  local p
  for p in "${pids[@]}" "${helpers[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}" "${helpers[@]}"; do wait "$p" 2>/dev/null || true; done
  pids=(); names=(); helpers=()
}
trap 'stop_all; rm -rf "$scratch"' EXIT

# Run time of every thread of a process so far, in nanoseconds.
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%d\n", s }'; }

# start_meters NAME BUILD SEND_PORT RECV_PORT: the program with its own
# settings store and working folder (the library writes its log there).
start_meters() {
  local home=$scratch/$1
  mkdir -p "$home/config/Zorbel"
  cat > "$home/config/Zorbel/Tavelin Meters.conf" <<CONF
[General]
udp_send=$3
udp_recv=$4
use_default_ports=false
remote_host=127.0.0.1
CONF
  (cd "$home" && XDG_CONFIG_HOME=$home/config exec "$2/meters/tavelin-meters") &
  pids+=($!)
  names+=("$1")
}

# start_online NAME BUILD: the program fed by a simulator of its own.
start_online() {
  local recv
  recv=$(free_udp_port)
  start_sim "$sim" "$scratch/sim-$1.log" --listen 127.0.0.1:0 --target "127.0.0.1:$recv" --rate 25 || exit 1
  helpers+=("$sim_pid")
  start_meters "$1" "$2" "$sim_port" "$recv"
}

results=$scratch/results
: > "$results"
for run in $(seq "$runs"); do
  start_online online "$build"
  [ -n "$baseline" ] && start_online online-base "$baseline"
  "$floor" & pids+=($!); names+=(floor)
  start_meters offline "$build" "$(free_udp_port)" "$(free_udp_port)"
  [ -n "$baseline" ] && start_meters offline-base "$baseline" "$(free_udp_port)" "$(free_udp_port)"
  "$floor" --timer & pids+=($!); names+=(timer)
  "$floor" --timer --gui & pids+=($!); names+=(gui-timer)

  sleep 5
  t0=(); t1=()
  for i in "${!pids[@]}"; do t0[$i]=$(cpu_ns "${pids[$i]}"); done
  start=$(date +%s%N)
  sleep "$seconds"
  for i in "${!pids[@]}"; do t1[$i]=$(cpu_ns "${pids[$i]}"); done
  wall=$(( $(date +%s%N) - start ))
  line="run $run"
  for i in "${!pids[@]}"; do
    line+=" ${names[$i]}=$(awk -v a="${t0[$i]}" -v b="${t1[$i]}" -v w="$wall" 'BEGIN { printf "%.3f", 100 * (b - a) / w }')"
  done
  echo "$line" | tee -a "$results"
  stop_all
done

# Medians of each process and of the ratios taken inside each run.
awk '
function median(list,   n, a, i, j, t) {
  n = split(list, a, " ")
  for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (a[j] < a[i]) { t = a[i]; a[i] = a[j]; a[j] = t }
  return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
}
function ratio(name, num, den) {
  if ((num in v) && (den in v) && v[den] > 0) r[name] = r[name] " " v[num] / v[den]
}
{
  delete v
  for (i = 3; i <= NF; i++) { split($i, kv, "="); v[kv[1]] = kv[2]; cpu[kv[1]] = cpu[kv[1]] " " kv[2]; if (!(kv[1] in seen)) { seen[kv[1]] = 1; order[++n] = kv[1] } }
  ratio("online / floor", "online", "floor")
  ratio("online / online-base", "online", "online-base")
  ratio("offline / timer", "offline", "timer")
  ratio("offline / gui-timer", "offline", "gui-timer")
  ratio("offline / offline-base", "offline", "offline-base")
  ratio("online-base / floor", "online-base", "floor")
  ratio("offline-base / timer", "offline-base", "timer")
}
END {
  printf "\nmedians over %d runs (%% of one core):\n", NR
  for (i = 1; i <= n; i++) printf "  %-13s %6.2f %%\n", order[i], median(cpu[order[i]])
  printf "median ratios (each taken within one run):\n"
  split("online / floor|online / online-base|offline / timer|offline / gui-timer|offline / offline-base|online-base / floor|offline-base / timer", names, "|")
  for (i = 1; i <= 7; i++) if (names[i] in r) printf "  %-24s %5.2f\n", names[i], median(r[names[i]])
}' "$results"
