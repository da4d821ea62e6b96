#!/usr/bin/env bash
# Makes the seed corpora in OUTDIR/<harness>/: small disks and volumes made
# by the real tools (mkfs.fat, mtools, sfdisk, and mkntfs where installed),
# cut down to the sectors that matter, plus a few crafted damages the tools
# never make. Volumes are laid out early and truncated after their last used
# cluster, so no seed passes 1 MiB.
#
#   fuzz/make-seeds.sh fuzz/corpus
set -euo pipefail

out=${1:?usage: make-seeds.sh OUTDIR}
export MTOOLS_SKIP_CHECK=1 LC_ALL=C.UTF-8 SOURCE_DATE_EPOCH=1592222400
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"/{partition_walk,volume_parameters,directory_decode,standard_scan}

PATH=$PATH:/usr/sbin:/sbin
have() { command -v "$1" >/dev/null 2>&1; }

# --- byte helpers ------------------------------------------------------------

le16() { od -An -tu2 --endian=little -j "$2" -N 2 "$1" | tr -d ' '; }
le32() { od -An -tu4 --endian=little -j "$2" -N 4 "$1" | tr -d ' '; }

# poke FILE OFFSET HEXBYTE...
poke() {
  local file=$1 offset=$2 bytes=""
  shift 2
  for byte in "$@"; do bytes+="\\x$byte"; done
  printf "$bytes" | dd of="$file" bs=1 seek="$offset" conv=notrunc status=none
}

poke32() {
  local hex
  hex=$(printf '%08x' "$3")
  poke "$1" "$2" "${hex:6:2}" "${hex:4:2}" "${hex:2:2}" "${hex:0:2}"
}

# copy_sectors SRC SRC_SECTOR DST DST_SECTOR COUNT
copy_sectors() {
  dd if="$1" of="$3" bs=512 skip="$2" seek="$4" count="$5" conv=notrunc status=none
}

zero_sector() { dd if=/dev/zero of="$1" bs=512 seek="$2" count=1 conv=notrunc status=none; }

# The index of the last non-zero entry of FAT #1 (WIDTH 2 or 4 bytes).
last_used_cluster() {
  local image=$1 width=$2 fatStart=$3 fatSectors=$4
  od -An -v -tu"$width" --endian=little -j $((fatStart * 512)) -N $((fatSectors * 512)) "$image" |
    tr -s ' ' '\n' | awk 'NF { if ($1 != 0) last = n; n++ } END { print last + 0 }'
}

# Geometry of a FAT volume at sector 0, as "reserved sectorsPerFat
# sectorsPerCluster firstDataSector".
fat_geometry() {
  local image=$1 type=$2 reserved spf spc rootEntries
  reserved=$(le16 "$image" 14)
  spc=$(od -An -tu1 -j 13 -N 1 "$image" | tr -d ' ')
  if [ "$type" = 32 ]; then
    spf=$(le32 "$image" 36)
    echo "$reserved $spf $spc $((reserved + 2 * spf))"
  else
    spf=$(le16 "$image" 22)
    rootEntries=$(le16 "$image" 17)
    echo "$reserved $spf $spc $((reserved + 2 * spf + rootEntries / 16))"
  fi
}

# Cuts a volume after its last used cluster, keeping a few clusters beyond it
# for the data of files deleted last.
truncate_volume() {
  local image=$1 type=$2 reserved spf spc data last
  read -r reserved spf spc data < <(fat_geometry "$image" "$type")
  last=$(last_used_cluster "$image" $((type / 8)) "$reserved" "$spf")
  truncate -s $(((data + (last + 3) * spc) * 512)) "$image"
}

# --- images from the real tools ----------------------------------------------

# Files whose names cover short and long names, lower case, Latin-1 and CJK,
# a long name across a sector boundary of the root, a file of several
# clusters, and deleted files and folders.
populate() {
  local image=$1 src=$work/files
  mkdir -p "$src"
  printf 'hello\n' >"$src/short"
  seq 1 900 >"$src/several-clusters"
  touch -d '2020-06-15 12:00:00' "$src"/*
  local m=(-i "$image")
  mmd "${m[@]}" ::Documents ::Documents/Letters "::Ünïcödé Földer" ::Old
  mcopy -m "${m[@]}" "$src/short" ::readme.txt
  mcopy -m "${m[@]}" "$src/short" "::Quarterly report for the first half.txt"
  mcopy -m "${m[@]}" "$src/short" "::Minutes of the meeting in March.txt"
  mcopy -m "${m[@]}" "$src/short" "::A name long enough to need three entries.txt"
  mcopy -m "${m[@]}" "$src/short" "::deleted file with a long name.txt"
  mcopy -m "${m[@]}" "$src/several-clusters" "::Documents/A rather long file name.log"
  mcopy -m "${m[@]}" "$src/short" ::Documents/Letters/LETTER1.TXT
  mcopy -m "${m[@]}" "$src/short" "::Ünïcödé Földer/日本語のファイル.txt"
  mcopy -m "${m[@]}" "$src/short" "::Ünïcödé Földer/Crème brûlée.txt"
  mcopy -m "${m[@]}" "$src/short" "::Old/removed with the folder.txt"
  mdel "${m[@]}" "::Old/removed with the folder.txt" "::deleted file with a long name.txt"
  mrd "${m[@]}" ::Old
  mcopy -m "${m[@]}" "$src/short" "::Written after the deletions.txt"
}

make_fat16() {  # NAME SECTORS_PER_CLUSTER SIZE
  local image=$work/$1.img
  truncate -s "$3" "$image"
  mkfs.fat -F 16 -s "$2" -i 5A1E0016 --invariant "$image" >/dev/null
  populate "$image"
  truncate_volume "$image" 16
}

# mtools only takes a volume of at least 65525 clusters as FAT32, which needs
# 33 MB; the files land at its start, so the cut image stays small.
make_fat32() {
  local image=$work/$1.img
  truncate -s 34M "$image"
  mkfs.fat -F 32 -s 1 -i 5A1E0032 --invariant "$image" >/dev/null
  populate "$image"
  truncate_volume "$image" 32
}

# The same directories in a FAT32 volume of 1 MB (mkfs.fat warns but makes
# it): FAT #1's first sector and the used clusters copied over.
shrink_fat32() {
  local from=$work/$1.img image=$work/$2.img
  local fromReserved fromSpf fromSpc fromData reserved spf spc data last
  truncate -s 1M "$image"
  mkfs.fat -F 32 -s 1 -i 5A1E0032 --invariant "$image" >/dev/null 2>&1
  read -r fromReserved fromSpf fromSpc fromData < <(fat_geometry "$from" 32)
  read -r reserved spf spc data < <(fat_geometry "$image" 32)
  last=$(last_used_cluster "$from" 4 "$fromReserved" "$fromSpf")
  local fatSectors=$(((last * 4) / 512 + 1))
  copy_sectors "$from" "$fromReserved" "$image" "$reserved" "$fatSectors"
  copy_sectors "$from" "$fromReserved" "$image" $((reserved + spf)) "$fatSectors"
  copy_sectors "$from" "$fromData" "$image" "$data" $(((last + 2) * fromSpc))
  truncate -s $(((data + (last + 2) * spc) * 512)) "$image"
}

volume_seeds() {
  make_fat16 fat16 1 3M
  make_fat16 fat16-4k 4 12M
  make_fat32 fat32-33m
  shrink_fat32 fat32-33m fat32-1m

  # Damage: no boot sector at all, so the geometry must be inferred from the
  # directories; a FAT32 volume left with only its backup boot sector.
  cp "$work/fat16.img" "$work/fat16-no-boot.img"
  zero_sector "$work/fat16-no-boot.img" 0
  cp "$work/fat32-1m.img" "$work/fat32-backup-boot.img"
  zero_sector "$work/fat32-backup-boot.img" 0
  cp "$work/fat32-backup-boot.img" "$work/fat32-no-boot.img"
  zero_sector "$work/fat32-no-boot.img" 6

  for name in fat16 fat16-4k fat32-33m fat32-1m fat16-no-boot fat32-backup-boot fat32-no-boot; do
    cp "$work/$name.img" "$out/volume_parameters/$name"
    cp "$work/$name.img" "$out/standard_scan/$name"
  done
}

# Every directory's first sectors, found by their "." and ".." entries, and
# the first sectors of the FAT16 root (its long names cross a sector).
directory_seeds() {
  local name image reserved spf spc data sectors sector first
  for name in fat16 fat16-4k fat32-1m; do
    image=$work/$name.img
    case $name in fat32*) read -r reserved spf spc data < <(fat_geometry "$image" 32) ;;
                  *) read -r reserved spf spc data < <(fat_geometry "$image" 16) ;; esac
    sectors=$(($(stat -c %s "$image") / 512))
    if [[ $name == fat16* ]]; then
      dd if="$image" of="$out/directory_decode/$name-root" bs=512 skip=$((reserved + 2 * spf)) count=4 status=none
    fi
    for ((sector = data; sector < sectors; sector += spc)); do
      first=$(dd if="$image" bs=512 skip="$sector" count=1 status=none | head -c 11 | tr -d '\0')
      [ "$first" = ".          " ] || continue
      dd if="$image" of="$out/directory_decode/$name-dir-$sector" bs=512 skip="$sector" count=$((spc < 2 ? 2 : spc)) \
        status=none
    done
  done
  # The FAT32 root: the first cluster of the data area.
  read -r reserved spf spc data < <(fat_geometry "$work/fat32-1m.img" 32)
  dd if="$work/fat32-1m.img" of="$out/directory_decode/fat32-1m-root" bs=512 skip="$data" count=2 status=none
}

ntfs_seeds() {
  local image=$work/ntfs.img
  have mkntfs || { echo "make-seeds: mkntfs not installed, only the crafted NTFS seed is made" >&2; return 0; }
  truncate -s 2M "$image"
  mkntfs -F -Q -q -s 512 -c 512 -p 0 -H 0 -S 0 "$image" >/dev/null 2>&1
  # The boot sector and the first MFT records; the mirror and the boot-sector
  # copy lie too far out to keep.
  dd if="$image" of="$out/volume_parameters/ntfs-head" bs=512 count=48 status=none
  # Only the copy of the boot sector is left, as the volume's last sector.
  dd if="$image" of="$work/ntfs-copy" bs=512 count=48 status=none
  zero_sector "$work/ntfs-copy" 0
  copy_sectors "$image" 0 "$work/ntfs-copy" 48 1
  cp "$work/ntfs-copy" "$out/volume_parameters/ntfs-boot-copy"
  cp "$image" "$work/ntfs-boot.img"
}

# --- partitioned disks -------------------------------------------------------

# One boot sector of each kind, to place at the partitions' starts.
boot_sectors() {
  dd if="$work/fat16.img" of="$work/boot16" bs=512 count=1 status=none
  dd if="$work/fat32-1m.img" of="$work/boot32" bs=512 count=1 status=none
  if [ -f "$work/ntfs-boot.img" ]; then
    dd if="$work/ntfs-boot.img" of="$work/bootntfs" bs=512 count=1 status=none
  else
    truncate -s 512 "$work/bootntfs"
    poke "$work/bootntfs" 0 eb 52 90 4e 54 46 53 20 20 20 20 00 02 01
    poke "$work/bootntfs" 510 55 aa
  fi
}

# partitioned_disk NAME SECTORS  (the sfdisk script on stdin)
partitioned_disk() {
  local image=$work/$1.img
  rm -f "$image"
  truncate -s $(($2 * 512)) "$image"
  sfdisk -q --no-reread --no-tell-kernel "$image" >/dev/null
  local start type
  while read -r start type; do
    case $type in
      6 | e | 1) copy_sectors "$work/boot16" 0 "$image" "$start" 1 ;;
      b | c) copy_sectors "$work/boot32" 0 "$image" "$start" 1 ;;
      7) copy_sectors "$work/bootntfs" 0 "$image" "$start" 1 ;;
    esac
  done < <(sfdisk -d "$image" | sed -n 's/.*start= *\([0-9]*\),.*type=\([0-9a-f]*\).*/\1 \2/p')
  cp "$image" "$out/partition_walk/$1"
}

partition_seeds() {
  boot_sectors
  partitioned_disk mbr-fat16-fat32 96 <<'EOF'
label: dos
unit: sectors
start=8, size=32, type=6
start=40, size=32, type=c
start=72, size=16, type=7
EOF
  partitioned_disk extended-chain 256 <<'EOF'
label: dos
unit: sectors
start=8, size=32, type=e
start=40, size=32, type=83
start=72, size=180, type=5
start=74, size=32, type=e
start=108, size=32, type=b
start=142, size=32, type=7
start=176, size=16, type=83
start=194, size=16, type=1
start=212, size=16, type=6
EOF
  # More logical partitions than the table holds.
  {
    printf 'label: dos\nunit: sectors\nstart=4, size=4, type=c\nstart=8, size=200, type=f\n'
    for ((i = 0; i < 30; ++i)); do printf 'start=%d, size=4, type=6\n' $((10 + 6 * i)); done
  } | partitioned_disk many-logical 208

  # No table at sector 0, a copy at 62 where some disk managers keep one.
  cp "$work/mbr-fat16-fat32.img" "$work/table-at-62.img"
  copy_sectors "$work/mbr-fat16-fat32.img" 0 "$work/table-at-62.img" 62 1
  zero_sector "$work/table-at-62.img" 0
  cp "$work/table-at-62.img" "$out/partition_walk/table-at-62"

  # An extended record whose link points back at itself.
  cp "$work/extended-chain.img" "$work/extended-loop.img"
  poke "$work/extended-loop.img" $((72 * 512 + 446 + 16 + 4)) 05
  poke32 "$work/extended-loop.img" $((72 * 512 + 446 + 16 + 8)) 0
  cp "$work/extended-loop.img" "$out/partition_walk/extended-loop"

  # A GPT disk's protective record: nothing to find.
  rm -f "$work/gpt.img"
  truncate -s 64K "$work/gpt.img"
  printf 'label: gpt\nstart=40, size=32, type=EBD0A0A2-B9E5-4433-87C0-68B6B7699AC7\n' |
    sfdisk -q --no-reread --no-tell-kernel "$work/gpt.img" >/dev/null
  cp "$work/gpt.img" "$out/partition_walk/gpt"

  # mkfs.fat's own one-partition record in front of a volume.
  rm -f "$work/fat16-mbr.img"
  truncate -s 3M "$work/fat16-mbr.img"
  mkfs.fat -F 16 -s 1 -i 5A1E0016 --invariant --mbr=y "$work/fat16-mbr.img" >/dev/null
  dd if="$work/fat16-mbr.img" of="$out/partition_walk/fat16-with-mbr" bs=512 count=64 status=none
}

# --- crafted only ------------------------------------------------------------

crafted_seeds() {
  # An NTFS volume of 32 sectors: boot sector, MFT at 16, mirror at 24, copy at 31.
  local ntfs=$work/ntfs-crafted
  truncate -s $((32 * 512)) "$ntfs"
  poke "$ntfs" 0 eb 52 90 4e 54 46 53 20 20 20 20 00 02 01
  poke32 "$ntfs" $((0x30)) 16
  poke32 "$ntfs" $((0x38)) 24
  poke32 "$ntfs" $((0x44)) $((0xF4))
  poke "$ntfs" 510 55 aa
  poke "$ntfs" $((16 * 512)) 46 49 4c 45
  poke "$ntfs" $((24 * 512)) 46 49 4c 45
  copy_sectors "$ntfs" 0 "$ntfs" 31 1
  cp "$ntfs" "$out/volume_parameters/ntfs-crafted"

  # A folder's first sector: ".", "..", then a long name with a character
  # outside the BMP (a surrogate pair) and its short entry.
  local dir=$work/dir-surrogates
  truncate -s 1024 "$dir"
  poke "$dir" 0 2e 20 20 20 20 20 20 20 20 20 20 10
  poke "$dir" 26 05 00
  poke "$dir" 32 2e 2e 20 20 20 20 20 20 20 20 20 10
  # Sequence 0x41, "F", U+1F4C1 (D83D DCC1), ".", "t", "x", "t", end.
  poke "$dir" 64 41 46 00 3d d8 c1 dc 2e 00 74 00 0f 00 00 78 00 74 00 00 00 ff ff ff ff ff ff 00 00 ff ff ff ff
  poke "$dir" 96 46 5f 54 58 54 20 20 20 54 58 54 20 00 00 00 00 21 52 21 52 00 00 00 00 21 52 09 00 06 00 00 00
  cp "$dir" "$out/directory_decode/surrogate-pair"
}

if have mkfs.fat && have mcopy && have sfdisk; then
  volume_seeds
  directory_seeds
  ntfs_seeds
  partition_seeds
else
  echo "make-seeds: mkfs.fat, mtools or sfdisk missing (scripts/setup.sh installs them): crafted seeds only" >&2
fi
crafted_seeds
echo "make-seeds: $(find "$out" -type f | wc -l) seeds in $out"
