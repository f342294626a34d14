#include "analysis/Parallel.h"

#include <algorithm>
#include <atomic>
#include <memory>
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
    const std::int64_t doneBefore = control.resamplesDone.load(std::memory_order_relaxed);
    const int shares = ThreadsFor(threads, resamples);
    OnThreads(shares, [&](int t) {
        const auto begin = static_cast<std::int32_t>(static_cast<std::int64_t>(resamples) * t / shares);
        const auto end = static_cast<std::int32_t>(static_cast<std::int64_t>(resamples) * (t + 1) / shares);
        BlockGenerator g(JumpAhead(start, static_cast<std::uint64_t>(begin) * drawsPerResample));
        Progress progress(control);
        body(begin, end, g, [&progress] { return progress.Tick(); });
    });
    if (control.CancelRequested()) {
        // As many resamples' draws as were made: the count a loop stopping at the cancel would have made.
        const std::int64_t made = control.resamplesDone.load(std::memory_order_relaxed) - doneBefore;
        generator.seeds = JumpAhead(start, static_cast<std::uint64_t>(std::clamp<std::int64_t>(made, 0, resamples)) *
                                               drawsPerResample);
        throw RunCancelled();
    }
    generator.seeds = JumpAhead(start, static_cast<std::uint64_t>(resamples) * drawsPerResample);
}

namespace {

// The ring of arrangement copies between the shuffling thread and the statistic threads. Slot k % size
// holds arrangement k once published; the shuffler reuses it once arrangement k - size is done with.
class ArrangementRing {
public:
    ArrangementRing(std::size_t n, std::size_t slots)
        : n_(n), copies_(n * slots), done_(std::make_unique<std::atomic<std::int64_t>[]>(slots)), slots_(slots) {
        for (std::size_t s = 0; s < slots; ++s) done_[s].store(static_cast<std::int64_t>(s) - static_cast<std::int64_t>(slots));
    }
    std::span<float> Slot(std::int64_t k) {
        return {copies_.data() + static_cast<std::size_t>(k) % slots_ * n_, n_};
    }
    // The slot of arrangement k is free once arrangement k - slots is done.
    bool Free(std::int64_t k) const {
        return done_[static_cast<std::size_t>(k) % slots_].load(std::memory_order_acquire) == k - static_cast<std::int64_t>(slots_);
    }
    void Done(std::int64_t k) { done_[static_cast<std::size_t>(k) % slots_].store(k, std::memory_order_release); }

    std::atomic<std::int64_t> published{0};  // arrangements 0..published-1 are in their slots
    std::atomic<std::int64_t> claimed{0};    // the next arrangement a statistic thread takes

private:
    std::size_t n_;
    std::vector<float> copies_;
    std::unique_ptr<std::atomic<std::int64_t>[]> done_;
    std::size_t slots_;
};

void ShuffleOnOneThread(std::span<float> values, std::int32_t resamples, Generator& generator, RunControl& control,
                        const ArrangementStatistic& statistic) {
    BlockGenerator g(generator.seeds);
    Progress progress(control);
    for (std::int32_t k = 0; k < resamples; ++k) {
        ShuffleArray(g, values);
        statistic(k, values);
        if (!progress.Tick()) break;
    }
    generator.seeds = g.CurrentSeeds();
}

}  // namespace

void ShufflesAlongside(std::span<float> values, std::int32_t resamples, int threads, Generator& generator,
                       RunControl& control, const ArrangementStatistic& statistic) {
    control.resampleTotal.store(resamples, std::memory_order_relaxed);
    const int workers = ThreadsFor(threads, resamples);
    if (workers == 1) {
        ShuffleOnOneThread(values, resamples, generator, control, statistic);
        if (control.CancelRequested()) throw RunCancelled();
        return;
    }
    ArrangementRing ring(values.size(), 64);
    const auto stopped = [&control] { return control.CancelRequested(); };
    OnThreads(workers, [&](int t) {
        if (t == 0) {  // the shuffler
            BlockGenerator g(generator.seeds);
            for (std::int64_t k = 0; k < resamples && !stopped(); ++k) {
                ShuffleArray(g, values);
                while (!ring.Free(k) && !stopped()) std::this_thread::yield();
                std::copy(values.begin(), values.end(), ring.Slot(k).begin());
                ring.published.store(k + 1, std::memory_order_release);
            }
            generator.seeds = g.CurrentSeeds();
            return;
        }
        Progress progress(control);
        for (;;) {
            const std::int64_t k = ring.claimed.fetch_add(1, std::memory_order_relaxed);
            if (k >= resamples) return;
            while (ring.published.load(std::memory_order_acquire) <= k) {
                if (stopped()) return;
                std::this_thread::yield();
            }
            statistic(static_cast<std::int32_t>(k), ring.Slot(k));
            ring.Done(k);
            if (!progress.Tick()) return;
        }
    });
    if (control.CancelRequested()) throw RunCancelled();
}

}  // namespace brevant
