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

# Writes the tree on the host and lists, for the deletions, the files and
# folders to remove (volume paths, one a line).
awk -v files="$files" -v folders="$folders" -v tree="$tree" \
    -v delfiles="$work/delete-files" -v deltrees="$work/delete-trees" -v dirs="$work/dirs" '
function folder_name(k,   words) {
  if (k % 4 == 0) return sprintf("DIR%05d", k)  # a plain 8.3 name: no long-name entries
  split("Quarterly Reports|Holiday Photos 2023|Customer Invoices|Project Archive|Music Collection|Old Backups", words, "|")
  return sprintf("Folder %04d %s", k, words[k % 6 + 1])
}
function file_name(i) {
  if (i % 5 == 0) return sprintf("F%07d.TXT", i)
  if (i % 5 == 1) return sprintf("d%07d.txt", i)  # lower case, kept as case flags: no long name
  if (i % 5 == 2) return sprintf("Meeting notes %06d - final version.docx", i)
  if (i % 5 == 3) return sprintf("Photo %06d taken on holiday at the seaside.jpg", i)
  return sprintf("Résumé café %06d naïve.pdf", i)
}
BEGIN {
  filler = ""
  for (n = 0; n < 64; n++) filler = filler "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ.\n"
  path[0] = ""
  for (k = 1; k <= folders; k++) {
    path[k] = path[int((k - 1) / 6)] "/" folder_name(k)
    print tree path[k] > dirs
  }
  close(dirs)
  system("xargs -d \"\\n\" mkdir -p < \"" dirs "\"")
  for (i = 1; i <= files; i++) {
    k = i % (folders + 1)
    rel = path[k] "/" file_name(i)
    size = 1 + (i * 7919) % 3072
    text = sprintf("file %d of the benchmark image\n", i)
    printf "%s", substr(text filler, 1, size) > (tree rel)
    close(tree rel)
    if (i % 150 == 75) print "::" rel > delfiles
  }
  # Four of the deepest folders (leaves of the tree) go whole.
  for (k = folders; k > folders - 4 * 7 && 6 * k + 1 > folders; k -= 7) print "::" path[k] > deltrees
}'

rm -f "$out"
truncate -s "${size_mib}M" "$out"
mkfs.fat -F 32 -s 8 -n MANYFILES --invariant -i 5a1e0040 "$out" >/dev/null
# Fixed host times as well, so every entry's dates are the same at every run.
find "$tree" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
# mcopy -s copies whole trees in one call; one call per file would take hours.
(cd "$tree" && mcopy -s -m -i "$out" -- * ::/)
[ -s "$work/delete-files" ] && xargs -d '\n' mdel -i "$out" < "$work/delete-files"
[ -s "$work/delete-trees" ] && xargs -d '\n' mdeltree -i "$out" < "$work/delete-trees"
exit 0
