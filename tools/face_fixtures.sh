#!/usr/bin/env bash
# Puts the face pictures the tracking tests and benchmarks compose their
# frames from into the folder given (default: build/test-fixtures/faces):
# astronaut.png (one frontal face), chelsea.png and coffee.png (no face), all
# from Debian's python3-skimage, and grace_hopper.jpg (a second person) from
# Debian's facedetect; downloaded and unpacked, never installed.
set -euo pipefail
out="${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/test-fixtures/faces}"
mkdir -p "$out"
[[ -f "$out/astronaut.png" && -f "$out/chelsea.png" && -f "$out/coffee.png" && -f "$out/grace_hopper.jpg" ]] && exit 0
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
for pkg in python3-skimage facedetect; do
  apt-get download "$pkg" >/dev/null 2>&1 || { echo "apt-get download $pkg failed" >&2; exit 1; }
  dpkg -x "${pkg}"_*.deb x
done
data=x/usr/lib/python3/dist-packages/skimage/data
cp "$data/astronaut.png" "$data/chelsea.png" "$data/coffee.png" "$out/"
cp x/usr/share/doc/facedetect/examples/grace_hopper_512x512.jpg "$out/grace_hopper.jpg"
