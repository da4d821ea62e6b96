#!/usr/bin/env bash
# Times `salvex scan --json` against The Sleuth Kit's `fls -r -p` on the same
# FAT32 image of many small files (bench/make_many_files_image.sh), both warm
# in the page cache, and prints both times, the ratio salvex/fls, and how many
# entries each listed.
#
# usage: bench/scan_vs_fls.sh [FILES]        (default 40000 files)
# environment:
#   SALVEX               the salvex binary (default: build-bench/, then build/)
#   SALVEX_BENCH_IMAGES  where images are kept between runs (default build-bench/bench-images)
#   RUNS, WARMUP         timed and untimed runs of each program (default 10 and 3)
set -euo pipefail
export LC_ALL=C  # one sort order for comm, and "." in the numbers

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
files=${1:-40000}
runs=${RUNS:-10}
warmup=${WARMUP:-3}

die() { echo "scan_vs_fls: $*" >&2; exit 1; }

[[ $files =~ ^[1-9][0-9]*$ ]] || die "FILES must be a positive number, not '$files'"
salvex=${SALVEX:-}
if [ -z "$salvex" ]; then
  for candidate in "$root/build-bench/src/cli/salvex" "$root/build/src/cli/salvex"; do
    if [ -x "$candidate" ]; then salvex=$candidate; break; fi
  done
fi
if [ -z "$salvex" ] || [ ! -x "$salvex" ]; then die "no salvex binary: build it, or set SALVEX"; fi
for tool in fls jq; do
  command -v "$tool" >/dev/null || die "$tool is missing (run scripts/setup.sh)"
done

# Keyed by the file count and by the maker script itself, so a changed layout
# never reuses an old image.
images=${SALVEX_BENCH_IMAGES:-$root/build-bench/bench-images}
maker="$here/make_many_files_image.sh"
key=$(sha256sum "$maker" | cut -c1-12)
image="$images/fat32-${files}-files-$key.img"
if [ ! -f "$image" ]; then
  mkdir -p "$images"
  echo "scan_vs_fls: making $image (once; later runs reuse it)" >&2
  start=$(date +%s)
  "$maker" "$image.partial" "$files"
  mv "$image.partial" "$image"
  echo "scan_vs_fls: made in $(( $(date +%s) - start )) s" >&2
fi
sectors=$(( $(stat -c %s "$image") / 512 ))

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

salvex_args=("$salvex" scan "$image" --start 0 --size "$sectors" --type fat32 --json)
fls_args=(fls -r -p "$image")

# One untimed run of each also fills the page cache and gives the listings
# that are counted below.
"${salvex_args[@]}" > "$work/salvex.json" || die "salvex scan failed"
"${fls_args[@]}" > "$work/fls.txt" || die "fls failed"

# Mean, standard deviation and minimum in milliseconds, one line.
if command -v hyperfine >/dev/null; then
  hyperfine --style basic -N --output null --warmup "$warmup" --runs "$runs" \
    --export-json "$work/times.json" -n salvex "$(printf '%q ' "${salvex_args[@]}")" \
    -n fls "$(printf '%q ' "${fls_args[@]}")" >&2
  stats() {
    jq -r --arg name "$1" '.results[] | select(.command == $name)
      | "\(.mean * 1000) \(.stddev * 1000) \(.min * 1000)"' "$work/times.json"
  }
  # User plus system time: steadier than elapsed time when other work
  # competes for the cores.
  cpu_ms() {
    jq -r --arg name "$1" '.results[] | select(.command == $name) | (.user + .system) * 1000' "$work/times.json"
  }
else
  echo "scan_vs_fls: hyperfine is missing, timing with date" >&2
  time_runs() {  # name command...
    local name=$1 i start
    shift
    for ((i = 0; i < warmup; i++)); do "$@" > /dev/null; done
    for ((i = 0; i < runs; i++)); do
      start=$(date +%s%N)
      "$@" > /dev/null
      echo $(( $(date +%s%N) - start ))
    done > "$work/$name.ns"
  }
  time_runs salvex "${salvex_args[@]}"
  time_runs fls "${fls_args[@]}"
  stats() {
    awk '{ t = $1 / 1e6; s += t; q += t * t; if (NR == 1 || t < m) m = t }
         END { mean = s / NR; v = q / NR - mean * mean; printf "%f %f %f\n", mean, (v > 0 ? sqrt(v) : 0), m }' \
      "$work/$1.ns"
  }
fi
read -r salvex_mean salvex_sd salvex_min < <(stats salvex)
read -r fls_mean fls_sd fls_min < <(stats fls)

# What each program listed. fls also lists the volume label, $MBR, $FAT1,
# $FAT2 and $OrphanFiles with the orphans under it (entries in the later
# clusters of deleted folders, which salvex does not reach); salvex lists no
# empty files (they have no first cluster) and names a deleted 8.3 entry with
# 'x' where fls writes '_'.
read -r s_items s_folders s_files s_deleted < <(jq -r '
  [length, (map(select(.kind == "folder")) | length), (map(select(.kind == "file")) | length),
   (map(select(.deleted)) | length)] | @tsv' "$work/salvex.json")
read -r f_lines f_dirs f_deleted f_orphans f_special < <(awk -F'\t' '
  { n++ }
  $2 ~ /^\$OrphanFiles\// { orphans++; next }
  $1 ~ /^[vV]\/[vV]/ || $2 ~ /\(Volume Label Entry\)$/ { special++; next }
  $1 ~ /^d\/d/ { d++ }
  $1 ~ / \* / { del++ }
  END { printf "%d %d %d %d %d\n", n, d, del, orphans, special }' "$work/fls.txt")
jq -r '.[] | select(.path != null) | .path' "$work/salvex.json" | sort > "$work/salvex.paths"
cut -f2- "$work/fls.txt" | sort > "$work/fls.paths"
both=$(comm -12 "$work/salvex.paths" "$work/fls.paths" | wc -l)
salvex_only=$(comm -23 "$work/salvex.paths" "$work/fls.paths" | wc -l)
fls_only=$(comm -13 "$work/salvex.paths" "$work/fls.paths" | wc -l)

echo
echo "image:   $image"
echo "         $files files asked for, $sectors sectors ($(( sectors / 2048 )) MiB), warm in the page cache"
printf 'salvex:  %9.1f ms ± %.1f (min %.1f)   %s > /dev/null\n' "$salvex_mean" "$salvex_sd" "$salvex_min" \
  "${salvex_args[*]}"
printf 'fls:     %9.1f ms ± %.1f (min %.1f)   %s > /dev/null\n' "$fls_mean" "$fls_sd" "$fls_min" "${fls_args[*]}"
awk -v sm="$salvex_mean" -v fm="$fls_mean" -v sn="$salvex_min" -v fn="$fls_min" \
  'BEGIN { printf "ratio salvex/fls: %.2f (means), %.2f (minimums)\n", sm / fm, sn / fn }'
if declare -F cpu_ms >/dev/null; then
  awk -v s="$(cpu_ms salvex)" -v f="$(cpu_ms fls)" \
    'BEGIN { printf "cpu (user+sys): salvex %.1f ms, fls %.1f ms, ratio %.2f\n", s, f, s / f }'
fi
echo "entries: salvex $s_items items ($s_folders folders, $s_files files, $s_deleted deleted)"
echo "         fls $f_lines lines ($f_dirs directories, $f_deleted deleted in the tree," \
  "$f_orphans under \$OrphanFiles, $f_special label and special files)"
echo "         paths: $both listed by both, $salvex_only by salvex only, $fls_only by fls only"
echo "load:    $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores (other work on the machine skews the times)"
