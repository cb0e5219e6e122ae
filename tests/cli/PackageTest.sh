#!/bin/bash
# The Debian package, packed by cpack from the already built tree: named by version and architecture,
# depending on the packages of the libraries the programs link, holding everything an install holds
# and only under usr/, with programs that carry no path of the build tree.
# Exits 77 (skipped) where the Debian packaging tools are missing.
set -u
BUILD=$1
SOURCE=$2
VERSION=$3
WORK=$4
failures=0
check() { if ! eval "$2"; then echo "FAILED: $1"; failures=$((failures + 1)); fi; }

for tool in dpkg-deb dpkg-shlibdeps file readelf cpack; do
  if ! command -v $tool >/dev/null; then
    echo "skipped: no $tool here (packing needs cmake, dpkg-dev, file and binutils)"
    exit 77
  fi
done

rm -rf "$WORK" && mkdir -p "$WORK"
# cpack installs what the tree built; it builds nothing itself.
if ! (cd "$BUILD" && cpack -G DEB -B "$WORK" >"$WORK/cpack.log" 2>&1); then
  cat "$WORK/cpack.log"
  echo "FAILED: cpack makes the package"
  exit 1
fi
DEB=$WORK/kavro_${VERSION}_$(dpkg --print-architecture).deb
check "the package is named by version and architecture" "[ -s \"$DEB\" ]"
[ -s "$DEB" ] || { ls "$WORK"; exit 1; }

dpkg-deb --info "$DEB" >"$WORK/info"
# shellcheck disable=SC2034 # read by the checks below
depends=$(sed -n 's/^ Depends: //p' "$WORK/info")
check "it is the kavro package" "grep -q '^ Package: kavro$' \"$WORK/info\""
check "in the video section" "grep -q '^ Section: video$' \"$WORK/info\""
check "with a maintainer" "grep -q '^ Maintainer: .*<.*@.*>' \"$WORK/info\""
for library in 'libqt6widgets6' 'libsdl2-2\.0-0' 'libavcodec(-extra)?[0-9]+' 'libavformat[0-9]+' 'libswscale[0-9]+'; do
  check "it depends on $library (read from the programs' libraries)" \
    "echo \"\$depends\" | grep -Eq '(^|, )$library( |,|$)'"
done

dpkg -c "$DEB" | awk '{print $6}' >"$WORK/contents"
for file in bin/kavro-flv-converter bin/kavro-video-converter bin/kavro-convert bin/kavro-play \
  share/kavro/kavroflvformat.ini share/kavro/kavrovideoformat.ini \
  share/applications/kavro-flv-converter.desktop share/applications/kavro-video-converter.desktop \
  share/icons/hicolor/scalable/apps/kavro-flv-converter.svg \
  share/icons/hicolor/scalable/apps/kavro-video-converter.svg \
  share/metainfo/net.kavro.VideoConverter.metainfo.xml \
  share/man/man1/kavro-convert.1.gz share/man/man1/kavro-play.1.gz; do
  check "it holds usr/$file" "grep -qx './usr/$file' \"$WORK/contents\""
done
outside=$(grep -Ev '^\./(usr(/.*)?)?$' "$WORK/contents")
check "it holds nothing outside usr/: $outside" "[ -z \"\$outside\" ]"

dpkg-deb -x "$DEB" "$WORK/root"
for program in "$WORK"/root/usr/bin/*; do
  name=${program##*/}
  paths=$(readelf -d "$program" | grep -E 'RPATH|RUNPATH')
  check "$name has no library path into the build or source tree: $paths" \
    "! echo \"\$paths\" | grep -qF -e \"$BUILD\" -e \"$SOURCE\""
  check "$name is stripped of its debugging symbols" "! readelf -S \"$program\" | grep -q '\.debug_info'"
done
check "the manual pages are compressed" "gzip -t \"$WORK\"/root/usr/share/man/man1/*.1.gz"
# The packed command line still runs after stripping.
check "the packed command line runs" "\"$WORK/root/usr/bin/kavro-convert\" --help >/dev/null 2>&1"

if [ $failures -ne 0 ]; then exit 1; fi
echo "all package checks passed"
