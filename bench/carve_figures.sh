#!/usr/bin/env bash
# How well `salvex carve` brings files back, by type: on FAT16 cards made
# here (files made by ImageMagick, exiftool, SoX, zip, gzip and sqlite3,
# copied on with mtools), in four states: the files deleted (their entries
# left), the card formatted again, files laid in two pieces around a live
# file (as the FAT allocator does when a gap is too small), and files with a
# cluster of text written over their middle. Each carved file is counted
# exact (the bytes of a file laid on the card), partial (marked partial, its
# bytes the start of one), as left (the bytes of a laid file with the text
# over its middle, as they lie on the card: kept whole, called unchecked
# or damaged), or junk (none of these); every laid file that came back in
# no form is missed, and a file with text over its middle called intact is
# a false "good" (there must be none).
#
# usage: bench/carve_figures.sh
# environment: SALVEX (the salvex binary; default build-bench/, then build/)
set -euo pipefail
export LC_ALL=C MTOOLS_SKIP_CHECK=1 TZ=UTC

bench_name=carve_figures
# shellcheck source=bench_lib.sh
source "$(dirname "$0")/bench_lib.sh"
bench_find_salvex
bench_need mkfs.fat mmd mcopy mdel convert exiftool sox zip gzip jq cmp

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
src=$work/src
mkdir -p "$src"

# The files, two of each kind where the kind allows, with distinct bytes.
for i in 1 2 3 4; do
  convert -seed "$i" -size $((900 + 50 * i))x$((700 + 40 * i)) plasma:fractal -quality 90 "$src/photo$i.jpg"
  exiftool -q -overwrite_original -DateTimeOriginal="2021:05:0$i 14:22:01" -Model="Card Camera" "$src/photo$i.jpg"
done
for i in 1 2; do
  convert -seed $((10 + i)) -size 500x400 plasma:fractal "$src/chart$i.png"
  convert -seed $((20 + i)) -size 300x200 plasma:fractal -colors 128 "$src/anim$i.gif"
  convert -seed $((30 + i)) -size 320x240 plasma:fractal -type truecolor "$src/scan$i.bmp"
  convert -seed $((40 + i)) -size 400x300 plasma:fractal "$src/page$i.tif"
  convert -seed $((50 + i)) -size 400x300 plasma:fractal "$src/pic$i.webp"
  sox -n -r 44100 -c 2 "$src/take$i.wav" synth $((2 + i)) pinknoise vol 0.3 2>/dev/null
  sox -n -r 44100 -c 2 "$src/song$i.mp3" synth $((8 + i)) pluck $((220 * i)) 2>/dev/null
  sox -n -r 44100 "$src/song$i.flac" synth $((3 + i)) pinknoise vol 0.2 2>/dev/null
  sox -n -r 44100 "$src/song$i.ogg" synth $((6 + i)) pinknoise vol 0.2 2>/dev/null
  seq 1 $((20000 * i)) | gzip -9 > "$src/log$i.gz"
  printf '{\\rtf1\\ansi{\\fonttbl\\f0\\fswiss Helvetica;}\\f0\\pard Letter %d {\\b bold}.\\par\n}\n' "$i" > "$src/letter$i.rtf"
  { echo "name,age,city"; for ((r = 0; r < 40 * i; r++)); do echo "person$r,$((20 + r % 50)),town$((r % 7))"; done; } > "$src/people$i.csv"
done
(cd "$src" && zip -q -X archive1.zip chart1.png take1.wav && zip -q -X archive2.zip song1.mp3 page1.tif)
mkdir -p "$work/docx/word"
echo '<?xml version="1.0"?><Types/>' > "$work/docx/[Content_Types].xml"
seq 1 3000 > "$work/docx/word/document.xml"
(cd "$work/docx" && zip -q -X -r "$src/report1.docx" '[Content_Types].xml' word)
if command -v sqlite3 >/dev/null; then
  for i in 1 2; do
    sqlite3 "$src/notes$i.sqlite" "create table t(a, b); $(for r in $(seq 1 $((300 * i))); do echo "insert into t values($r, 'row $r of the notes');"; done)"
  done
fi
kind() { local name=${1##*.}; echo "$name"; }
for ((r = 0; r < 70; r++)); do echo 'Minutes of the meeting: bring the slides, room 4 at 10:30.'; done | head -c 4096 > "$work/text"

# A card with the files copied on; STATE: deleted, formatted, pieces, overwritten.
make_card() {
  local state=$1 image=$2
  truncate -s 128M "$image"
  mkfs.fat -F 16 -s 8 -i 0c0ffee0 "$image" >/dev/null
  mmd -i "$image" ::DCIM ::Docs
  if [ "$state" = pieces ]; then
    # Before each file, a gap of two clusters between two small files: a
    # file larger than the gap is laid in it and goes on after the next.
    head -c 4000 /dev/urandom > "$work/small"
    head -c 8192 /dev/urandom > "$work/gap"
    local n=0 f
    for f in "$src"/*; do
      mcopy -i "$image" "$work/small" "::Docs/s$n.bin"
      mcopy -i "$image" "$work/gap" "::Docs/g$n.bin"
      mcopy -i "$image" "$work/small" "::Docs/t$n.bin"
      mdel -i "$image" "::Docs/g$n.bin"
      mcopy -i "$image" "$f" "::DCIM/"
      n=$((n + 1))
    done
  else
    mcopy -i "$image" "$src"/* ::DCIM/
  fi
  mdel -i "$image" '::DCIM/*'
  if [ "$state" = formatted ]; then mkfs.fat -F 16 -s 8 -i 0c0ffee1 "$image" >/dev/null; fi
  if [ "$state" = overwritten ]; then
    # A cluster of text two clusters into each file of four clusters or more.
    local text=$work/text first line
    "$salvex" scan "$image" --json > "$work/scan.json"
    first=$(( $(od -An -tu2 -j 14 -N 2 "$image") + 2 * $(od -An -tu2 -j 22 -N 2 "$image") + $(od -An -tu2 -j 17 -N 2 "$image") / 16 ))
    jq -r '.[] | select(.kind == "file" and .size >= 16384) | "\(.firstCluster) \(.name)"' "$work/scan.json" > "$work/hurt"
    while read -r line; do
      dd if="$text" of="$image" bs=512 seek=$(( first + (${line%% *} - 2 + 2) * 8 )) conv=notrunc status=none
    done < "$work/hurt"
  fi
}

printf '%-12s %-6s %6s %6s %7s %7s %5s %6s %10s\n' state type laid exact partial as-left junk missed false-good
for state in deleted formatted pieces overwritten; do
  image=$work/$state.img
  out=$work/out-$state
  make_card "$state" "$image"
  # The laid files as the card holds them after the text went over them.
  rm -rf "$work/left"
  mkdir -p "$work/left"
  if [ "$state" = overwritten ]; then
    for f in "$src"/*; do
      [ "$(stat -c %s "$f")" -ge 16384 ] || continue
      cp "$f" "$work/left/"
      dd if="$work/text" of="$work/left/$(basename "$f")" bs=4096 seek=2 conv=notrunc status=none
    done
  fi
  "$salvex" carve "$image" --partition 1 --json --out "$out" > "$work/carved.json" 2>/dev/null || true
  declare -A laid=() exact=() partial=() asleft=() junk=() missed=() falsegood=()
  declare -A found=()
  for f in "$src"/*; do
    t=$(kind "$f"); laid[$t]=$(( ${laid[$t]:-0} + 1 ))
  done
  while IFS=$'\t' read -r path type verdict; do
    carved=$out/$path
    match=""
    for f in "$src"/*; do
      if cmp -s "$carved" "$f"; then match=$f; break; fi
    done
    t=$type
    if [ -n "$match" ]; then
      t=$(kind "$match")
      found[$match]=1
      exact[$t]=$(( ${exact[$t]:-0} + 1 ))
      continue
    fi
    left=""
    for f in "$work/left"/*; do
      if [ -f "$f" ] && cmp -s "$carved" "$f"; then left=$src/$(basename "$f"); break; fi
    done
    if [ -n "$left" ]; then
      t=$(kind "$left"); found[$left]=1
      asleft[$t]=$(( ${asleft[$t]:-0} + 1 ))
      [ "$verdict" = intact ] && falsegood[$t]=$(( ${falsegood[$t]:-0} + 1 ))
      continue
    fi
    size=$(stat -c %s "$carved")
    prefix=""
    for f in "$src"/*; do
      if [ "$verdict" = partial ] && [ "$size" -le "$(stat -c %s "$f")" ] && cmp -s -n "$size" "$carved" "$f"; then prefix=$f; break; fi
    done
    if [ -n "$prefix" ]; then
      t=$(kind "$prefix"); found[$prefix]=1
      partial[$t]=$(( ${partial[$t]:-0} + 1 ))
    else
      junk[$t]=$(( ${junk[$t]:-0} + 1 ))
      # A file called intact whose bytes are no laid file's.
      [ "$verdict" = intact ] && falsegood[$t]=$(( ${falsegood[$t]:-0} + 1 ))
    fi
  done < <(jq -r '.[] | [.path, .type, .verdict] | @tsv' "$work/carved.json")
  for f in "$src"/*; do
    t=$(kind "$f")
    [ -n "${found[$f]:-}" ] || missed[$t]=$(( ${missed[$t]:-0} + 1 ))
  done
  for t in $(printf '%s\n' "${!laid[@]}" | sort); do
    printf '%-12s %-6s %6d %6d %7d %7d %5d %6d %10d\n' "$state" "$t" "${laid[$t]}" "${exact[$t]:-0}" \
      "${partial[$t]:-0}" "${asleft[$t]:-0}" "${junk[$t]:-0}" "${missed[$t]:-0}" "${falsegood[$t]:-0}"
  done
  for t in $(printf '%s\n' "${!junk[@]}" | sort); do
    [ -n "${laid[$t]:-}" ] || printf '%-12s %-6s %6d %6d %7d %7d %5d %6d %10d\n' "$state" "$t" 0 0 0 0 "${junk[$t]}" 0 \
      "${falsegood[$t]:-0}"
  done
  unset laid exact partial asleft junk missed falsegood found
done
