#!/usr/bin/env bash
# kavro-convert and the files around it: what it overwrites, what it refuses to read, and stopping
# it at every stage. Arguments: the program, the folder of generated test media, a folder for outputs.
set -u
program=$1
media=$2
out=$3
source "$(dirname "${BASH_SOURCE[0]}")/ScriptChecks.sh"
said() { # text expected on stderr
  grep -qF -- "$1" "$out/stderr" || { fail "message \"$1\" missing"; cat "$out/stderr"; }
}

# An output that is the input itself, however it is spelled, is refused and the input stays whole.
cp "$media/av.mp4" "$out/s.mp4"
cp "$media/av.mp4" "$out/s.orig"
ln -s s.mp4 "$out/link.mp4"
check "output over its own input" 1 "$program" -y -i "$out/s.mp4" "$out/s.mp4"
said "is the same file as the input"
check "output over its own input through a link" 1 "$program" -y -i "$out/s.mp4" "$out/../$(basename "$out")/link.mp4"
cmp -s "$out/s.mp4" "$out/s.orig" || fail "the input was changed"

# A failed -y conversion leaves the old file byte for byte; a good one replaces it.
printf 'the user'"'"'s own file' >"$out/old.avi"
cp "$out/old.avi" "$out/old.orig"
check "failed overwrite" 1 "$program" -y -i "$out/s.mp4" -vf nosuchfilter "$out/old.avi"
cmp -s "$out/old.avi" "$out/old.orig" || fail "a failed overwrite changed the old file"
check "overwrite" 0 "$program" -y -i "$out/s.mp4" -t 1 "$out/old.avi"
cmp -s "$out/old.avi" "$out/old.orig" && fail "a good overwrite kept the old file"
ls -A "$out" | grep -q '\.part$' && fail "a file written aside was left behind"

# One command never writes one file twice, nor reads what it writes itself.
check "one output twice" 1 "$program" -j 2 -i "$media/audio.wav" "$out/r.wav" -- -i "$media/audio.wav" "$out/./r.wav"
said "Output file '$out/./r.wav' is given more than once"
[ -e "$out/r.wav" ] && fail "the doubled output was written"
check "an input made by an earlier conversion" 1 "$program" -y -i "$out/s.mp4" -t 1 "$out/b.mp4" -- -i "$out/b.mp4" "$out/c.mp4"
said "Input file '$out/b.mp4' is the output of an earlier conversion of this command"

# Settings and presets that never end are refused at once.
started=$(date +%s%N)
check "settings that are a device" 1 timeout 10 "$program" --format 0 --settings /dev/zero --out "$out/fmt" "$media/av.mp4"
said "/dev/zero: not a regular file"
elapsed=$((($(date +%s%N) - started) / 1000000))
# Well under a second on its own; the bound leaves room for sanitizer builds on a busy machine.
[ "$elapsed" -lt 2000 ] || fail "refusing /dev/zero as settings took $elapsed ms"
check "a preset that is a device" 1 timeout 10 "$program" -y -i "$media/av.mp4" -fpre /dev/urandom "$out/p.avi"
said 'Preset "/dev/urandom": not a regular file'

# SIGTERM and Ctrl-C stop every stage, also one that waits for an input without end: the pipe is
# held open here and never written, so opening the input stalls.
mkfifo "$out/fifo"
exec 3<>"$out/fifo"
for signal in TERM INT; do
  "$program" -y -i "$out/fifo" "$out/q.avi" >/dev/null 2>&1 3>&- &
  pid=$!
  # Signal only once the program waits for the pipe, past its start-up.
  for _ in $(seq 100); do ls -l /proc/$pid/fd 2>/dev/null | grep -q fifo && break; sleep 0.1; done
  sleep 0.2
  kill -$signal $pid
  for _ in $(seq 50); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  if kill -0 $pid 2>/dev/null; then
    fail "SIG$signal did not stop a command waiting for its input"
    kill -KILL $pid
  fi
  wait $pid
  code=$?
  [ "$code" = 130 ] || fail "SIG$signal exit $code, expected 130"
done
exec 3>&-

# One failure is told once.
check "an encoder that cannot open" 1 "$program" -y -i "$media/av.mp4" -acodec libmp3lame -ac 6 "$out/six.mp3"
count=$(grep -c "Error while opening encoder" "$out/stderr")
[ "$count" = 1 ] || fail "the encoder failure was told $count times"

echo "$total commands run, $failures checks failed"
[ "$failures" = 0 ]
