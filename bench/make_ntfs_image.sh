#!/usr/bin/env bash
# Makes an NTFS image holding many small files, for the benchmarks against
# The Sleuth Kit: FILES files (default 40000) of 1 byte to 3 KiB (the smaller
# ones resident in their MFT records) over FILES/128 folders, six subfolders
# a folder, most names long, some non-ASCII; one file in 150 and four folder
# trees are deleted again. mkntfs formats it, ntfs-3g (FUSE) mounts it and cp
# fills it from a tree written on the host first. Exits 77 when FUSE or
# ntfs-3g is unavailable. Unlike the FAT images, two runs differ in volume
# serial, times and record order.
#
# usage: bench/make_ntfs_image.sh OUTPUT [FILES]
set -euo pipefail

out=${1:?usage: make_ntfs_image.sh OUTPUT [FILES]}
files=${2:-40000}
case $out in /*) ;; *) out=$PWD/$out ;; esac
skip() { echo "make_ntfs_image: $*" >&2; exit 77; }
for tool in mkntfs ntfs-3g awk; do
  command -v "$tool" >/dev/null || skip "$tool is missing (run scripts/setup.sh)"
done
[ -c /dev/fuse ] || skip "no /dev/fuse: FUSE is unavailable here"

export LC_ALL=C.UTF-8
folders=$((files / 128 > 0 ? files / 128 : 1))
# A 4 KiB cluster and a 1 KiB MFT record per file, a quarter more, and never
# below 256 MiB.
size_mib=$(((files * 5 * 5 / 4 + 1023) / 1024 + 64))
[ "$size_mib" -ge 256 ] || size_mib=256

work=$(mktemp -d)
mnt="$work/mnt"
mkdir "$mnt"
cleanup() {
  if mountpoint -q "$mnt"; then umount "$mnt" || fusermount -u "$mnt" || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
tree="$work/tree"
mkdir "$tree"

awk -v files="$files" -v folders="$folders" -v tree="$tree" \
    -v delfiles="$work/delete-files" -v deltrees="$work/delete-trees" -v dirs="$work/dirs" '
function folder_name(k,   words) {
  if (k % 4 == 0) return sprintf("DIR%05d", k)
  split("Quarterly Reports|Holiday Photos 2023|Customer Invoices|Project Archive|Music Collection|Old Backups", words, "|")
  return sprintf("Folder %04d %s", k, words[k % 6 + 1])
}
function file_name(i) {
  if (i % 5 == 0) return sprintf("F%07d.TXT", i)
  if (i % 5 == 1) return sprintf("d%07d.txt", i)
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
    if (i % 150 == 75) print rel > delfiles
  }
  for (k = folders; k > folders - 4 * 7 && 6 * k + 1 > folders; k -= 7) print path[k] > deltrees
}'

rm -f "$out"
truncate -s "${size_mib}M" "$out"
mkntfs --force --quick --zero-time --quiet --label MANYFILES --cluster-size 4096 "$out" >/dev/null 2>&1
ntfs-3g "$out" "$mnt" 2>"$work/mount.err" || skip "ntfs-3g cannot mount here (FUSE unavailable?): $(cat "$work/mount.err")"
cp -r "$tree"/. "$mnt"/
(cd "$mnt" && [ -s "$work/delete-files" ] && sed 's|^/||' "$work/delete-files" | xargs -d '\n' rm -f --)
(cd "$mnt" && [ -s "$work/delete-trees" ] && sed 's|^/||' "$work/delete-trees" | xargs -d '\n' rm -rf --)
umount "$mnt" 2>/dev/null || fusermount -u "$mnt"
exit 0
