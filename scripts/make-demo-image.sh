#!/usr/bin/env bash
# Makes the demo disk image with Debian's own tools: an MBR disk holding a
# FAT32 and a FAT16 partition, with nested folders, long and non-ASCII names,
# files of many sizes, and deleted files and a deleted folder tree whose data
# is still on the disk. The image is the same at every run.
#
# usage: scripts/make-demo-image.sh [OUTPUT]   (default: demo.img)
set -euo pipefail

out=${1:-demo.img}
for tool in sfdisk mkfs.fat mcopy mmd mdel mdeltree; do
  command -v "$tool" >/dev/null || { echo "make-demo-image: $tool is missing (run scripts/setup.sh)" >&2; exit 1; }
done

export LC_ALL=C.UTF-8 MTOOLS_SKIP_CHECK=1
export SOURCE_DATE_EPOCH=1700000000   # 14-11-2023: fixed dates for every entry

fat32_start=2048 fat32_sectors=131072   # 64 MiB
fat16_start=133120 fat16_sectors=65536  # 32 MiB
total_sectors=$((fat16_start + fat16_sectors))

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

rm -f "$out"
truncate -s $((total_sectors * 512)) "$out"
sfdisk --quiet "$out" <<TABLE
label: dos
label-id: 0x5a1e0001
start=$fat32_start, size=$fat32_sectors, type=c
start=$fat16_start, size=$fat16_sectors, type=6
TABLE
mkfs.fat -F 32 -n DEMO32 -i 5a1e0032 --offset $fat32_start "$out" $((fat32_sectors / 2)) >/dev/null 2>&1
mkfs.fat -F 16 -n DEMO16 -i 5a1e0016 --offset $fat16_start "$out" $((fat16_sectors / 2)) >/dev/null 2>&1

# A file of exactly SIZE bytes whose content tells which file it is and where
# in it each byte stands, so a recovered copy can be checked.
make_file() {  # path size
  mkdir -p "$(dirname "$work/$1")"
  { echo "Brimora Salvex demo file: $1"; seq 1 100000000; } | head -c "$2" > "$work/$1" || true
}

volume() {  # start-sector
  echo "$out@@$(( $1 * 512 ))"
}

put() {  # start-sector path-on-volume size
  make_file "$2" "$3"
  mcopy -i "$(volume "$1")" -o "$work/$2" "::/$2"
}

fill_volume() {  # start-sector
  local v=$1
  mmd -i "$(volume "$v")" ::/Documents ::/Documents/Letters ::/Documents/Letters/2023 ::/Photos ::/Photos/Holiday \
    ::/Music ::/Projects ::/Projects/src ::/Projects/src/engine "::/Old Backups"
  put "$v" "readme.txt" 1200
  put "$v" "café.txt" 333
  put "$v" "Отчёт.doc" 24576
  put "$v" "A long file name with spaces.text" 5000
  put "$v" "Documents/report.doc" 48000
  put "$v" "Documents/budget-2023.xls" 513
  put "$v" "Documents/one-sector.txt" 512
  put "$v" "Documents/one-byte.txt" 1
  put "$v" "Documents/Letters/letter-to-bank.txt" 2100
  put "$v" "Documents/Letters/2023/résumé.pdf" 70000
  put "$v" "Documents/Letters/2023/日本語のファイル.txt" 4096
  put "$v" "Photos/Holiday/img_0001.jpg" 900000
  put "$v" "Photos/Holiday/img_0002.jpg" 1300000
  put "$v" "Photos/Holiday/beach-panorama-final-version.png" 2500000
  put "$v" "Music/song.mp3" 3000000
  put "$v" "Projects/plan.txt" 800
  put "$v" "Projects/src/main.c" 15000
  put "$v" "Projects/src/engine/core.c" 33000
  put "$v" "Projects/src/engine/core.h" 1500
  put "$v" "Old Backups/backup-2019.zip" 400000
  put "$v" "Old Backups/notes.txt" 650
  put "$v" "Documents/old-draft.doc" 12000
  put "$v" "Photos/Holiday/img_0003-deleted.jpg" 250000
  # Deleted last, so nothing written afterwards reuses their clusters.
  mdel -i "$(volume "$v")" ::/Documents/old-draft.doc "::/Photos/Holiday/img_0003-deleted.jpg"
  mdeltree -i "$(volume "$v")" ::/Projects
}

fill_volume $fat32_start
fill_volume $fat16_start
echo "$out: FAT32 at sector $fat32_start, FAT16 at sector $fat16_start"
