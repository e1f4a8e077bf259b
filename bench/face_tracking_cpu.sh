#!/usr/bin/env bash
# face_tracking_cpu.sh CLIP [seconds] [display]: process CPU of the real
# program previewing CLIP as its camera in Video and then in VideoTracing
# (tracking loop running), measured from /proc over the same span after a
# settling time, under a private Xvfb and a private home.
set -euo pipefail
clip="$1"; seconds="${2:-20}"; display="${3:-:152}"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TALVORA_BUILD_DIR:-$root/build}"
home="$(mktemp -d)"
Xvfb "$display" -screen 0 1280x800x24 -noreset >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; rm -rf "$home"' EXIT
sleep 2
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
hz="$(getconf CLK_TCK)"
for mode in 2 3; do
  mkdir -p "$home/.config/Orvenic" "$home/run"
  printf '[General]\nModeState=%d\n' "$mode" > "$home/.config/Orvenic/Talvora.conf"
  HOME="$home" XDG_RUNTIME_DIR="$home/run" DISPLAY="$display" \
    "$build/bin/talvora" --camera="file:$clip" --microphone=none >/dev/null 2>&1 &
  pid=$!
  sleep 6
  t0="$(ticks "$pid")"; sleep "$seconds"; t1="$(ticks "$pid")"
  kill "$pid"; wait "$pid" || true
  name=$([[ $mode == 2 ]] && echo "Video       " || echo "VideoTracing")
  echo "$name preview: $(awk -v a="$t0" -v b="$t1" -v hz="$hz" -v s="$seconds" 'BEGIN{printf "%.1f %% of one core", 100*(b-a)/hz/s}')"
done
