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
bench_name=walk_scaling
# shellcheck source=bench_lib.sh
source "$(dirname "$0")/bench_lib.sh"

n=${1:-25000}
[ $# -gt 0 ] && shift
bench_scaling_report "${SALVEX_WALK_BENCH:-$bench_root/build-bench/bench/salvex_walk_scaling_bench}" \
  "$n" 7 11 "$@"
