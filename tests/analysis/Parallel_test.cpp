// Runs on 1, 2, 3 and 7 threads give the same resampled values, results and final seeds: for a loop whose
// resamples start again from the data (BootstMean) and for one whose shuffles carry over (IndepT); and a
// cancel stops every thread and leaves the generator after the resamples made; the earliest stop wins.
#include "analysis/Parallel.h"
#include "analysis/bootstrap/BootstMean.h"
#include "analysis/randomization/IndepT.h"
#include "support/Files.h"

#include <gtest/gtest.h>

#include <random>
#include <thread>

namespace {

using namespace brevant;

std::string Values(std::mt19937& random, int n) {
    std::uniform_real_distribution<float> spread(-5.0f, 5.0f);
    std::string text;
    for (int i = 0; i < n; ++i) text += std::to_string(spread(random)) + " ";
    return text;
}

struct Outcome {
    RunResult result;
    Seeds after;
};

Outcome RunOn(const std::string& procedure, const std::string& text, int threads, std::int32_t R) {
    Generator generator{Seeds{321, 654, 987}};
    RunControl control;
    DataFile file = DataFile::FromText(text, "threads.dat");
    RunSettings settings{R, 0.975f, {}, threads};
    RunResult result = procedure == "IndepT" ? IndepTProcedure(file, settings, generator, control)
                                             : BootstMeanProcedure(file, settings, generator, control);
    EXPECT_EQ(control.resamplesDone.load(), R);
    return {std::move(result), generator.seeds};
}

TEST(Parallel, EveryThreadCountGivesTheSameBits) {
    std::mt19937 random(5);
    const std::pair<std::string, std::string> runs[] = {
        {"IndepT", "40 37 " + Values(random, 77)},
        {"BootstMean", "90 " + Values(random, 90)},
    };
    for (const auto& [procedure, text] : runs) {
        SCOPED_TRACE(procedure);
        const Outcome one = RunOn(procedure, text, 1, 3001);
        for (const int threads : {2, 3, 7}) {
            const Outcome many = RunOn(procedure, text, threads, 3001);
            ASSERT_EQ(many.result.resampled.size(), one.result.resampled.size());
            for (std::size_t k = 0; k < one.result.resampled.size(); ++k) {
                ASSERT_TRUE(brevant::testing::SameBits(many.result.resampled[k], one.result.resampled[k])) << threads << " " << k;
            }
            for (std::size_t b = 0; b < one.result.boxes.size(); ++b) {
                EXPECT_EQ(BoxText(many.result.boxes[b]), BoxText(one.result.boxes[b]));
                EXPECT_EQ(BoxValue(many.result.boxes[b]), BoxValue(one.result.boxes[b]));
            }
            EXPECT_EQ(many.after, one.after) << threads;
        }
    }
}

TEST(Parallel, ACancelStopsEveryThread) {
    for (const int threads : {1, 2, 3}) {
        Generator generator{Seeds{1, 2, 3}};
        RunControl control;
        std::vector<float> values(100, 1.0f);
        std::atomic<int> seen{0};
        EXPECT_THROW(ShufflesAlongside(values, 1'000'000, threads, generator, control,
                                       [&](std::int32_t k, std::span<const float>) {
                                           if (k == 10) control.RequestCancel();
                                           ++seen;
                                       }),
                     RunCancelled);
        EXPECT_LT(seen.load(), 1'000'000);
        control.cancelRequested = false;
        control.RequestCancel();
        EXPECT_THROW(ResamplesInParallel(1'000'000, 5, threads, generator, control,
                                         [](std::int32_t begin, std::int32_t end, BlockGenerator& g,
                                            const ResampleTick& tick) {
                                             for (std::int32_t k = begin; k < end; ++k) {
                                                 g.Uniform();
                                                 if (!tick()) return;
                                             }
                                         }),
                     RunCancelled);
    }
    EXPECT_GE(ThreadsFor(0, 1000), 1);
    EXPECT_EQ(ThreadsFor(7, 3), 3);
}

// A cancel before the first resample leaves the generator where it was; one partway leaves it after the
// draws of as many resamples as were made (on one thread, exactly those a loop stopping there made).
TEST(Parallel, ACancelledRunLeavesTheGeneratorAfterTheResamplesItMade) {
    constexpr std::uint64_t kDraws = 7;
    const Seeds start{11, 22, 33};
    for (const int threads : {1, 2, 3}) {
        SCOPED_TRACE(threads);
        Generator generator{start};
        RunControl control;
        control.RequestCancel();
        const auto draw = [&](std::int32_t begin, std::int32_t end, BlockGenerator& g, const ResampleTick& tick) {
            for (std::int32_t k = begin; k < end; ++k) {
                for (std::uint64_t i = 0; i < kDraws; ++i) g.Uniform();
                if (k == begin + 500) control.RequestCancel();
                if (!tick()) return;
            }
        };
        EXPECT_THROW(ResamplesInParallel(100'000, kDraws, threads, generator, control, draw), RunCancelled);
        EXPECT_EQ(generator.seeds, start);
        EXPECT_EQ(control.resamplesDone.load(), 0);

        control.cancelRequested = false;
        EXPECT_THROW(ResamplesInParallel(100'000, kDraws, threads, generator, control, draw), RunCancelled);
        const std::int64_t made = control.resamplesDone.load();
        EXPECT_GE(made, 501);
        EXPECT_LT(made, 100'000);
        Generator expected{start};
        for (std::int64_t i = 0; i < made * static_cast<std::int64_t>(kDraws); ++i) expected.Uniform();
        EXPECT_EQ(generator.seeds, expected.seeds);
        if (threads == 1) {
            EXPECT_EQ(made, 501);
        }
    }
}

// Stops recorded out of order: the earliest resample wins, with its reason, and a later share may give up
// once it is known.
TEST(Parallel, TheEarliestStopWinsWhateverTheOrderItIsMet) {
    EarliestStop none(100);
    EXPECT_FALSE(none.Found(100));
    EXPECT_FALSE(none.KnownBefore(99));

    Generator generator{Seeds{1, 2, 3}};
    RunControl control;
    EarliestStop stop(1000);
    std::atomic<bool> laterGaveUp{false};
    // Share 1 (500..999) meets its stop first; share 0 meets an earlier one only once that is known.
    ResamplesInParallel(1000, 3, 2, generator, control,
                        [&](std::int32_t begin, std::int32_t, BlockGenerator&, const ResampleTick&) {
                            if (begin == 500) {
                                stop.Record(700, 2);
                                while (!stop.KnownBefore(700)) std::this_thread::yield();
                                laterGaveUp = stop.KnownBefore(701) && stop.KnownBefore(600);
                                return;
                            }
                            while (!stop.Found(1000)) std::this_thread::yield();
                            stop.Record(40, 1);
                            stop.Record(300, 3);  // later than the one known: ignored
                        });
    ASSERT_TRUE(stop.Found(1000));
    EXPECT_EQ(stop.Resample(), 40);
    EXPECT_EQ(stop.Reason(), 1);
    EXPECT_TRUE(laterGaveUp.load());
    EXPECT_FALSE(stop.KnownBefore(40));
}

}  // namespace
