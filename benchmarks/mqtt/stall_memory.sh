#!/usr/bin/env bash
# korvane-mqtt's memory while its broker stalls: a private mosquitto is
# stopped (SIGSTOP) for STALL seconds while korvane-sim sends 200 meter events
# a second and the bridge publishes 50; resident size before, during, after.
#   stall_memory.sh BUILD_DIR [STALL=60]
set -euo pipefail
build=$(cd "$1" && pwd)
stall=${2:-60}
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill -CONT "$p" 2>/dev/null || true; kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
free_port() {
  python3 -c "import socket,sys; s=socket.socket(socket.AF_INET, getattr(socket, sys.argv[1])); s.bind(('127.0.0.1',0)); print(s.getsockname()[1])" "$1"
}
rss() { awk '/^VmRSS/ {print $2}' "/proc/$1/status"; }

broker_port=$(free_port SOCK_STREAM)
mixer_port=$(free_port SOCK_DGRAM)
printf 'listener %s 127.0.0.1\nallow_anonymous true\npersistence false\nlog_dest none\n' "$broker_port" >"$work/m.conf"
mosquitto -c "$work/m.conf" &
broker=$!
pids+=("$broker")
"$build/tools/sim/korvane-sim" --listen "127.0.0.1:$mixer_port" --rate 200 >/dev/null &
pids+=($!)
sleep 0.5
"$build/tools/mqtt/korvane-mqtt" --broker "127.0.0.1:$broker_port" --send-port "$mixer_port" --recv-port 0 \
  --meters-hz 50 2>"$work/bridge.log" &
bridge=$!
pids+=("$bridge")
sleep 3
echo "before the stall: $(rss "$bridge") KiB"
kill -STOP "$broker"
for ((t = 10; t <= stall; t += 10)); do
  sleep 10
  echo "stalled $t s: $(rss "$bridge") KiB"
done
kill -CONT "$broker"
sleep 15
echo "15 s after: $(rss "$bridge") KiB"
sed 's/^/  /' "$work/bridge.log"
