#!/usr/bin/env bash
# Builds the libFuzzer harnesses in build-fuzz/ (clang-14, Ninja, two jobs),
# makes the seed corpora when they are missing, and runs each harness for
# SECONDS seconds (default 60). Inputs the fuzzer finds interesting stay in
# fuzz/corpus/<harness>/; crashes, leaks and timeouts land in
# fuzz/artifacts/<harness>/ and make the script fail.
#
#   fuzz/run.sh 15                 what CI runs
#   fuzz/run.sh 600 standard_scan  one harness, longer
#
# Skips (exit 0) when clang++-14 or libFuzzer is not installed.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
harnesses=("$@")
carve_families=(jpg png gif bmp pdf zip mp4 avi wav tif mp3 flac ogg ole rtf 7z rar gz sqlite txt)
if [ ${#harnesses[@]} -eq 0 ]; then
  harnesses=(partition_walk gpt_table volume_parameters directory_decode standard_scan ntfs_record ntfs_scan deep_scan sector_tests snapshot_tree snapshot_advance match_pattern text_matcher rescue_map intact_check desktop_entry exfat_boot_region exfat_entry_set carve_pass)
  for family in "${carve_families[@]}"; do harnesses+=("carve_$family"); done
fi

# The longest input each harness is given: disks hold whole seed images.
max_len() {
  case $1 in
    directory_decode) echo 65536 ;;
    ntfs_record) echo 8192 ;;
    sector_tests) echo 65540 ;;
    partition_walk | gpt_table) echo 262144 ;;
    snapshot_tree | snapshot_advance) echo 65536 ;;
    match_pattern) echo 1024 ;;
    text_matcher) echo 16384 ;;
    rescue_map | intact_check) echo 65536 ;;
    carve_pass) echo 1048576 ;;
    carve_*) echo 262144 ;;
    desktop_entry) echo 8192 ;;
    exfat_entry_set) echo 65536 ;;
    *) echo 1048576 ;;
  esac
}

compiler=${SALVEX_FUZZ_CXX:-clang++-14}
if ! command -v "$compiler" >/dev/null 2>&1; then
  echo "fuzz: skipped, $compiler is not installed (scripts/setup.sh installs clang-14)"
  exit 0
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n' >"$scratch/probe.cpp"
if ! "$compiler" -fsanitize=fuzzer,address,undefined "$scratch/probe.cpp" -o "$scratch/probe" >/dev/null 2>&1; then
  echo "fuzz: skipped, $compiler cannot link libFuzzer (scripts/setup.sh installs libfuzzer-14-dev and libclang-rt-14-dev)"
  exit 0
fi

generator=()
command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
cmake -S . -B build-fuzz "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="$compiler" \
  -DSALVEX_BUILD_FUZZERS=ON -DSALVEX_BUILD_TESTS=OFF -DSALVEX_BUILD_BENCH=OFF -DSALVEX_WERROR=ON >/dev/null
targets=(carve_seeds)
for harness in "${harnesses[@]}"; do targets+=("${harness}_fuzzer"); done
cmake --build build-fuzz -j2 --target "${targets[@]}"

for harness in "${harnesses[@]}"; do
  [[ $harness == carve_* ]] && continue
  if [ -z "$(ls -A "fuzz/corpus/$harness" 2>/dev/null)" ]; then
    fuzz/make-seeds.sh fuzz/corpus
    break
  fi
done
# The carving harnesses' seeds are written by the tests' own file writers.
for harness in "${harnesses[@]}"; do
  if [[ $harness == carve_* ]] && [ -z "$(ls -A "fuzz/corpus/$harness" 2>/dev/null)" ]; then
    build-fuzz/fuzz/carve_seeds fuzz/corpus
    break
  fi
done

export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
limits=(-rss_limit_mb=2048 -timeout=20)
failed=()

# Inputs of fixed bugs: each must now run clean.
replay_regressions() {
  local harness=$1 inputs=() file
  for file in "fuzz/regressions/$harness"/*; do
    [ -f "$file" ] || continue
    if [[ $file == *.xz ]]; then
      command -v xz >/dev/null 2>&1 || { echo "fuzz: xz missing, $file not replayed" >&2; continue; }
      xz -dc "$file" >"$scratch/$(basename "$file" .xz)"
      file=$scratch/$(basename "$file" .xz)
    fi
    inputs+=("$file")
  done
  [ ${#inputs[@]} -gt 0 ] || return 0
  echo "fuzz: $harness: replaying ${#inputs[@]} regression input(s)"
  "build-fuzz/fuzz/${harness}_fuzzer" "${limits[@]}" "${inputs[@]}" >"$scratch/replay.log" 2>&1 && return 0
  echo "fuzz: $harness: a regression input fails again:" >&2
  grep -E '^(Running|==[0-9]+==ERROR|SUMMARY|.*check failed|.*runtime error)' "$scratch/replay.log" >&2 || true
  return 1
}

for harness in "${harnesses[@]}"; do
  replay_regressions "$harness" || failed+=("$harness regressions")
  artifacts=fuzz/artifacts/$harness
  mkdir -p "$artifacts"
  log=$artifacts/last-run.log
  echo "fuzz: $harness for ${seconds}s"
  started=$SECONDS
  status=0
  # -reload=0: one process owns the corpus, and reading back its own large
  # disks every second cost a fifth of the run.
  "build-fuzz/fuzz/${harness}_fuzzer" "fuzz/corpus/$harness" -max_total_time="$seconds" \
    -max_len="$(max_len "$harness")" "${limits[@]}" -reload=0 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -1 || true)
  echo "fuzz: $harness: ${runs:-?} runs in $((SECONDS - started))s, ${coverage:-cov: ?}, corpus $(ls "fuzz/corpus/$harness" | wc -l)"
  if [ "$status" -ne 0 ]; then
    failed+=("$harness")
    echo "fuzz: $harness FAILED (exit $status); the log is $log:" >&2
    grep -E '^(==[0-9]+==ERROR|SUMMARY|.*check failed|.*runtime error|artifact_prefix|Test unit written)' "$log" >&2 || tail -40 "$log" >&2
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: failed: ${failed[*]}; crash inputs are in fuzz/artifacts/<harness>/, replay one with build-fuzz/fuzz/<harness>_fuzzer FILE" >&2
  exit 1
fi
echo "fuzz: ${#harnesses[@]} harness(es) ran ${seconds}s each without a crash"
