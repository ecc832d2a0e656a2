# Sourced by the korvane-mqtt benchmark scripts: a scratch folder, the
# processes to stop on exit, a private mosquitto and korvane-sim on free
# ports (the simulator's start comes from scripts/simulator.sh).
# shellcheck shell=bash
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/simulator.sh"

work=$(mktemp -d)
pids=()
cleanup() {
  # A broker stopped with SIGSTOP must go on before it can end.
  for p in "${pids[@]}"; do kill -CONT "$p" 2>/dev/null || true; kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A TCP port on 127.0.0.1 that was free a moment ago.
free_tcp_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

# start_broker: mosquitto on a free port, anonymous, nothing kept; sets
# broker_pid and broker_port.
start_broker() {
  broker_port=$(free_tcp_port)
  printf 'listener %s 127.0.0.1\nallow_anonymous true\npersistence false\nlog_dest none\n' \
    "$broker_port" >"$work/mosquitto-$broker_port.conf"
  mosquitto -c "$work/mosquitto-$broker_port.conf" &
  broker_pid=$!
  pids+=("$broker_pid")
}

# start_mixer RATE: korvane-sim at RATE meter events a second on a free port;
# sets sim_pid and sim_port.
start_mixer() {
  start_sim "$build/tools/sim/korvane-sim" "$work/sim-$RANDOM.log" --listen 127.0.0.1:0 --rate "$1"
  pids+=("$sim_pid")
}

# start_bridge MIXER_PORT METERS_HZ: korvane-mqtt between the mixer and the
# broker, its incident lines in $work/bridge.log; sets bridge.
start_bridge() {
  "$build/tools/mqtt/korvane-mqtt" --broker "127.0.0.1:$broker_port" --send-port "$1" --recv-port 0 \
    --meters-hz "$2" 2>>"$work/bridge.log" &
  bridge=$!
  pids+=("$bridge")
}

rss() { awk '/^VmRSS/ {print $2}' "/proc/$1/status"; }
