#!/usr/bin/env bash
# Whole batch-tool runs of every procedure at its heaviest setting, on generated data: prints the wall time
# of each run. Usage: bash scripts/timings.sh [THREADS [CENTRE]]   (default: every core; CENTRE, default 0, is
# added to every value: 10000 makes values that differ little relative to their size, whose runs are centred).
# Needs build/ built; CLI=path/to/brevant-cli times another build. scripts/peers.sh sets them beside other
# programs doing the same work.
set -euo pipefail
cd "$(dirname "$0")/.."
cli=${CLI:-build/cli/brevant-cli}
thread_option=()
[ $# -ge 1 ] && thread_option=(--threads "$1")
centre=${2:-0}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
source scripts/timing-data.sh
make_timing_data

while read -r name data resamples output; do
    seconds=$(timed_run "$name" "$data" "$resamples" "$output")
    printf "%-20s %7d resamples %6.3f s\n" "$name" "$resamples" "$seconds"
done < <(timing_runs)
