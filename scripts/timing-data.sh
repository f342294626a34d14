# Sourced by timings.sh and peers.sh: the generated data of the heaviest runs, and the runs themselves.
# Needs: dir (a folder for the data), centre (added to every value), cli, thread_option (an array).

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
make_timing_data() {
    { echo 500; echo 500; rows 1000 1 1; } > "$dir/two.dat"
    { echo 1000; rows 1000 2 2; } > "$dir/pairs.dat"
    { echo 10; echo "100 100 100 100 100 100 100 100 100 100"; rows 1000 1 3; } > "$dir/groups.dat"
    { echo 5; echo 100; rows 100 5 4; } > "$dir/subjects.dat"
    { echo 1000; rows 1000 4 5; } > "$dir/cases4.dat"
    { echo 1000; rows 1000 1 6; } > "$dir/values.dat"
    { echo 1000; rows 1000 3 7; } > "$dir/cases3.dat"
}

# The heaviest run of each procedure: NAME DATA RESAMPLES [output].
timing_runs() {
    cat <<'RUNS'
IndepT two.dat 100000 output
PairedT pairs.dat 100000 output
TwoMedianRandomTest two.dat 100000 output
Corr1 pairs.dat 100000
OnewayRandom groups.dat 100000 output
Repeated1way subjects.dat 100000 output
PairedCorr cases4.dat 100000
BootstMean values.dat 50000 output
BootstMedian values.dat 100000 output
BootstCorr pairs.dat 50000 output
TwoMedianBootTest two.dat 100000 output
MediationBoot cases3.dat 50000 output
OnewayBoot groups.dat 100000 output
RUNS
}

# timed_run NAME DATA RESAMPLES [output]: the wall time of the whole batch-tool process, in seconds.
timed_run() {
    local out=()
    [ "${4:-}" = output ] && out=(--output "$dir/out.dat")
    local start end
    start=$(date +%s.%N)
    "$cli" "$1" "$dir/$2" --resamples "$3" --seed 1,2,3 "${thread_option[@]}" "${out[@]}" > /dev/null
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f\n", b - a }'
}
