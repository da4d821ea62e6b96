#!/usr/bin/env bash
# Makes an exFAT image of the same file tree as bench/make_many_files_image.sh
# (FILES files, default 10000, a few hundred of them and four folder trees
# then deleted), through salvex_make_exfat_image: $SALVEX_EXFAT_MAKER, else
# build-bench/, else build/ (it is built with the tests).
#
# usage: bench/make_many_exfat_image.sh OUTPUT [FILES]
set -euo pipefail

out=${1:?usage: make_many_exfat_image.sh OUTPUT [FILES]}
files=${2:-10000}
case $out in /*) ;; *) out=$PWD/$out ;; esac
here=$(cd "$(dirname "$0")" && pwd)
maker=${SALVEX_EXFAT_MAKER:-}
for candidate in "$here/../build-bench/bench/salvex_make_exfat_image" "$here/../build/bench/salvex_make_exfat_image"; do
  [ -n "$maker" ] || { [ -x "$candidate" ] && maker=$candidate; }
done
[ -n "$maker" ] || { echo "make_many_exfat_image: build salvex_make_exfat_image first" >&2; exit 77; }
command -v mkfs.exfat >/dev/null || { echo "make_many_exfat_image: mkfs.exfat is missing (run scripts/setup.sh)" >&2; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/tree"
"$here/write_file_tree.sh" "$work/tree" "$work" "$files" "$((files / 128 > 0 ? files / 128 : 1))"
rm -f "$out"
"$maker" "$out" "$work/tree" "$work"
