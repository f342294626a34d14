#!/usr/bin/env bash
# Sets up, builds and starts the program in the folder that holds the description files and examples.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
cd help
exec ../build/app/brevant "$@"
