#!/usr/bin/env bash
# korvane-mqtt's memory over time: a private mosquitto and korvane-sim at
# 25 meter messages a second, one subscriber on everything, the bridge at
# --meters-hz 10; its resident size is sampled every STEP seconds.
#   memory_flat.sh BUILD_DIR [SECONDS=600] [STEP=30]
set -euo pipefail
build=$(cd "$1" && pwd)
seconds=${2:-600}
step=${3:-30}
. "$(dirname "$0")/bench_common.sh"

start_broker
start_mixer 25
sleep 0.5
mosquitto_sub -p "$broker_port" -t 'korvane/#' >/dev/null &
pids+=($!)
start_bridge "$sim_port" 10

echo "seconds rss_kib"
for ((t = 0; t <= seconds; t += step)); do
  echo "$t $(rss "$bridge")"
  [ "$t" -lt "$seconds" ] && sleep "$step"
done
grep -c . "$work/bridge.log" | sed 's/^/incident lines: /'
