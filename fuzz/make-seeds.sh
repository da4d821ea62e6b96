#!/usr/bin/env bash
# Makes the seed corpora in OUTDIR/<harness>/: small disks and volumes made
# by the real tools (mkfs.fat, mtools, sfdisk, and mkntfs and ntfscp where
# installed; folders on NTFS need a FUSE mount with ntfs-3g, which is skipped
# where it does not work), cut down to the sectors that matter, plus a few
# crafted damages the tools never make. Volumes are laid out early and
# truncated after their last used cluster, so no seed passes 1 MiB.
#
#   fuzz/make-seeds.sh fuzz/corpus
set -euo pipefail

out=${1:?usage: make-seeds.sh OUTDIR}
export MTOOLS_SKIP_CHECK=1 LC_ALL=C.UTF-8 SOURCE_DATE_EPOCH=1592222400
work=$(mktemp -d)
# An NTFS volume mounted through FUSE (see populate_ntfs) is let go first.
mounted=""
cleanup() {
  [ -z "$mounted" ] || umount "$mounted" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$out"/{partition_walk,gpt_table,volume_parameters,directory_decode,standard_scan,ntfs_record,ntfs_scan,deep_scan,sector_tests}
mkdir -p "$out"/{snapshot_tree,snapshot_advance,match_pattern,text_matcher,rescue_map,desktop_entry,intact_check,exfat_boot_region,exfat_entry_set}

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

# The index of the last sector that holds anything but zeros.
last_nonzero_sector() {
  od -An -v -tx8 -w512 "$1" |
    awk '{ for (i = 1; i <= NF; i++) if ($i != "0000000000000000") { last = NR - 1; break } } END { print last + 0 }'
}

# at_sector IMAGE SECTOR OUT: the image placed at SECTOR of an otherwise empty disk.
at_sector() {
  rm -f "$3"
  truncate -s $(($2 * 512)) "$3"
  cat "$1" >>"$3"
}

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

# A 1.44 MB floppy disk: FAT12, no partition table, media byte F0.
make_fat12() {  # NAME
  local image=$work/$1.img
  mkfs.fat -F 12 -i 5A1E0012 --invariant -C "$image" 1440 >/dev/null
  populate "$image"
  # The files lie in the first clusters: the rest of the disk is empty.
  truncate -s 256K "$image"
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
  make_fat12 fat12-floppy
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
  cp "$work/fat12-floppy.img" "$work/fat12-no-boot.img"
  zero_sector "$work/fat12-no-boot.img" 0

  for name in fat16 fat16-4k fat32-33m fat32-1m fat16-no-boot fat32-backup-boot fat32-no-boot fat12-floppy \
    fat12-no-boot; do
    cp "$work/$name.img" "$out/volume_parameters/$name"
    cp "$work/$name.img" "$out/standard_scan/$name"
  done
  # A floppy disk is a whole-disk volume to the partition walk; the Advance
  # Scan finds it by its folders, with and without its boot sector.
  dd if="$work/fat12-floppy.img" of="$out/partition_walk/fat12-floppy" bs=512 count=1 status=none
  cp "$work/fat12-floppy.img" "$out/deep_scan/fat12-floppy"
  cp "$work/fat12-no-boot.img" "$out/deep_scan/fat12-no-boot"
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

# --- NTFS volumes with files ------------------------------------------------

# mkntfs lays a 2 MiB volume out with 4096-byte clusters: the MFT at cluster 4
# (sector 32), $MFTMirr at cluster 255, and the boot sector's copy in the last
# sector. With the largest MFT zone (-z 4) it puts $LogFile, $Secure and
# $UpCase after the mirror, so new files and index blocks land right after
# the MFT and the volume is cut before the mirror. -T fixes mkntfs's times and
# serial number.
new_ntfs() {
  rm -f "$1"
  truncate -s 2M "$1"
  mkntfs -F -Q -q -T -z 4 -c 4096 -s 512 -p 0 -H 0 -S 0 "$1" >/dev/null 2>&1
}

drop_trailing_zeros() {
  truncate -s $((($(last_nonzero_sector "$1") + 1) * 512)) "$1"
}

cut_ntfs() {
  truncate -s $(($(le32 "$1" 56) * 4096)) "$1"
  drop_trailing_zeros "$1"
}

# The Standard Scan reads only the boot sector and the MFT, which lies in one
# piece here: the volume up to the MFT's end is enough.
cut_after_mft() {
  local mft data
  mft=$(($(le32 "$1" 48) * 4096))
  data=$(attribute_offset "$1" "$mft" $((0x80))) || return 0
  truncate -s $((mft + $(le32 "$1" $((mft + data + 40))))) "$1"
  drop_trailing_zeros "$1"
}

# Through the ntfs-3g driver: folders with names in several scripts, two
# folders of 60 and 70 files (their indexes leave the record for index
# blocks), a file written in pieces between others (several runs), a sparse
# file, a file with so many names that its record needs extension records and
# an attribute list, and a deleted file and folder. False when FUSE cannot
# mount here.
populate_ntfs() {
  local image=$1 dir=$work/mnt driver
  have ntfs-3g && have mountpoint && [ -e /dev/fuse ] || return 1
  mkdir -p "$dir"
  # In the foreground, so the image is known to be written when it ends.
  ntfs-3g -o no_detach "$image" "$dir" >/dev/null 2>&1 &
  driver=$!
  mounted=$dir
  for ((i = 0; i < 50; ++i)); do mountpoint -q "$dir" && break; sleep 0.1; done
  if ! mountpoint -q "$dir"; then
    kill "$driver" 2>/dev/null || true
    wait "$driver" || true
    mounted=""
    return 1
  fi
  # mkdir -p fails on the mount point itself here: one folder at a time.
  mkdir "$dir/Documents" "$dir/Documents/Letters" "$dir/Ünïcödé Földer" "$dir/Many" "$dir/Old"
  printf 'hello\n' >"$dir/readme.txt"
  printf 'hello\n' >"$dir/Documents/Letters/LETTER1.TXT"
  printf 'hello\n' >"$dir/Ünïcödé Földer/日本語のファイル.txt"
  for ((i = 1; i <= 60; ++i)); do printf 'crème %d\n' "$i" >"$dir/Ünïcödé Földer/Crème brûlée n° $i.txt"; done
  for ((i = 1; i <= 70; ++i)); do printf 'file %d\n' "$i" >"$dir/Many/entry number $i with a long name.txt"; done
  # An empty folder's index names no child, so only its parent's index block
  # gives a deep scan its record number.
  mkdir "$dir/Many/An empty folder"
  for i in 1 2 3; do
    seq 1 1500 >>"$dir/Documents/A rather long file name.log"
    seq 1 1200 >"$dir/Documents/between $i.log"
  done
  truncate -s 300K "$dir/sparse.bin"
  printf 'end' | dd of="$dir/sparse.bin" bs=1 seek=$((290 * 1024)) conv=notrunc status=none
  printf 'linked\n' >"$dir/linked.txt"
  for ((i = 1; i <= 6; ++i)); do ln "$dir/linked.txt" "$dir/another name for the same file, number $i.txt"; done
  seq 1 1200 >"$dir/Old/removed with the folder.log"
  printf 'gone\n' >"$dir/deleted file with a long name.txt"
  rm "$dir/Old/removed with the folder.log" "$dir/deleted file with a long name.txt"
  rmdir "$dir/Old"
  umount "$dir"
  mounted=""
  wait "$driver"
}

# Without FUSE: ntfscp writes into the root only, which with 70 files still
# needs index blocks.
populate_ntfs_root() {
  local image=$1 src=$work/ntfs-files
  mkdir -p "$src"
  seq 1 3000 >"$src/several-clusters"
  ntfscp -q "$image" "$src/several-clusters" "A rather long file name.log"
  printf 'hello\n' >"$src/short"
  for ((i = 1; i <= 70; ++i)); do ntfscp -q "$image" "$src/short" "entry number $i with a long name.txt"; done
}

poke16() {
  local hex
  hex=$(printf '%04x' "$3")
  poke "$1" "$2" "${hex:2:2}" "${hex:0:2}"
}

# The record number of PATH in an NTFS image (whole, with its mirror).
ntfs_record_of() {
  ntfsinfo -F "$2" "$1" 2>/dev/null | sed -n 's/^Dumping Inode \([0-9]*\).*/\1/p'
}

# The offset of the first attribute of TYPE in the record at byte RECORD.
attribute_offset() {
  local image=$1 record=$2 type=$3 offset found
  offset=$(le16 "$image" $((record + 20)))
  while [ "$offset" -lt 1016 ]; do
    found=$(le32 "$image" $((record + offset)))
    if [ "$found" = "$type" ]; then
      echo "$offset"
      return 0
    fi
    if [ "$found" = 0 ] || [ "$found" = 4294967295 ]; then return 1; fi
    offset=$((offset + $(le32 "$image" $((record + offset + 4)))))
  done
  return 1
}

# list_entry IMAGE AT TYPE RECORD: an attribute-list entry of 24 bytes (no
# name) for an attribute of TYPE kept in RECORD.
list_entry() {
  dd if=/dev/zero of="$1" bs=1 seek="$2" count=24 conv=notrunc status=none
  poke32 "$1" "$2" "$3"
  poke16 "$1" $(($2 + 4)) 24
  poke32 "$1" $(($2 + 16)) "$4"
}

# ntfs-3g always moves an attribute list out of its record; Windows keeps a
# short one inside. Two records are made to look that way, with bytes below
# the fixup positions only:
# - one of the 70 files becomes a base record holding nothing but a resident
#   list that sends its name and data to the next file's record, which becomes
#   its extension record;
# - the MFT's own record gets a list (over its $BITMAP) naming two records
#   that hold pieces of its data, itself and $MFTMirr's record.
craft_attribute_lists() {
  local image=$1 folder=$2 mft base extension at
  mft=$(($(le32 "$image" 48) * 4096))
  base=$(ntfs_record_of "$image" "$folder/entry number 69 with a long name.txt")
  extension=$(ntfs_record_of "$image" "$folder/entry number 70 with a long name.txt")
  [ -n "$base" ] && [ -n "$extension" ] || return 0
  at=$((mft + base * 1024))
  poke16 "$image" $((at + 20)) 56
  poke32 "$image" $((at + 24)) 136
  dd if=/dev/zero of="$image" bs=1 seek=$((at + 56)) count=104 conv=notrunc status=none
  poke32 "$image" $((at + 56)) $((0x20))
  poke32 "$image" $((at + 60)) 72
  poke32 "$image" $((at + 72)) 48
  poke16 "$image" $((at + 76)) 24
  list_entry "$image" $((at + 80)) $((0x30)) "$extension"
  list_entry "$image" $((at + 104)) $((0x80)) "$extension"
  poke32 "$image" $((at + 128)) 4294967295
  poke32 "$image" $((mft + extension * 1024 + 32)) "$base"

  at=$(attribute_offset "$image" "$mft" $((0xB0))) || return 0
  # The $BITMAP it replaces is at least this long.
  poke32 "$image" $((mft + at)) $((0x20))
  poke "$image" $((mft + at + 8)) 00 00
  poke32 "$image" $((mft + at + 16)) 48
  poke16 "$image" $((mft + at + 20)) 24
  list_entry "$image" $((mft + at + 24)) $((0x80)) 0
  list_entry "$image" $((mft + at + 48)) $((0x80)) 1
}

ntfs_volume_seeds() {
  have mkntfs && have ntfscp || { echo "make-seeds: mkntfs or ntfscp not installed, no NTFS volume seeds" >&2; return 0; }
  local name image
  new_ntfs "$work/ntfs-empty.img"
  new_ntfs "$work/ntfs-root.img"
  populate_ntfs_root "$work/ntfs-root.img"
  new_ntfs "$work/ntfs-files.img"
  if populate_ntfs "$work/ntfs-files.img"; then
    cp "$work/ntfs-files.img" "$work/ntfs-lists.img"
    craft_attribute_lists "$work/ntfs-lists.img" /Many
  else
    echo "make-seeds: no FUSE mount of NTFS here, so no NTFS seeds with folders" >&2
    rm -f "$work/ntfs-files.img"
    cp "$work/ntfs-root.img" "$work/ntfs-lists.img"
    craft_attribute_lists "$work/ntfs-lists.img" ""
  fi
  for name in ntfs-empty ntfs-root ntfs-files ntfs-lists; do
    image=$work/$name.img
    [ -f "$image" ] || continue
    cut_ntfs "$image"
    cp "$image" "$out/deep_scan/$name"
    # No boot sector: the deep scan has to infer the volume from its folders.
    cp "$image" "$out/deep_scan/$name-no-boot"
    zero_sector "$out/deep_scan/$name-no-boot" 0
    ntfs_record_seeds "$name" "$image"

    cut_after_mft "$image"
    cp "$image" "$out/ntfs_scan/$name"
    # No boot sector: the scan has to guess where the MFT is.
    cp "$image" "$out/ntfs_scan/$name-no-boot"
    zero_sector "$out/ntfs_scan/$name-no-boot" 0
    # Only the boot sector's copy, as the last sector.
    cp "$out/ntfs_scan/$name-no-boot" "$out/ntfs_scan/$name-boot-copy"
    dd if="$image" bs=512 count=1 status=none >>"$out/ntfs_scan/$name-boot-copy"
  done
  image=$out/deep_scan/ntfs-files
  [ -f "$image" ] || image=$out/deep_scan/ntfs-root
  at_sector "$image" 63 "$out/deep_scan/ntfs-at-63"
}

# Every file record of the MFT alone, and its first eight together.
ntfs_record_seeds() {  # NAME IMAGE
  local mft record magic empty=()
  mft=$(($(le32 "$2" 48) * 4))
  dd if="$2" bs=1024 skip="$mft" count=256 status=none | split -b 1024 -a 3 -d - "$out/ntfs_record/$1-record-"
  for record in "$out/ntfs_record/$1-record-"*; do
    read -r -N 4 magic <"$record" || true
    [ "$magic" = FILE ] || empty+=("$record")
  done
  rm -f "${empty[@]}"
  dd if="$2" of="$out/ntfs_record/$1-records-0-7" bs=1024 skip="$mft" count=8 status=none
}

# FAT volumes where an old disk had its first partition: at sector 63, the
# geometry of a boot sector is plausible to the deep scan. Volumes of 32 MiB
# and more keep their size in the boot sector's 32-bit field, the small ones
# in the 16-bit field.
deep_scan_fat_seeds() {
  local name
  for name in fat16 fat16-4k fat32-1m fat16-no-boot fat32-no-boot; do
    cp "$work/$name.img" "$out/deep_scan/$name"
  done
  make_fat16 fat16-40m 2 40M
  # Without boot sectors the mount has to look for the FATs, which it does
  # from sector 63 on.
  for name in fat16 fat32-1m fat16-40m fat32-33m fat16-no-boot fat32-no-boot; do
    at_sector "$work/$name.img" 63 "$out/deep_scan/$name-at-63"
  done
  # The first folder made (Documents) lost its first sector: its subfolder's
  # parent is nowhere to be found.
  local first
  first=$(find "$out/directory_decode" -name 'fat16-dir-*' | sed 's/.*-//' | sort -n | head -1)
  if [ -n "$first" ]; then
    cp "$work/fat16.img" "$out/deep_scan/fat16-lost-parent"
    zero_sector "$out/deep_scan/fat16-lost-parent" "$first"
  fi
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

  # GUID tables: an EFI System and a basic-data entry, the same with the
  # primary header wiped (the backup answers), and with an entry array whose
  # CRC no longer matches in either copy.
  rm -f "$work/gpt2.img"
  truncate -s 128K "$work/gpt2.img"
  printf 'label: gpt\nlabel-id: 5A1E0000-0000-4000-8000-000000000015\nstart=40, size=64, type=C12A7328-F81F-11D2-BA4B-00A0C93EC93B\nstart=104, size=64, type=EBD0A0A2-B9E5-4433-87C0-68B6B72699C7\n' |
    sfdisk -q --no-reread --no-tell-kernel "$work/gpt2.img" >/dev/null
  cp "$work/gpt2.img" "$out/gpt_table/efi-and-basic-data"
  cp "$work/gpt2.img" "$out/partition_walk/gpt-efi-and-basic-data"
  zero_sector "$work/gpt2.img" 1
  cp "$work/gpt2.img" "$out/gpt_table/primary-wiped"
  poke "$work/gpt2.img" $((2 * 512 + 32)) 01
  poke "$work/gpt2.img" $((223 * 512 + 32)) 01
  cp "$work/gpt2.img" "$out/gpt_table/entries-crc-wrong"
  cp "$work/gpt.img" "$out/gpt_table/other-type"

  # mkfs.fat's own one-partition record in front of a volume.
  rm -f "$work/fat16-mbr.img"
  truncate -s 3M "$work/fat16-mbr.img"
  mkfs.fat -F 16 -s 1 -i 5A1E0016 --invariant --mbr=y "$work/fat16-mbr.img" >/dev/null
  dd if="$work/fat16-mbr.img" of="$out/partition_walk/fat16-with-mbr" bs=512 count=64 status=none
}

# --- single sectors ----------------------------------------------------------

# sector_seed NAME IMAGE FIRST COUNT [NUMBER]: the sector number the sweep
# read them at (NUMBER, else FIRST), then COUNT sectors of IMAGE from FIRST.
sector_seed() {
  local file=$out/sector_tests/$1 hex
  hex=$(printf '%08x' "${5:-$3}")
  printf "\\x${hex:6:2}\\x${hex:4:2}\\x${hex:2:2}\\x${hex:0:2}" >"$file"
  dd if="$2" bs=512 skip="$3" count="$4" status=none >>"$file"
}

# Boot sectors, first sectors of folders (at the sectors they were found
# at, which their names end with), MFT records and index blocks, from the
# seeds made above.
sector_test_seeds() {
  local image name offset
  for image in "$out"/deep_scan/{fat16,fat32-1m,ntfs-files,ntfs-root}; do
    [ -f "$image" ] || continue
    sector_seed "$(basename "$image")-boot" "$image" 0 1
  done
  for image in "$out"/directory_decode/*-dir-*; do
    [ -f "$image" ] || continue
    name=$(basename "$image")
    sector_seed "$name" "$image" 0 1 "${name##*-}"
  done
  image=$out/deep_scan/ntfs-files
  [ -f "$image" ] || image=$out/deep_scan/ntfs-root
  [ -f "$image" ] || return 0
  sector_seed ntfs-mft-records-0-15 "$image" 32 32
  for offset in $(grep -obUa INDX "$image" | cut -d: -f1); do
    [ $((offset % 4096)) -eq 0 ] && sector_seed "ntfs-index-block-$((offset / 512))" "$image" $((offset / 512)) 8
  done
  return 0
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

# --- snapshots and patterns --------------------------------------------------

# Prints each field little-endian: u8:N, u16:N, u32:N, u64:N, or t:TEXT as is.
snapshot_fields() {
  local field value width i
  for field in "$@"; do
    value=${field#*:}
    case $field in
      t:*) printf '%s' "$value"; continue ;;
      u8:*) width=1 ;;
      u16:*) width=2 ;;
      u32:*) width=4 ;;
      u64:*) width=8 ;;
    esac
    for ((i = 0; i < width; i++)); do printf "\\x$(printf %02x $(((value >> (8 * i)) & 255)))"; done
  done
}

# Snapshots saved by salvex from the seed volumes (when a salvex of this
# build exists), and small ones laid out here field by field.
snapshot_seeds() {
  local salvex="" candidate name type image sectors
  # The first salvex that can save snapshots: an older build cannot.
  for candidate in "${SALVEX:-}" "$(dirname "$0")"/../build-fuzz/src/cli/salvex "$(dirname "$0")"/../build/src/cli/salvex; do
    if [ -x "$candidate" ] && [[ $("$candidate" scan --help 2>/dev/null) == *--save-snapshot* ]]; then
      salvex=$candidate
      break
    fi
  done
  if [ -n "$salvex" ]; then
    for name in fat16 fat16-4k fat32-1m exfat ntfs-root ntfs-files fat12-s4096 fat16-s4096 exfat-s4096; do
      image=$work/$name.img
      [ -f "$image" ] || continue
      case $name in fat12*) type=fat12 ;; fat16*) type=fat16 ;; fat32*) type=fat32 ;; exfat*) type=exfat ;; *) type=ntfs ;; esac
      sectors=$(($(stat -c %s "$image") / 512))
      if [ "$type" != ntfs ]; then
        ASAN_OPTIONS=detect_leaks=0 "$salvex" scan "$image" --start 0 --size "$sectors" --type "$type" \
          --save-snapshot "$work/scan-$name" >/dev/null 2>&1 &&
          cp "$work/SCAN-${name^^}.RSNP" "$out/snapshot_tree/scan-$name" || true
      fi
      ASAN_OPTIONS=detect_leaks=0 "$salvex" deep-scan "$image" --fs "$type" --save-snapshot "$work/deep-$name" \
        >/dev/null 2>&1 && cp "$work/DEEP-${name^^}.RS2" "$out/snapshot_advance/deep-$name" || true
    done
    # exFAT sweeps with folders, whole and with the boot regions and FAT
    # gone: their entry sets, directory starts and root directories.
    for name in exfat-folders exfat-folders-lost; do
      image=$out/deep_scan/$name
      [ -f "$image" ] || continue
      ASAN_OPTIONS=detect_leaks=0 "$salvex" deep-scan "$image" --fs exfat --save-snapshot "$work/deep-$name" \
        >/dev/null 2>&1 && cp "$work/DEEP-${name^^}.RS2" "$out/snapshot_advance/deep-$name" || true
    done
    # The empty exFAT volume's snapshot with a file added: its record, then
    # its extent (size, valid length, overwritten, one run of one cluster).
    if [ -f "$out/snapshot_tree/scan-exfat" ]; then
      { head -c -8 "$out/snapshot_tree/scan-exfat"
        snapshot_fields u32:0 u32:1 u16:26 t:A.TXT u32:4 u32:0 u16:20481 u16:20482 u32:6 u8:0 u32:0 \
          u64:6 u64:4 u8:0 u32:1 u32:4 u32:1; } >"$out/snapshot_tree/crafted-exfat"
    fi
  else
    echo "make-seeds: no salvex that saves snapshots (set SALVEX=...), only crafted snapshot seeds" >&2
  fi

  local fatHead=(t:rsn4.03 t:1.0 u16:100 u32:0 u32:6144 u32:6143 u16:0
    u16:100 u32:24 u32:1 u32:32 u32:1 u32:79 u32:1 u32:25 u32:0 u32:0 u32:0 u32:0 u32:6143 u16:0)
  # Three folders, the third on the first one's cluster; a live and a deleted file.
  snapshot_fields "${fatHead[@]}" u32:3 \
    u16:19 t:DOCS u32:3 u32:0 u16:19589 u16:19590 u8:0 u16:0 \
    u16:18 t:OLD u32:5 u32:3 u16:12321 u16:12322 u8:1 u16:0 \
    u16:20 t:AGAIN u32:3 u32:9 u16:0 u16:0 u8:0 u16:0 \
    u32:2 \
    u16:26 t:A.TXT u32:4 u32:0 u16:20481 u16:20482 u32:6 u8:0 u32:0 \
    u16:29 t:xone.doc u32:6 u32:5 u16:20483 u16:20484 u32:70000 u8:1 u32:7 >"$out/snapshot_tree/crafted-fat16"
  snapshot_fields "${fatHead[@]}" u32:0 u32:0 >"$out/snapshot_tree/crafted-empty"
  # Files found by their content on no volume (version 1.1): "Found by
  # Content/jpg" with a photo in two pieces and a partial one, damaged in a
  # stretch; each file's record, then its extents and marks.
  snapshot_fields t:rsn4.03 t:1.1 u16:0 u32:0 u32:6144 u32:6144 u16:0 \
    u16:0 u32:0 u32:0 u32:0 u32:0 u32:0 u32:0 u32:0 u32:0 u32:0 u32:0 u32:0 u32:0 u16:0 \
    u32:2 u16:31 t:"Found by Content" u32:4294967293 u32:0 u16:0 u16:0 u8:0 u16:0 \
    u16:18 t:jpg u32:4294901760 u32:4294967293 u16:0 u16:0 u8:0 u16:0 \
    u32:2 u16:33 t:f0000008.jpg u32:0 u32:4294901760 u16:0 u16:0 u32:9000 u8:1 u32:0 \
    u16:33 t:f0000100.jpg u32:0 u32:4294901760 u16:0 u16:0 u32:6000 u8:1 u32:1 \
    u32:2 u32:0 u64:9000 u8:0 u8:0 u8:1 u16:3 t:jpg u32:2 u64:4096 u64:5000 u64:20480 u64:4000 u32:0 \
    u32:1 u64:6000 u8:3 u8:1 u8:2 u16:3 t:jpg u32:1 u64:51213 u64:6000 u32:1 u64:512 u64:1024 \
    >"$out/snapshot_tree/crafted-found"
  snapshot_fields t:rsn4.03 t:1.0 u16:300 u32:63 u32:4096 u32:4158 u16:1 \
    u16:300 u32:0 u32:8 u32:0 u32:0 u32:63 u32:0 u32:0 u32:79 u32:2111 u32:2 u32:8 u32:4158 u16:1 \
    >"$out/snapshot_tree/crafted-ntfs"
  # The same NTFS volume at 3 TiB: version 2.0, its sector numbers 64-bit.
  snapshot_fields t:rsn4.03 t:2.0 u16:300 u64:6442450944 u64:4096 u64:6442455039 u16:1 \
    u16:300 u32:0 u32:8 u32:0 u32:0 u64:6442450944 u64:0 u64:0 u64:6442450960 u64:6442453008 u32:2 u32:8 \
    u64:6442455039 u16:1 >"$out/snapshot_tree/crafted-ntfs-wide"

  snapshot_fields t:"Brimora Salvex 4.03" u16:200 u32:0 u32:2048 u32:2047 u16:0 u32:1 u32:0 \
    u32:2 u32:100 u32:3 u32:0 u16:19589 u16:19589 u16:0 u32:60 u32:4 u32:3 u16:19589 u16:19589 u16:1 \
    >"$out/snapshot_advance/crafted-fat32"
  # Its hits at 3 TiB: the wide layout, every sector number 64-bit.
  snapshot_fields t:"Brimora Salvex 5.00" u16:200 u64:6442450944 u64:2048 u64:6442452991 u16:0 \
    u32:1 u64:6442450944 u32:2 u64:6442451044 u32:3 u32:0 u16:19589 u16:19589 u16:0 \
    u64:6442451004 u32:4 u32:3 u16:19589 u16:19589 u16:1 >"$out/snapshot_advance/crafted-fat32-wide"
  snapshot_fields t:"Brimora Salvex 4.03" u16:300 u32:0 u32:2048 u32:2047 u16:0 u32:1 u32:0 \
    u32:1 u32:200 u32:5 u32:0 u16:65535 u8:8 \
    u32:1 u16:44 t:Documents u32:40 u32:5 u32:40 u16:0 u64:1 u64:2 u32:10 u8:0 \
    u32:1 u16:32 t:A u32:48 u32:40 u32:0 u64:6 u16:0 u64:3 u64:4 u8:1 >"$out/snapshot_advance/crafted-ntfs"

  # Name and pattern, split at a zero byte.
  local pair i=0
  for pair in 'REPORT.DOC REP*' 'AREPORT REP*' 'REPORT.DOCX *.DOC' 'A.B *.*' 'REPORT.DOC PORT' \
    'DATA12.XLS DATA?.XLS' 'ABCD A?C' 'X.DOC *.D?C' 'X.DOC *?.DOC' 'FILE.TXTX FI*E.TXT' 'XYA *A**' \
    'CAFÉ.TXT CAF?.TXT' 'ОТЧЁТ.DOC *Ё?*'; do
    printf '%s\0%s' "${pair% *}" "${pair#* }" >"$out/match_pattern/pair-$((i++))"
  done
}

# A flag byte (bit 0: ignore case; the rest: where the stream is cut), a
# text, a zero byte and the stream: each spelling, letter cases, a text cut
# at the cut.
text_matcher_seeds() {
  printf '\x01Needle\0hay nEEDLE hay N\0e\0E\0d\0l\0e\0' >"$out/text_matcher/ascii-both-spellings"
  printf '\x20Grüße\0Die Grüße, GRÜSSE' >"$out/text_matcher/utf-8"
  printf '\x03\xc3\xa9t\xc3\xa9\0\xc9\0T\0\xc9\0' >"$out/text_matcher/latin-1-utf-16"
  printf '\x0c\xd0\xbf\xd1\x80\xd0\xb8\0\xd0\x9f\xd0\xa0\xd0\x98 \x1f\x04\x20\x04\x18\x04' >"$out/text_matcher/cyrillic"
  printf '\x00aaaa\0aaaaaaaaaa' >"$out/text_matcher/overlapping"
}

# ddrescue mapfiles: one in each phase, an old one without a pass, and
# decimal and octal numbers.
rescue_map_seeds() {
  printf '# Mapfile. Created by GNU ddrescue version 1.27\n# current_pos  current_status  current_pass\n0x00111200     +               1\n#      pos        size  status\n0x00000000  0x00100000  +\n0x00100000  0x00001400  -\n0x00101400  0x00010000  +\n' >"$out/rescue_map/finished"
  printf '0x04300000 ? 1\n0x00000000 0x04300000 +\n0x04300000 0x00010000 *\n0x04310000 0x01320000 ?\n' >"$out/rescue_map/copying"
  printf '0xC5A65E00 /\n0x00000000 0x00003400 -\n0x00003400 0x00000200 +\n0x00003600 0x00000800 /\n' >"$out/rescue_map/scraping-old"
  printf '# x\r\n1024 - 3\r\n0 1024 +\r\n1024 01000 -\r\n1536 512 ?\r\n' >"$out/rescue_map/decimal-octal-crlf"
}

# Files of each judged kind, after the byte that picks the name (0 JPEG,
# 1 PNG, 2 GIF, 3 ZIP, 4 PDF): the test images' own where a tool makes them.
intact_check_seeds() {
  local dir=$out/intact_check
  printf '\000\377\330\377\340\000\020JFIF\000\001\001\000\000\001\000\001\000\000\377\332\000\010\001\001\000\000\077\000\022\377\000\064\377\320\001\377\331' >"$dir/jpeg"
  printf '\002GIF89a\001\000\001\000\200\000\000\377\377\377\000\000\000,\000\000\000\000\001\000\001\000\000\002\002D\001\000;' >"$dir/gif"
  printf '\004%%PDF-1.4\n1 0 obj\n<< >>\nendobj\ntrailer\n<< >>\n%%%%EOF\n' >"$dir/pdf"
  local file
  for file in "$(dirname "$0")"/../data/icons/*.png; do
    [ -f "$file" ] && { printf '\001'; cat "$file"; } >"$dir/$(basename "$file")"
  done
  if have zip; then
    printf 'hello hello hello hello\n' >"$work/member.txt"
    (cd "$work" && zip -q -9 seed.zip member.txt) && { printf '\003'; cat "$work/seed.zip"; } >"$dir/zip"
  fi
}

# exFAT: a 1 MiB mkfs.exfat volume of 512-byte clusters on 16 KiB
# boundaries, cut after its root directory; the same with the main boot
# region's checksum broken (the backup must be taken); its root directory
# alone for the entry-set decoder.
exfat_seeds() {
  have mkfs.exfat || { echo "make-seeds: mkfs.exfat not installed, no exFAT seeds" >&2; return 0; }
  local image=$work/exfat.img
  rm -f "$image"
  truncate -s 1M "$image"
  mkfs.exfat -c 512 -b 16K -L SEED "$image" >/dev/null
  local heap root shift
  heap=$(le32 "$image" 88)
  root=$(le32 "$image" 96)
  shift=$(od -An -tu1 -j 109 -N 1 "$image" | tr -d ' ')
  local root_sector=$((heap + (root - 2) * (1 << shift)))
  dd if="$image" of="$out/exfat_boot_region/mkfs" bs=512 count=$((root_sector + (1 << shift))) status=none
  cp "$out/exfat_boot_region/mkfs" "$out/exfat_boot_region/main-damaged"
  cp "$out/exfat_boot_region/mkfs" "$out/standard_scan/exfat-mkfs"
  poke "$out/exfat_boot_region/main-damaged" 300 ff
  dd if="$image" of="$out/exfat_entry_set/root" bs=512 skip="$root_sector" count=$((1 << shift)) status=none
  exfat_deep_scan_seeds "$image" "$heap" "$root" "$root_sector"
}

# exfat_set FILE OFFSET NAME ATTRIBUTES FIRST_CLUSTER LENGTH: writes a File,
# Stream Extension (NoFatChain) and File Name entry set of a name of at most
# 15 ASCII characters, with its set checksum.
exfat_set() {
  local file=$1 offset=$2 name=$3 attributes=$4 first=$5 length=$6
  local -a b
  local i sum=0 hex=()
  for ((i = 0; i < 96; i++)); do b[i]=0; done
  b[0]=0x85 b[1]=2 b[4]=$attributes
  b[32]=0xC0 b[33]=3 b[35]=${#name}
  for ((i = 0; i < 4; i++)); do
    b[40 + i]=$(((length >> (8 * i)) & 255))
    b[52 + i]=$(((first >> (8 * i)) & 255))
    b[56 + i]=$(((length >> (8 * i)) & 255))
  done
  b[64]=0xC1
  for ((i = 0; i < ${#name}; i++)); do b[66 + 2 * i]=$(printf '%d' "'${name:i:1}"); done
  for ((i = 0; i < 96; i++)); do
    ((i == 2 || i == 3)) && continue
    sum=$(((((sum & 1) ? 0x8000 : 0) + (sum >> 1) + b[i]) & 0xFFFF))
  done
  b[2]=$((sum & 255)) b[3]=$((sum >> 8))
  for ((i = 0; i < 96; i++)); do hex+=("$(printf '%02x' $((b[i])))"); done
  poke "$file" "$offset" "${hex[@]}"
}

# For the Advance Scan: the same volume with folders A and B in the root, C
# in A and a file in B and C (each directory one 512-byte cluster after the
# root's), whole and with both boot regions and the FAT zeroed, so that its
# geometry must come from where the folders' first clusters lie.
exfat_deep_scan_seeds() {
  local image=$1 heap=$2 root=$3 root_sector=$4
  local seed=$out/deep_scan/exfat-folders
  dd if="$image" of="$seed" bs=512 count=$((root_sector + 4)) status=none
  local a=$((root + 1)) b=$((root + 2)) c=$((root + 3))
  exfat_set "$seed" $((root_sector * 512 + 96)) A 16 "$a" 512
  exfat_set "$seed" $((root_sector * 512 + 192)) B 16 "$b" 512
  exfat_set "$seed" $(((heap + a - 2) * 512)) C 16 "$c" 512
  exfat_set "$seed" $(((heap + b - 2) * 512)) b.txt 32 0 0
  exfat_set "$seed" $(((heap + c - 2) * 512)) c.txt 32 0 0
  cp "$seed" "$seed-lost"
  dd if=/dev/zero of="$seed-lost" bs=512 count=24 conv=notrunc status=none
  dd if=/dev/zero of="$seed-lost" bs=512 seek="$(le32 "$image" 80)" count="$(le32 "$image" 84)" conv=notrunc status=none
}

# Volumes and disks of 4096-byte sectors, made as the tests make them
# (mkfs.fat -S 4096; as root, exFAT and GPT and MBR tables on loop devices
# of such sectors), cut to their first MiB.
sector4k_seeds() {
  local dir=$work/4k name
  mkdir -p "$dir"
  bash "$(dirname "$0")/../tests/integration/make_4k_disks.sh" "$dir" >/dev/null 2>&1 || return 0
  for name in fat12 fat16 exfat gpt mbr; do
    [ -f "$dir/$name.img" ] && head -c 1M "$dir/$name.img" >"$work/$name-s4096.img"
  done
  for name in fat12 fat16 exfat; do
    [ -f "$work/$name-s4096.img" ] || continue
    cp "$work/$name-s4096.img" "$out/volume_parameters/$name-s4096"
    cp "$work/$name-s4096.img" "$out/standard_scan/$name-s4096"
    cp "$work/$name-s4096.img" "$out/partition_walk/$name-s4096"
    cp "$work/$name-s4096.img" "$out/deep_scan/$name-s4096"
  done
  [ -f "$work/exfat-s4096.img" ] && cp "$work/exfat-s4096.img" "$out/exfat_boot_region/s4096"
  for name in gpt mbr; do
    [ -f "$work/$name-s4096.img" ] || continue
    cp "$work/$name-s4096.img" "$out/partition_walk/$name-s4096"
    cp "$work/$name-s4096.img" "$out/gpt_table/$name-s4096"
  done
  return 0
}

rescue_map_seeds
text_matcher_seeds
intact_check_seeds
exfat_seeds
if have mkfs.fat && have mcopy && have sfdisk; then
  volume_seeds
  directory_seeds
  ntfs_seeds
  partition_seeds
  deep_scan_fat_seeds
  sector4k_seeds
else
  echo "make-seeds: mkfs.fat, mtools or sfdisk missing (scripts/setup.sh installs them): crafted seeds only" >&2
fi
ntfs_volume_seeds
sector_test_seeds
crafted_seeds
snapshot_seeds

# Desktop entries and a mimeinfo.cache, split at a zero byte, as Open With
# reads them from the data folders.
printf '[Desktop Entry]\nType=Application\nName=Editor\nName[de]=Bearbeiter\nExec=my-editor --line 1 %%f\nIcon=editor\n[Desktop Action New]\nExec=x\n\0[MIME Cache]\ntext/plain=editor.desktop;vi.desktop;\n' \
  >"$out/desktop_entry/editor"
printf '[Desktop Entry]\nType=Application\nName=Viewer\\sOne\nExec="/opt/My App/run" --title="%%c" %%U %%i %%%%\nNoDisplay=false\n\0image/png=viewer.desktop\n' \
  >"$out/desktop_entry/quoted"
echo "make-seeds: $(find "$out" -type f | wc -l) seeds in $out"
