#!/usr/bin/env bash
# Makes a disk image for the carving benchmark: a FAT32 volume of MIB MiB
# (default 2048) in 16 KiB clusters, as a camera formats an SD card, filled
# with photos (ImageMagick, 3 to 6 MB each), PNG pictures, MP3, FLAC, Ogg
# and WAV sound (SoX), ZIP archives and gzip files, in folders of about
# 100 MB, then formatted again: every cluster is free and holds a file's
# bytes, so a carve of the free clusters reads the whole data area. Exits
# 77 when a tool is missing.
#
# usage: bench/make_carve_image.sh OUTPUT [MIB]
set -euo pipefail

out=${1:?usage: make_carve_image.sh OUTPUT [MIB]}
mib=${2:-2048}
case $out in /*) ;; *) out=$PWD/$out ;; esac
for tool in mkfs.fat mcopy mmd convert sox zip gzip; do
  command -v "$tool" >/dev/null || { echo "make_carve_image: $tool is missing (run scripts/setup.sh)" >&2; exit 77; }
done
[ "$mib" -ge 256 ] || { echo "make_carve_image: MIB must be at least 256" >&2; exit 1; }
export LC_ALL=C.UTF-8 MTOOLS_SKIP_CHECK=1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
src=$work/files
mkdir -p "$src"
for ((i = 0; i < 20; i++)); do
  convert -seed "$i" -size $((2400 + 40 * i))x$((1800 + 30 * i)) plasma:fractal -attenuate 0.2 +noise Gaussian \
    -quality $((86 + i % 8)) "$src/IMG_$((1000 + i)).JPG"
done
for ((i = 0; i < 4; i++)); do
  convert -seed $((100 + i)) -size 900x700 plasma:fractal "$src/shot$i.png"
done
for ((i = 0; i < 4; i++)); do
  sox -n -r 44100 -c 2 "$src/song$i.mp3" synth 40 pluck $((220 + 40 * i)) 2>/dev/null
  sox -n -r 44100 -c 2 "$src/song$i.ogg" synth 30 sine $((300 + 40 * i)) 2>/dev/null
done
for ((i = 0; i < 2; i++)); do
  sox -n -r 44100 -c 2 "$src/take$i.flac" synth 20 pinknoise vol 0.3 2>/dev/null
  sox -n -r 44100 -c 2 "$src/take$i.wav" synth 15 brownnoise vol 0.3 2>/dev/null
done
(cd "$src" && zip -q -X photos.zip IMG_1000.JPG IMG_1001.JPG shot0.png && zip -q -X sounds.zip song0.mp3 take0.wav)
gzip -c "$src/take1.wav" > "$src/take1.wav.gz"
per_folder=$(du -sm "$src" | cut -f1)

rm -f "$out"
truncate -s "${mib}M" "$out"
mkfs.fat -F 32 -s 32 -n CARVE -i 5a1e0400 "$out" >/dev/null
folders=$(( (mib * 9 / 10) / per_folder ))
for ((k = 0; k < folders; k++)); do
  printf -v folder '::DCIM/%03dCARVE' "$((100 + k))"
  [ "$k" -eq 0 ] && mmd -i "$out" ::DCIM
  mmd -i "$out" "$folder"
  mcopy -i "$out" "$src"/* "$folder/"
done
# A quick format: new FATs and an empty root; the files' bytes stay.
mkfs.fat -F 32 -s 32 -n CARVE -i 5a1e0401 "$out" >/dev/null
