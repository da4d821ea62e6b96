#!/usr/bin/env bash
# Scans a volume of a million files once and prints what it costs: the time,
# the peak memory and the bytes it keeps per item beyond the names
# themselves, and the time against The Sleuth Kit's `fls -r -p` on the same
# image. Memory must grow linearly, under 400 bytes per item; the scan should
# take at most a fifth of fls's time.
#
# usage: bench/scale_million.sh [FILES]        (default 1000000)
# environment:
#   SCAN_FS              fat32 (default) or exfat
#   IMAGE                an image made already by the maker for SCAN_FS
#   SALVEX               the salvex binary (default: build-bench/, then build/)
#   SALVEX_BENCH_IMAGES  where images are kept between runs (default build-bench/bench-images)
set -euo pipefail
export LC_ALL=C

bench_name=scale_million
# shellcheck source=bench_lib.sh
source "$(dirname "$0")/bench_lib.sh"
fs_type=${SCAN_FS:-fat32}
case $fs_type in
  fat32) maker=make_many_files_image.sh ;;
  exfat) maker=make_many_exfat_image.sh ;;
  *) bench_die "SCAN_FS must be fat32 or exfat, not '$fs_type'" ;;
esac
files=${1:-1000000}
[[ $files =~ ^[1-9][0-9]*$ ]] || bench_die "FILES must be a positive number, not '$files'"
bench_find_salvex
bench_need fls jq /usr/bin/time
image=${IMAGE:-$(bench_cached_image "$fs_type-$files-files" "$bench_here/$maker" "$files")}
sectors=$(( $(stat -c %s "$image") / 512 ))

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# "seconds peak-KiB cpu-seconds" of a command, its output to FILE. The CPU
# time (user plus system) is what other work on the machine disturbs least.
measure() {
  local out=$1
  shift
  /usr/bin/time -f '%e %M %U %S' -o "$work/time" "$@" > "$out" || bench_die "$1 failed"
  awk '{ printf "%s %s %.2f\n", $1, $2, $3 + $4 }' "$work/time"
}

# Warm the page cache, so that both programs read from memory.
cat "$image" > /dev/null
# What the process costs before it lists anything: the same binary on an
# empty listing.
read -r _ base_kib _ < <(measure /dev/null "$salvex" --version)
read -r salvex_s salvex_kib salvex_cpu < <(measure "$work/salvex.json" \
  "$salvex" scan "$image" --start 0 --size "$sectors" --type "$fs_type" --json)
read -r fls_s _ fls_cpu < <(measure "$work/fls.txt" fls -r -p "$image")

read -r items name_bytes < <(jq -r '[length, (map(.name | utf8bytelength) | add)] | @tsv' "$work/salvex.json")
echo "image:   $image ($fs_type, $(( sectors / 2048 )) MiB), warm in the page cache"
echo "salvex:  $salvex_s s (cpu $salvex_cpu s), peak $salvex_kib KiB, $items items listed, names $name_bytes bytes"
echo "fls:     $fls_s s (cpu $fls_cpu s), $(wc -l < "$work/fls.txt") lines"
awk -v s="$salvex_s" -v f="$fls_s" -v sc="$salvex_cpu" -v fc="$fls_cpu" -v peak="$salvex_kib" -v base="$base_kib" -v names="$name_bytes" -v n="$items" \
  'BEGIN {
     printf "bytes per item beyond the names: %.0f (peak %d KiB less %d KiB at start and %d bytes of names; target under 400)\n",
       (peak - base) * 1024 / n - names / n, peak, base, names
     printf "ratio salvex/fls: %.2f elapsed, %.2f cpu (target at most 0.2)\n", s / f, sc / fc
   }'
bench_load
