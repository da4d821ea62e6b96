#!/usr/bin/env bash
# Makes a disk image for the sweep benchmark: MIB MiB (default 2048) of random
# bytes, real data for the page cache to hold, with a 64 MiB FAT32 volume
# 1 GiB in (or at the middle of a smaller image) holding 2000 files in 100
# folders, so that a deep scan has a boot sector and folders to find. The
# random bytes differ from run to run; nothing in them looks like a folder.
#
# usage: bench/make_sweep_image.sh OUTPUT [MIB]
set -euo pipefail

out=${1:?usage: make_sweep_image.sh OUTPUT [MIB]}
mib=${2:-2048}
case $out in /*) ;; *) out=$PWD/$out ;; esac
for tool in mkfs.fat mcopy head; do
  command -v "$tool" >/dev/null || { echo "make_sweep_image: $tool is missing (run scripts/setup.sh)" >&2; exit 1; }
done
[ "$mib" -ge 128 ] || { echo "make_sweep_image: MIB must be at least 128" >&2; exit 1; }

export LC_ALL=C.UTF-8 MTOOLS_SKIP_CHECK=1
export SOURCE_DATE_EPOCH=1700000000
volume_mib=64
offset_mib=$(( mib / 2 < 1024 ? mib / 2 : 1024 ))

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for ((k = 0; k < 100; k++)); do
  printf -v folder '%s/tree/Folder %03d of the sweep image' "$work" "$k"
  mkdir -p "$folder"
  for ((j = 0; j < 20; j++)); do
    printf -v file '%s/Document %02d with a long name.txt' "$folder" "$j"
    printf 'file %d of folder %d of the sweep benchmark\n' "$j" "$k" > "$file"
  done
done

head -c "${mib}M" /dev/urandom > "$out"
mkfs.fat -F 32 -s 1 -n SWEEP --invariant -i 5a1e0300 --offset=$(( offset_mib * 2048 )) "$out" $(( volume_mib * 1024 )) \
  >/dev/null 2>&1
find "$work/tree" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
(cd "$work/tree" && mcopy -s -m -i "$out@@$(( offset_mib * 1048576 ))" -- * ::/)
exit 0
