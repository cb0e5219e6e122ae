#!/usr/bin/env bash
# Faults from outside while kavro-convert works: the output folder removed during a run, a full
# disk, the source cut short during a run, a source it may not read and a folder it may not write,
# and a frame hook module whose loading crashes. Each case prints what the user sees; each must end
# with a clear error and the right exit code, let the other conversions finish, and delete nothing
# the run did not make.
# Arguments: the program, the folder of generated test media, a folder for outputs, the crashing
# hook module.
set -u
program=$1
media=$2
out=$3
crashing_hook=$4
hook_check=$(dirname "$program")/kavro-hook-check
source "$(dirname "${BASH_SOURCE[0]}")/ScriptChecks.sh"
expect() { # description, condition
  eval "$2" || fail "$1"
}

# Runs the program in the background with its messages in $out/$name.log; its process id in $pid.
start() { # name, arguments...
  local name=$1
  shift
  "$program" "$@" >"$out/$name.log" 2>&1 </dev/null &
  pid=$!
}
# Waits (at most 30 s) until a partial output of that name is being written.
wait_for_part() { # folder, output file name
  local tries=0
  until compgen -G "$1/.$2.*.part" >/dev/null; do
    tries=$((tries + 1))
    [ $tries -gt 600 ] && return 1
    sleep 0.05
  done
}
# Shows the messages the user got: every line but the progress lines.
shown() { # name
  echo "--- $1: what the user sees"
  tr '\r' '\n' <"$out/$1.log" | grep -v '^ *\(\[[0-9]*/[0-9]*\] *\)\?[0-9]*%' | grep -v '^$' | sed 's/^/    /'
}

# A conversion that takes a few seconds, so faults can come while it runs.
slow=(-vcodec libx264 -preset medium -s 1280x720)
cp "$media/edit.mp4" "$out/slow.mp4"

# The output folder removed while the file is written: the conversion fails naming the file, and the
# next conversion of the command still converts.
mkdir -p "$out/gone" "$out/kept"
start removed -y -i "$out/slow.mp4" "${slow[@]}" "$out/gone/a.mp4" -- -i "$media/av.mp4" "$out/kept/b.flv"
wait_for_part "$out/gone" a.mp4 || fail "the removed-folder conversion never began"
rm -rf "$out/gone"
wait $pid
code=$?
shown removed
expect "a removed output folder fails the command (exit $code)" "[ $code -eq 1 ]"
expect "and says which file is gone" "grep -q 'gone/a.mp4: its folder was removed' '$out/removed.log'"
expect "the next conversion converts" "[ -s '$out/kept/b.flv' ]"
expect "the source is whole" "cmp -s '$media/edit.mp4' '$out/slow.mp4'"

# A full disk: a device that takes nothing.
if [ "$(id -u)" -eq 0 ]; then
  mknod "$out/full.flv" c 1 7
  start full -y -i "$media/av.mp4" "$out/full.flv" -- -i "$media/av.avi" "$out/kept/c.flv"
  wait $pid
  code=$?
  shown full
  expect "a full disk fails the command (exit $code)" "[ $code -eq 1 ]"
  expect "and says so" "grep -q 'full.flv: No space left on device' '$out/full.log'"
  expect "the device stays a device" "[ -c '$out/full.flv' ]"
  expect "the next conversion converts" "[ -s '$out/kept/c.flv' ]"
else
  echo "skipped: a full disk needs a device node, which only root may make"
fi

# The source cut short while it converts: in a batch of the window's kind the row fails with the
# sizes, nothing of it is kept, and the next file converts.
printf '[settings]\nFormatCode=103\n' >"$out/settings.ini"
cp "$media/av.mp4" "$out/next.mp4"
start shrunk --format 103 --settings "$out/settings.ini" --out "$out/batch" "$out/slow.mp4" "$out/next.mp4"
wait_for_part "$out/batch" "slow_(new).mp4" || fail "the shrinking-source conversion never began"
sleep 0.5
truncate -s 300000 "$out/slow.mp4"
wait $pid
code=$?
shown shrunk
expect "a source cut short fails the batch (exit $code)" "[ $code -eq 1 ]"
expect "and says it became shorter" "grep -q 'slow.mp4: the file became shorter while it was converted' '$out/shrunk.log'"
expect "and names the file once" "[ \$(grep -o slow.mp4 '$out/shrunk.log' | wc -l) = 1 ]"
expect "its output is not kept" "[ ! -e '$out/batch/slow_(new).mp4' ] && ! compgen -G '$out/batch/.slow*' >/dev/null"
expect "the next file converts" "[ -s '$out/batch/next_(new).mp4' ]"
expect "the shortened source stays as it is" "[ \$(stat -c %s '$out/slow.mp4') -eq 300000 ]"

# A source that may not be read and a folder that may not be written, as a user without those rights.
if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null; then
  as_nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  if "${as_nobody[@]}" test -x "$program" -a -r "$media/av.mp4"; then
    mkdir -p "$out/nobody" "$out/readonly"
    chmod 777 "$out/nobody" "$out"
    chmod 555 "$out/readonly"
    cp "$media/av.mp4" "$out/secret.mp4" && chmod 600 "$out/secret.mp4"
    "${as_nobody[@]}" "$program" -y -i "$out/secret.mp4" "$out/nobody/d.flv" >"$out/unreadable.log" 2>&1 </dev/null
    code=$?
    shown unreadable
    expect "an unreadable source fails the command (exit $code)" "[ $code -eq 1 ]"
    expect "and says why" "grep -q 'secret.mp4: Permission denied' '$out/unreadable.log'"
    expect "the source is still there" "[ -s '$out/secret.mp4' ]"
    "${as_nobody[@]}" "$program" -y -i "$media/av.mp4" "$out/readonly/e.flv" -- -i "$media/av.mp4" \
      "$out/nobody/f.flv" >"$out/unwritable.log" 2>&1 </dev/null
    code=$?
    shown unwritable
    expect "an unwritable folder fails the command (exit $code)" "[ $code -eq 1 ]"
    expect "and says why" "grep -q 'readonly/e.flv: Permission denied' '$out/unwritable.log'"
    expect "naming the file once" "[ \$(grep -o readonly/e.flv '$out/unwritable.log' | wc -l) = 1 ]"
    chmod 755 "$out/readonly"
    # A folder that takes no new file still lets a file it holds be written in place; that file
    # removed during the run is not reported converted.
    mkdir -p "$out/fixed" && : >"$out/fixed/h.mp4" && chmod 666 "$out/fixed/h.mp4" && chmod 555 "$out/fixed"
    "${as_nobody[@]}" "$program" -y -i "$media/edit.mp4" "${slow[@]}" "$out/fixed/h.mp4" -- -i "$media/av.mp4" \
      "$out/nobody/i.flv" >"$out/inplace.log" 2>&1 </dev/null &
    pid=$!
    tries=0
    until [ -s "$out/fixed/h.mp4" ] || [ $tries -gt 600 ]; do
      tries=$((tries + 1))
      sleep 0.05
    done
    rm -f "$out/fixed/h.mp4"
    wait $pid
    code=$?
    shown inplace
    expect "a file written in place and removed fails the command (exit $code)" "[ $code -eq 1 ]"
    expect "and says it is gone" "grep -q 'fixed/h.mp4: its folder was removed while it was written (or the file was)' '$out/inplace.log'"
    expect "the next conversion converts" "[ -s '$out/nobody/i.flv' ]"
    chmod 755 "$out/fixed"
  else
    echo "skipped: the unprivileged user cannot reach the program or the test media"
  fi
else
  echo "skipped: reading and writing without rights is tried as root, which has them all"
fi

# A frame hook module whose loading crashes is refused; the program itself does not go down.
start hook -y -i "$media/av.mp4" -vhook "$crashing_hook" "$out/kept/g.flv"
wait $pid
code=$?
shown hook
expect "a crashing hook module is refused (exit $code)" "[ $code -eq 1 ]"
expect "with a message" "grep -q 'crashed while it was loaded' '$out/hook.log'"
expect "and nothing is written" "[ ! -e '$out/kept/g.flv' ]"
# One that never finishes loading ends at the checker's own limit, also where no wait can be timed.
KAVRO_HOOK_HANG=1 timeout 10 "$hook_check" "$crashing_hook" 1
code=$?
expect "a hanging hook module ends at the checker's limit (exit $code)" "[ $code -eq 142 ]"

if [ $failures -ne 0 ]; then exit 1; fi
echo "all fault checks passed"
