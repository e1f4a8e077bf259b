#!/usr/bin/env bash
# Puts the face pictures the tracking tests and benchmarks compose their
# frames from into the folder given (default: build/test-fixtures/faces):
# astronaut.png (one frontal face), chelsea.png and coffee.png (no face), all
# from Debian's python3-skimage, downloaded and unpacked, never installed.
set -euo pipefail
out="${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/test-fixtures/faces}"
mkdir -p "$out"
[[ -f "$out/astronaut.png" && -f "$out/chelsea.png" && -f "$out/coffee.png" ]] && exit 0
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
apt-get download python3-skimage >/dev/null 2>&1 || { echo "apt-get download python3-skimage failed" >&2; exit 1; }
dpkg -x python3-skimage_*.deb x
data=x/usr/lib/python3/dist-packages/skimage/data
cp "$data/astronaut.png" "$data/chelsea.png" "$data/coffee.png" "$out/"
