#!/usr/bin/env bash
# Times `salvex scan --json` against The Sleuth Kit's `fls -r -p` on the same
# FAT32 image of many small files (bench/make_many_files_image.sh), or with
# SCAN_FS=exfat the same tree on exFAT (bench/make_many_exfat_image.sh), both
# warm in the page cache, and prints both times, the ratio salvex/fls, and
# how many entries each listed.
#
# usage: bench/scan_vs_fls.sh [FILES]        (default 40000 files; exFAT 10000)
# environment:
#   SCAN_FS              fat32 (default) or exfat
#   SALVEX               the salvex binary (default: build-bench/, then build/)
#   SALVEX_BENCH_IMAGES  where images are kept between runs (default build-bench/bench-images)
#   RUNS, WARMUP         timed and untimed runs of each program (default 10 and 3)
set -euo pipefail
export LC_ALL=C  # one sort order for comm, and "." in the numbers

bench_name=scan_vs_fls
# shellcheck source=bench_lib.sh
source "$(dirname "$0")/bench_lib.sh"
fs_type=${SCAN_FS:-fat32}
case $fs_type in
  fat32) maker=make_many_files_image.sh default_files=40000 ;;
  exfat) maker=make_many_exfat_image.sh default_files=10000 ;;
  *) bench_die "SCAN_FS must be fat32 or exfat, not '$fs_type'" ;;
esac
files=${1:-$default_files}
runs=${RUNS:-10}
warmup=${WARMUP:-3}

[[ $files =~ ^[1-9][0-9]*$ ]] || bench_die "FILES must be a positive number, not '$files'"
bench_find_salvex
bench_need fls jq hyperfine
image=$(bench_cached_image "$fs_type-$files-files" "$bench_here/$maker" "$files")
sectors=$(( $(stat -c %s "$image") / 512 ))

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

salvex_args=("$salvex" scan "$image" --start 0 --size "$sectors" --type "$fs_type" --json)
fls_args=(fls -r -p "$image")

# One untimed run of each also fills the page cache and gives the listings
# that are counted below.
"${salvex_args[@]}" > "$work/salvex.json" || bench_die "salvex scan failed"
"${fls_args[@]}" > "$work/fls.txt" || bench_die "fls failed"

hyperfine --style basic -N --output null --warmup "$warmup" --runs "$runs" --export-json "$work/times.json" \
  -n salvex "$(printf '%q ' "${salvex_args[@]}")" -n fls "$(printf '%q ' "${fls_args[@]}")" >&2
read -r salvex_mean salvex_sd salvex_min < <(bench_stats "$work/times.json" salvex)
read -r fls_mean fls_sd fls_min < <(bench_stats "$work/times.json" fls)

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
awk -v s="$(bench_cpu_ms "$work/times.json" salvex)" -v f="$(bench_cpu_ms "$work/times.json" fls)" \
  'BEGIN { printf "cpu (user+sys): salvex %.1f ms, fls %.1f ms, ratio %.2f\n", s, f, s / f }'
echo "entries: salvex $s_items items ($s_folders folders, $s_files files, $s_deleted deleted)"
echo "         fls $f_lines lines ($f_dirs directories, $f_deleted deleted in the tree," \
  "$f_orphans under \$OrphanFiles, $f_special label and special files)"
echo "         paths: $both listed by both, $salvex_only by salvex only, $fls_only by fls only"
bench_load
