#!/usr/bin/env bash
# The heaviest run of each procedure (scripts/timings.sh) beside other statistics programs doing the same
# work, measured in one sitting: our whole batch-tool process against each peer's own timing of its
# resampling (it prints "name seconds"; its start-up and data generation are not counted), the median of
# REPEATS rounds, each round running every peer and every one of ours once. Prints a table of our time,
# the fastest peer's and the ratio.
# Usage: bash scripts/peers.sh [PEERS_DIR [REPEATS]]   (PEERS_DIR, or $PEERS: the folder of the peer scripts,
# default ../shared/peers; REPEATS default 3; THREADS=N passes --threads N to ours, default every core).
# Needs build/ built, python3 with numpy and scipy (PYTHON=... to choose it) and Rscript with boot.
set -euo pipefail
cd "$(dirname "$0")/.."
peers=$(cd "${1:-${PEERS:-../shared/peers}}" && pwd)
repeats=${2:-3}
cli=${CLI:-build/cli/brevant-cli}
thread_option=()
[ -n "${THREADS:-}" ] && thread_option=(--threads "$THREADS")
centre=0
python=${PYTHON:-python3}
if ! "$python" -c 'import numpy, scipy' 2> /dev/null; then python=/usr/bin/python3; fi
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
source scripts/timing-data.sh
make_timing_data

# Which peer lines do the work of which of our runs.
peer_of() {
    case $1 in
        scipy_permutation_test_pooled_t_* | R_loop_permutation_pooled_t_* | R_vectorized_sample_permutation_pooled_t_*) echo IndepT ;;
        scipy_permutation_test_paired_t_* | R_vectorized_signflip_paired_t_*) echo PairedT ;;
        scipy_permutation_test_median_diff_*) echo TwoMedianRandomTest ;;
        scipy_permutation_test_pearson_*) echo Corr1 ;;
        scipy_permutation_test_oneway_F_*) echo OnewayRandom ;;
        numpy_within_subject_permutation_repeated_F_*) echo Repeated1way ;;
        numpy_pair_exchange_pearson_*) echo PairedCorr ;;
        scipy_bootstrap_mean_* | R_boot_mean_*) echo BootstMean ;;
        scipy_bootstrap_median_n* | R_boot_median_*) echo BootstMedian ;;
        scipy_bootstrap_pearson_paired_* | R_boot_pearson_*) echo BootstCorr ;;
        scipy_bootstrap_median_diff_*) echo TwoMedianBootTest ;;
        scipy_bootstrap_mediation_* | R_boot_mediation_*) echo MediationBoot ;;
        numpy_pooled_bootstrap_oneway_F_*) echo OnewayBoot ;;
        *) echo unknown ;;
    esac
}

times=$dir/times.txt  # lines "ours NAME seconds" and "peer RUN LINE seconds"
for round in $(seq "$repeats"); do
    echo "round $round of $repeats" >&2
    while read -r name data resamples output; do
        echo "ours $name $(timed_run "$name" "$data" "$resamples" "$output")" >> "$times"
    done < <(timing_runs)
    for script in "$peers"/*.py "$peers"/*.R; do
        case $script in
            *.py) lines=$("$python" "$script") ;;
            *.R) lines=$(Rscript "$script") ;;
        esac
        while read -r line seconds; do
            [ -n "$line" ] && echo "peer $(peer_of "$line") $line $seconds" >> "$times"
        done <<< "$lines"
    done
done

# Medians, then per run the fastest peer line.
awk -v order="$(timing_runs | awk '{ printf "%s ", $1 }')" '
    function median(list,   n, v, i, j, t) {
        n = split(list, v, " ")
        for (i = 2; i <= n; i++) for (j = i; j > 1 && v[j - 1] + 0 > v[j] + 0; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
        return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
    }
    $1 == "ours" { ours[$2] = ours[$2] " " $3 }
    $1 == "peer" { peer[$2 " " $3] = peer[$2 " " $3] " " $4; runOf[$2 " " $3] = $2 }
    END {
        printf "%-20s %10s  %-58s %9s %7s\n", "Run", "Ours (s)", "Fastest peer", "Peer (s)", "Ratio"
        n = split(order, runs, " ")
        for (i = 1; i <= n; i++) {
            run = runs[i]; best = ""; bestTime = 0
            for (key in peer) {
                if (runOf[key] != run) continue
                t = median(peer[key])
                if (best == "" || t < bestTime) { best = substr(key, length(run) + 2); bestTime = t }
            }
            o = median(ours[run])
            ratio = o > 0 && best != "" ? sprintf("%.1f", bestTime / o) : "-"
            printf "%-20s %10.3f  %-58s %9.2f %7s\n", run, o, best == "" ? "(none)" : best, bestTime, ratio
        }
    }' "$times"
