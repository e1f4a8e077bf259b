#!/usr/bin/env bash
# Runs mixer_bench against a private PulseAudio daemon with a null sink (never
# the machine's own server). Usage: bench/mixer_bench.sh [build-dir] [runs]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
runs="${2:-30}"
work="$(mktemp -d /tmp/talvora-mixer-bench-XXXXXX)"
source "$root/bench/private_pulse.sh"
trap 'stop_private_pulse; rm -rf "$work"' EXIT
start_private_pulse "$work"
# The face-detector fixture (loads, no exports) keeps the start-up message box away.
export TALVORA_PROGRAM_FILES="$build/test-fixtures/noexport"
"$build/bench/mixer_bench" "$runs"
