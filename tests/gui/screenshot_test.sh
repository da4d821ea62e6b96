#!/usr/bin/env bash
# The real salvex-gui under Xvfb on the demo disk: it walks through both
# scans by itself (SALVEX_GUI_SCREENSHOTS) and saves a picture of every
# step, which must each be drawn and of the window's size.
#
# usage: screenshot_test.sh SALVEX_GUI PNG_CHECK MAKE_DEMO_IMAGE OUTPUT_DIR
set -euo pipefail
gui=$1 check=$2 make_image=$3 out=$4
command -v xvfb-run >/dev/null || { echo "skipped: xvfb-run is missing (run scripts/setup.sh)"; exit 77; }
for tool in sfdisk mkfs.fat mcopy; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is missing (run scripts/setup.sh)"; exit 77; }
done
rm -rf "$out"
mkdir -p "$out"
"$make_image" "$out/demo.img" >/dev/null
# A private runtime folder keeps Qt from warning about a missing one.
export XDG_RUNTIME_DIR="$out/runtime"
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
SALVEX_GUI_SCREENSHOTS="$out" QT_QPA_PLATFORM=xcb timeout 180 \
  xvfb-run -a -s "-screen 0 1280x1024x24" "$gui" "$out/demo.img"
rm -rf "$out/demo.img" "$XDG_RUNTIME_DIR"
steps=(1-disk 2-partitions 3-items 3-preview 4-icons 5-range 6-found 7-mounted)
files=()
for step in "${steps[@]}"; do files+=("$out/$step.png"); done
"$check" 1040x740 "${files[@]}"
# The dialogs of the items step, at their own sizes.
dialogs=(settings filters find drive-information properties about saving imaging folder-chooser)
files=("$out/help-window.png")
for dialog in "${dialogs[@]}"; do files+=("$out/dialog-$dialog.png"); done
"$check" 0x0 "${files[@]}"
