#!/usr/bin/env bash
# Builds Talvora and runs the tests. Installs what the tests need on top of
# what building and running need (tools/test-packages.txt), then starts the
# services the tests use, each private to this run: a sound server with a null
# sink (its monitor is a real microphone), a virtual X server for the runs of
# the real program. Extra arguments go to ctest (for example -R Audio).
#
# The sound server is a PulseAudio daemon, or PipeWire with pipewire-pulse
# and WirePlumber. A full run (no arguments; what CI does) then runs the
# sound-server tests a second time against the other one. To run a selection
# against PipeWire: TALVORA_SOUND_SERVER=pipewire tools/test.sh -R Mute
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
build="${TALVORA_BUILD_DIR:-$root/build}"

installed() { [[ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null || true)" == "install ok installed" ]]; }
# CI and a machine that has neither sound server get both; a desktop keeps
# the one it has, as installing the other would enable it for every user's
# next login.
sound_packages=()
if [[ -n "${CI:-}" ]] || { ! installed pulseaudio && ! installed pipewire-pulse; }; then
  sound_packages=(pulseaudio pipewire pipewire-pulse wireplumber)
fi
"$here/setup.sh" --list "$here/test-packages.txt" "${sound_packages[@]}"
# A build tree first configured by tools/run.sh, before GoogleTest was there.
[[ -f "$build/tests/CTestTestfile.cmake" ]] || cmake "$build" >/dev/null
ninja -C "$build" --quiet

work="$(mktemp -d /tmp/talvora-services-XXXXXX)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Waits until pactl reaches the server given (bounded).
answers() {
  for _ in $(seq 100); do PULSE_SERVER="$1" pactl info >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}

# A PulseAudio daemon, private to this run; its address goes to $server.
start_pulseaudio() {
  command -v pulseaudio >/dev/null || return 1
  local dir="$work/pulse"
  mkdir -p "$dir"
  HOME="$dir" XDG_RUNTIME_DIR="$dir" pulseaudio -n --daemonize=no --exit-idle-time=-1 \
    --disallow-exit --use-pid-file=no \
    --load="module-null-sink sink_name=talvora_null" \
    --load="module-native-protocol-unix socket=$dir/native auth-anonymous=1" \
    >"$work/pulse.log" 2>&1 &
  pids+=($!)
  server="unix:$dir/native"
  answers "$server"
}

# PipeWire, WirePlumber and pipewire-pulse, private to this run: their own
# runtime, config and state folders and their own session bus, which has no
# service folders so nothing is started through D-Bus activation. No hardware
# monitors: the only devices are the null sink and its monitor. The
# pipewire-pulse address goes to $server.
start_pipewire() {
  command -v pipewire-pulse >/dev/null && command -v wireplumber >/dev/null || return 1
  local dir="$work/pipewire"
  mkdir -p "$dir/run" "$dir/config/pipewire/pipewire.conf.d" "$dir/config/wireplumber/main.lua.d" \
    "$dir/config/wireplumber/bluetooth.lua.d" "$dir/state"
  chmod 700 "$dir/run"
  cp "$here/pipewire/null-sink.conf" "$dir/config/pipewire/pipewire.conf.d/"
  cp "$here/pipewire/main.lua" "$dir/config/wireplumber/main.lua.d/90-enable-all.lua"
  cp "$here/pipewire/bluetooth.lua" "$dir/config/wireplumber/bluetooth.lua.d/90-enable-all.lua"
  sed "s|@BUS@|$dir/run/bus|" "$here/pipewire/session-bus.conf" >"$dir/bus.conf"
  local env=(env -u DISPLAY -u WAYLAND_DISPLAY HOME="$dir" XDG_RUNTIME_DIR="$dir/run" XDG_CONFIG_HOME="$dir/config"
             XDG_STATE_HOME="$dir/state" XDG_DATA_HOME="$dir/state" DBUS_SESSION_BUS_ADDRESS="unix:path=$dir/run/bus"
             DBUS_SYSTEM_BUS_ADDRESS="unix:path=$dir/no-system-bus" PIPEWIRE_RUNTIME_DIR="$dir/run")
  "${env[@]}" dbus-daemon --config-file="$dir/bus.conf" --nofork --nopidfile >"$work/pipewire-bus.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do [[ -S "$dir/run/bus" ]] && break; sleep 0.1; done
  "${env[@]}" pipewire >"$work/pipewire.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do [[ -S "$dir/run/pipewire-0" ]] && break; sleep 0.1; done
  "${env[@]}" wireplumber >"$work/wireplumber.log" 2>&1 &
  pids+=($!)
  "${env[@]}" pipewire-pulse >"$work/pipewire-pulse.log" 2>&1 &
  pids+=($!)
  server="unix:$dir/run/pulse/native"
  answers "$server" || return 1
  # Ready once WirePlumber has made the null sink the default.
  for _ in $(seq 100); do
    [[ "$(PULSE_SERVER="$server" pactl get-default-sink 2>/dev/null)" == talvora_null ]] && return 0
    sleep 0.1
  done
  return 1
}

# A virtual X server for the end-to-end tests.
display=""
for n in $(seq 97 140); do
  [[ -e "/tmp/.X$n-lock" || -e "/tmp/.X11-unix/X$n" ]] || { display=":$n"; break; }
done
if [[ -n "$display" ]]; then
  Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
  pids+=($!)
  export TALVORA_E2E_DISPLAY="$display"
fi

first=pulseaudio second=pipewire
if [[ "${TALVORA_SOUND_SERVER:-}" == pipewire ]] || ! command -v pulseaudio >/dev/null; then
  first=pipewire second=pulseaudio
fi
server=""
if "start_$first"; then
  export PULSE_SERVER="$server"
else
  echo "warning: no $first sound server started; the sound-server tests will skip" >&2
  unset PULSE_SERVER
fi

cd "$build"
# One test at a time: the recording tests measure real durations and should
# not share the two cores with another recording.
status=0
ctest --output-on-failure --timeout 300 "$@" || status=$?

# A full run also proves the volume and mute controls, a recording from the
# sound server and the players (play, seek, pause, resume) against the other
# server.
sound_tests='^(MasterMuteOnServer|VolumePanelTest|AudioPlayerTest|VideoPlayerTest)\.|^AudioRecorderTest\.RecordsFromTheSoundServersMonitorSource$'
if (($# == 0)) && [[ -z "${TALVORA_SOUND_SERVER:-}" ]]; then
  if "start_$second"; then
    echo "The sound-server tests again, against $second:"
    PULSE_SERVER="$server" ctest --output-on-failure --timeout 300 -R "$sound_tests" || status=$?
  else
    echo "note: $second is not installed here; the sound-server tests ran against $first only" >&2
  fi
fi
exit "$status"
