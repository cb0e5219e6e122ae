#!/usr/bin/env bash
# kavro-convert as a person uses it: exit codes, refusals, a conversion, an interrupted one.
# Arguments: the program, the folder of generated test media, a folder for outputs.
set -u
program=$1
media=$2
out=$3
rm -rf "$out" && mkdir -p "$out"
failures=0
total=0
check() { # description, expected exit code, command...
  local description=$1 expected=$2
  total=$((total + 1))
  shift 2
  "$@" >"$out/stdout" 2>"$out/stderr"
  local code=$?
  if [ "$code" != "$expected" ]; then
    echo "FAIL: $description: exit $code, expected $expected"
    cat "$out/stderr"
    failures=$((failures + 1))
  fi
}
check "usage error" 2 "$program" -i "$media/av.mp4"
check "help" 0 "$program" -h
check "missing input" 1 "$program" -i "$media/missing.avi" "$out/x.avi"
grep -q "missing.avi: No such file or directory" "$out/stderr" || { echo "FAIL: missing input message"; failures=$((failures + 1)); }
check "conversion" 0 "$program" -i "$media/av.mp4" -vcodec mpeg4 -ab 96000 "$out/a.avi"
check "existing output refused" 1 "$program" -i "$media/av.mp4" "$out/a.avi"
grep -q "already exists" "$out/stderr" || { echo "FAIL: overwrite message"; failures=$((failures + 1)); }
check "overwrite" 0 "$program" -y -i "$media/av.mp4" -t 1 "$out/a.avi"
check "info of the output" 0 "$program" --info "$out/a.avi"
grep -q "Duration: 00:00:01" "$out/stdout" || { echo "FAIL: -t 1 duration"; cat "$out/stdout"; failures=$((failures + 1)); }
check "two conversions at once" 0 "$program" -j 2 -i "$media/av.mp4" "$out/b.mkv" -- -i "$media/audio.wav" "$out/c.mp3"
check "a target refined by the options after it" 0 "$program" -y -i "$media/av.mp4" -target pal-dvd -acodec mp2 -ab 224000 -t 1 "$out/dvd.mpg"
check "info of the disc" 0 "$program" --info "$out/dvd.mpg"
grep -q "Audio: mp2" "$out/stdout" && grep -q "720x576" "$out/stdout" || { echo "FAIL: refined target"; cat "$out/stdout"; failures=$((failures + 1)); }
# Ctrl-C: every task stops cleanly with its trailer, exit 130.
"$program" -y -re -i "$media/av.mp4" "$out/d.avi" >"$out/stdout" 2>"$out/stderr" &
pid=$!
sleep 1
kill -INT $pid
wait $pid
code=$?
[ "$code" = 130 ] || { echo "FAIL: interrupt exit $code"; failures=$((failures + 1)); }
check "interrupted output is whole" 0 "$program" --info "$out/d.avi"
# Conversions to a format of the catalogue, as the window makes them.
check "catalogue of the general edition" 0 "$program" --list-formats --edition general
grep -q " 404  PSP Video (480P) (\*.mp4)" "$out/stdout" || { echo "FAIL: catalogue listing"; failures=$((failures + 1)); }
check "unknown format" 2 "$program" --format 9999 "$media/av.mp4"
check "format conversion with a file that cannot be opened" 1 "$program" --format 0 --settings "$out/s.ini" \
  --out "$out/fmt" "$media/av.mp4" "$media/av.avi" "$media/missing.avi"
grep -q "missing.avi: skipped" "$out/stderr" || { echo "FAIL: skipped file not reported"; failures=$((failures + 1)); }
[ -s "$out/fmt/av_(new).flv" ] && [ -s "$out/fmt/av_(new_1).flv" ] || { echo "FAIL: named outputs"; ls "$out/fmt"; failures=$((failures + 1)); }
grep -qi "^paraVideoEncoder=flv" "$out/s.ini" || { echo "FAIL: format defaults not stored"; failures=$((failures + 1)); }
sed -i 's/^paraVideoSize=.*/paraVideoSize=big/' "$out/s.ini"
check "a size that cannot be read, answered No" 0 "$program" --format 0 --settings "$out/s.ini" --out "$out/fmt2" --no "$media/av.mp4"
grep -q "Warning: Error output Video Size.Use the default size 320x240? No" "$out/stderr" || { echo "FAIL: size question"; cat "$out/stderr"; failures=$((failures + 1)); }
# Settings that cannot be stored: the format's own defaults hold in memory, said once, every stream kept.
n=0
for settings in "$out/missing-folder/s.ini" "$out/fmt"; do
  n=$((n + 1))
  check "settings that cannot be stored ($settings)" 0 "$program" --format 103 --settings "$settings" --out "$out/unstored$n" "$media/av.mp4"
  [ "$(grep -c "Cannot write $settings: " "$out/stderr")" = 1 ] || { echo "FAIL: unstored settings not said once"; cat "$out/stderr"; failures=$((failures + 1)); }
  check "info of the output with unstored settings" 0 "$program" --info "$out/unstored$n"/*
  grep -q "Video:" "$out/stdout" && grep -q "Audio:" "$out/stdout" || { echo "FAIL: a stream lost with unstored settings"; cat "$out/stdout"; failures=$((failures + 1)); }
done
[ ! -e "$out/missing-folder" ] || { echo "FAIL: a settings folder was made"; failures=$((failures + 1)); }
echo "$((total - failures)) of $total passed"
[ "$failures" = 0 ]
