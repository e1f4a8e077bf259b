#!/usr/bin/env bash
# Installs whatever Debian packages Talvora lacks and configures the build
# tree (idempotent; silent when everything is there).
#   tools/setup.sh [--list FILE]... [PACKAGE]...
# Always the run list tools/packages.txt; more lists and single packages may
# be added by the caller (tools/test.sh adds tools/test-packages.txt).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"

lists=("$here/packages.txt")
wanted=()
while (($#)); do
  case "$1" in
    --list) lists+=("$2"); shift 2 ;;
    *) wanted+=("$1"); shift ;;
  esac
done
for list in "${lists[@]}"; do
  mapfile -t -O "${#wanted[@]}" wanted < <(grep -v -e '^#' -e '^\s*$' "$list")
done

missing=()
for pkg in "${wanted[@]}"; do
  status="$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)"
  [[ "$status" == "install ok installed" ]] || missing+=("$pkg")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  # No recommends: they would bring sound servers and services nobody asked for.
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
fi

build="${TALVORA_BUILD_DIR:-$root/build}"
if [[ ! -f "$build/build.ninja" ]]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
