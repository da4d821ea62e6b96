# shellcheck shell=bash
# Shared by the benchmark scripts (sourced, not run): the salvex binary, the
# image cache, hyperfine's numbers and the load line. Set `bench_name` first.

bench_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
bench_root=$(dirname "$bench_here")

bench_die() { echo "${bench_name:-bench}: $*" >&2; exit 1; }

bench_need() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || bench_die "$tool is missing (run scripts/setup.sh)"
  done
}

# Sets `salvex`: $SALVEX, else build-bench/, else build/.
bench_find_salvex() {
  salvex=${SALVEX:-}
  if [ -z "$salvex" ]; then
    local candidate
    for candidate in "$bench_root/build-bench/src/cli/salvex" "$bench_root/build/src/cli/salvex"; do
      if [ -x "$candidate" ]; then salvex=$candidate; break; fi
    done
  fi
  if [ -z "$salvex" ] || [ ! -x "$salvex" ]; then bench_die "no salvex binary: build it, or set SALVEX"; fi
}

# Prints the path of the cached image NAME made by `MAKER OUTPUT ARGS...`,
# making it first when missing. The name carries a hash of the maker and of
# the tree writer the makers share, so a changed layout never reuses an old
# image. Returns the maker's status when
# it fails (77: a tool it needs is unavailable here).
bench_cached_image() {
  local name=$1 maker=$2
  shift 2
  local images=${SALVEX_BENCH_IMAGES:-$bench_root/build-bench/bench-images}
  local key
  key=$(cat "$maker" "$bench_here/write_file_tree.sh" | sha256sum | cut -c1-12)
  local image="$images/$name-$key.img"
  if [ ! -f "$image" ]; then
    mkdir -p "$images"
    echo "${bench_name:-bench}: making $image (once; later runs reuse it)" >&2
    local start
    start=$(date +%s)
    local status=0
    "$maker" "$image.partial" "$@" || status=$?
    if [ "$status" -ne 0 ]; then
      rm -f "$image.partial"
      [ "$status" -eq 77 ] || echo "${bench_name:-bench}: $maker failed" >&2
      return "$status"
    fi
    mv "$image.partial" "$image"
    echo "${bench_name:-bench}: made in $(( $(date +%s) - start )) s" >&2
  fi
  echo "$image"
}

# "mean stddev min" in milliseconds, and user plus system time, of the command
# named NAME in hyperfine's JSON export FILE.
bench_stats() {
  jq -r --arg name "$2" '.results[] | select(.command == $name)
    | "\(.mean * 1000) \(.stddev // 0 | . * 1000) \(.min * 1000)"' "$1"
}
bench_cpu_ms() {
  jq -r --arg name "$2" '.results[] | select(.command == $name) | (.user + .system) * 1000' "$1"
}

bench_load() { echo "load:    $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores (other work on the machine skews the times)"; }

# The file system a path lies on, as df names it.
bench_fs_of() { df --output=fstype,target "$1" | tail -1 | awk '{ print $1 " (" $2 ")" }'; }

# Runs a Google Benchmark scaling binary whose benchmarks take a `folders`
# argument (SALVEX_BENCH_FOLDERS sets the smallest), then prints for each
# family the medians (the single run when REPETITIONS=1) at the smallest
# and largest size and their CPU-time ratio, judged "about linear" below
# LINEAR and "above linear" below HIGH.
# usage: bench_scaling_report BINARY FOLDERS LINEAR HIGH [BENCHMARK OPTIONS...]
bench_scaling_report() {
  local binary=$1 folders=$2 linear=$3 high=$4
  shift 4
  [[ $folders =~ ^[1-9][0-9]*$ ]] || bench_die "N must be a positive number, not '$folders'"
  [ -x "$binary" ] || bench_die "no $binary: cmake --build build-bench --target $(basename "$binary")"
  bench_need jq

  local results
  results=$(mktemp)
  SALVEX_BENCH_FOLDERS=$folders "$binary" --benchmark_repetitions="${REPETITIONS:-5}" \
    --benchmark_report_aggregates_only=true --benchmark_out="$results" --benchmark_out_format=json "$@" ||
    { rm -f "$results"; bench_die "$binary failed"; }

  echo
  jq -r --argjson linear "$linear" --argjson high "$high" '
    [.benchmarks[] | select((.aggregate_name // "median") == "median")
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
      + (if $ratio < $linear then "about linear"
         elif $ratio < $high then "above linear: rerun on a quiet machine, then count instructions (bench/README.md)"
         else "far above linear: look for quadratic work" end)
      + (if $small.found then " [file systems found: \($small.found), \($large.found)]" else "" end)' "$results"
  rm -f "$results"
  bench_load
}
