#!/usr/bin/env bash
# korvane-mqtt's memory while its broker stalls: a private mosquitto is
# stopped (SIGSTOP) for STALL seconds while korvane-sim sends 200 meter events
# a second and the bridge publishes 50; resident size before, during, after.
#   stall_memory.sh BUILD_DIR [STALL=60]
set -euo pipefail
build=$(cd "$1" && pwd)
stall=${2:-60}
. "$(dirname "$0")/bench_common.sh"

start_broker
start_mixer 200
sleep 0.5
start_bridge "$sim_port" 50
sleep 3
echo "before the stall: $(rss "$bridge") KiB"
kill -STOP "$broker_pid"
for ((t = 10; t <= stall; t += 10)); do
  sleep 10
  echo "stalled $t s: $(rss "$bridge") KiB"
done
kill -CONT "$broker_pid"
sleep 15
echo "15 s after: $(rss "$bridge") KiB"
sed 's/^/  /' "$work/bridge.log"
