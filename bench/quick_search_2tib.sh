#!/usr/bin/env bash
# Times `salvex search-partitions` on a sparse 2 TiB image whose partition
# table is gone: the quick search probes every cylinder start (and one track
# after it) and every 1 MiB boundary with the sectors beside it, and must
# still finish such a disk in minutes. Two FAT32 volumes (mkfs.fat --offset)
# lie on MiB boundaries, one near the disk's start and one near its 2 TiB
# end, the latter with its first sector wiped so that only its backup boot
# sector tells of it; both must be found. The image takes a few MiB of disk.
# Reading a hole still costs the kernel a fresh zero page, so the time is an
# upper bound of the search's own work, not a disk's seek time.
#
# usage: bench/quick_search_2tib.sh
# environment:
#   SALVEX  the salvex binary (default: build-bench/, then build/)
#   RUNS    timed runs (default 3); each one's time is printed, then the median
set -euo pipefail
export LC_ALL=C

bench_name=quick_search_2tib
# shellcheck source=bench_lib.sh
source "$(dirname "$0")/bench_lib.sh"

runs=${RUNS:-3}
bench_find_salvex
PATH=$PATH:/usr/sbin:/sbin
bench_need mkfs.fat truncate dd

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
image="$work/2tib.img"
truncate -s 2T "$image"
sectors=$(( $(stat -c %s "$image") / 512 ))
near_start=2048
near_end=$(( (sectors - 2 * 65536) / 2048 * 2048 ))
for start in "$near_start" "$near_end"; do
  mkfs.fat -F 32 -s 1 -i 5A1E2000 --offset "$start" "$image" 32768 >/dev/null 2>&1
done
dd if=/dev/zero of="$image" bs=512 seek="$near_end" count=1 conv=notrunc status=none

echo "$bench_name: $(( sectors / 2048 )) MiB boundaries and $(( sectors / 16065 )) cylinders probed"
bench_load
times=()
for ((run = 1; run <= runs; run++)); do
  # A cold page cache for the image each time: its holes read as new pages.
  sync
  [ -w /proc/sys/vm/drop_caches ] && echo 1 > /proc/sys/vm/drop_caches
  start=$(date +%s.%N)
  out=$("$salvex" search-partitions "$image" --json)
  end=$(date +%s.%N)
  seconds=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.1f", b - a }')
  times+=("$seconds")
  echo "$bench_name: run $run: $seconds s"
  for start_sector in "$near_start" "$near_end"; do
    grep -q "\"startSector\":$start_sector," <<<"$out" || bench_die "the FAT32 volume at $start_sector was not found: $out"
  done
done
median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
echo "$bench_name: median $median s for a 2 TiB disk (both volumes found)"
