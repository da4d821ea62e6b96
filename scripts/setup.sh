#!/usr/bin/env bash
# Installs every Debian package that building, testing, fuzzing and
# benchmarking need (for the carving tests: ImageMagick, exiftool, zip and
# SoX with its MP3 format make the files laid on cards; for the desktop
# window: Qt 6, its SVG icons, the MIME database for type names, and Xvfb
# for its screenshot test; for the .deb: dpkg-shlibdeps and the desktop-entry
# and AppStream validators; for the differential test: python3, and
# exfat-fuse for its exFAT volumes). Safe to run again: it only calls
# apt-get when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build git pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
  clang-14 libfuzzer-14-dev libclang-rt-14-dev
  dosfstools mtools fdisk ntfs-3g exfatprogs exfat-fuse
  imagemagick libimage-exiftool-perl zip sox libsox-fmt-mp3
  sleuthkit hyperfine xz-utils gddrescue python3
  qt6-base-dev libqt6svg6 shared-mime-info xvfb xauth
  libsystemd-dev dbus-daemon zlib1g-dev
  dpkg-dev desktop-file-utils appstream
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "setup: installing ${missing[*]}"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
