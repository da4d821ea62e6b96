#!/usr/bin/env bash
# Times the window's Standard Scan against `salvex scan` of the same FAT32
# partition: the window from the click on Next in the partition step to its
# items tree listed (salvex_gui_scan_bench, offscreen), the command line to
# its JSON written to /dev/null. The many-files image of the other benches,
# put behind a partition table, since the window scans partitions. The two
# take turns, and their medians are compared.
#
# usage: bench/gui_scan_vs_cli.sh [FILES]      (default 200000)
# environment:
#   SALVEX                 the salvex binary (default: build-bench/, then build/)
#   SALVEX_GUI_SCAN_BENCH  the window's timer (default: next to salvex, in bench/)
#   SALVEX_BENCH_IMAGES    where images are kept between runs
#   RUNS                   turns of each (default 3)
set -euo pipefail
export LC_ALL=C

bench_name=gui_scan_vs_cli
# shellcheck source=bench_lib.sh
source "$(dirname "$0")/bench_lib.sh"

files=${1:-200000}
runs=${RUNS:-3}
bench_find_salvex
gui_bench=${SALVEX_GUI_SCAN_BENCH:-$(dirname "$(dirname "$(dirname "$salvex")")")/bench/salvex_gui_scan_bench}
[ -x "$gui_bench" ] || bench_die "no $gui_bench: build salvex_gui_scan_bench, or set SALVEX_GUI_SCAN_BENCH"
bench_need sfdisk

volume=$(bench_cached_image "fat32-$files-files" "$bench_here/make_many_files_image.sh" "$files")
disk="${volume%.img}-partitioned.img"
if [ ! -f "$disk" ] || [ "$disk" -ot "$volume" ]; then
  sectors=$(( $(stat -c %s "$volume") / 512 ))
  rm -f "$disk.partial"
  truncate -s $(( (2048 + sectors) * 512 )) "$disk.partial"
  echo "start=2048, size=$sectors, type=c" | sfdisk -q "$disk.partial"
  dd if="$volume" of="$disk.partial" bs=1M seek=1 conv=notrunc,sparse status=none
  mv "$disk.partial" "$disk"
fi
sectors=$(( $(stat -c %s "$volume") / 512 ))
cat "$disk" > /dev/null

median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

cli=() gui=()
for _ in $(seq "$runs"); do
  start=$(date +%s%N)
  "$salvex" scan "$disk" --start 2048 --size "$sectors" --type fat32 --json > /dev/null
  cli+=($(( ($(date +%s%N) - start) / 1000000 )))
  gui+=("$("$gui_bench" "$disk" 1)")
done
cm=$(median "${cli[@]}")
gm=$(median "${gui[@]}")
echo "image:   $disk ($files files, warm in the page cache)"
echo "salvex scan:  $cm ms   (runs: ${cli[*]})"
echo "window scan:  $gm ms   from Next to the items tree listed (runs: ${gui[*]})"
awk -v g="$gm" -v c="$cm" 'BEGIN { printf "ratio window/salvex: %.2f (medians; target at most 1.3)\n", g / c }'
bench_load
