# The Debian packages the build, the tests and the fuzz targets need, and the function that installs
# the missing ones (apt as root, else through sudo). Sourced by dev.sh and fuzz.sh.
packages=(
  g++ cmake ninja-build pkg-config clang-format ccache
  libavcodec-extra libavcodec-dev libavformat-dev libavutil-dev libswscale-dev
  libswresample-dev libavfilter-dev libavdevice-dev
  libsdl2-dev qt6-base-dev libjpeg-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth locales fonts-dejavu-core
  desktop-file-utils appstream man-db dbus-daemon
  clang llvm
)

install_missing() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
