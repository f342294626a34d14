#!/usr/bin/env bash
# Installs every Debian 12 package the build, the tests and the benchmarks need.
set -euo pipefail
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends \
  build-essential cmake ninja-build pkg-config \
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6opengl6-dev libgl-dev \
  libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev libcli11-dev libcsv-dev libreadstat-dev libsimde-dev \
  fonts-dejavu-core clang libclang-rt-dev \
  python3 librsvg2-bin desktop-file-utils appstream man-db groff-base bash-completion file dpkg-dev
