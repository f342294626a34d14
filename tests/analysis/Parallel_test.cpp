// Runs on 1, 2, 3 and 7 threads give the same resampled values, results and final seeds: for a loop whose
// resamples start again from the data (BootstMean) and for one whose shuffles carry over (IndepT); and a
// cancel stops every thread.
#include "analysis/Parallel.h"
#include "analysis/bootstrap/BootstMean.h"
#include "analysis/randomization/IndepT.h"
#include "support/Files.h"

#include <gtest/gtest.h>

#include <random>

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

}  // namespace
