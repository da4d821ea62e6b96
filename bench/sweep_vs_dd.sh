#!/usr/bin/env bash
# Times the deep scan's sweep, `salvex deep-scan IMAGE --fs fat32` over a whole
# 2 GiB image (bench/make_sweep_image.sh: random bytes and a small FAT32
# volume), against `dd if=IMAGE of=/dev/null bs=1M`, with the image warm in
# the page cache, and prints the throughput of both, their ratio (the target:
# salvex at 80% of dd's rate or more) and salvex's peak memory. The default
# read size (60 sectors) is compared with 100 and 8. The programs take turns,
# round after round, so a change in the machine's load hits them all alike.
#
# usage: bench/sweep_vs_dd.sh [MIB]          (default 2048)
# environment:
#   SALVEX               the salvex binary (default: build-bench/, then build/)
#   SALVEX_BENCH_IMAGES  where images are kept between runs (default build-bench/bench-images)
#   RUNS                 rounds (default 5); the medians are reported
#   READ_SIZES           salvex's read sizes, the first one compared with dd (default "60 100 8")
#   GNU_TIME             GNU time, for the peak RSS (default /usr/bin/time; without it VmHWM is polled)
#   SPARSE_TIB           sweep instead a sparse image of that many TiB holding the same data three
#                        quarters in (the rest holes), still against dd of the data alone: the holes
#                        must cost nothing (target: the sweep takes at most 1.3 times dd's time)
set -euo pipefail
export LC_ALL=C

bench_name=sweep_vs_dd
# shellcheck source=bench_lib.sh
source "$(dirname "$0")/bench_lib.sh"

mib=${1:-2048}
runs=${RUNS:-5}
read -r -a read_sizes <<< "${READ_SIZES:-60 100 8}"
[[ $mib =~ ^[1-9][0-9]*$ ]] || bench_die "MIB must be a positive number, not '$mib'"
bench_find_salvex
bench_need dd
gnu_time=${GNU_TIME:-/usr/bin/time}

image=$(bench_cached_image "sweep-$mib-mib" "$bench_here/make_sweep_image.sh" "$mib")
bytes=$(stat -c %s "$image")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

swept=$image
sparse_tib=${SPARSE_TIB:-}
if [ -n "$sparse_tib" ]; then
  [[ $sparse_tib =~ ^[1-9][0-9]*$ ]] || bench_die "SPARSE_TIB must be a positive number, not '$sparse_tib'"
  swept="$work/sparse-$sparse_tib-tib.img"
  truncate -s "${sparse_tib}T" "$swept"
  # Written through the page cache, so the data stays warm there as the image's does.
  dd if="$image" of="$swept" bs=1M seek=$(( sparse_tib * 1024 * 1024 * 3 / 4 )) conv=notrunc,sparse status=none
fi

# The image must fit in the page cache beside everything else, or the times
# are the disk's.
available_kib=$(awk '/^MemAvailable:/ { print $2 }' /proc/meminfo)
if [ $(( available_kib * 1024 )) -lt $(( bytes + (2 << 30) )) ]; then
  echo "$bench_name: warning: $(( available_kib / 1024 )) MiB available, too little to keep the" \
    "$(( bytes >> 20 )) MiB image cached: the times include disk reads" >&2
fi
cat "$image" > /dev/null
cached() {
  command -v fincore >/dev/null || { echo "unknown (no fincore)"; return; }
  local resident
  resident=$(fincore --bytes --noheadings --output RES "$image")
  echo "$(( resident >> 20 )) of $(( bytes >> 20 )) MiB"
}
cached_before=$(cached)

# Appends "LABEL MICROSECONDS USER SYSTEM PEAK_RSS_KIB" to the samples.
measure() {
  local label=$1
  shift
  local start end user=- sys=- rss=0
  start=$(date +%s%N)
  if [ -x "$gnu_time" ]; then
    "$gnu_time" -f '%U %S %M' -o "$work/time.txt" "$@" > "$work/$label.out" 2>/dev/null || bench_die "$* failed"
    end=$(date +%s%N)
    read -r user sys rss < "$work/time.txt"
  else
    # Without GNU time: the high-water mark, polled while the program runs.
    "$@" > "$work/$label.out" 2>/dev/null &
    local pid=$! hwm
    while kill -0 "$pid" 2>/dev/null; do
      hwm=$(awk '/^VmHWM:/ { print $2 }' "/proc/$pid/status" 2>/dev/null || true)
      [ -n "$hwm" ] && rss=$hwm
      sleep 0.02
    done
    wait "$pid" || bench_die "$* failed"
    end=$(date +%s%N)
  fi
  echo "$label $(( (end - start) / 1000 )) $user $sys $rss" >> "$work/samples"
}

for ((round = 1; round <= runs; round++)); do
  measure dd dd if="$image" of=/dev/null bs=1M status=none
  for size in "${read_sizes[@]}"; do
    measure "salvex-$size" "$salvex" deep-scan "$swept" --fs fat32 --read-size "$size"
  done
done
found=$(head -2 "$work/salvex-${read_sizes[0]}.out" | tr '\n' ' ')

# LABEL -> "median_ms min_ms median_cpu_ms max_rss_kib"
summary() {
  awk -v label="$1" '$1 == label {
      n++; t[n] = $2 / 1000; c[n] = $3 == "-" ? -1 : ($3 + $4) * 1000
      if (n == 1 || t[n] < mn) mn = t[n]
      if ($5 > rss) rss = $5
    }
    function median(a, n,   i, j, x) {
      for (i = 2; i <= n; i++) { x = a[i]; for (j = i - 1; j > 0 && a[j] > x; j--) a[j + 1] = a[j]; a[j + 1] = x }
      return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
    }
    END { printf "%.1f %.1f %.1f %d\n", median(t, n), mn, median(c, n), rss }' \
    "$work/samples"
}
rate() { awk -v b="$bytes" -v ms="$1" 'BEGIN { printf "%.0f", (ms > 0 ? b / 1048576 / (ms / 1000) : 0) }'; }
# "cpu T ms (R MiB/s)", or nothing when the CPU time is unknown (no GNU time).
cpu_text() { awk -v ms="$1" -v r="$(rate "$1")" 'BEGIN { if (ms >= 0) printf "cpu %.1f ms (%s MiB/s)", ms, r; else printf "cpu unknown" }'; }

read -r dd_ms dd_min dd_cpu _ < <(summary dd)
echo
echo "image:   $image"
echo "         $(( bytes >> 20 )) MiB, cached before: $cached_before, after: $(cached)"
printf '%-22s %8.1f ms (min %.1f)  %6s MiB/s   %s\n' "dd bs=1M:" "$dd_ms" "$dd_min" "$(rate "$dd_ms")" \
  "$(cpu_text "$dd_cpu")"
for size in "${read_sizes[@]}"; do
  read -r ms min cpu rss < <(summary "salvex-$size")
  printf '%-22s %8.1f ms (min %.1f)  %6s MiB/s   %s  peak RSS %.1f MiB\n' "salvex --read-size $size:" "$ms" \
    "$min" "$(rate "$ms")" "$(cpu_text "$cpu")" "$(awk -v k="$rss" 'BEGIN { print k / 1024 }')"
  awk -v d="$dd_ms" -v s="$ms" -v dc="$dd_cpu" -v sc="$cpu" -v size="$size" \
    'BEGIN { printf "  ratio of rates salvex/dd: %.2f elapsed", d / s
             if (sc > 0 && dc >= 0) printf ", %.2f cpu", dc / sc
             if (size == 60) printf (d / s >= 0.8 ? " (target 0.80: met)" : " (target 0.80: not met)")
             printf "\n" }'
done
echo "found:   $found"
if [ -n "$sparse_tib" ]; then
  read -r ms _ < <(summary "salvex-${read_sizes[0]}")
  awk -v d="$dd_ms" -v s="$ms" -v t="$sparse_tib" 'BEGIN {
    printf "sparse:  a %d TiB image holding this data: sweep/dd time %.2f (target at most 1.3: %s)\n", t, s / d,
      (s / d <= 1.3 ? "met" : "not met") }'
fi
echo "         (salvex deep-scan IMAGE --fs fat32, the whole image; medians of $runs rounds)"
bench_load
