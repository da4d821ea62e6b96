#!/usr/bin/env bash
# Makes a FAT32 image of a few large files, for recovery benchmarks where the
# bytes copied outweigh the bookkeeping: FILES files (default 200) of 1 to
# 10 MiB over ten folders, 4 KiB clusters; one file in 20 is deleted again
# (its chain cleared, its clusters consecutive: mcopy wrote it on an empty
# volume). Same inputs, same image: fixed volume id, dates and contents.
#
# usage: bench/make_large_files_image.sh OUTPUT [FILES]
set -euo pipefail

out=${1:?usage: make_large_files_image.sh OUTPUT [FILES]}
files=${2:-200}
case $out in /*) ;; *) out=$PWD/$out ;; esac
for tool in mkfs.fat mcopy mdel awk; do
  command -v "$tool" >/dev/null || { echo "make_large_files_image: $tool is missing (run scripts/setup.sh)" >&2; exit 1; }
done

export LC_ALL=C.UTF-8 MTOOLS_SKIP_CHECK=1
export SOURCE_DATE_EPOCH=1700000000

mib=1048576
size_of() { echo $(( mib + ($1 * 7919 * 4099) % (9 * mib) )); }

total=0
for ((i = 1; i <= files; i++)); do total=$(( total + $(size_of "$i") )); done
# The data, a sixteenth more for the FATs and directories, and never below
# 512 MiB: FAT32 needs at least 65525 clusters.
size_mib=$(( total / mib * 17 / 16 + 64 ))
[ "$size_mib" -ge 512 ] || size_mib=512

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tree="$work/tree"
for ((k = 0; k < 10; k++)); do mkdir -p "$tree/Folder $k Large Archive"; done
: > "$work/delete"
for ((i = 1; i <= files; i++)); do
  rel="Folder $(( i % 10 )) Large Archive/Recording $(printf %04d "$i") of the benchmark.bin"
  # Text that differs from file to file and line to line, made quickly.
  awk -v i="$i" 'BEGIN { for (n = 0; n < 1000; n++) printf "file %06d line %08d of the large-file benchmark image..\n", i, n }' \
    > "$work/block"
  # yes ends by SIGPIPE when head has enough: not a failure.
  { yes "$(cat "$work/block")" || true; } | head -c "$(size_of "$i")" > "$tree/$rel"
  [ $(( i % 20 )) -eq 10 ] && printf '::%s\n' "$rel" >> "$work/delete"
done

rm -f "$out"
truncate -s "${size_mib}M" "$out"
mkfs.fat -F 32 -s 8 -n LARGEFILES --invariant -i 5a1e0200 "$out" >/dev/null
find "$tree" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
(cd "$tree" && mcopy -s -m -i "$out" -- * ::/)
[ -s "$work/delete" ] && xargs -d '\n' mdel -i "$out" < "$work/delete"
exit 0
