#!/usr/bin/env bash
# Takes docs/screenshot.png: the real window under a virtual X server, in the
# mode given (0 Solo .. 4 Photo, default 2 Video), with the test devices.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
build="${TALVORA_BUILD_DIR:-$root/build}"
mode="${1:-2}"
out="${2:-$root/docs/screenshot.png}"
home="$(mktemp -d /tmp/talvora-shot-XXXXXX)"
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/.config/Orvenic" "$home/run" && chmod 700 "$home/run"
printf '[General]\nModeState=%s\n' "$mode" >"$home/.config/Orvenic/Talvora.conf"
# A few captures so the list is not empty.
for stamp in 20261208-091500 20261208-101000 20261208-143005; do
  case "$mode" in
    0|1) folder=$([[ $mode == 0 ]] && echo AudioSolo || echo AudioConference); ext=wma ;;
    2) folder=Video; ext=wmv ;; 3) folder=TVideo; ext=wmv ;; *) folder=Photo; ext=jpg ;;
  esac
  mkdir -p "$home/Documents/Talvora/$folder"
  if [[ $ext == jpg ]]; then
    gst-launch-1.0 -q videotestsrc num-buffers=1 pattern=smpte ! video/x-raw,width=320,height=240 ! jpegenc \
      ! filesink location="$home/Documents/Talvora/$folder/$stamp.jpg"
  elif [[ $ext == wmv ]]; then
    gst-launch-1.0 -q videotestsrc num-buffers=30 pattern=ball ! video/x-raw,width=320,height=240 ! videoconvert \
      ! avenc_wmv2 ! asfmux ! filesink location="$home/Documents/Talvora/$folder/$stamp.wmv"
  else
    gst-launch-1.0 -q audiotestsrc num-buffers=20 ! audioconvert ! avenc_wmav2 ! asfmux \
      ! filesink location="$home/Documents/Talvora/$folder/$stamp.wma"
  fi
done
HOME="$home" XDG_RUNTIME_DIR="$home/run" XDG_CONFIG_HOME="$home/.config" XDG_CACHE_HOME="$home/.cache" \
TALVORA_PROGRAM_FILES="$build/lib" xvfb-run -a -s "-screen 0 1024x640x24" bash -c '
  "$0" --camera=test --microphone=test & pid=$!
  sleep 4
  xdotool key Return 2>/dev/null || true   # dismiss a start-up message if one is open
  sleep 2
  import -window root -crop 628x447+198+96 "$1"
  kill $pid; wait $pid' "$build/bin/talvora" "$out"
echo "wrote $out"
