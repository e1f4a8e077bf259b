# Sourced by the benchmarks: a PulseAudio daemon private to the run, so the
# program under measurement never reaches the machine's own sound server.
# start_private_pulse DIR exports PULSE_SERVER; stop_private_pulse ends it.
start_private_pulse() {
  mkdir -p "$1/pulse"
  HOME="$1/pulse" XDG_RUNTIME_DIR="$1/pulse" pulseaudio -n --daemonize=no --exit-idle-time=-1 \
    --disallow-exit --use-pid-file=no \
    --load="module-null-sink sink_name=talvora_null" \
    --load="module-native-protocol-unix socket=$1/pulse/native auth-anonymous=1" \
    >"$1/pulse.log" 2>&1 &
  private_pulse_pid=$!
  export PULSE_SERVER="unix:$1/pulse/native"
  for _ in $(seq 50); do pactl info >/dev/null 2>&1 && return 0; sleep 0.1; done
  echo "PulseAudio did not start" >&2
  return 1
}
stop_private_pulse() {
  [[ -n "${private_pulse_pid:-}" ]] && kill "$private_pulse_pid" 2>/dev/null && wait "$private_pulse_pid" 2>/dev/null
  return 0
}
