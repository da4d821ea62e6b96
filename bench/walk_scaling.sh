#!/usr/bin/env bash
# Runs the walk scaling benchmark at N and 4N folders and prints, for the
# Standard Scan, for the store-and-tree step alone, and for a volume nested
# N/50 and 4N/50 deep, the median times and their ratio. Linear work gives
# about 4; quadratic work gives about 16.
#
# usage: bench/walk_scaling.sh [N] [BENCHMARK OPTIONS...]   (default N: 25000)
# environment:
#   SALVEX_WALK_BENCH  the benchmark binary (default build-bench/bench/salvex_walk_scaling_bench)
#   REPETITIONS        repetitions of each benchmark, for the medians (default 5)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
n=${1:-25000}
[ $# -gt 0 ] && shift

die() { echo "walk_scaling: $*" >&2; exit 1; }

[[ $n =~ ^[1-9][0-9]*$ ]] || die "N must be a positive number, not '$n'"
bench=${SALVEX_WALK_BENCH:-$root/build-bench/bench/salvex_walk_scaling_bench}
[ -x "$bench" ] || die "no $bench: cmake --build build-bench --target salvex_walk_scaling_bench"
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
      real: .real_time, cpu: .cpu_time, unit: .time_unit}]
  | group_by(.family)[]
  | sort_by(.folders) | .[0] as $small | .[-1] as $large
  | select(length > 1)
  | ($large.cpu / $small.cpu) as $ratio
  | def ms: . * 10 | round / 10;
    "\($small.family): \($small.folders) folders \($small.real | ms) \($small.unit) (cpu \($small.cpu | ms)),"
    + " \($large.folders) folders \($large.real | ms) \($large.unit) (cpu \($large.cpu | ms)),"
    + " ratio \($large.real / $small.real * 100 | round / 100) (cpu \($ratio * 100 | round / 100)): "
    + (if $ratio < 7 then "about linear"
       elif $ratio < 11 then "above linear: rerun on a quiet machine, then count instructions (bench/README.md)"
       else "far above linear: look for quadratic work" end)' "$results"
echo "load: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores (other work on the machine skews the times)"
