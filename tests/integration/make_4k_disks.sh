#!/bin/bash
# Builds disks and volumes of 4096-byte sectors in $1, as 4Kn disks and
# USB enclosures present them, with the real tools only:
#   fat32.img fat16.img fat12.img  volumes made whole by mkfs.fat -S 4096
#   ntfs.img                      mkntfs -s 4096 (4096-byte file records)
# and, when loop devices and mount.exfat-fuse work (root):
#   exfat.img                     mkfs.exfat on a loop device of 4096-byte sectors
#   gpt.img mbr.img               sfdisk on such a device: FAT16 then exFAT
# The files put on them are kept in $1/files for comparison. Prints
# "loop" on its last line when the loop-device images were made.
set -euo pipefail
dir=$1
files=$dir/files
mkdir -p "$files" "$dir/mnt"
export MTOOLS_SKIP_CHECK=1 SOURCE_DATE_EPOCH=946728000

# Deterministic bytes: a counter, so that a shifted or misplaced block shows.
python3 - "$files" <<'PY'
import sys, os
d = sys.argv[1]
for name, size in (("a.bin", 70000), ("b.txt", 3000), ("gone.bin", 9000), ("c.bin", 50000)):
    with open(os.path.join(d, name), "wb") as f:
        f.write(bytes((i * 7 + len(name) + (i >> 11)) & 0xFF for i in range(size)))
PY

fill_fat() {  # image-or-device [mtools offset]
  local target=$1
  mcopy -i "$target" "$files/a.bin" "$files/gone.bin" ::
  mmd -i "$target" ::DOCS
  mcopy -i "$target" "$files/b.txt" ::DOCS/B.TXT
  mdel -i "$target" ::GONE.BIN
}

fill_exfat() {  # mounted folder
  cp "$files/a.bin" "$files/gone.bin" "$1/"
  mkdir "$1/Docs"
  cp "$files/b.txt" "$1/Docs/"
  sync
  rm "$1/gone.bin"
}

for layout in "fat32 32 300M" "fat16 16 64M" "fat12 12 8M"; do
  set -- $layout
  rm -f "$dir/$1.img"
  truncate -s "$3" "$dir/$1.img"
  mkfs.fat -F "$2" -S 4096 -i 5A1E4096 "$dir/$1.img" >/dev/null
  fill_fat "$dir/$1.img"
done

rm -f "$dir/ntfs.img"
truncate -s 64M "$dir/ntfs.img"
mkntfs -q -F -f -s 4096 "$dir/ntfs.img" >/dev/null 2>&1

# The rest needs loop devices of 4096-byte sectors and a FUSE exFAT mount.
if [ "$(id -u)" != 0 ] || [ ! -e /dev/fuse ] || ! command -v mount.exfat-fuse >/dev/null; then exit 0; fi
loops=()
cleanup() {
  mountpoint -q "$dir/mnt" && umount "$dir/mnt"
  for l in "${loops[@]}"; do losetup -d "$l" 2>/dev/null || true; done
}
trap cleanup EXIT
attach() {  # image [offset size]: prints the loop device
  local l
  if [ $# -gt 1 ]; then
    l=$(losetup -f --show --sector-size 4096 -o "$2" --sizelimit "$3" "$1")
  else
    l=$(losetup -f --show --sector-size 4096 "$1")
  fi
  loops+=("$l")
  echo "$l"
}
detach() { losetup -d "$1"; }
on_exfat() {  # device
  mkfs.exfat "$1" >/dev/null
  mount.exfat-fuse "$1" "$dir/mnt" >/dev/null 2>&1
  fill_exfat "$dir/mnt"
  umount "$dir/mnt"
}

rm -f "$dir/exfat.img"
truncate -s 64M "$dir/exfat.img"
l=$(attach "$dir/exfat.img"); on_exfat "$l"; detach "$l"

for label in gpt dos; do
  image=$dir/$([ $label = gpt ] && echo gpt || echo mbr).img
  rm -f "$image"
  truncate -s 128M "$image"
  l=$(attach "$image")
  if [ $label = gpt ]; then types="EBD0A0A2-B9E5-4433-87C0-68B6B7C799C7 EBD0A0A2-B9E5-4433-87C0-68B6B7C799C7"; else types="6 7"; fi
  set -- $types
  printf 'label: %s\n,48M,%s\n,,%s\n' $label "$1" "$2" | sfdisk -q --no-reread --no-tell-kernel "$l"
  read -r s1 n1 s2 n2 < <(sfdisk -J "$l" | python3 -c '
import json, sys
t = json.load(sys.stdin)["partitiontable"]
print(" ".join("%d %d" % (p["start"], p["size"]) for p in t["partitions"]))')
  detach "$l"
  # FAT16 made in a file of its own, then laid at the partition's place.
  rm -f "$dir/part.img"
  truncate -s $((n1 * 4096)) "$dir/part.img"
  mkfs.fat -F 16 -S 4096 -s 1 -i 5A1E4097 "$dir/part.img" >/dev/null
  fill_fat "$dir/part.img"
  dd if="$dir/part.img" of="$image" bs=4096 seek="$s1" conv=notrunc,sparse status=none
  rm -f "$dir/part.img"
  l=$(attach "$image" $((s2 * 4096)) $((n2 * 4096))); on_exfat "$l"; detach "$l"
  echo "$label $s1 $n1 $s2 $n2"
done
echo loop
