#!/usr/bin/env bash
# Time from exec to the first painted window, median of N runs under Xvfb.
# Usage: bench/startup.sh [build-dir] [runs] [sound] [captures]
# sound: "private" (default) runs a private PulseAudio daemon, so the mixer's
# connection and first reads are inside the figure; "none" points the program
# at no server (the mixer fails at once), the figure without a sound server.
# captures: that many finished one-second Solo captures (no markers) are in
# the folder the program lists at start (default 0).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
runs="${2:-10}"
sound="${3:-private}"
captures="${4:-0}"
home="$(mktemp -d /tmp/talvora-bench-XXXXXX)"
source "$root/bench/private_pulse.sh"
trap 'stop_private_pulse; rm -rf "$home"; [[ -n "${xpid:-}" ]] && kill $xpid 2>/dev/null' EXIT
# Never the machine's own sound server.
if [[ "$sound" == none ]]; then
  export PULSE_SERVER="unix:$home/no-sound-server"
else
  start_private_pulse "$home"
fi
mkdir -p "$home/run" && chmod 700 "$home/run"
display=":${BENCH_DISPLAY:-$((150 + RANDOM % 50))}"
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp -noreset >/dev/null 2>&1 & xpid=$!
# On a loaded machine the server can take seconds; a program started before it
# answers aborts (no display).
for _ in $(seq 200); do DISPLAY="$display" xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
# A desktop session has its bus; without one Qt would spawn a bus daemon per run.
eval "$(dbus-launch --sh-syntax)"
trap 'stop_private_pulse; rm -rf "$home"; kill $xpid $DBUS_SESSION_BUS_PID 2>/dev/null' EXIT
export DISPLAY="$display" HOME="$home" XDG_RUNTIME_DIR="$home/run" XDG_CONFIG_HOME="$home/.config"
# The face-detector fixture (loads, no exports) keeps the start-up message box away.
export TALVORA_PROGRAM_FILES="$build/test-fixtures/noexport"
if (( captures > 0 )); then
  solo="$home/Documents/Talvora/AudioSolo"
  mkdir -p "$solo"
  gst-launch-1.0 -q audiotestsrc num-buffers=44 samplesperbuffer=1000 ! audioconvert ! \
    audio/x-raw,rate=44100,channels=2 ! avenc_wmav2 ! asfmux ! filesink location="$home/one.wma" >/dev/null
  for i in $(seq "$captures"); do
    cp "$home/one.wma" "$solo/$(date -d "2026-01-01 +$i minutes" +%Y%m%d-%H%M%S).wma"
  done
fi
times=()
for i in $(seq "$runs"); do
  start=$(date +%s%N)
  "$build/bin/talvora" --camera=none --microphone=none >/dev/null 2>"$home/stderr.$i" & pid=$!
  # First paint: the dialog is mapped (Qt paints it on the expose that follows
  # at once); polled every few milliseconds.
  until xdotool search --onlyvisible --name '^Talvora$' >/dev/null 2>&1; do
    kill -0 $pid 2>/dev/null || { echo "run $i: the program ended before its window appeared" >&2; cat "$home/stderr.$i" >&2; exit 1; }
    (( $(date +%s%N) - start < 30000000000 )) || { echo "run $i: no window within 30 s" >&2; exit 1; }
    sleep 0.003
  done
  end=$(date +%s%N)
  times+=($(( (end - start) / 1000000 )))
  kill $pid; wait $pid 2>/dev/null || true
done
sorted=($(printf '%s\n' "${times[@]}" | sort -n))
echo "runs (ms): ${times[*]}"
echo "median exec -> first painted window (sound server: $sound): ${sorted[$((runs / 2))]} ms"
