// Resample loops on several threads with the bits of one thread. Qt-free.
//
// Three shapes of loop cover every procedure on several threads:
//   ResamplesInParallel  each resample starts again from the data and makes the same number of draws, so
//                        resample k begins k * draws into the stream: the resamples are split into one
//                        share per thread, each thread jumping ahead to where its share begins;
//   RowsAlongside        rows that carry over, each on its own (a shuffle of each subject's row): the rows
//                        are split across threads, each drawing only its own rows' numbers of every pass;
//   StepsAlongside       the arrangement carries over, but each resample's change to it (a permutation by
//                        sorting drawn keys, a set of sign flips) depends on that resample's draws alone:
//                        the changes are drawn on every thread and composed there into one change
//                        per resample from the start of that thread's part; only the parts' starts
//                        are worked out in order; the arrangements and their statistics are formed
//                        on every thread.
// (ArrangementsInOrder is the plain loop on one thread of an arrangement that carries over.) Either way
// resample k sees exactly the draws it sees on one thread, and the generator ends where one
// thread leaves it, so output files, results and seeds are the same whatever the thread count.
#pragma once

#include "analysis/Procedure.h"
#include "engine/UniformBlocks.h"

#include <atomic>
#include <cmath>
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
// draws. Throws RunCancelled if a cancel was seen (the generator then stands after the
// resamples completed in order from the first, as though the run had stopped after them; a cancel seen
// before a share starts leaves that share undone).
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

// The statistics of arrangements first..first+count-1, which lie one after another in arrangements
// (count * n floats, n = values.size()). It depends only on them; it may run on several threads at once.
using ArrangementBatch = std::function<void(std::int32_t first, std::int32_t count, const float* arrangements)>;

// On one thread, for k = 0..R-1 in order: rearrange(g, values) from generator, then the statistics of the
// arrangements, handed over a few consecutive ones at a time so that they can be computed side by side.
// values ends as the last rearrangement left it, the generator after all their draws. Throws RunCancelled
// when asked, with values and generator as they stood after the last batch.
using Rearrangement = std::function<void(BlockGenerator& g, std::span<float> values)>;
void ArrangementsInOrder(std::span<float> values, std::int32_t resamples, Generator& generator, RunControl& control,
                         const Rearrangement& rearrange, const ArrangementBatch& statistics);

// A change to the arrangement drawn afresh at each resample: draw(g, step) fills step (stepSize integers)
// from exactly drawsPerResample draws of g; apply(step, from, to) writes into to the arrangement that step
// makes of from (to never overlaps from); compose(earlier, later, to) writes into to (which may be later)
// the one step that makes what earlier and then later make, exactly: applying it gives the same bits.
struct CarriedStep {
    std::uint64_t drawsPerResample = 0;
    std::size_t stepSize = 0;
    std::function<void(BlockGenerator& g, std::span<std::int32_t> step)> draw;
    std::function<void(std::span<const std::int32_t> step, std::span<const float> from, std::span<float> to)> apply;
    std::function<void(std::span<const std::int32_t> earlier, std::span<const std::int32_t> later,
                       std::span<std::int32_t> to)>
        compose;
};
// A CarriedStep whose steps are permutations of the positions, drawn by draw: step[i] is the position
// whose value moves to i. Applying and composing them is exact.
CarriedStep PositionPermutations(std::uint64_t drawsPerResample, std::size_t n,
                                 std::function<void(BlockGenerator& g, std::span<std::int32_t> step)> draw);
// For k = 0..R-1 in order: values = step k applied to values; then the statistics of every arrangement.
// values ends as the last step left it, the generator after R * drawsPerResample draws; the bits do not
// depend on threads. The resamples go in chunks, a cancel is seen between chunks (a few milliseconds): the
// run then throws RunCancelled with values and generator as they stood after the chunks completed.
void StepsAlongside(std::span<float> values, std::int32_t resamples, int threads, Generator& generator,
                    RunControl& control, const CarriedStep& step, const ArrangementBatch& statistics);

// s -> (k^n mod m) s mod m for each generator, with the multipliers of a fixed n worked out once: a
// JumpAhead of n draws for the cost of three products.
class FixedJump {
public:
    explicit FixedJump(std::uint64_t n) noexcept : by_(JumpAhead(Seeds{1, 1, 1}, n)) {}
    Seeds From(Seeds s) const noexcept {
        return {Times(by_.a, s.a, kModulusA), Times(by_.b, s.b, kModulusB), Times(by_.c, s.c, kModulusC)};
    }

private:
    static std::int32_t Times(std::int32_t x, std::int32_t y, std::int32_t m) noexcept {
        return static_cast<std::int32_t>(static_cast<std::int64_t>(x) * y % m);
    }
    Seeds by_;
};

// Draws handed out in order from an array filled ahead: the Uniform / Index interface of Generator.
class DrawsFrom {
public:
    explicit DrawsFrom(const double* draws) noexcept : next_(draws) {}
    double Uniform() noexcept { return *next_++; }
    // The next count draws at once, for a caller that turns several into indices together.
    const double* Take(std::size_t count) noexcept {
        const double* const taken = next_;
        next_ += count;
        return taken;
    }
    // k in 1..m: floor(u * (m - 0.0001) + 1), as Generator::Index.
    std::int32_t Index(std::int32_t m) noexcept {
        const double k = Uniform() * (static_cast<double>(m) - 0.0001) + 1.0;
        return static_cast<std::int32_t>(k >= 0.0 ? k : std::floor(k));
    }

private:
    const double* next_;
};

// A table of rows of rowSize values whose rows are rearranged in every pass from where the last pass left
// them, each from exactly rowDraws draws, the rows in order within a pass: rearrange(draws, from, to)
// writes into to the rearrangement of the consecutive whole rows from (a worker's share of the last pass's
// table; to never overlaps from, so no row waits on the stores of the one before). Each
// row depends only on its own draws, so the rows are split across threads, each skipping the draws of the
// others' rows. For k = 0..R-1: every row rearranged, then the statistics of the tables (as in
// StepsAlongside, several consecutive tables one after another). table ends as the last pass left it, the
// generator after all the draws; the bits do not depend on threads. A cancel is seen between chunks of
// passes: the run then throws RunCancelled with table and generator as they stood after the chunks
// completed.
struct RowRearrangement {
    std::size_t rowSize = 0;
    std::uint64_t rowDraws = 0;
    std::function<void(DrawsFrom& draws, std::span<const float> from, std::span<float> to)> rearrange;
};
void RowsAlongside(std::span<float> table, std::int32_t resamples, int threads, Generator& generator,
                   RunControl& control, const RowRearrangement& rows, const ArrangementBatch& statistics);

}  // namespace brevant
