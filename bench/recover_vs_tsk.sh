#!/usr/bin/env bash
# Times `salvex recover --all` against The Sleuth Kit's `tsk_recover -e` (which
# also recovers unallocated files) on the same FAT32 image, and both against
# `cat` of the files salvex wrote (the same files and bytes, read back) and
# `dd` of as many bytes of the image. Two images: 40,000 small files, where
# the cost is per file, and 200 files of 1 to 10 MiB, where it is per byte.
# The image is warm in the page cache; the output folders are emptied before
# every run and lie on tmpfs unless OUT_BASE says otherwise.
#
# usage: bench/recover_vs_tsk.sh [many|large|both]      (default both)
# environment:
#   SALVEX               the salvex binary (default: build-bench/, then build/)
#   SALVEX_BENCH_IMAGES  where images are kept between runs (default build-bench/bench-images)
#   MANY_FILES           files of the small-file image (default 40000)
#   LARGE_FILES          files of the large-file image (default 200)
#   OUT_BASE             where the output folders go (default /dev/shm, a tmpfs, when it has room)
#   RUNS, WARMUP         timed and untimed runs of each program (default 5 and 1)
set -euo pipefail
export LC_ALL=C

bench_name=recover_vs_tsk
# shellcheck source=bench_lib.sh
source "$(dirname "$0")/bench_lib.sh"

which_images=${1:-both}
case $which_images in many | large | both) ;; *) bench_die "say many, large or both, not '$which_images'" ;; esac
many_files=${MANY_FILES:-40000}
large_files=${LARGE_FILES:-200}
runs=${RUNS:-5}
warmup=${WARMUP:-1}
bench_find_salvex
bench_need tsk_recover hyperfine jq

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
out_base=${OUT_BASE:-}
if [ -z "$out_base" ]; then
  out_base=/dev/shm
  room=$(df --output=avail -B1 /dev/shm 2>/dev/null | tail -1 || echo 0)
  [ "${room:-0}" -gt $(( biggest * 3 + (1 << 30) )) ] || out_base=$bench_root/build-bench
fi
out=$(mktemp -d "$out_base/salvex-recover-bench.XXXXXX")
trap 'rm -rf "$out"' EXIT

# Prints MiB/s for BYTES in MILLISECONDS.
rate() { awk -v b="$1" -v ms="$2" 'BEGIN { printf "%.0f", b / 1048576 / (ms / 1000) }'; }

bench_image() {
  local image=$1
  local sectors=$(( $(stat -c %s "$image") / 512 ))
  local ref="$out/reference" mine="$out/salvex" theirs="$out/tsk"
  rm -rf "$ref" "$mine" "$theirs"
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

  local q_salvex q_tsk q_cat q_dd
  q_salvex="$(printf '%q ' "${salvex_args[@]}" "$mine") > /dev/null"
  q_tsk="tsk_recover -e $(printf '%q %q' "$image" "$theirs") > /dev/null"
  q_cat="find $(printf '%q' "$ref") -type f -print0 | xargs -0 cat > /dev/null"
  q_dd="dd if=$(printf '%q' "$image") of=/dev/null bs=1M count=$mib status=none"
  hyperfine --style basic --warmup "$warmup" --runs "$runs" --export-json "$out/times.json" \
    --prepare "rm -rf $(printf '%q %q' "$mine" "$theirs")" \
    -n salvex "$q_salvex" -n tsk_recover "$q_tsk" -n cat "$q_cat" -n dd "$q_dd" >&2

  local sm ssd smin tm tsd tmin cm csd cmin dm dsd dmin
  read -r sm ssd smin < <(bench_stats "$out/times.json" salvex)
  read -r tm tsd tmin < <(bench_stats "$out/times.json" tsk_recover)
  read -r cm csd cmin < <(bench_stats "$out/times.json" cat)
  read -r dm dsd dmin < <(bench_stats "$out/times.json" dd)

  echo
  echo "image:   $image"
  echo "         $sectors sectors ($(( sectors / 2048 )) MiB), warm in the page cache"
  echo "output:  $(bench_fs_of "$out"), emptied before every run"
  printf 'salvex:       %8.1f ms ± %.1f (min %.1f)  %s MiB/s   %s\n' "$sm" "$ssd" "$smin" "$(rate "$s_bytes" "$sm")" \
    "${salvex_args[*]} DIR"
  printf 'tsk_recover:  %8.1f ms ± %.1f (min %.1f)  %s MiB/s   tsk_recover -e IMAGE DIR\n' "$tm" "$tsd" "$tmin" \
    "$(rate "$t_bytes" "$tm")"
  printf 'cat:          %8.1f ms ± %.1f (min %.1f)  %s MiB/s   cat of the %d files salvex wrote\n' "$cm" "$csd" \
    "$cmin" "$(rate "$s_bytes" "$cm")" "$s_files"
  printf 'dd:           %8.1f ms ± %.1f (min %.1f)  %s MiB/s   dd of %d MiB of the image, bs=1M\n' "$dm" "$dsd" \
    "$dmin" "$(rate "$s_bytes" "$dm")" "$mib"
  awk -v s="$sm" -v t="$tm" -v c="$cm" -v d="$dm" -v sn="$smin" -v tn="$tmin" -v cn="$cmin" \
    'BEGIN { printf "ratio salvex/tsk_recover: %.2f (means), %.2f (minimums)\n", s / t, sn / tn
             printf "ratio salvex/cat:         %.2f (means), %.2f (minimums); salvex/dd %.2f\n", s / c, sn / cn, s / d }'
  awk -v s="$(bench_cpu_ms "$out/times.json" salvex)" -v t="$(bench_cpu_ms "$out/times.json" tsk_recover)" \
    'BEGIN { printf "cpu (user+sys): salvex %.1f ms, tsk_recover %.1f ms, ratio %.2f\n", s, t, s / t }'
  echo "written: salvex $s_files files, $s_bytes bytes ($(head -1 "$out/summary.txt"))"
  echo "         tsk_recover $t_files files, $t_bytes bytes (with the orphans it finds outside every folder)"
  bench_load
  rm -rf "$ref" "$mine" "$theirs"
}

for image in "${images[@]}"; do bench_image "$image"; done
