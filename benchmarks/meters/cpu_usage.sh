#!/usr/bin/env bash
# CPU use of the running tavelin-meters over a measuring window, offline (no
# mixer) and online (korvane-sim at 25 meter events per second), read from
# /proc/<pid>/stat. Runs itself under xvfb-run when there is no display.
#   benchmarks/meters/cpu_usage.sh [build dir, default build] [seconds, default 30]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(realpath "${1:-build}")
seconds=${2:-30}

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$build" "$seconds"
fi

meters=$build/meters/tavelin-meters
sim=$build/tools/sim/korvane-sim
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export XDG_CONFIG_HOME=$scratch/config
mkdir -p "$XDG_CONFIG_HOME/Zorbel"
hz=$(getconf CLK_TCK)

free_port() { python3 -c 'import socket; s=socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("",0)); print(s.getsockname()[1])'; }

cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

# measure LABEL SEND_PORT RECV_PORT
measure() {
  cat > "$XDG_CONFIG_HOME/Zorbel/Tavelin Meters.conf" <<CONF
[General]
udp_send=$2
udp_recv=$3
use_default_ports=false
remote_host=127.0.0.1
CONF
  (cd "$scratch" && exec "$meters") &
  local pid=$!
  sleep 5
  local t0; t0=$(cpu_ticks "$pid")
  sleep "$seconds"
  local t1; t1=$(cpu_ticks "$pid")
  kill "$pid"; wait "$pid" 2>/dev/null || true
  awk -v d=$((t1 - t0)) -v hz="$hz" -v s="$seconds" -v l="$1" \
    'BEGIN { printf "%s: %.2f %% of one core over %d s\n", l, 100 * d / hz / s, s }'
}

recv=$(free_port)
measure "offline (no mixer)" "$(free_port)" "$recv"

recv=$(free_port)
"$sim" --listen 127.0.0.1:0 --target "127.0.0.1:$recv" --rate 25 >"$scratch/sim.log" 2>&1 &
sim_pid=$!
sleep 0.5
port=$(sed -n 's/.*port \([0-9]*\).*/\1/p' "$scratch/sim.log" | head -1)
measure "online (korvane-sim, 25 meter events/s)" "$port" "$recv"
kill "$sim_pid"; wait "$sim_pid" 2>/dev/null || true
