#!/usr/bin/env bash
# The real window under Xvfb on the demo disk: salvex_gui_screenshots, the
# window of salvex-gui with the screenshot tour, walks through the three scan
# types by itself and saves a picture of every step, which must each be drawn
# and of the window's size. The shipped salvex-gui must hold no tour.
#
# usage: screenshot_test.sh SCREENSHOTS SALVEX_GUI PNG_CHECK MAKE_DEMO_IMAGE OUTPUT_DIR
set -euo pipefail
tour=$1 gui=$2 check=$3 make_image=$4 out=$5
for word in ScreenshotTour SALVEX_GUI_SCREENSHOTS; do
  if grep -qa "$word" "$gui"; then echo "$gui holds $word: the tour belongs to the test program"; exit 1; fi
done
command -v xvfb-run >/dev/null || { echo "skipped: xvfb-run is missing (run scripts/setup.sh)"; exit 77; }
for tool in sfdisk mkfs.fat mcopy; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is missing (run scripts/setup.sh)"; exit 77; }
done
rm -rf "$out"
mkdir -p "$out"
"$make_image" "$out/demo.img" >/dev/null
# A private runtime folder keeps Qt from warning about a missing one; a
# private settings folder starts the window at its own sizes, not the user's.
export XDG_RUNTIME_DIR="$out/runtime" XDG_CONFIG_HOME="$out/config"
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
QT_QPA_PLATFORM=xcb timeout 180 \
  xvfb-run -a -s "-screen 0 1920x1200x24" "$tour" "$out" "$out/demo.img"
# The same tour on a small laptop's screen and on a large monitor, each in a
# folder of its own, from the window's own settings again.
for size in 1024x600 1920x1080; do
  rm -rf "$XDG_CONFIG_HOME"
  QT_QPA_PLATFORM=xcb timeout 180 \
    xvfb-run -a -s "-screen 0 1920x1200x24" "$tour" --size "$size" "$out/$size" "$out/demo.img"
done
rm -rf "$out/demo.img" "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME"
steps=(1-disk 2-partitions 3-items 3-preview 3-hex 3-marks 3-view-filter 4-icons 5-range 6-found 7-mounted
       8-file-types 9-found-by-content)
for size in 1040x740 1024x600 1920x1080; do
  folder=$out
  [ "$size" = 1040x740 ] || folder=$out/$size
  files=()
  for step in "${steps[@]}"; do files+=("$folder/$step.png"); done
  "$check" "$size" "${files[@]}"
done
# Every run leaves its report beside the files it recovered.
grep -q '^path,size,deleted,marks,intact,result,written as$' "$out/recovered/recovery-report.csv"
# The dialogs of the items step, at their own sizes.
dialogs=(settings filters find find-text drive-information sectors properties about saving imaging folder-chooser)
files=("$out/help-window.png")
for dialog in "${dialogs[@]}"; do files+=("$out/dialog-$dialog.png"); done
"$check" 0x0 "${files[@]}"
