// Resample loops on several threads with the bits of one thread. Qt-free.
//
// Two shapes of loop cover every procedure:
//   ResamplesInParallel  each resample starts again from the data and makes the same number of draws, so
//                        resample k begins k * draws into the stream: the resamples are split into one
//                        share per thread, each thread jumping ahead to where its share begins;
//   ShufflesAlongside    the arrangement carries over from one shuffle to the next, so the shuffles run in
//                        order on one thread, ahead of the others, which compute each arrangement's
//                        statistic on its own copy.
// Either way resample k sees exactly the draws it sees on one thread, and the generator ends where one
// thread leaves it, so output files, results and seeds are the same whatever the thread count.
#pragma once

#include "analysis/Procedure.h"
#include "engine/UniformBlocks.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>

namespace brevant {

// threads from RunSettings: 0 means every core the machine has; never more than there are resamples.
int ThreadsFor(int asked, std::int32_t resamples) noexcept;

// body(begin, end, g) runs resamples begin..end-1 in order, drawing from g, which starts where resample
// begin starts in the stream; it calls the tick it is given once per resample, which polls for cancel
// (returns false: stop) and reports progress. On return the generator stands after R * drawsPerResample
// draws. Throws RunCancelled if a cancel was seen; the generator then stands after the draws of as many
// resamples as were completed, so a run cancelled before its first resample leaves it as it was, and on
// one thread it stands exactly where a loop that stops at the cancel leaves it.
using ResampleTick = std::function<bool()>;
using ResampleShare = std::function<void(std::int32_t begin, std::int32_t end, BlockGenerator& g,
                                         const ResampleTick& tick)>;
void ResamplesInParallel(std::int32_t resamples, std::uint64_t drawsPerResample, int threads, Generator& generator,
                         RunControl& control, const ResampleShare& body);

// A loop that makes several resamples before it ticks makes them one at a time past this many draws per
// resample, so that a cancel is still seen within a few milliseconds.
inline constexpr std::int64_t kBatchedDrawsLimit = 100'000;

// The first resample, in generation order, that stops a run (a column with no variance, say). Shares run
// side by side, so a later share may meet its stop first: each records the stop it meets, a share gives up
// once a stop before its current resample is known, and the earliest recorded wins, with its reason.
class EarliestStop {
public:
    explicit EarliestStop(std::int32_t resamples) noexcept : first_(resamples) {}
    void Record(std::int32_t k, int reason) noexcept {
        const std::scoped_lock lock(mutex_);
        if (k < first_.load(std::memory_order_relaxed)) {
            reason_ = reason;
            first_.store(k, std::memory_order_relaxed);
        }
    }
    // Whether a stop before resample k is known: resample k need not be made.
    bool KnownBefore(std::int32_t k) const noexcept { return first_.load(std::memory_order_relaxed) < k; }
    // After the loop: whether any stop was met, the earliest (0-based) and its reason.
    bool Found(std::int32_t resamples) const noexcept { return Resample() < resamples; }
    std::int32_t Resample() const noexcept { return first_.load(std::memory_order_relaxed); }
    int Reason() const noexcept { return reason_; }

private:
    std::atomic<std::int32_t> first_;
    std::mutex mutex_;
    int reason_ = 0;
};

// For k = 0..R-1 in order: ShuffleArray(values) from generator, then statistic(k, arrangement), where
// arrangement is values as that shuffle left them (a copy when threads > 1). values ends as the last
// shuffle left it, and the generator after all the shuffles' draws. statistic must depend only on k and the
// arrangement; with threads > 1 it runs on other threads, several at once. Throws RunCancelled when asked.
using ArrangementStatistic = std::function<void(std::int32_t k, std::span<const float> arrangement)>;
void ShufflesAlongside(std::span<float> values, std::int32_t resamples, int threads, Generator& generator,
                       RunControl& control, const ArrangementStatistic& statistic);

}  // namespace brevant
