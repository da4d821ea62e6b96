#!/usr/bin/env bash
# Runs the classification and mount scaling benchmark at N and 2N folder
# hits and prints, for each of ClassifyFat (with a boot sector, and inferred
# from pairs), MountFat, ClassifyNtfs (both ways) and MountNtfs, the median
# times and their ratio. Linear work gives about 2; quadratic about 4.
#
# usage: bench/classify_scaling.sh [N] [BENCHMARK OPTIONS...]   (default N: 100000)
# environment:
#   SALVEX_CLASSIFY_BENCH  the benchmark binary (default build-bench/bench/salvex_classify_scaling_bench)
#   REPETITIONS            repetitions of each benchmark, for the medians (default 5)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
n=${1:-100000}
[ $# -gt 0 ] && shift

die() { echo "classify_scaling: $*" >&2; exit 1; }

[[ $n =~ ^[1-9][0-9]*$ ]] || die "N must be a positive number, not '$n'"
bench=${SALVEX_CLASSIFY_BENCH:-$root/build-bench/bench/salvex_classify_scaling_bench}
[ -x "$bench" ] || die "no $bench: cmake --build build-bench --target salvex_classify_scaling_bench"
command -v jq >/dev/null || die "jq is missing"

results=$(mktemp)
trap 'rm -f "$results"' EXIT

SALVEX_BENCH_FOLDERS=$n "$bench" --benchmark_repetitions="${REPETITIONS:-5}" \
  --benchmark_report_aggregates_only=true --benchmark_out="$results" --benchmark_out_format=json "$@"

echo
jq -r '
  [.benchmarks[] | select(.aggregate_name == "median")
   | {family: (.run_name | split("/")[0]),
      folders: (.run_name | capture("folders:(?<f>[0-9]+)").f | tonumber),
      real: .real_time, cpu: .cpu_time, unit: .time_unit, found: (.found // null)}]
  | group_by(.family)[]
  | sort_by(.folders) | .[0] as $small | .[-1] as $large
  | select(length > 1)
  | ($large.cpu / $small.cpu) as $ratio
  | def ms: . * 10 | round / 10;
    "\($small.family): \($small.folders) folders \($small.real | ms) \($small.unit) (cpu \($small.cpu | ms)),"
    + " \($large.folders) folders \($large.real | ms) \($large.unit) (cpu \($large.cpu | ms)),"
    + " ratio \($large.real / $small.real * 100 | round / 100) (cpu \($ratio * 100 | round / 100)): "
    + (if $ratio < 2.6 then "about linear"
       elif $ratio < 3.3 then "above linear: rerun on a quiet machine, then count instructions (bench/README.md)"
       else "far above linear: look for quadratic work" end)
    + (if $small.found then " [file systems found: \($small.found), \($large.found)]" else "" end)' "$results"
echo "load: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores (other work on the machine skews the times)"
