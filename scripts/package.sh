#!/usr/bin/env bash
# Builds the Debian package of Kavro on Debian 12: installs what is missing, makes a Release build
# for /usr in build-package/ (BUILD_DIR overrides) and packs it with cpack; prints the .deb's path.
# Variables: BUILD_DIR (default build-package), JOBS (default: number of cores).
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"
build_dir=${BUILD_DIR:-build-package}
source "$top/scripts/common.sh"

# dpkg-shlibdeps (dpkg-dev) computes the dependencies; cpack finds the programs with file.
install_missing "${build_packages[@]}" dpkg-dev file

configure_and_build "$build_dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DKAVRO_TESTS=OFF
rm -f "$build_dir"/kavro_*.deb
if ! log=$(cd "$build_dir" && cpack -G DEB 2>&1); then
  echo "$log" >&2
  echo "cpack could not make the package" >&2
  exit 1
fi
realpath "$build_dir"/kavro_*.deb
