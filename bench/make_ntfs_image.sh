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

"$(dirname "$0")/write_file_tree.sh" "$tree" "$work" "$files" "$folders"

rm -f "$out"
truncate -s "${size_mib}M" "$out"
mkntfs --force --quick --zero-time --quiet --label MANYFILES --cluster-size 4096 "$out" >/dev/null 2>&1
ntfs-3g "$out" "$mnt" 2>"$work/mount.err" || skip "ntfs-3g cannot mount here (FUSE unavailable?): $(cat "$work/mount.err")"
cp -r "$tree"/. "$mnt"/
(cd "$mnt" && [ -s "$work/delete-files" ] && sed 's|^/||' "$work/delete-files" | xargs -d '\n' rm -f --)
(cd "$mnt" && [ -s "$work/delete-trees" ] && sed 's|^/||' "$work/delete-trees" | xargs -d '\n' rm -rf --)
umount "$mnt" 2>/dev/null || fusermount -u "$mnt"
exit 0
