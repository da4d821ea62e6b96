#!/usr/bin/env bash
# Times `salvex scan --type ntfs --json` against The Sleuth Kit's `fls -r -p`
# on the same NTFS image of many small files (bench/make_ntfs_image.sh), both
# warm in the page cache, and prints both times, the ratio salvex/fls, and
# how many entries each listed. Skips (status 0) when FUSE or ntfs-3g, which
# the image needs, is unavailable.
#
# usage: bench/ntfs_scan_vs_fls.sh [FILES]      (default 40000 files)
# environment:
#   SALVEX               the salvex binary (default: build-bench/, then build/)
#   SALVEX_BENCH_IMAGES  where images are kept between runs (default build-bench/bench-images)
#   RUNS, WARMUP         timed and untimed runs of each program (default 10 and 3)
set -euo pipefail
export LC_ALL=C

bench_name=ntfs_scan_vs_fls
# shellcheck source=bench_lib.sh
source "$(dirname "$0")/bench_lib.sh"

files=${1:-40000}
runs=${RUNS:-10}
warmup=${WARMUP:-3}
[[ $files =~ ^[1-9][0-9]*$ ]] || bench_die "FILES must be a positive number, not '$files'"
bench_find_salvex
bench_need fls hyperfine jq

status=0
image=$(bench_cached_image "ntfs-$files-files" "$bench_here/make_ntfs_image.sh" "$files") || status=$?
if [ "$status" -eq 77 ]; then
  echo "$bench_name: skipped: the NTFS image cannot be made here (see above)"
  exit 0
fi
[ "$status" -eq 0 ] || exit "$status"
sectors=$(( $(stat -c %s "$image") / 512 ))

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

salvex_args=("$salvex" scan "$image" --start 0 --size "$sectors" --type ntfs --json)
fls_args=(fls -r -p "$image")

# One untimed run of each fills the page cache and gives the listings that
# are counted below.
"${salvex_args[@]}" > "$work/salvex.json" || bench_die "salvex scan failed"
"${fls_args[@]}" > "$work/fls.txt" || bench_die "fls failed"

hyperfine --style basic -N --output null --warmup "$warmup" --runs "$runs" --export-json "$work/times.json" \
  -n salvex "$(printf '%q ' "${salvex_args[@]}")" -n fls "$(printf '%q ' "${fls_args[@]}")" >&2
read -r salvex_mean salvex_sd salvex_min < <(bench_stats "$work/times.json" salvex)
read -r fls_mean fls_sd fls_min < <(bench_stats "$work/times.json" fls)

# fls lists besides the tree the system files ($MFT, ...), one line per named
# stream ("$Secure:$SDS"), names left in index blocks after their records
# were reused ("-/r *") and $OrphanFiles with the records no folder names.
read -r s_items s_folders s_files s_deleted s_lost < <(jq -r '
  [length, (map(select(.kind == "folder")) | length), (map(select(.kind == "file")) | length),
   (map(select(.deleted)) | length), (map(select(.path == null)) | length)] | @tsv' "$work/salvex.json")
read -r f_lines f_dirs f_deleted f_orphans f_system f_streams < <(awk -F'\t' '
  { n++ }
  $2 ~ /^\$OrphanFiles(\/|$)/ { orphans++; next }
  $2 ~ /^\$/ { sysfiles++; next }
  $2 ~ /:/ { streams++ }
  $1 ~ /^.\/d/ { d++ }
  $1 ~ / \* / { del++ }
  END { printf "%d %d %d %d %d %d\n", n, d, del, orphans, sysfiles, streams }' "$work/fls.txt")
jq -r '.[] | select(.path != null) | .path' "$work/salvex.json" | sort -u > "$work/salvex.paths"
cut -f2- "$work/fls.txt" | sort -u > "$work/fls.paths"
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
echo "entries: salvex $s_items items ($s_folders folders, $s_files files, $s_deleted deleted, $s_lost unreachable from the root)"
echo "         fls $f_lines lines ($f_dirs directories, $f_deleted deleted in the tree, $f_orphans under \$OrphanFiles,"
echo "         $f_system system files and their streams, $f_streams other named streams)"
echo "         paths: $both listed by both, $salvex_only by salvex only, $fls_only by fls only"
bench_load
