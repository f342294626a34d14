// Runs on 1, 2, 3 and 7 threads give the same resampled values, results and final seeds: for a loop whose
// resamples start again from the data (BootstMean) and for one whose shuffles carry over (IndepT). A cancel
// stops every thread and leaves the generator where one thread would stop; the earliest stop wins. The
// helpers for arrangements that carry over (in order on one thread, rows shuffled in place, changes drawn
// per resample and chained) against plain one-generator loops; and the randomization procedures on data large enough for
// many chunks and unequal shares.
#include "analysis/Parallel.h"
#include "analysis/bootstrap/BootstMean.h"
#include "analysis/randomization/IndepT.h"
#include "analysis/randomization/OnewayRandom.h"
#include "analysis/randomization/PairedCorr.h"
#include "analysis/randomization/TwoMedianRandomTest.h"
#include "support/Files.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <tuple>
#include <thread>

namespace BREVANT_TEST_UNIT {

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

// A step that carries over: each resample draws a permutation of the positions (n - 1 draws) and moves
// the values by it; its statistic weighs every position differently, so any misplaced value shows.
constexpr std::size_t kStepValues = 3000;  // large enough for several chunks in a few hundred resamples

CarriedStep PositionShuffle(std::size_t n) {
    return PositionPermutations(n - 1, n, [](BlockGenerator& g, std::span<std::int32_t> positions) {
        std::iota(positions.begin(), positions.end(), 0);
        ShuffleArray(g, positions);
    });
}

float Weighed(const float* v, std::size_t n) {
    double sum = 0;
    for (std::size_t i = 0; i < n; ++i) sum += static_cast<double>(v[i]) * static_cast<double>(i + 1);
    return static_cast<float>(sum);
}

// The same thing with one generator and no threads: resamples 0..R-1 in order.
struct PlainSteps {
    std::vector<float> values, statistics;
    Seeds after;
};
PlainSteps PlainPositionShuffles(std::vector<float> values, std::int32_t R, Seeds seeds) {
    Generator g{seeds};
    std::vector<std::int32_t> positions(values.size());
    std::vector<float> next(values.size());
    PlainSteps plain;
    for (std::int32_t k = 0; k < R; ++k) {
        std::iota(positions.begin(), positions.end(), 0);
        ShuffleArray(g, std::span<std::int32_t>(positions));
        for (std::size_t i = 0; i < values.size(); ++i) next[i] = values[static_cast<std::size_t>(positions[i])];
        values.swap(next);
        plain.statistics.push_back(Weighed(values.data(), values.size()));
    }
    plain.values = std::move(values);
    plain.after = g.seeds;
    return plain;
}

std::vector<float> Ramp(std::size_t n) {
    std::vector<float> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<float>(i) * 0.5f - 7.0f;
    return v;
}

TEST(Parallel, StepsAlongsideGiveThePlainLoopsBitsOverManyChunks) {
    for (const std::size_t n : {kStepValues, std::size_t{7}}) {
        const std::int32_t R = n == 7 ? 1001 : 389;
        const PlainSteps plain = PlainPositionShuffles(Ramp(n), R, Seeds{41, 42, 43});
        for (const int threads : {1, 2, 3, 7}) {
            SCOPED_TRACE(std::to_string(n) + " values, " + std::to_string(threads) + " threads");
            std::vector<float> values = Ramp(n);
            std::vector<float> statistics(static_cast<std::size_t>(R), -1.0f);
            Generator generator{Seeds{41, 42, 43}};
            RunControl control;
            StepsAlongside(values, R, threads, generator, control, PositionShuffle(n),
                           [&](std::int32_t first, std::int32_t count, const float* arrangements) {
                               for (std::int32_t j = 0; j < count; ++j) {
                                   statistics[static_cast<std::size_t>(first + j)] = Weighed(arrangements + j * n, n);
                               }
                           });
            for (std::size_t k = 0; k < statistics.size(); ++k) {
                ASSERT_TRUE(brevant::testing::SameBits(statistics[k], plain.statistics[k])) << k;
            }
            EXPECT_EQ(values, plain.values);
            EXPECT_EQ(generator.seeds, plain.after);
            EXPECT_EQ(control.resamplesDone.load(), R);
        }
    }
}

// A cancel is seen between chunks, or while the steps are drawn (that chunk is then left out whole): the
// values and the generator are those after the chunks completed, exactly as a plain loop leaves them after
// that many resamples; a cancel before the start draws nothing.
TEST(Parallel, StepsAlongsideCancelledStopsAfterWholeChunks) {
    for (const bool whileDrawing : {false, true}) {
        for (const int threads : {1, 2, 3}) {
            SCOPED_TRACE(std::to_string(threads) + (whileDrawing ? " threads, cancelled while drawing" : " threads"));
            std::vector<float> values = Ramp(kStepValues);
            Generator generator{Seeds{5, 6, 7}};
            RunControl control;
            CarriedStep step = PositionShuffle(kStepValues);
            std::atomic<int> drawn{0};
            if (whileDrawing) {
                step.draw = [&, draw = step.draw](BlockGenerator& g, std::span<std::int32_t> positions) {
                    if (++drawn == 300) control.RequestCancel();
                    draw(g, positions);
                };
            }
            EXPECT_THROW(StepsAlongside(values, 100'000, threads, generator, control, step,
                                        [&](std::int32_t first, std::int32_t, const float*) {
                                            if (!whileDrawing && first >= 100) control.RequestCancel();
                                        }),
                         RunCancelled);
            // Find how many resamples the generator moved on by, then compare with a plain loop that far.
            Generator stepping{Seeds{5, 6, 7}};
            std::int32_t made = 0;
            while (stepping.seeds != generator.seeds && made < 2000) {
                for (std::size_t i = 0; i + 1 < kStepValues; ++i) stepping.Uniform();
                ++made;
            }
            ASSERT_GT(made, whileDrawing ? 0 : 100);
            ASSERT_LT(made, whileDrawing ? 300 : 2000);
            EXPECT_EQ(values, PlainPositionShuffles(Ramp(kStepValues), made, Seeds{5, 6, 7}).values);

            std::vector<float> untouched = Ramp(kStepValues);
            EXPECT_THROW(StepsAlongside(untouched, 1000, threads, generator = Generator{Seeds{5, 6, 7}}, control,
                                        PositionShuffle(kStepValues), [](std::int32_t, std::int32_t, const float*) {}),
                         RunCancelled);
            EXPECT_EQ(generator.seeds, (Seeds{5, 6, 7}));
            EXPECT_EQ(untouched, Ramp(kStepValues));
        }
    }
}

// Rows of three shuffled in place, one after another: the batches of arrangements handed over are
// consecutive and each is the arrangement a plain loop has at that pass; a cancel stops after a batch.
TEST(Parallel, ArrangementsInOrderHandOverConsecutiveArrangements) {
    const std::size_t n = 30;
    const auto shuffleRows = [n](auto& g, std::span<float> v) {
        for (std::size_t row = 0; row < n; row += 3) ShuffleArray(g, v.subspan(row, 3));
    };
    const std::int32_t R = 2005;
    Generator plain{Seeds{9, 99, 999}};
    std::vector<float> values = Ramp(n);
    std::vector<float> expected;
    for (std::int32_t k = 0; k < R; ++k) {
        shuffleRows(plain, values);
        expected.push_back(Weighed(values.data(), n));
    }
    std::vector<float> arranged = Ramp(n);
    std::vector<float> statistics(static_cast<std::size_t>(R), -1.0f);
    Generator generator{Seeds{9, 99, 999}};
    RunControl control;
    const Rearrangement rearrange = [&](BlockGenerator& g, std::span<float> v) { shuffleRows(g, v); };
    ArrangementsInOrder(arranged, R, generator, control, rearrange,
                        [&](std::int32_t first, std::int32_t count, const float* arrangements) {
                            for (std::int32_t j = 0; j < count; ++j) {
                                statistics[static_cast<std::size_t>(first + j)] = Weighed(arrangements + j * n, n);
                            }
                        });
    for (std::size_t k = 0; k < statistics.size(); ++k) {
        ASSERT_TRUE(brevant::testing::SameBits(statistics[k], expected[k])) << k;
    }
    EXPECT_EQ(arranged, values);
    EXPECT_EQ(generator.seeds, plain.seeds);
    EXPECT_EQ(control.resamplesDone.load(), R);

    std::int32_t handed = 0;
    generator = Generator{Seeds{9, 99, 999}};
    EXPECT_THROW(ArrangementsInOrder(arranged = Ramp(n), R, generator, control, rearrange,
                                     [&](std::int32_t first, std::int32_t count, const float*) {
                                         handed = first + count;
                                         if (first >= 100) control.RequestCancel();
                                     }),
                 RunCancelled);
    Generator again{Seeds{9, 99, 999}};
    std::vector<float> expectedValues = Ramp(n);
    for (std::int32_t k = 0; k < handed; ++k) shuffleRows(again, expectedValues);
    EXPECT_LT(handed, R);
    EXPECT_EQ(arranged, expectedValues);
    EXPECT_EQ(generator.seeds, again.seeds);
}

// Rows shuffled in place on their own, split across threads: every pass's table is the one a plain loop
// has at that pass, over several chunks, with fewer rows than threads, and after a cancel.
TEST(Parallel, RowsAlongsideGiveThePlainLoopsBits) {
    const auto shuffleRows = [](auto& g, std::span<float> v, std::size_t width) {
        for (std::size_t row = 0; row < v.size(); row += width) ShuffleArray(g, v.subspan(row, width));
    };
    const auto plainTables = [&](std::size_t rows, std::size_t width, std::int32_t R, Seeds seeds) {
        Generator g{seeds};
        std::vector<float> table = Ramp(rows * width);
        std::vector<float> statistics;
        for (std::int32_t k = 0; k < R; ++k) {
            shuffleRows(g, table, width);
            statistics.push_back(Weighed(table.data(), table.size()));
        }
        return std::tuple{statistics, table, g.seeds};
    };
    for (const auto& [rows, width, R] : {std::tuple{std::size_t{10}, std::size_t{3}, 20005},
                                         std::tuple{std::size_t{2}, std::size_t{5}, 777}}) {
        const auto [expected, last, after] = plainTables(rows, width, R, Seeds{8, 88, 888});
        for (const int threads : {1, 2, 3, 7}) {
            SCOPED_TRACE(std::to_string(rows) + " rows, " + std::to_string(threads) + " threads");
            RowRearrangement shuffles{width, width - 1,
                                      [&, w = width](DrawsFrom& d, std::span<const float> from, std::span<float> to) {
                                          std::ranges::copy(from, to.begin());
                                          shuffleRows(d, to, w);
                                      }};
            const std::size_t n = rows * width;
            std::vector<float> table = Ramp(n);
            std::vector<float> statistics(static_cast<std::size_t>(R), -1.0f);
            Generator generator{Seeds{8, 88, 888}};
            RunControl control;
            RowsAlongside(table, R, threads, generator, control, shuffles,
                          [&](std::int32_t first, std::int32_t count, const float* tables) {
                              for (std::int32_t j = 0; j < count; ++j) {
                                  statistics[static_cast<std::size_t>(first + j)] = Weighed(tables + j * n, n);
                              }
                          });
            for (std::size_t k = 0; k < statistics.size(); ++k) {
                ASSERT_TRUE(brevant::testing::SameBits(statistics[k], expected[k])) << k;
            }
            EXPECT_EQ(table, last);
            EXPECT_EQ(generator.seeds, after);
            EXPECT_EQ(control.resamplesDone.load(), R);

            // Cancelled from a statistic: whole chunks done, table and generator as a plain loop leaves them.
            table = Ramp(n);
            generator = Generator{Seeds{8, 88, 888}};
            RunControl cancelled;
            EXPECT_THROW(RowsAlongside(table, 1'000'000, threads, generator, cancelled, shuffles,
                                       [&](std::int32_t first, std::int32_t, const float*) {
                                           if (first >= 100) cancelled.RequestCancel();
                                       }),
                         RunCancelled);
            Generator stepping{Seeds{8, 88, 888}};
            std::int32_t made = 0;
            while (stepping.seeds != generator.seeds && made < 200'000) {
                for (std::size_t i = 0; i < rows * (width - 1); ++i) stepping.Uniform();
                ++made;
            }
            ASSERT_GT(made, 100);
            ASSERT_LT(made, 200'000);
            EXPECT_EQ(table, std::get<1>(plainTables(rows, width, made, Seeds{8, 88, 888})));
        }
    }
}

// Shares that jump ahead, cancelled: the generator stands after a whole number of resamples, no more
// than were completed; cancelled before the start, after none.
TEST(Parallel, ResamplesInParallelCancelledKeepsTheUnbrokenRunOfResamples) {
    for (const int threads : {1, 2, 3}) {
        SCOPED_TRACE(threads);
        Generator generator{Seeds{1, 2, 3}};
        RunControl control;
        std::atomic<std::int64_t> completed{0};
        EXPECT_THROW(ResamplesInParallel(1'000'000, 10, threads, generator, control,
                                         [&](std::int32_t begin, std::int32_t end, BlockGenerator& g,
                                             const ResampleTick& tick) {
                                             for (std::int32_t k = begin; k < end; ++k) {
                                                 for (int i = 0; i < 10; ++i) g.Uniform();
                                                 if (++completed == 5000) control.RequestCancel();
                                                 if (!tick()) return;
                                             }
                                         }),
                     RunCancelled);
        std::int64_t resamples = 0;
        Generator stepping{Seeds{1, 2, 3}};
        while (stepping.seeds != generator.seeds && resamples <= completed.load()) {
            for (int i = 0; i < 10; ++i) stepping.Uniform();
            ++resamples;
        }
        EXPECT_EQ(stepping.seeds, generator.seeds);
        EXPECT_LE(resamples, completed.load());
        if (threads == 1) {
            EXPECT_EQ(resamples, completed.load());
        }

        generator = Generator{Seeds{1, 2, 3}};
        EXPECT_THROW(ResamplesInParallel(1000, 10, threads, generator, control,
                                         [](std::int32_t, std::int32_t, BlockGenerator& g, const ResampleTick& tick) {
                                             g.Uniform();
                                             tick();
                                         }),
                     RunCancelled);
        EXPECT_EQ(generator.seeds, (Seeds{1, 2, 3}));
    }
}

// The randomization procedures that split or batch their resamples, on data larger than the examples:
// unequal shares, eight-at-a-time batches with a remainder, and the plain median route (-0 beside 0).
TEST(Parallel, RandomizationRunsGiveTheSameBitsOnAnyNumberOfThreads) {
    std::mt19937 random(12);
    const auto procedureRun = [](const std::string& name, const std::string& text, int threads) {
        Generator generator{Seeds{77, 88, 99}};
        RunControl control;
        DataFile file = DataFile::FromText(text, "threads.dat");
        const RunSettings settings{1003, 0.975f, {}, threads};
        RunResult result = name == "OnewayRandom" ? OnewayRandomProcedure(file, settings, generator, control)
                           : name == "PairedCorr" ? PairedCorrProcedure(file, settings, generator, control)
                                                  : TwoMedianRandomTestProcedure(file, settings, generator, control);
        EXPECT_EQ(control.resamplesDone.load(), 1003);
        return Outcome{std::move(result), generator.seeds};
    };
    const std::pair<std::string, std::string> runs[] = {
        {"OnewayRandom", "3 40 50 61 " + Values(random, 151)},
        {"PairedCorr", "150 " + Values(random, 600)},
        {"TwoMedianRandomTest", "70 81 " + Values(random, 151)},
        {"TwoMedianRandomTest", "4 5 -0 0 1 2 0 -0 3 -0 4"},
    };
    for (const auto& [procedure, text] : runs) {
        SCOPED_TRACE(procedure);
        const Outcome one = procedureRun(procedure, text, 1);
        for (const int threads : {2, 3, 7}) {
            const Outcome many = procedureRun(procedure, text, threads);
            ASSERT_EQ(many.result.resampled.size(), one.result.resampled.size());
            for (std::size_t k = 0; k < one.result.resampled.size(); ++k) {
                ASSERT_TRUE(brevant::testing::SameBits(many.result.resampled[k], one.result.resampled[k]))
                    << threads << " " << k;
            }
            for (std::size_t b = 0; b < one.result.boxes.size(); ++b) {
                EXPECT_EQ(BoxText(many.result.boxes[b]), BoxText(one.result.boxes[b]));
            }
            EXPECT_EQ(many.result.messages, one.result.messages);
            EXPECT_EQ(many.after, one.after) << threads;
        }
    }
}

// A cancel before the first resample leaves the generator where it was; one partway leaves it after the
// draws of a whole number of resamples, no more than were made (on one thread, exactly those a loop
// stopping there made).
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
        std::int64_t whole = 0;
        while (expected.seeds != generator.seeds && whole < made) {
            for (std::uint64_t i = 0; i < kDraws; ++i) expected.Uniform();
            ++whole;
        }
        EXPECT_EQ(generator.seeds, expected.seeds);
        if (threads == 1) {
            EXPECT_EQ(made, 501);
            EXPECT_EQ(whole, made);
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
}  // namespace BREVANT_TEST_UNIT
