#!/usr/bin/env bash
# Writes the benchmark images' file tree on the host: FILES files of 1 byte
# to 3 KiB over FOLDERS folders, six subfolders a folder, most names long,
# some non-ASCII. Lists in LISTS what the image makers delete afterwards, one
# volume path ("/Folder/name") a line: delete-files (one file in 150) and
# delete-trees (four of the deepest folders).
#
# usage: bench/write_file_tree.sh TREE LISTS FILES FOLDERS
set -euo pipefail

tree=${1:?usage: write_file_tree.sh TREE LISTS FILES FOLDERS}
lists=${2:?usage: write_file_tree.sh TREE LISTS FILES FOLDERS}
files=${3:?usage: write_file_tree.sh TREE LISTS FILES FOLDERS}
folders=${4:?usage: write_file_tree.sh TREE LISTS FILES FOLDERS}
export LC_ALL=C.UTF-8

awk -v files="$files" -v folders="$folders" -v tree="$tree" \
    -v delfiles="$lists/delete-files" -v deltrees="$lists/delete-trees" -v dirs="$lists/dirs" '
function folder_name(k,   words) {
  if (k % 4 == 0) return sprintf("DIR%05d", k)  # a plain 8.3 name: no long-name entries
  split("Quarterly Reports|Holiday Photos 2023|Customer Invoices|Project Archive|Music Collection|Old Backups", words, "|")
  return sprintf("Folder %04d %s", k, words[k % 6 + 1])
}
function file_name(i) {
  if (i % 5 == 0) return sprintf("F%07d.TXT", i)
  if (i % 5 == 1) return sprintf("d%07d.txt", i)  # lower case, kept as case flags: no long name
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
  # Four of the deepest folders (leaves of the tree) go whole.
  for (k = folders; k > folders - 4 * 7 && 6 * k + 1 > folders; k -= 7) print path[k] > deltrees
}'
