#!/usr/bin/env bash
# Makes a FAT32 image holding many small files, for the benchmarks against
# The Sleuth Kit: FILES files (default 40000) spread over FILES/128 folders,
# six subfolders per folder (so four or five levels deep), most names long
# (some with non-ASCII letters), sizes from 1 byte to 3 KiB. A few hundred
# files and a handful of folder trees are then deleted, so the volume holds
# deleted entries too. Same inputs, same image: fixed volume id and dates
# (mkfs.fat ignores SOURCE_DATE_EPOCH for its label entry: --invariant).
#
# usage: bench/make_many_files_image.sh OUTPUT [FILES]
set -euo pipefail

out=${1:?usage: make_many_files_image.sh OUTPUT [FILES]}
files=${2:-40000}
case $out in /*) ;; *) out=$PWD/$out ;; esac
for tool in mkfs.fat mcopy mdel mdeltree awk; do
  command -v "$tool" >/dev/null || { echo "make_many_files_image: $tool is missing (run scripts/setup.sh)" >&2; exit 1; }
done

export LC_ALL=C.UTF-8 MTOOLS_SKIP_CHECK=1
export SOURCE_DATE_EPOCH=1700000000   # 14-11-2023

folders=$((files / 128 > 0 ? files / 128 : 1))
# One 4 KiB cluster per file, a quarter more for the directories, and never
# below 512 MiB: FAT32 needs at least 65525 clusters.
size_mib=$(((files * 4 * 5 / 4 + 1023) / 1024 + 64))
[ "$size_mib" -ge 512 ] || size_mib=512

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tree="$work/tree"
mkdir "$tree"

"$(dirname "$0")/write_file_tree.sh" "$tree" "$work" "$files" "$folders"

rm -f "$out"
truncate -s "${size_mib}M" "$out"
mkfs.fat -F 32 -s 8 -n MANYFILES --invariant -i 5a1e0040 "$out" >/dev/null
# Fixed host times as well, so every entry's dates are the same at every run.
find "$tree" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
# mcopy -s copies whole trees in one call; one call per file would take hours.
(cd "$tree" && mcopy -s -m -i "$out" -- * ::/)
[ -s "$work/delete-files" ] && sed 's|^|::|' "$work/delete-files" | xargs -d '\n' mdel -i "$out"
[ -s "$work/delete-trees" ] && sed 's|^|::|' "$work/delete-trees" | xargs -d '\n' mdeltree -i "$out"
exit 0
