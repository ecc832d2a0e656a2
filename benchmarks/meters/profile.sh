#!/usr/bin/env bash
# Where the CPU of the running program goes: records it with perf (DWARF call
# chains) and sorts the samples into components (perf_breakdown.py). Runs
# itself under xvfb-run when there is no display.
#
#   benchmarks/meters/profile.sh [-b BUILD] [-s SECONDS] [online|offline|floor]
#
# online: against korvane-sim (studio, 25 meter events/s); offline: no mixer;
# floor: the meters_floor program. Needs perf and the right to profile one's
# own processes (kernel.perf_event_paranoid <= 2 does).
set -euo pipefail
cd "$(dirname "$0")/../.."
. scripts/simulator.sh

build=build
seconds=30
mode=online
while [ $# -gt 0 ]; do
  case $1 in
    -b) build=$2; shift 2 ;;
    -s) seconds=$2; shift 2 ;;
    online|offline|floor) mode=$1; shift ;;
    *) echo "usage: $0 [-b BUILD] [-s SECONDS] [online|offline|floor]" >&2; exit 2 ;;
  esac
done
build=$(realpath "$build")
here=$(pwd)

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" -b "$build" -s "$seconds" "$mode"
fi
command -v perf >/dev/null || { echo "perf is not installed" >&2; exit 1; }

scratch=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done; rm -rf "$scratch"' EXIT
recv=$(free_udp_port)
send=$(free_udp_port)
if [ "$mode" = online ]; then
  start_sim "$build/tools/sim/korvane-sim" "$scratch/sim.log" --listen 127.0.0.1:0 --target "127.0.0.1:$recv" \
    --rate 25 || exit 1
  pids+=("$sim_pid")
  send=$sim_port
fi
mkdir -p "$scratch/config/Zorbel"
cat > "$scratch/config/Zorbel/Tavelin Meters.conf" <<CONF
[General]
udp_send=$send
udp_recv=$recv
use_default_ports=false
remote_host=127.0.0.1
CONF

cd "$scratch"
if [ "$mode" = floor ]; then
  "$build/benchmarks/meters/meters_floor" &
else
  XDG_CONFIG_HOME=$scratch/config "$build/meters/tavelin-meters" &
fi
pid=$!
pids+=($pid)
sleep 5
perf record -q -F 1000 --call-graph dwarf,16384 -p "$pid" -o "$scratch/perf.data" -- sleep "$seconds" 2>/dev/null
perf script -i "$scratch/perf.data" 2>/dev/null | python3 "$here/benchmarks/meters/perf_breakdown.py"
