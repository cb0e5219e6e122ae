# shellcheck shell=bash disable=SC2034,SC2154
# Shared by the scripts of this folder (sourced, not run): installing what a build needs and
# building with ccache. Expects $top (the checkout) and reads JOBS (default: number of cores).

# What compiling the programs needs.
build_packages=(
  g++ cmake ninja-build pkg-config ccache
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev
  libswresample-dev libavfilter-dev libavdevice-dev
  libsdl2-dev qt6-base-dev libjpeg-dev
)

jobs=${JOBS:-$(nproc)}

install_missing() { # packages...
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# ccache keys on paths relative to the checkout, so a fresh clone elsewhere (CI) reuses what
# an earlier build compiled.
export CCACHE_BASEDIR="$top" CCACHE_NOHASHDIR=1

configure_and_build() { # dir, extra cmake args (a later -D wins over an earlier one)...
  local dir=$1
  shift
  local launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}
