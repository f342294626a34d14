#!/usr/bin/env bash
# Whole batch-tool runs of every procedure at its heaviest setting, on generated data: prints the wall time
# of each run. Usage: bash scripts/timings.sh [THREADS [CENTRE]]   (default: every core; CENTRE, default 0, is
# added to every value: 10000 makes values that differ little relative to their size, whose runs are centred).
# Needs build/ built; CLI=path/to/brevant-cli times another build.
set -euo pipefail
cd "$(dirname "$0")/.."
cli=${CLI:-build/cli/brevant-cli}
thread_option=()
[ $# -ge 1 ] && thread_option=(--threads "$1")
centre=${2:-0}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

# rows ROWS COLUMNS SEED: normal-looking values (the sum of four uniforms), ROWS lines of COLUMNS each.
rows() {
    awk -v n="$1" -v c="$2" -v seed="$3" -v centre="$centre" 'BEGIN {
        srand(seed)
        for (i = 0; i < n; i++) {
            line = ""
            for (j = 0; j < c; j++) {
                v = centre + 50 + 10 * (rand() + rand() + rand() + rand() - 2) * 1.7 + 5 * j
                line = line sprintf("%s%.4f", j ? " " : "", v)
            }
            print line
        }
    }'
}
{ echo 500; echo 500; rows 1000 1 1; } > "$dir/two.dat"
{ echo 1000; rows 1000 2 2; } > "$dir/pairs.dat"
{ echo 10; echo "100 100 100 100 100 100 100 100 100 100"; rows 1000 1 3; } > "$dir/groups.dat"
{ echo 5; echo 100; rows 100 5 4; } > "$dir/subjects.dat"
{ echo 1000; rows 1000 4 5; } > "$dir/cases4.dat"
{ echo 1000; rows 1000 1 6; } > "$dir/values.dat"
{ echo 1000; rows 1000 3 7; } > "$dir/cases3.dat"

run() {  # NAME DATA RESAMPLES [output]
    local out=()
    [ "${4:-}" = output ] && out=(--output "$dir/out.dat")
    local start end
    start=$(date +%s.%N)
    "$cli" "$1" "$dir/$2" --resamples "$3" --seed 1,2,3 "${thread_option[@]}" "${out[@]}" > /dev/null
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" -v name="$1" -v r="$3" 'BEGIN { printf "%-20s %7d resamples %6.3f s\n", name, r, b - a }'
}
run IndepT two.dat 100000 output
run PairedT pairs.dat 100000 output
run TwoMedianRandomTest two.dat 100000 output
run Corr1 pairs.dat 100000
run OnewayRandom groups.dat 100000 output
run Repeated1way subjects.dat 100000 output
run PairedCorr cases4.dat 100000
run BootstMean values.dat 50000 output
run BootstMedian values.dat 100000 output
run BootstCorr pairs.dat 50000 output
run TwoMedianBootTest two.dat 100000 output
run MediationBoot cases3.dat 50000 output
run OnewayBoot groups.dat 100000 output
