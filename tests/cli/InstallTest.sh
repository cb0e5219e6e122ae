#!/bin/bash
# The installed programs: `cmake --install` into a scratch prefix puts programs, format files, menu
# entries, icons, the software centres' description and manual pages in place; the installed
# programs find their format files there and keep their settings in the user's config folder.
set -u
BUILD=$1
MEDIA=$2
WORK=$3
failures=0
check() { if ! eval "$2"; then echo "FAILED: $1"; failures=$((failures + 1)); fi; }

rm -rf "$WORK" && mkdir -p "$WORK"
PREFIX=$WORK/prefix
cmake --install "$BUILD" --prefix "$PREFIX" >/dev/null
check "installs" "[ $? -eq 0 ]"
for file in bin/kavro-flv-converter bin/kavro-video-converter bin/kavro-convert bin/kavro-play \
  share/kavro/kavroflvformat.ini share/kavro/kavrovideoformat.ini \
  share/applications/kavro-flv-converter.desktop share/applications/kavro-video-converter.desktop \
  share/icons/hicolor/scalable/apps/kavro-flv-converter.svg \
  share/icons/hicolor/scalable/apps/kavro-video-converter.svg \
  share/metainfo/net.kavro.VideoConverter.metainfo.xml share/man/man1/kavro-convert.1.gz share/man/man1/kavro-play.1.gz; do
  check "installs $file" "[ -s \"$PREFIX/$file\" ]"
done
check "the menu entries are valid" \
  "desktop-file-validate \"$PREFIX\"/share/applications/kavro-*.desktop"
check "the description is valid" \
  "appstreamcli validate --no-net \"$PREFIX/share/metainfo/net.kavro.VideoConverter.metainfo.xml\" >/dev/null"
check "the manual pages read" "man -l \"$PREFIX/share/man/man1/kavro-convert.1.gz\" >/dev/null 2>&1"

# The installed command line converts with the installed format file and the user's settings.
XDG_CONFIG_HOME=$WORK/config "$PREFIX/bin/kavro-convert" --format 0 --edition general --out "$WORK/out" \
  "$MEDIA/av.mp4" >/dev/null 2>&1
check "the installed command line converts" "[ $? -eq 0 ] && [ -s \"$WORK/out/av_(new).mp4\" ]"
check "its settings live in the config folder" "[ -s \"$WORK/config/kavro/kavrovideoconverter.ini\" ]"
check "and never beside the program" "[ ! -e \"$PREFIX/bin/kavrovideoconverter.ini\" ]"

# The installed window starts off-screen, reads its format file and stores the current format's
# choices in the config folder; it is ended after a few seconds.
XDG_CONFIG_HOME=$WORK/config XDG_STATE_HOME=$WORK/state QT_QPA_PLATFORM=offscreen timeout -s TERM 5 \
  "$PREFIX/bin/kavro-flv-converter" "$MEDIA/av.mp4" >/dev/null 2>&1
check "the installed window ends on SIGTERM" "[ $? -eq 124 ]"
check "and stored the format file's choices" \
  "grep -q paraVideoEncoder=flv \"$WORK/config/kavro/kavroflvvideoconverter.ini\""
check "the file it was given is in its kept job list" \
  "grep -q \"SourceFile=$MEDIA/av.mp4\" \"$WORK/state/kavro/kavroflvvideoconverter.jobs\""

if [ $failures -ne 0 ]; then exit 1; fi
echo "all install checks passed"
