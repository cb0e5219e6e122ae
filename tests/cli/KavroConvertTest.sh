#!/usr/bin/env bash
# kavro-convert as a person uses it: exit codes, refusals, a conversion, an interrupted one.
# Arguments: the program, the folder of generated test media, a folder for outputs.
set -u
program=$1
media=$2
out=$3
source "$(dirname "${BASH_SOURCE[0]}")/ScriptChecks.sh"
check "usage error" 2 "$program" -i "$media/av.mp4"
check "help" 0 "$program" -h
check "missing input" 1 "$program" -i "$media/missing.avi" "$out/x.avi"
grep -q "missing.avi: No such file or directory" "$out/stderr" || fail "missing input message"
check "conversion" 0 "$program" -i "$media/av.mp4" -vcodec mpeg4 -ab 96000 "$out/a.avi"
check "existing output refused" 1 "$program" -i "$media/av.mp4" "$out/a.avi"
grep -q "already exists" "$out/stderr" || fail "overwrite message"
check "overwrite" 0 "$program" -y -i "$media/av.mp4" -t 1 "$out/a.avi"
check "info of the output" 0 "$program" --info "$out/a.avi"
grep -q "Duration: 00:00:01" "$out/stdout" || { fail "-t 1 duration"; cat "$out/stdout"; }
check "two conversions at once" 0 "$program" -j 2 -i "$media/av.mp4" "$out/b.mkv" -- -i "$media/audio.wav" "$out/c.mp3"
check "a target refined by the options after it" 0 "$program" -y -i "$media/av.mp4" -target pal-dvd -acodec mp2 -ab 224000 -t 1 "$out/dvd.mpg"
check "info of the disc" 0 "$program" --info "$out/dvd.mpg"
grep -q "Audio: mp2" "$out/stdout" && grep -q "720x576" "$out/stdout" || { fail "refined target"; cat "$out/stdout"; }
# Ctrl-C: every task stops cleanly with its trailer, exit 130.
"$program" -y -re -i "$media/av.mp4" "$out/d.avi" >"$out/stdout" 2>"$out/stderr" &
pid=$!
sleep 1
kill -INT $pid
wait $pid
code=$?
[ "$code" = 130 ] || fail "interrupt exit $code"
check "interrupted output is whole" 0 "$program" --info "$out/d.avi"
# Conversions to a format of the catalogue, as the window makes them.
check "catalogue of the general edition" 0 "$program" --list-formats --edition general
grep -q " 404  PSP Video (480P) (\*.mp4)" "$out/stdout" || fail "catalogue listing"
check "unknown format" 2 "$program" --format 9999 "$media/av.mp4"
check "format conversion with a file that cannot be opened" 1 "$program" --format 0 --settings "$out/s.ini" \
  --out "$out/fmt" "$media/av.mp4" "$media/av.avi" "$media/missing.avi"
grep -q "missing.avi: skipped" "$out/stderr" || fail "skipped file not reported"
[ -s "$out/fmt/av_(new).flv" ] && [ -s "$out/fmt/av_(new_1).flv" ] || { fail "named outputs"; ls "$out/fmt"; }
grep -qi "^paraVideoEncoder=flv" "$out/s.ini" || fail "format defaults not stored"
sed -i 's/^paraVideoSize=.*/paraVideoSize=big/' "$out/s.ini"
check "a size that cannot be read, answered No" 0 "$program" --format 0 --settings "$out/s.ini" --out "$out/fmt2" --no "$media/av.mp4"
grep -q "Warning: Error output Video Size.Use the default size 320x240? No" "$out/stderr" || { fail "size question"; cat "$out/stderr"; }
# Settings that cannot be stored: the format's own defaults hold in memory, said once, every stream kept.
n=0
for settings in "$out/missing-folder/s.ini" "$out/fmt"; do
  n=$((n + 1))
  check "settings that cannot be stored ($settings)" 0 "$program" --format 103 --settings "$settings" --out "$out/unstored$n" "$media/av.mp4"
  [ "$(grep -c "Cannot write $settings: " "$out/stderr")" = 1 ] || { fail "unstored settings not said once"; cat "$out/stderr"; }
  check "info of the output with unstored settings" 0 "$program" --info "$out/unstored$n"/*
  grep -q "Video:" "$out/stdout" && grep -q "Audio:" "$out/stdout" || { fail "a stream lost with unstored settings"; cat "$out/stdout"; }
done
[ ! -e "$out/missing-folder" ] || fail "a settings folder was made"
echo "$((total - failures)) of $total passed"
[ "$failures" = 0 ]
