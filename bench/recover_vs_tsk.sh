#!/usr/bin/env bash
# Times `salvex recover --all` against The Sleuth Kit's `tsk_recover -e` (which
# also recovers unallocated files) on the same FAT32 image, and both against
# `cat` of the files salvex wrote (the same files and bytes, read back) and
# `dd` of as many bytes of the image. Two images: 40,000 small files, where
# the cost is per file, and 200 files of 1 to 10 MiB, where it is per byte.
# The image is warm in the page cache. Each image is recovered into two
# places: a tmpfs (the programs' own work) and a folder on the machine's own
# disk (ext4 here), where users recover to and where the file system's
# write-back counts. The programs take turns, each run into a new folder
# after a sync, and the medians are compared.
#
# usage: bench/recover_vs_tsk.sh [many|large|both]      (default both)
# environment:
#   SALVEX               the salvex binary (default: build-bench/, then build/)
#   SALVEX_BENCH_IMAGES  where images are kept between runs (default build-bench/bench-images)
#   MANY_FILES           files of the small-file image (default 40000)
#   LARGE_FILES          files of the large-file image (default 200)
#   OUT_BASES            where the output folders go (default: /dev/shm, when it has room, and build-bench/)
#   RUNS                 turns of each program (default 3)
set -euo pipefail
export LC_ALL=C

bench_name=recover_vs_tsk
# shellcheck source=bench_lib.sh
source "$(dirname "$0")/bench_lib.sh"

which_images=${1:-both}
case $which_images in many | large | both) ;; *) bench_die "say many, large or both, not '$which_images'" ;; esac
many_files=${MANY_FILES:-40000}
large_files=${LARGE_FILES:-200}
runs=${RUNS:-3}
bench_find_salvex
bench_need tsk_recover

images=()
[ "$which_images" = large ] || images+=("$(bench_cached_image "fat32-$many_files-files" "$bench_here/make_many_files_image.sh" "$many_files")")
[ "$which_images" = many ] || images+=("$(bench_cached_image "fat32-$large_files-large-files" "$bench_here/make_large_files_image.sh" "$large_files")")

# tmpfs keeps the disk's write-back out of the numbers: what is left is the
# programs' own work. It needs room for three copies of the recovered bytes.
biggest=0
for image in "${images[@]}"; do
  size=$(stat -c %s "$image")
  [ "$size" -gt "$biggest" ] && biggest=$size
done
if [ -z "${OUT_BASES:-}" ]; then
  OUT_BASES=$bench_root/build-bench
  mkdir -p "$OUT_BASES"
  room=$(df --output=avail -B1 /dev/shm 2>/dev/null | tail -1 || echo 0)
  [ "${room:-0}" -gt $(( biggest * 3 + (1 << 30) )) ] && OUT_BASES="/dev/shm $OUT_BASES"
fi
outs=()
for base in $OUT_BASES; do outs+=("$(mktemp -d "$base/salvex-recover-bench.XXXXXX")"); done
trap 'rm -rf "${outs[@]}"' EXIT

# Prints MiB/s for BYTES in MILLISECONDS.
rate() { awk -v b="$1" -v ms="$2" 'BEGIN { printf "%.0f", b / 1048576 / (ms / 1000) }'; }

# Syncs, then runs COMMAND once and prints its wall time in milliseconds:
# the write-back of earlier runs is not counted.
timed_ms() {
  sync
  local start end
  start=$(date +%s%N)
  bash -c "$1" > /dev/null 2>&1 || bench_die "failed: $1"
  end=$(date +%s%N)
  echo $(( (end - start) / 1000000 ))
}

# The median of the numbers given.
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

bench_image() {
  local image=$1 out=$2
  local sectors=$(( $(stat -c %s "$image") / 512 ))
  local ref="$out/reference" mine="$out/salvex" theirs="$out/tsk"
  rm -rf "$ref" "$theirs" "$mine".* "$theirs".*
  cat "$image" > /dev/null

  local salvex_args=("$salvex" recover "$image" --start 0 --size "$sectors" --type fat32 --all --out)
  # One untimed run of each gives the trees that are counted, and salvex's
  # files for cat to read.
  "${salvex_args[@]}" "$ref" > "$out/summary.txt" || bench_die "salvex recover failed: $(cat "$out/summary.txt")"
  tsk_recover -e "$image" "$theirs" > /dev/null || bench_die "tsk_recover failed"
  local s_files s_bytes t_files t_bytes
  s_files=$(find "$ref" -type f | wc -l)
  s_bytes=$(find "$ref" -type f -printf '%s\n' | awk '{ s += $1 } END { printf "%d", s }')
  t_files=$(find "$theirs" -type f | wc -l)
  t_bytes=$(find "$theirs" -type f -printf '%s\n' | awk '{ s += $1 } END { printf "%d", s }')
  local mib=$(( (s_bytes + 1048575) / 1048576 ))

  local q_cat q_dd
  # Every run writes into a folder of its own, all removed at the end: on
  # ext4, files made just after as many were deleted cost several times
  # more (its inode allocator steps over inodes deleted in the last half
  # minute), which would measure the removal, not the programs.
  q_cat="find $(printf '%q' "$ref") -type f -print0 | xargs -0 cat"
  q_dd="dd if=$(printf '%q' "$image") of=/dev/null bs=1M count=$mib status=none"
  local t_salvex=() t_tsk=() t_cat=() t_dd=()
  for turn in $(seq "$runs"); do
    t_salvex+=("$(timed_ms "$(printf '%q ' "${salvex_args[@]}" "$mine.$turn")")")
    t_tsk+=("$(timed_ms "tsk_recover -e $(printf '%q %q' "$image" "$theirs.$turn")")")
    t_cat+=("$(timed_ms "$q_cat")")
    t_dd+=("$(timed_ms "$q_dd")")
  done
  local sm tm cm dm
  sm=$(median "${t_salvex[@]}")
  tm=$(median "${t_tsk[@]}")
  cm=$(median "${t_cat[@]}")
  dm=$(median "${t_dd[@]}")

  echo
  echo "image:   $image"
  echo "         $sectors sectors ($(( sectors / 2048 )) MiB), warm in the page cache"
  echo "output:  $(bench_fs_of "$out"), emptied and synced before every run; medians of $runs turns"
  printf 'salvex:       %8s ms  %s MiB/s   %s   (runs: %s)\n' "$sm" "$(rate "$s_bytes" "$sm")" "${salvex_args[*]} DIR"     "${t_salvex[*]}"
  printf 'tsk_recover:  %8s ms  %s MiB/s   tsk_recover -e IMAGE DIR   (runs: %s)\n' "$tm" "$(rate "$t_bytes" "$tm")"     "${t_tsk[*]}"
  printf 'cat:          %8s ms  %s MiB/s   cat of the %d files salvex wrote\n' "$cm" "$(rate "$s_bytes" "$cm")" "$s_files"
  printf 'dd:           %8s ms  %s MiB/s   dd of %d MiB of the image, bs=1M\n' "$dm" "$(rate "$s_bytes" "$dm")" "$mib"
  awk -v s="$sm" -v t="$tm" -v c="$cm" -v d="$dm" -v fs="$(bench_fs_of "$out" | cut -d' ' -f1)" \
    'BEGIN { printf "ratio salvex/tsk_recover on %s: %.2f (medians)\n", fs, s / t
             printf "ratio salvex/cat: %.2f; salvex/dd %.2f\n", s / c, s / d }'
  echo "written: salvex $s_files files, $s_bytes bytes ($(head -1 "$out/summary.txt"))"
  echo "         tsk_recover $t_files files, $t_bytes bytes (with the orphans it finds outside every folder)"
  bench_load
  rm -rf "$ref" "$theirs" "$mine".* "$theirs".*
}

for image in "${images[@]}"; do
  for out in "${outs[@]}"; do bench_image "$image" "$out"; done
done
