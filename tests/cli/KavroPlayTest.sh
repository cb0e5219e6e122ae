#!/bin/bash
# kavro-play from a terminal: usage and open errors give their exit codes, a file plays to its end.
set -u
# A pipeline's status is the player's, not that of the tr behind it.
set -o pipefail
PLAY=$1
MEDIA=$2
failures=0
check() { if ! eval "$2"; then echo "FAILED: $1"; failures=$((failures + 1)); fi; }

"$PLAY" >/dev/null 2>&1
check "no file is a usage error" "[ $? -eq 2 ]"
"$PLAY" -ss >/dev/null 2>&1
check "an option without its number is a usage error" "[ $? -eq 2 ]"
message=$("$PLAY" "$MEDIA/random.avi" 2>&1 >/dev/null)
check "a file that is not media fails" "[ $? -eq 1 ]"
check "and says why" "[[ \"\$message\" == *random.avi* ]]"
output=$(timeout 30 "$PLAY" -ss 2 "$MEDIA/av.mp4" | tr '\r' '\n')
check "plays the last second" "[ $? -eq 0 ]"
check "reports the end and the stop" "grep -qx end <<<\"\$output\" && grep -qx stop <<<\"\$output\""
check "ends at three seconds" "grep -qE '^ +3.00 s$' <<<\"\$output\""
output=$(timeout 30 "$PLAY" -nodisp -t 0.5 "$MEDIA/audio.wav" | tr '\r' '\n')
check "plays a part of a sound file without a window" "grep -qx stop <<<\"\$output\""
snapshot=$(mktemp -d)
output=$(timeout 30 "$PLAY" --snapshot "$snapshot/at.bmp" --at 1.2 "$MEDIA/av.mp4")
check "a snapshot is written" "[ $? -eq 0 ] && [ -s \"$snapshot/at.bmp\" ]"
check "of the picture at the time asked" "grep -q '320x240 at 1.200 s' <<<\"\$output\""
timeout 30 "$PLAY" --snapshot "$snapshot/none.bmp" --at 1 "$MEDIA/audio.wav" >/dev/null 2>&1
check "a sound file has no picture to write" "[ $? -eq 1 ] && [ ! -e \"$snapshot/none.bmp\" ]"
message=$(timeout 30 "$PLAY" --snapshot "$snapshot/none.bmp" --at 1 -vf nosuchfilter "$MEDIA/av.mp4" 2>&1 >/dev/null)
check "a picture its filters refuse is not written" "[ $? -eq 1 ] && [ ! -e \"$snapshot/none.bmp\" ]"
check "and the refusal is told once" "[ \$(grep -c \"No such filter: 'nosuchfilter'\" <<<\"\$message\") -eq 1 ]"
rm -rf "$snapshot"
output=$(timeout 6 "$PLAY" -nodisp -loop -ss 2.5 "$MEDIA/audio.wav" | tr '\r' '\n')
check "loops until stopped" "[ $? -eq 124 ]"
check "reaching the end again and again" "[ \$(grep -cx end <<<\"\$output\") -ge 3 ]"
exit $((failures > 0))
