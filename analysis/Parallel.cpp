#include "analysis/Parallel.h"

#include <algorithm>
#include <atomic>
#include <barrier>
#include <thread>
#include <vector>

namespace brevant {

namespace {

// Progress is added in batches so that threads do not contend for the counter at every resample.
constexpr std::int64_t kProgressBatch = 32;

class Progress {
public:
    explicit Progress(RunControl& control) : control_(control) {}
    ~Progress() { Flush(); }
    bool Tick() {
        if (++pending_ == kProgressBatch) Flush();
        return !control_.CancelRequested();
    }
    void Flush() {
        if (pending_ != 0) control_.resamplesDone.fetch_add(pending_, std::memory_order_relaxed);
        pending_ = 0;
    }

private:
    RunControl& control_;
    std::int64_t pending_ = 0;
};

// Runs work(t) for t = 0..threads-1, t = 0 on this thread.
void OnThreads(int threads, const std::function<void(int)>& work) {
    std::vector<std::jthread> others;
    others.reserve(static_cast<std::size_t>(threads - 1));
    for (int t = 1; t < threads; ++t) others.emplace_back(work, t);
    work(0);
}

// Arrangements handed to the statistics at once by ArrangementsInOrder, so that they can be computed side
// by side.
constexpr std::int64_t kArrangementBatch = 8;

}  // namespace

int ThreadsFor(int asked, std::int32_t resamples) noexcept {
    int threads = asked > 0 ? asked : static_cast<int>(std::thread::hardware_concurrency());
    threads = std::max(threads, 1);
    return static_cast<int>(std::min<std::int64_t>(threads, std::max<std::int32_t>(resamples, 1)));
}

void ResamplesInParallel(std::int32_t resamples, std::uint64_t drawsPerResample, int threads, Generator& generator,
                         RunControl& control, const ResampleShare& body) {
    const Seeds start = generator.seeds;
    control.resampleTotal.store(resamples, std::memory_order_relaxed);
    if (control.CancelRequested()) throw RunCancelled();  // before the first draw: the stream stays put
    const int shares = ThreadsFor(threads, resamples);
    const auto shareBegin = [&](int t) {
        return static_cast<std::int32_t>(static_cast<std::int64_t>(resamples) * t / shares);
    };
    std::vector<std::int32_t> completed(static_cast<std::size_t>(shares), 0);  // ticks of each share
    OnThreads(shares, [&](int t) {
        if (control.CancelRequested()) return;
        const std::int32_t begin = shareBegin(t);
        BlockGenerator g(JumpAhead(start, static_cast<std::uint64_t>(begin) * drawsPerResample));
        Progress progress(control);
        std::int32_t done = 0;  // counted here and stored once: neighbouring counts would share a cache line
        body(begin, shareBegin(t + 1), g, [&progress, &done] {
            ++done;
            return progress.Tick();
        });
        completed[static_cast<std::size_t>(t)] = done;
    });
    if (control.CancelRequested()) {
        // Where one thread would have stopped: after the unbroken run of completed resamples from the first.
        std::int64_t prefix = 0;
        for (int t = 0; t < shares; ++t) {
            prefix += completed[static_cast<std::size_t>(t)];
            if (completed[static_cast<std::size_t>(t)] < shareBegin(t + 1) - shareBegin(t)) break;
        }
        generator.seeds = JumpAhead(start, static_cast<std::uint64_t>(prefix) * drawsPerResample);
        throw RunCancelled();
    }
    generator.seeds = JumpAhead(start, static_cast<std::uint64_t>(resamples) * drawsPerResample);
}

void ArrangementsInOrder(std::span<float> values, std::int32_t resamples, Generator& generator, RunControl& control,
                         const Rearrangement& rearrange, const ArrangementBatch& statistics) {
    control.resampleTotal.store(resamples, std::memory_order_relaxed);
    BlockGenerator g(generator.seeds);
    Progress progress(control);
    const std::size_t n = values.size();
    std::vector<float> copies(static_cast<std::size_t>(kArrangementBatch) * n);
    for (std::int64_t first = 0; first < resamples && !control.CancelRequested(); first += kArrangementBatch) {
        const std::int64_t count = std::min<std::int64_t>(kArrangementBatch, resamples - first);
        for (std::int64_t j = 0; j < count; ++j) {
            rearrange(g, values);
            std::copy(values.begin(), values.end(),
                      copies.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(j) * n));
        }
        statistics(static_cast<std::int32_t>(first), static_cast<std::int32_t>(count), copies.data());
        for (std::int64_t j = 0; j < count; ++j) progress.Tick();
    }
    generator.seeds = g.CurrentSeeds();
    if (control.CancelRequested()) throw RunCancelled();
}

namespace {

// Elements (steps and arrangements alike) handled per chunk of StepsAlongside: a few milliseconds of work,
// a few megabytes of memory.
constexpr std::size_t kChunkElements = std::size_t{1} << 18;

}  // namespace

CarriedStep PositionPermutations(std::uint64_t drawsPerResample, std::size_t n,
                                 std::function<void(BlockGenerator& g, std::span<std::int32_t> step)> draw) {
    CarriedStep step;
    step.drawsPerResample = drawsPerResample;
    step.stepSize = n;
    step.draw = std::move(draw);
    step.apply = [](std::span<const std::int32_t> positions, std::span<const float> from, std::span<float> to) {
        for (std::size_t i = 0; i < to.size(); ++i) to[i] = from[static_cast<std::size_t>(positions[i])];
    };
    step.compose = [](std::span<const std::int32_t> earlier, std::span<const std::int32_t> later,
                      std::span<std::int32_t> to) {
        for (std::size_t i = 0; i < to.size(); ++i) to[i] = earlier[static_cast<std::size_t>(later[i])];
    };
    return step;
}

void StepsAlongside(std::span<float> values, std::int32_t resamples, int threads, Generator& generator,
                    RunControl& control, const CarriedStep& step, const ArrangementBatch& statistics) {
    control.resampleTotal.store(resamples, std::memory_order_relaxed);
    const std::size_t n = values.size();
    const int workers = ThreadsFor(threads, resamples);
    const std::int64_t chunk = std::max<std::int64_t>(
        static_cast<std::int64_t>(kChunkElements / std::max<std::size_t>({n, step.stepSize, 1})), 2 * workers);
    const std::int64_t slots = std::min<std::int64_t>(chunk, resamples);
    std::vector<std::int32_t> steps(static_cast<std::size_t>(slots) * step.stepSize);
    std::vector<float> arrangements(static_cast<std::size_t>(slots) * n);
    // The arrangement each part of a chunk starts from; the composed steps of each part (two buffers a part,
    // taking turns), and which of them holds the part's whole step.
    std::vector<float> starts(static_cast<std::size_t>(workers) * n);
    const auto partStart = [&](int p) { return std::span<float>(starts).subspan(static_cast<std::size_t>(p) * n, n); };
    std::vector<std::int32_t> composites(static_cast<std::size_t>(workers) * 2 * step.stepSize);
    const auto composite = [&](int p, int which) {
        return std::span<std::int32_t>(composites).subspan(static_cast<std::size_t>(2 * p + which) * step.stepSize,
                                                           step.stepSize);
    };
    std::vector<std::span<std::int32_t>> totals(static_cast<std::size_t>(workers));
    const Seeds start = generator.seeds;
    std::int64_t completed = 0;  // resamples whose chunk is done

    // A part of [0, count) for worker t.
    const auto part = [workers](std::int64_t count, int t) { return count * t / workers; };
    std::barrier sync(workers);
    // Set by worker 0 only before a barrier, read by all after it; one flag per barrier, so that worker 0,
    // running ahead to the next, cannot change a flag another worker has yet to read.
    std::atomic<bool> stopBeforeChunk{false}, stopAfterSteps{false};
    std::atomic<bool> unfinished{false};  // a worker left its steps undrawn for a cancel
    OnThreads(workers, [&](int t) {
        Progress progress(control);
        for (std::int64_t first = 0; first < resamples; first += chunk) {
            if (t == 0) stopBeforeChunk.store(control.CancelRequested(), std::memory_order_relaxed);
            sync.arrive_and_wait();
            if (stopBeforeChunk.load(std::memory_order_relaxed)) return;
            const std::int64_t count = std::min<std::int64_t>(chunk, resamples - first);

            // The steps of this chunk, each thread jumping ahead to its own; every part but the last also
            // composes its steps into the one step that makes its end out of its start.
            const std::int64_t from = part(count, t), to = part(count, t + 1);
            const auto slot = [&](std::int64_t k) {
                return std::span<std::int32_t>(steps).subspan(static_cast<std::size_t>(k) * step.stepSize,
                                                              step.stepSize);
            };
            if (from < to) {
                BlockGenerator g(JumpAhead(start, static_cast<std::uint64_t>(first + from) * step.drawsPerResample));
                std::span<std::int32_t> total = composite(t, 0), spare = composite(t, 1);
                for (std::int64_t k = from; k < to; ++k) {
                    if (control.CancelRequested()) {
                        unfinished.store(true, std::memory_order_relaxed);
                        break;
                    }
                    step.draw(g, slot(k));
                    if (t + 1 == workers) continue;
                    if (k == from) {
                        std::copy(slot(k).begin(), slot(k).end(), total.begin());
                    } else {
                        step.compose(total, slot(k), spare);
                        std::swap(total, spare);
                    }
                }
                totals[static_cast<std::size_t>(t)] = total;
            }
            sync.arrive_and_wait();

            // In order, part by part: the arrangement each part starts from. A chunk whose steps were not
            // all drawn is left out whole.
            if (t == 0) {
                const bool left = unfinished.load(std::memory_order_relaxed);
                stopAfterSteps.store(left, std::memory_order_relaxed);
                if (!left) {
                    std::copy(values.begin(), values.end(), partStart(0).begin());
                    for (int p = 0; p + 1 < workers; ++p) {
                        const std::span<const float> begin = partStart(p);
                        const std::span<float> end = partStart(p + 1);
                        if (part(count, p) < part(count, p + 1)) step.apply(totals[static_cast<std::size_t>(p)], begin, end);
                        else std::copy(begin.begin(), begin.end(), end.begin());
                    }
                    completed = first + count;
                }
            }
            sync.arrive_and_wait();
            if (stopAfterSteps.load(std::memory_order_relaxed)) return;

            // Each part's arrangements one after another from its start, and their statistics; the part
            // that ends the chunk leaves its last arrangement in values.
            if (from < to) {
                const auto arrangement = [&](std::int64_t k) {
                    return std::span<float>(arrangements).subspan(static_cast<std::size_t>(k) * n, n);
                };
                for (std::int64_t k = from; k < to; ++k) {
                    step.apply(slot(k), k == from ? partStart(t) : arrangement(k - 1), arrangement(k));
                }
                statistics(static_cast<std::int32_t>(first + from), static_cast<std::int32_t>(to - from),
                           arrangements.data() + static_cast<std::size_t>(from) * n);
                if (to == count) std::copy(arrangement(to - 1).begin(), arrangement(to - 1).end(), values.begin());
                for (std::int64_t k = from; k < to; ++k) progress.Tick();
            }
        }
        sync.arrive_and_wait();  // every statistic of the last chunk is in
    });
    generator.seeds = JumpAhead(start, static_cast<std::uint64_t>(completed) * step.drawsPerResample);
    if (completed < resamples) throw RunCancelled();
}

void RowsAlongside(std::span<float> table, std::int32_t resamples, int threads, Generator& generator,
                   RunControl& control, const RowRearrangement& rows, const ArrangementBatch& statistics) {
    control.resampleTotal.store(resamples, std::memory_order_relaxed);
    const std::size_t n = table.size();
    const std::size_t rowCount = rows.rowSize == 0 ? 0 : n / rows.rowSize;
    const std::uint64_t passDraws = rowCount * rows.rowDraws;
    const int workers = static_cast<int>(std::min<std::int64_t>(ThreadsFor(threads, resamples),
                                                                std::max<std::size_t>(rowCount, 1)));
    const std::int64_t chunk =
        std::max<std::int64_t>(static_cast<std::int64_t>(kChunkElements / std::max<std::size_t>(n, 1)), 2 * workers);
    std::vector<float> tables(static_cast<std::size_t>(std::min<std::int64_t>(chunk, resamples)) * n);
    const Seeds start = generator.seeds;
    std::int64_t completed = 0;  // passes whose chunk is done

    std::barrier sync(workers);
    std::atomic<bool> stopBeforeChunk{false};  // set by worker 0 before the barrier, read by all after it
    OnThreads(workers, [&](int t) {
        // This worker's rows, their draws in each pass, and the draws of the other rows it skips.
        const std::size_t firstRow = rowCount * static_cast<std::size_t>(t) / static_cast<std::size_t>(workers);
        const std::size_t endRow = rowCount * static_cast<std::size_t>(t + 1) / static_cast<std::size_t>(workers);
        const std::uint64_t ownDraws = (endRow - firstRow) * rows.rowDraws;
        const FixedJump nextPass(passDraws);
        const std::span<float> own = table.subspan(firstRow * rows.rowSize, (endRow - firstRow) * rows.rowSize);
        // Whole blocks of draws, so that every draw comes from the lanes; those past this worker's rows unused.
        std::vector<double> draws((ownDraws + kUniformBlock - 1) / kUniformBlock * kUniformBlock);
        Progress progress(control);
        for (std::int64_t first = 0; first < resamples; first += chunk) {
            if (t == 0) stopBeforeChunk.store(control.CancelRequested(), std::memory_order_relaxed);
            sync.arrive_and_wait();
            if (stopBeforeChunk.load(std::memory_order_relaxed)) return;
            const std::int64_t count = std::min<std::int64_t>(chunk, resamples - first);

            // Every pass of this chunk over this worker's rows, each pass's rows written from the last's.
            Generator g{JumpAhead(start, static_cast<std::uint64_t>(first) * passDraws + firstRow * rows.rowDraws)};
            const auto ownRows = [&](std::int64_t k) {
                return std::span<float>(tables).subspan(static_cast<std::size_t>(k) * n + firstRow * rows.rowSize,
                                                        own.size());
            };
            for (std::int64_t k = 0; k < count; ++k) {
                const Seeds passStart = g.seeds;
                FillUniform(g, draws);
                g.seeds = nextPass.From(passStart);
                DrawsFrom from(draws.data());
                rows.rearrange(from, k == 0 ? own : ownRows(k - 1), ownRows(k));
            }
            if (count > 0) std::ranges::copy(ownRows(count - 1), own.begin());
            sync.arrive_and_wait();

            const std::int64_t from = count * t / workers, to = count * (t + 1) / workers;
            if (from < to) {
                statistics(static_cast<std::int32_t>(first + from), static_cast<std::int32_t>(to - from),
                           tables.data() + static_cast<std::size_t>(from) * n);
                for (std::int64_t k = from; k < to; ++k) progress.Tick();
            }
            if (t == 0) completed = first + count;
        }
        sync.arrive_and_wait();  // every statistic of the last chunk is in
    });
    generator.seeds = JumpAhead(start, static_cast<std::uint64_t>(completed) * passDraws);
    if (completed < resamples) throw RunCancelled();
}

}  // namespace brevant
