#!/usr/bin/env bash
# kavro-convert given what it must refuse, each beside a use of the same option that must keep
# working. One row per case: a name, a time limit in seconds, the exit code, a piece of text, the
# arguments. For a refusal the text is part of the message on stderr; for a conversion (exit 0) it
# is part of what --info says of the output, the last argument, which must be a whole file with its
# streams; an argument @EXT stands for a fresh output name. A text starting with "!" must not appear on stderr. No row may run past its limit.
# Arguments: the program, the folder of generated test media, a folder for outputs.
set -u
program=$1
media=$2
out=$3
source "$(dirname "${BASH_SOURCE[0]}")/ScriptChecks.sh"

row() { # name, limit, exit code, text, arguments...
  local name=$1 limit=$2 expected=$3 text=$4
  shift 4
  total=$((total + 1))
  # An argument @EXT names a fresh output of that extension.
  local arguments=() argument
  for argument in "$@"; do
    [ "${argument:0:1}" = "@" ] && argument="$out/o$total.${argument:1}"
    arguments+=("$argument")
  done
  set -- "${arguments[@]}"
  local target=${!#}
  timeout -k 2 "$limit" "$program" "$@" >"$out/stdout" 2>"$out/stderr" </dev/null
  local code=$?
  if [ "$code" = 124 ] || [ "$code" = 137 ]; then
    fail "$name: ran past its limit of $limit s"
    return
  fi
  if [ "$code" != "$expected" ]; then
    fail "$name: exit $code, expected $expected"
    cat "$out/stderr"
    return
  fi
  if [ "${text:0:1}" = "!" ]; then
    grep -qF -- "${text:1}" "$out/stderr" && fail "$name: \"${text:1}\" was said"
  elif [ "$code" != 0 ]; then
    grep -qF -- "$text" "$out/stderr" || { fail "$name: message \"$text\" missing"; cat "$out/stderr"; }
  fi
  if [ "$code" != 0 ]; then
    # A refusal leaves nothing behind.
    case $target in "$out"/o*) [ -e "$target" ] && fail "$name: a refused output was left: $target" ;; esac
    return
  fi
  # A conversion that says it worked leaves a whole output with streams and a length.
  if ! "$program" --info "$target" >"$out/info" 2>&1; then
    fail "$name: the output cannot be read"
    cat "$out/info"
    return
  fi
  grep -q "Stream #" "$out/info" || fail "$name: the output has no stream"
  grep -q "Duration: 00:00:00.000" "$out/info" && fail "$name: the output is empty"
  if [ "${text:0:1}" != "!" ] && [ -n "$text" ]; then
    grep -qF -- "$text" "$out/info" || { fail "$name: output lacks \"$text\""; cat "$out/info"; }
  fi
}

av=$media/av.mp4

# Sizes and stream indices that do not fit an int are refused, not wrapped around.
row "size that wraps to 320x240" 20 2 "Incorrect frame size" -i "$av" -s 4294967616x4294967536 @avi
row "size one above an int" 20 2 "Incorrect frame size" -i "$av" -s 2147483648x240 @avi
row "size beyond any picture" 20 2 "Incorrect frame size" -i "$av" -s 100000x100000 @avi
row "size of zero width" 20 2 "Incorrect frame size" -i "$av" -s 0x240 @avi
row "negative size" 20 2 "Incorrect frame size" -i "$av" -s -320x240 @avi
row "size that is no size" 20 2 "Incorrect frame size" -i "$av" -s big @avi
row "size 320x240" 30 0 "320x240" -i "$av" -t 1 -s 320x240 @avi
row "size 176x144" 30 0 "176x144" -i "$av" -t 1 -s 176x144 @avi
row "size by name" 30 0 "176x144" -i "$av" -t 1 -s qcif @avi
row "stream index that wraps to 1" 20 2 'Invalid value "0:4294967297" for option "map"' \
  -i "$av" -map 0:4294967297 @mkv
row "file index that wraps to 0" 20 2 "out of range" -i "$av" -map 4294967296:0 -map 0:1 @mkv
row "stream that does not exist" 20 1 "Could not find input stream #0.7" -i "$av" -map 0:0 -map 0:7 @mkv
row "streams mapped in turn" 30 0 "Audio:" -i "$av" -t 1 -map 0:0 -map 0:1 @mkv

# Durations, frame counts, sizes and start times that would give an empty or a longer output.
row "negative duration" 20 2 "Invalid duration for t: -5" -i "$av" -t -5 @avi
row "zero duration" 20 2 "Invalid duration for t: 0" -i "$av" -t 0 @avi
row "duration that is no time" 20 2 "Invalid duration specification for t: soon" -i "$av" -t soon @avi
row "half a second" 30 0 "Duration: 00:00:00.5" -i "$av" -t 0.5 @mkv
row "negative start" 20 2 "Invalid start time for ss: -5" -i "$av" -ss -5 @avi
row "negative start on the input" 20 2 "Invalid start time for ss: -1" -ss -1 -i "$av" @avi
row "start after one second" 30 0 "Duration: 00:00:02" -i "$av" -ss 1 @mkv
row "start after the end" 30 1 "received no data" -i "$av" -ss 99999 @avi
row "start after the end, as the input's" 30 1 "nothing of the input lies after its start" -ss 5 -i "$av" @avi
row "negative video frame count" 20 2 "Invalid frame count for vframes: -5" -i "$av" -vframes -5 @avi
row "no video frames" 20 2 "Invalid frame count for vframes: 0" -i "$av" -vframes 0 @avi
row "frame count beyond an int" 20 2 "is not a valid integer value" -i "$av" -vframes 99999999999 @avi
row "ten video frames" 30 0 "Video:" -i "$av" -vframes 10 @avi
row "negative audio frame count" 20 2 "Invalid frame count for aframes: -1" -i "$av" -aframes -1 @avi
row "file size limit of one byte" 20 2 "Invalid file size limit for fs: 1" -i "$av" -fs 1 @avi
row "file size limit below a header" 20 2 "at least 65536 bytes" -i "$av" -fs 4096 @avi
row "negative file size limit" 20 2 "Invalid file size limit for fs: -1" -i "$av" -fs -1 @avi
row "file size limit of 100 kB" 30 0 "Video:" -i "$av" -fs 100000 @avi
row "no file size limit" 30 0 "Video:" -i "$av" -t 1 -fs 0 @avi

# Rates no encoder or container carries are refused before anything is written.
row "a billion frames a second" 20 2 "above 1000 frames a second" -i "$av" -r 1e9 @avi
row "100000 frames a second" 20 2 "above 1000 frames a second" -i "$av" -r 100000 @mkv
row "no frames a second" 20 2 "Incorrect frame rate" -i "$av" -r 0 @avi
row "negative frame rate" 20 2 "Incorrect frame rate" -i "$av" -r -25 @avi
row "ten frames a second" 30 0 "10 fps" -i "$av" -t 1 -r 10 @mkv
row "NTSC frame rate" 30 0 "29.97 fps" -i "$av" -t 1 -r 30000/1001 @mkv
row "a billion samples a second" 20 2 "Invalid sample rate for ar: 1000000000 (at most 768000)" \
  -i "$av" -ar 1000000000 @wav
row "800 kHz" 20 2 "at most 768000" -i "$av" -ar 800000 @wav
row "sample rate that is no number" 20 2 "'fast' is not a valid integer value" -i "$av" -ar fast @wav
row "22050 Hz" 30 0 "22050 Hz" -i "$av" -t 1 -ar 22050 @wav
row "a million channels" 20 2 "Invalid channel count for ac: 1000000 (at most 64)" -i "$av" -ac 1000000 @wav
row "one channel" 30 0 "44100 Hz, 1 channels" -i "$av" -t 1 -ac 1 @wav

# A value the engine refuses, or a name nothing knows, stops the command as a usage error.
row "GOP that is no number" 20 2 'Invalid value "abc" for option "g"' -i "$av" -g abc @avi
row "flag that does not exist" 20 2 'Invalid value "+nosuchflag" for option "flags"' \
  -i "$av" -flags +nosuchflag @avi
row "audio bit rate that is no number" 20 2 'Invalid value "much" for option "ab"' -i "$av" -ab much @avi
row "video bit rate that is no number" 20 2 'Invalid value "fast" for option "b"' -i "$av" -b fast @avi
row "encoder option refused" 20 2 'Invalid value "much" for option "crf"' \
  -i "$av" -vcodec libx264 -crf much @mkv
row "sync method that is no number" 20 2 "'x' is not a valid integer value" -i "$av" -async x @avi
row "GOP of 12" 30 0 "Video:" -i "$av" -t 1 -g 12 @avi
row "encoder option taken" 30 0 "Video: h264" -i "$av" -t 1 -vcodec libx264 -crf 30 @mkv
row "misspelt option" 20 2 "Unrecognized option 'vcodek'" -i "$av" -vcodek mpeg4 @avi
row "option nothing knows" 20 2 "Unrecognized option 'nosuchoption'" -i "$av" -nosuchoption 1 @avi
row "input option nothing knows" 20 2 "Unrecognized option 'nosuchoption'" -nosuchoption 1 -i "$av" @avi
row "option of another encoder" 20 2 "Unrecognized option 'crf'" -i "$av" -vcodec mpeg4 -crf 23 @avi
row "generic buffer size" 30 0 "Video: mpeg4" -i "$av" -t 1 -vcodec mpeg4 -bufsize 500000 -maxrate 1000000 @avi

# Seconds, shapes and filters beyond what the libraries can hold.
row "mux delay that overflows" 20 2 'for option "muxdelay": not between 0 and 2147' -i "$av" -muxdelay 1e30 @mpg
row "mux preload that overflows" 20 2 'for option "muxpreload": not between 0 and 2147' -i "$av" -muxpreload 1e30 @mpg
row "mux delay of a second" 30 0 "Video:" -i "$av" -t 1 -muxdelay 1 -muxpreload 1 @mpg
row "aspect beyond any picture" 20 2 "1e30 is not between 1:255 and 255:1" -i "$av" -aspect 1e30 @avi
row "negative aspect" 20 2 "-1 is not between 1:255 and 255:1" -i "$av" -aspect -1 @avi
row "aspect 16:9" 30 0 "DAR 16:9" -i "$av" -t 1 -aspect 16:9 @avi
row "pp on a picture too low for it" 20 1 "the pp filter takes pictures at least 32 lines high, not 64x16" \
  -i "$av" -t 1 -s 64x16 -vf pp @avi
row "pp on a picture high enough" 30 0 "64x32" -i "$av" -t 1 -s 64x32 -vf pp @avi
# Stream parameters before an input describe a raw input; any other says they are not used.
row "size before a file that has its own" 30 0 "320x240" -s 64x48 -i "$av" -t 1 @avi
grep -qF "option s (64x48) is not used" "$out/stderr" || fail "the unused size before the input is not told"
row "size before a raw input" 30 0 "Duration: 00:00:00.2" -f s16le -ar 8000 -ac 1 -i "$av" -t 0.2 @wav
grep -qF "is not used" "$out/stderr" && fail "the raw input's parameters are said to be unused"

# What the output's name asks for that cannot be, said plainly.
mkdir -p "$out/folder.avi"
row "output that is a folder" 20 1 "Output file '$out/folder.avi' is a folder" -i "$av" "$out/folder.avi"
row "output in a folder that does not exist" 20 1 "No such file or directory" -i "$av" "$out/missing/x.avi"
[ "$(grep -o "$out/missing/x.avi" "$out/stderr" | wc -l)" = 1 ] || fail "the missing folder's path is not named once"
row "empty output name" 20 2 "An output file name cannot be empty" -i "$av" ""
row "empty input name" 20 2 "An input file name cannot be empty" -i "" @avi

# Joined inputs of other sizes and rates are converted to the first one's, or to what is given.
row "join: the first input's size" 60 0 "320x240" -i "$av" -i "$media/pal.mpg" -join @mkv
grep -q "44100 Hz" "$out/info" || fail "join: not the first input's sample rate"
row "join: the first input's size, the other way" 60 0 "720x576" -i "$media/pal.mpg" -i "$av" -join @mkv
grep -q "48000 Hz" "$out/info" || fail "join: not the first input's sample rate, the other way"
row "join: what is given" 60 0 "176x144" -i "$av" -i "$media/ntsc.avi" -join -s 176x144 -ar 22050 @mkv
grep -q "22050 Hz" "$out/info" || fail "join: not the sample rate given"

# Disc targets tell the multiplexer their video buffer.
row "PAL DVD" 60 0 "!VBV buffer size not set" -i "$av" -target pal-dvd -t 1 @mpg
row "NTSC SVCD" 60 0 "!VBV buffer size not set" -i "$av" -target ntsc-svcd -t 1 @mpg
row "VCD" 60 0 "!VBV buffer size not set" -i "$av" -target vcd -t 1 @mpg
row "unknown target" 20 2 "Unknown target type" -i "$av" -target pal-xyz @mpg

echo "$((total - failures)) of $total rows passed"
[ "$failures" = 0 ]
