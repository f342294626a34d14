// What the tests of centred runs of the F procedures share: the values a centred run works on, the 1 %
// tolerance of a statistic, and for the one-way windows groups whose values differ little relative to
// their size, made afresh from a fixed seed, the same groups moved to a mean near 0 and a spread near 1,
// and F and the effect size in double precision, written here on their own.
#pragma once

#include "analysis/Procedure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace brevant::testing {

using GroupValues = std::vector<std::vector<float>>;

struct IllConditionedGroups {
    std::string name;
    GroupValues groups;
    double centre, scale;  // (value - centre) / scale is the same data well conditioned
};

// Body temperatures with one decimal, values near 10,000 with a spread of 1 (a few groups, and 500 + 500),
// values near 1e6 with a spread of 10, values 1 +- 1e-4, and values near 10,000 that differ in their
// eighth digit. Every group has a small effect of its own.
inline std::vector<IllConditionedGroups> IllConditionedOnewaySets() {
    std::mt19937 random(20261215);
    std::normal_distribution<double> normal(0.0, 1.0);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    const auto make = [&](const std::vector<int>& sizes, auto value) {
        GroupValues groups;
        for (std::size_t j = 0; j < sizes.size(); ++j) {
            std::vector<float> group;
            for (int i = 0; i < sizes[j]; ++i) group.push_back(static_cast<float>(value(static_cast<double>(j))));
            groups.push_back(group);
        }
        return groups;
    };
    std::vector<IllConditionedGroups> sets;
    sets.push_back({"body temperatures", make({12, 15, 10}, [&](double j) {
                        const double t = std::round((98.3 + 0.15 * j + 0.45 * normal(random)) * 10.0) / 10.0;
                        return std::clamp(t, 97.6, 99.6);
                    }),
                    98.6, 0.5});
    sets.push_back({"near 10,000, spread 1",
                    make({25, 30, 20}, [&](double j) { return 10000.0 + 0.4 * j + normal(random); }), 10000.0, 1.0});
    sets.push_back({"500 + 500 near 10,000",
                    make({500, 500}, [&](double j) { return 10000.0 + 0.1 * j + normal(random); }), 10000.0, 1.0});
    sets.push_back({"near 1e6, spread 10",
                    make({8, 12, 10, 9}, [&](double j) { return 1e6 + 4.0 * j + 10.0 * normal(random); }), 1e6, 10.0});
    sets.push_back({"1 +- 1e-4",
                    make({10, 10, 10}, [&](double j) { return 1.0 + 1e-4 * uniform(random) + 3e-5 * j; }), 1.0, 1e-4});
    sets.push_back({"near 10,000 in the eighth digit",
                    {{10000.001f, 10000.002f, 10000.004f}, {10000.003f, 10000.005f, 10000.004f, 10000.006f}},
                    10000.0, 0.001});
    return sets;
}

inline GroupValues Rescaled(GroupValues groups, double centre, double scale) {
    for (auto& group : groups) {
        for (float& v : group) v = static_cast<float>((static_cast<double>(v) - centre) / scale);
    }
    return groups;
}

// The values less their mean rounded to single precision, each difference rounded to single: the data a
// centred run works on.
inline std::vector<float> ShiftedByMean(std::vector<float> values) {
    double sum = 0;
    for (const float v : values) sum += v;
    const auto mean = static_cast<float>(sum / static_cast<double>(values.size()));
    for (float& v : values) v = static_cast<float>(static_cast<double>(v) - mean);
    return values;
}

struct DoubleOneway {
    double f = 0, effectSize = 0;
};

// F = SSb / (k - 1) / MSw and sqrt(sum of (mean - grand mean)^2 / k / MSw), deviations around each mean.
inline DoubleOneway DoubleOnewayFigures(const GroupValues& groups) {
    double total = 0;
    std::size_t count = 0;
    std::vector<double> means;
    for (const auto& group : groups) {
        double sum = 0;
        for (const float v : group) sum += v;
        means.push_back(sum / static_cast<double>(group.size()));
        total += sum;
        count += group.size();
    }
    const double grand = total / static_cast<double>(count);
    double between = 0, unweighted = 0, within = 0;
    for (std::size_t j = 0; j < groups.size(); ++j) {
        for (const float v : groups[j]) within += (v - means[j]) * (v - means[j]);
        between += (means[j] - grand) * (means[j] - grand) * static_cast<double>(groups[j].size());
        unweighted += (means[j] - grand) * (means[j] - grand);
    }
    const auto k = static_cast<double>(groups.size());
    const double msw = within / (static_cast<double>(count) - k);
    return {between / (k - 1) / msw, std::sqrt(unweighted / k / msw)};
}

// Within 1 % of the reference, a reference below 0.01 counting as 0.01.
inline double StatisticTolerance(double reference) { return 0.01 * std::max(std::abs(reference), 0.01); }

// A centred one-way run as presented: F and the effect size within 1 % of the double figures, the note, and
// no resampled F below 0.
inline void ExpectCentredOnewayRun(const RunResult& run, const GroupValues& groups) {
    const DoubleOneway exact = DoubleOnewayFigures(groups);
    EXPECT_NEAR(BoxValue(run.boxes[0]), exact.f, StatisticTolerance(exact.f));
    EXPECT_NEAR(BoxValue(run.boxes[1]), exact.effectSize, StatisticTolerance(exact.effectSize));
    EXPECT_NE(std::ranges::find(run.notes, std::string(kCentredRunNote)), run.notes.end());
    EXPECT_TRUE(std::ranges::none_of(run.resampled, [](float v) { return v < 0.0f; }));
}

}  // namespace brevant::testing
