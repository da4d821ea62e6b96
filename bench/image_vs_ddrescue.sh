#!/usr/bin/env bash
# Times `salvex image SOURCE IMAGE --map MAP` against GNU ddrescue
# (`ddrescue -q SOURCE IMAGE MAP`, its defaults) on a healthy 2 GiB source
# (bench/make_sweep_image.sh: random bytes and a small FAT32 volume), warm in
# the page cache, each writing a fresh image and map into the same folder.
# Prints both times, their rates and the ratio salvex/ddrescue (the target:
# 1.2 or less). The two take turns, round after round, so a change in the
# machine's load hits both alike; the medians are reported.
#
# usage: bench/image_vs_ddrescue.sh [MIB]        (default 2048)
# environment:
#   SALVEX               the salvex binary (default: build-bench/, then build/)
#   SALVEX_BENCH_IMAGES  where sources are kept between runs (default build-bench/bench-images)
#   SALVEX_BENCH_OUT     where the images are written (default: a folder beside the sources)
#   RUNS                 rounds (default 3)
set -euo pipefail
export LC_ALL=C

bench_name=image_vs_ddrescue
# shellcheck source=bench_lib.sh
source "$(dirname "$0")/bench_lib.sh"

mib=${1:-2048}
runs=${RUNS:-3}
[[ $mib =~ ^[1-9][0-9]*$ ]] || bench_die "MIB must be a positive number, not '$mib'"
bench_find_salvex
bench_need ddrescue ddrescuelog cmp

source_image=$(bench_cached_image "sweep-$mib-mib" "$bench_here/make_sweep_image.sh" "$mib")
bytes=$(stat -c %s "$source_image")
images=${SALVEX_BENCH_IMAGES:-$bench_root/build-bench/bench-images}
out=${SALVEX_BENCH_OUT:-$images/image-vs-ddrescue}
mkdir -p "$out"
trap 'rm -rf "$out"' EXIT
free_kib=$(df --output=avail -k "$out" | tail -1)
[ $(( free_kib * 1024 )) -gt $(( bytes * 2 + (256 << 20) )) ] ||
  bench_die "$out has $(( free_kib >> 10 )) MiB free, too little for two $(( bytes >> 20 )) MiB images"
cat "$source_image" > /dev/null

# Appends "LABEL MILLISECONDS" to the samples; the image and map of the
# last run are left for the checks below.
measure() {
  local label=$1
  shift
  rm -f "$out/$label.img" "$out/$label.map" "$out/$label.map.tmp"
  sync
  local start end
  start=$(date +%s%N)
  "$@" > "$out/$label.out" 2>&1 || bench_die "$* failed: $(tail -3 "$out/$label.out")"
  end=$(date +%s%N)
  echo "$label $(( (end - start) / 1000000 ))" >> "$out/samples"
}

for ((round = 1; round <= runs; round++)); do
  measure ddrescue ddrescue -q "$source_image" "$out/ddrescue.img" "$out/ddrescue.map"
  measure salvex "$salvex" image "$source_image" "$out/salvex.img" --map "$out/salvex.map"
done

# The copies must be whole, and salvex's map one ddrescue reads as finished.
cmp -s "$source_image" "$out/salvex.img" || bench_die "salvex's image differs from the source"
cmp -s "$source_image" "$out/ddrescue.img" || bench_die "ddrescue's image differs from the source"
ddrescuelog -D "$out/salvex.map" || bench_die "ddrescuelog does not call salvex's map finished"

median() {
  awk -v label="$1" '$1 == label { n++; t[n] = $2 }
    END { for (i = 2; i <= n; i++) { x = t[i]; for (j = i - 1; j > 0 && t[j] > x; j--) t[j + 1] = t[j]; t[j + 1] = x }
          print n % 2 ? t[(n + 1) / 2] : (t[n / 2] + t[n / 2 + 1]) / 2 }' "$out/samples"
}
rate() { awk -v b="$bytes" -v ms="$1" 'BEGIN { printf "%.0f", (ms > 0 ? b / 1048576 / (ms / 1000) : 0) }'; }

dd_ms=$(median ddrescue)
salvex_ms=$(median salvex)
echo
echo "source:  $source_image ($(( bytes >> 20 )) MiB, cached), images written to $(bench_fs_of "$out")"
bench_load
printf '%-24s %8.0f ms  %6s MiB/s\n' "ddrescue:" "$dd_ms" "$(rate "$dd_ms")"
printf '%-24s %8.0f ms  %6s MiB/s\n' "salvex image:" "$salvex_ms" "$(rate "$salvex_ms")"
awk -v d="$dd_ms" -v s="$salvex_ms" 'BEGIN {
  printf "ratio of times salvex/ddrescue: %.2f (target 1.20: %s)\n", s / d, s / d <= 1.2 ? "met" : "not met" }'
