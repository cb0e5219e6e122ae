#!/usr/bin/env bash
# One door for building Kavro on Debian 12:
#   scripts/dev.sh run   installs what is missing, builds, starts the program (the FLV edition;
#                        KAVRO_EDITION=general starts the general one)
#   scripts/dev.sh test  installs what is missing, builds, runs every test
#   scripts/dev.sh build installs what is missing and builds only
# Variables: BUILD_DIR (default build), JOBS (default: number of cores),
#            KAVRO_SANITIZERS=0 skips the sanitizer builds of the test run, KAVRO_FUZZ=0 its fuzz
#            targets (KAVRO_FUZZ_SECONDS: how long each is fuzzed, default 15).
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"
build_dir=${BUILD_DIR:-build}
source "$top/scripts/common.sh"

packages=(
  "${build_packages[@]}" clang-format libavcodec-extra dpkg-dev file
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth locales fonts-dejavu-core
  desktop-file-utils appstream man-db dbus-daemon
  clang llvm
)

# The tests of number reading need a locale whose decimal separator is a comma.
ensure_comma_locale() {
  locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$' && return 0
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" localedef -i de_DE -f UTF-8 de_DE.UTF-8 ||
    echo "de_DE.UTF-8 could not be made: the comma-locale test will be skipped"
}

run_tests() { # dir, extra ctest args...
  local dir=$1
  shift
  (cd "$dir" && ctest --output-on-failure -j "$jobs" "$@")
}

check_format() {
  local files
  files=$(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'tests/*.c' 'bench/*.cpp' 'fuzz/*.cpp' 'fuzz/*.h' 2>/dev/null || true)
  [ -z "$files" ] && return 0
  # shellcheck disable=SC2086
  clang-format --dry-run --Werror $files
}

cmd=${1:-run}
install_missing "${packages[@]}"
ensure_comma_locale
case "$cmd" in
  build)
    configure_and_build "$build_dir"
    ;;
  run)
    configure_and_build "$build_dir"
    shift || true
    program=kavro-flv-converter
    [ "${KAVRO_EDITION:-flv}" = general ] && program=kavro-video-converter
    exec "$build_dir/src/cli/$program" "$@"
    ;;
  test)
    check_format
    configure_and_build "$build_dir"
    run_tests "$build_dir"
    if [ "${KAVRO_SANITIZERS:-1}" != 0 ]; then
      echo "== address and undefined-behaviour sanitizer build"
      configure_and_build "$build_dir-asan" -DKAVRO_SANITIZE=address
      run_tests "$build_dir-asan" -LE formats
      echo "== thread sanitizer build (threading tests)"
      configure_and_build "$build_dir-tsan" -DKAVRO_SANITIZE=thread
      run_tests "$build_dir-tsan" -L threading
    fi
    if [ "${KAVRO_FUZZ:-1}" != 0 ]; then
      echo "== fuzz targets: saved reproducers, then ${KAVRO_FUZZ_SECONDS:-15} s of fuzzing each"
      FUZZ_BUILD_DIR="$build_dir-fuzz" JOBS="$jobs" bash scripts/fuzz.sh all "${KAVRO_FUZZ_SECONDS:-15}"
    fi
    ;;
  *)
    echo "usage: scripts/dev.sh run|test|build" >&2
    exit 2
    ;;
esac
