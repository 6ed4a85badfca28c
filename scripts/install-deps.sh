#!/usr/bin/env bash
# Installs, from Debian's packages, what KVIL needs to build and test.
# Only missing packages are installed; run it as root or with sudo available.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  rocketcea            # NASA CEA and its thermo.inp: the database builder and the reference tests
  qt6-base-dev qt6-charts-dev qt6-svg-dev
  libqt6opengl6-dev    # Qt Charts' CMake package needs it when recommends are not installed
  fonts-dejavu-core    # the fixed-pitch and sans fonts of the windows
  # the Python package, its tests, sweeps on a Dask cluster and the example's plot
  pybind11-dev python3-dev python3-numpy python3-pandas python3-pytest
  python3-distributed python3-matplotlib
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
