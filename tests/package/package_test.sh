#!/usr/bin/env bash
# Builds the .deb from a finished build folder, unpacks it into a temporary
# root and checks what a Debian user gets: the programs, the manual pages,
# the icons, a desktop entry and metainfo that validate, dependencies from
# dpkg-shlibdeps, and an unpacked salvex that reads the demo disk.
#
# usage: package_test.sh BUILD_DIR SOURCE_DIR   (exit 77: a tool is missing)
set -euo pipefail
build=$1
source=$2

for tool in cpack dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli sfdisk mkfs.fat mcopy; do
  command -v "$tool" >/dev/null || { echo "package test skipped: $tool is missing (run scripts/setup.sh)"; exit 77; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "package test: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack failed"; }
deb=$(ls "$work"/out/salvex_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "cpack made no salvex_*.deb"

depends=$(dpkg-deb --field "$deb" Depends)
for library in libc6 libstdc++6 libqt6widgets6; do
  case $depends in *"$library"*) ;; *) fail "Depends lacks $library: $depends" ;; esac
done

root="$work/root"
dpkg -x "$deb" "$root"
for file in usr/bin/salvex usr/bin/salvex-gui usr/share/man/man1/salvex.1.gz usr/share/man/man1/salvex-gui.1.gz \
            usr/share/icons/hicolor/scalable/apps/org.brimora.SalvexFat.svg \
            usr/share/icons/hicolor/48x48/apps/org.brimora.SalvexFat.png; do
  [ -s "$root/$file" ] || fail "$file is missing from the package"
done
desktop-file-validate "$root/usr/share/applications/org.brimora.SalvexFat.desktop" ||
  fail "the desktop entry does not validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.brimora.SalvexFat.metainfo.xml" >"$work/appstream.log" 2>&1 ||
  { cat "$work/appstream.log"; fail "the metainfo does not validate"; }

bash "$source/scripts/make-demo-image.sh" "$work/demo.img" >/dev/null
"$root/usr/bin/salvex" --version | grep -q '^salvex ' || fail "the unpacked salvex has no --version"
listing=$("$root/usr/bin/salvex" partitions "$work/demo.img")
case $listing in *"Partition 2 - FAT16"*) ;; *) fail "the unpacked salvex listed: $listing" ;; esac
echo "package test: $(basename "$deb") is complete"
