#!/usr/bin/env bash
# korvane-mqtt's memory over time: a private mosquitto and korvane-sim at
# 25 meter messages a second, one subscriber on everything, the bridge at
# --meters-hz 10; its resident size is sampled every STEP seconds.
#   memory_flat.sh BUILD_DIR [SECONDS=600] [STEP=30]
set -euo pipefail
build=$(cd "$1" && pwd)
seconds=${2:-600}
step=${3:-30}
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

free_port() { # a TCP (or UDP) port on 127.0.0.1 that was free a moment ago
  python3 -c "import socket,sys; s=socket.socket(socket.AF_INET, getattr(socket, sys.argv[1])); s.bind(('127.0.0.1',0)); print(s.getsockname()[1])" "$1"
}
broker_port=$(free_port SOCK_STREAM)
mixer_port=$(free_port SOCK_DGRAM)
printf 'listener %s 127.0.0.1\nallow_anonymous true\npersistence false\n' "$broker_port" >"$work/mosquitto.conf"
mosquitto -c "$work/mosquitto.conf" 2>"$work/mosquitto.log" &
pids+=($!)
"$build/tools/sim/korvane-sim" --listen "127.0.0.1:$mixer_port" --rate 25 >/dev/null &
pids+=($!)
sleep 0.5
mosquitto_sub -p "$broker_port" -t 'korvane/#' >/dev/null &
pids+=($!)
"$build/tools/mqtt/korvane-mqtt" --broker "127.0.0.1:$broker_port" --send-port "$mixer_port" --recv-port 0 \
  --meters-hz 10 2>"$work/bridge.log" &
bridge=$!
pids+=("$bridge")

echo "seconds rss_kib"
for ((t = 0; t <= seconds; t += step)); do
  echo "$t $(awk '/^VmRSS/ {print $2}' "/proc/$bridge/status")"
  [ "$t" -lt "$seconds" ] && sleep "$step"
done
grep -c . "$work/bridge.log" | sed 's/^/incident lines: /'
