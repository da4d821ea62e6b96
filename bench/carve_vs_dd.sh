#!/usr/bin/env bash
# Times `salvex carve IMAGE --partition 1` over a 2 GiB image whose FAT32
# volume was formatted again after it was filled with photos, sound and
# archives (bench/make_carve_image.sh: every cluster free, every one a
# file's), with every type carved, against `dd if=IMAGE of=/dev/null bs=1M`
# (the rate of reading it, the image warm in the page cache), and, when
# PhotoRec is installed (Debian's testdisk), against
# `photorec /cmd IMAGE partition_none,fileopt,everything,enable,search`
# (CPU time). Both carvers write into a folder on a tmpfs (/dev/shm), so
# that writing costs no disk time. Prints each program's time, rate and
# CPU time, how many files each wrote, and the two ratios: salvex's rate
# over dd's (the target: 0.8 or more) and salvex's CPU time over
# PhotoRec's (the target: 0.5 or less). The programs take turns, round
# after round.
#
# usage: bench/carve_vs_dd.sh [MIB]          (default 2048)
# environment:
#   SALVEX               the salvex binary (default: build-bench/, then build/)
#   SALVEX_BENCH_IMAGES  where images are kept between runs (default build-bench/bench-images)
#   RUNS                 rounds (default 3); the medians are reported
#   OUT_ROOT             where the carvers write (default /dev/shm)
#   GNU_TIME             GNU time (default /usr/bin/time)
set -euo pipefail
export LC_ALL=C

bench_name=carve_vs_dd
# shellcheck source=bench_lib.sh
source "$(dirname "$0")/bench_lib.sh"

mib=${1:-2048}
runs=${RUNS:-3}
[[ $mib =~ ^[1-9][0-9]*$ ]] || bench_die "MIB must be a positive number, not '$mib'"
bench_find_salvex
bench_need dd
gnu_time=${GNU_TIME:-/usr/bin/time}
[ -x "$gnu_time" ] || bench_die "GNU time is missing ($gnu_time): the CPU times need it"
out_root=${OUT_ROOT:-/dev/shm}

status=0
image=$(bench_cached_image "carve-$mib-mib" "$bench_here/make_carve_image.sh" "$mib") || status=$?
[ "$status" -eq 0 ] || { [ "$status" -eq 77 ] && echo "$bench_name: skipped (a tool is missing)"; exit "$status"; }
bytes=$(stat -c %s "$image")

work=$(mktemp -d)
outs=$(mktemp -d "$out_root/carve-bench.XXXXXX")
trap 'rm -rf "$work" "$outs"' EXIT
cat "$image" > /dev/null

photorec=$(command -v photorec || true)

# Appends "LABEL MICROSECONDS USER SYSTEM PEAK_RSS_KIB FILES" to the samples.
measure() {
  local label=$1 out=$outs/$1
  shift
  rm -rf "$out"
  mkdir -p "$out"
  local start end user sys rss
  start=$(date +%s%N)
  (cd "$out" && "$gnu_time" -f '%U %S %M' -o "$work/time.txt" "$@" > "$work/$label.out" 2> "$work/$label.err") ||
    bench_die "$* failed: $(tail -3 "$work/$label.err")"
  end=$(date +%s%N)
  read -r user sys rss < "$work/time.txt"
  local files
  files=$(find "$out" -type f ! -name report.xml ! -name '*.log' | wc -l)
  echo "$label $(( (end - start) / 1000 )) $user $sys $rss $files" >> "$work/samples"
  rm -rf "$out"
}

for ((round = 1; round <= runs; round++)); do
  measure dd dd if="$image" of=/dev/null bs=1M status=none
  measure salvex "$salvex" carve "$image" --partition 1 --out "$outs/salvex/files"
  if [ -n "$photorec" ]; then
    measure photorec "$photorec" /d "$outs/photorec/recup" /cmd "$image" partition_none,fileopt,everything,enable,search
  fi
done

# LABEL -> "median_ms median_cpu_ms max_rss_kib files"
summary() {
  awk -v label="$1" '$1 == label {
      n++; t[n] = $2 / 1000; c[n] = ($3 + $4) * 1000
      if ($5 > rss) rss = $5
      files = $6
    }
    function median(a, n,   i, j, x) {
      for (i = 2; i <= n; i++) { x = a[i]; for (j = i - 1; j > 0 && a[j] > x; j--) a[j + 1] = a[j]; a[j + 1] = x }
      return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
    }
    END { printf "%.1f %.1f %d %d\n", median(t, n), median(c, n), rss, files }' "$work/samples"
}
rate() { awk -v b="$bytes" -v ms="$1" 'BEGIN { printf "%.0f", (ms > 0 ? b / 1048576 / (ms / 1000) : 0) }'; }

read -r dd_ms dd_cpu _ _ < <(summary dd)
read -r sx_ms sx_cpu sx_rss sx_files < <(summary salvex)
echo
echo "image:   $image ($(( bytes >> 20 )) MiB, FAT32 formatted again over photos, sound and archives)"
printf '%-10s %9.1f ms  %6s MiB/s  cpu %9.1f ms\n' "dd bs=1M" "$dd_ms" "$(rate "$dd_ms")" "$dd_cpu"
printf '%-10s %9.1f ms  %6s MiB/s  cpu %9.1f ms  peak RSS %.1f MiB  %d files\n' "salvex" "$sx_ms" "$(rate "$sx_ms")" \
  "$sx_cpu" "$(awk -v k="$sx_rss" 'BEGIN { print k / 1024 }')" "$sx_files"
awk -v d="$dd_ms" -v s="$sx_ms" 'BEGIN { printf "ratio of rates salvex/dd: %.2f (target 0.80: %s)\n", d / s, (d / s >= 0.8 ? "met" : "not met") }'
if [ -n "$photorec" ]; then
  read -r pr_ms pr_cpu pr_rss pr_files < <(summary photorec)
  printf '%-10s %9.1f ms  %6s MiB/s  cpu %9.1f ms  peak RSS %.1f MiB  %d files\n' "photorec" "$pr_ms" \
    "$(rate "$pr_ms")" "$pr_cpu" "$(awk -v k="$pr_rss" 'BEGIN { print k / 1024 }')" "$pr_files"
  awk -v p="$pr_cpu" -v s="$sx_cpu" 'BEGIN { printf "ratio of CPU times salvex/photorec: %.2f (target 0.50: %s)\n", s / p, (s / p <= 0.5 ? "met" : "not met") }'
else
  echo "photorec: not installed (Debian's testdisk package), no CPU ratio"
fi
echo "         (medians of $runs rounds; salvex carve IMAGE --partition 1, every type)"
bench_load
