#!/usr/bin/env bash
# Sets up, builds, makes the demo disk image and runs salvex on it: the
# partitions of the disk, then the recovered tree of each FAT volume.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh salvex
scripts/make-demo-image.sh demo.img
salvex=build/src/cli/salvex
echo
echo "== salvex partitions demo.img"
$salvex partitions demo.img
for partition in 1 2; do
  echo
  echo "== salvex scan demo.img --partition $partition"
  $salvex scan demo.img --partition "$partition"
done
