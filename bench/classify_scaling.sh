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
bench_name=classify_scaling
# shellcheck source=bench_lib.sh
source "$(dirname "$0")/bench_lib.sh"

n=${1:-100000}
[ $# -gt 0 ] && shift
bench_scaling_report "${SALVEX_CLASSIFY_BENCH:-$bench_root/build-bench/bench/salvex_classify_scaling_bench}" \
  "$n" 2.6 3.3 "$@"
