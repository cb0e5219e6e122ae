#!/usr/bin/env bash
# The fuzz targets of fuzz/: installs what is missing, builds them with clang in build-fuzz/ and
#   scripts/fuzz.sh [TARGET|all] [SECONDS]
# first runs the reproducers saved in fuzz/crashes/TARGET/ once (any crash fails), then fuzzes each
# target for SECONDS (default 60) on a copy of fuzz/corpus/TARGET/. A new crash, leak, timeout or
# excess of memory is saved in fuzz/crashes/TARGET/ and fails the run.
# Variables: FUZZ_BUILD_DIR (default build-fuzz), JOBS (default: number of cores).
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"
target=${1:-all}
seconds=${2:-60}
build_dir=${FUZZ_BUILD_DIR:-build-fuzz}
targets=(option-text preset ini catalogue command-line filter media job-list)
# One input may take a few seconds under the sanitizers; none may hang or swallow memory.
limits=(-timeout=20 -rss_limit_mb=2048)

# shellcheck source=scripts/common.sh
source "$top/scripts/common.sh"

if [ "$target" != all ] && [[ ! " ${targets[*]} " =~ " $target " ]]; then
  echo "usage: scripts/fuzz.sh [all|$(IFS='|' && echo "${targets[*]}")] [SECONDS]" >&2
  exit 2
fi
[ "$target" = all ] || targets=("$target")

install_missing "${build_packages[@]}" clang llvm
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAVRO_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}" >/dev/null
cmake --build "$build_dir" -j "$jobs" --target "${targets[@]/#/kavro-fuzz-}"

# The files the targets write go to memory when it can take them: the settings file is replaced on
# every input. A target ends without cleaning up, so its temporary folders go with this run's.
base=${TMPDIR:-/tmp}
[ -w /dev/shm ] && base=/dev/shm
work=$(mktemp -d "$base/kavro-fuzz-run-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/tmp"
export TMPDIR="$work/tmp"

failed=0
summary=()
for name in "${targets[@]}"; do
  program="$build_dir/fuzz/kavro-fuzz-$name"
  crashes="fuzz/crashes/$name"
  mkdir -p "$crashes"
  mapfile -t saved < <(find "$crashes" -type f ! -name '.*' | sort)
  if [ ${#saved[@]} -gt 0 ]; then
    echo "== $name: ${#saved[@]} saved reproducer(s)"
    if ! "$program" "${limits[@]}" "${saved[@]}" >"$work/$name-saved.log" 2>&1; then
      tail -n 40 "$work/$name-saved.log"
      echo "== $name: a saved reproducer fails"
      failed=1
    fi
  fi
  echo "== $name: fuzzing for $seconds s"
  rm -rf "$work/corpus"
  cp -r "fuzz/corpus/$name" "$work/corpus"
  before=$(find "$crashes" -type f | wc -l)
  status=0
  "$program" "${limits[@]}" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$crashes/" "$work/corpus" >"$work/$name.log" 2>&1 || status=$?
  found=$(($(find "$crashes" -type f | wc -l) - before))
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$name.log" | tail -n 1)
  coverage=$(grep -o 'cov: [0-9]*' "$work/$name.log" | tail -n 1 | cut -d' ' -f2)
  if [ "$status" -ne 0 ] || [ "$found" -gt 0 ]; then
    grep -E 'ERROR|SUMMARY|Test unit written' "$work/$name.log" | head -n 5 || true
    failed=1
  fi
  summary+=("$(printf '%-13s %10s executions  cov %6s  %d finding(s)' "$name" "${runs:-?}" "${coverage:-?}" "$found")")
done
echo "== fuzz summary ($seconds s each)"
printf '%s\n' "${summary[@]}"
exit $failed
