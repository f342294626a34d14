#!/usr/bin/env bash
# Configures and builds everything into build/ (Release, with the project's own flags). Arguments go to
# CMake; without -DBREVANT_SANITIZE=ON the sanitized libraries and test programs are left out.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DBREVANT_SANITIZE=OFF "$@" >/dev/null
cmake --build build
