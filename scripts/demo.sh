#!/usr/bin/env bash
# Sets up, builds, makes the demo disk image and opens salvex-gui on it.
# Without a display it shows the same recovery with salvex: the partitions
# of the disk, then the recovered tree of each FAT volume.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh salvex salvex-gui
scripts/make-demo-image.sh demo.img
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Opening salvex-gui on demo.img"
  exec build/src/gui/salvex-gui demo.img
fi
echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): showing the recovery with salvex instead."
salvex=build/src/cli/salvex
echo
echo "== salvex partitions demo.img"
$salvex partitions demo.img
for partition in 1 2; do
  echo
  echo "== salvex scan demo.img --partition $partition"
  $salvex scan demo.img --partition "$partition"
done
