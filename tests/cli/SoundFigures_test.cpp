// Data whose values differ little relative to their size (temperatures, values near 10,000 or 1e10, values
// 1 +- 1e-4, correlations near 1), made afresh and run through every procedure of the batch tool: each run
// is accepted and says its sums were kept in double; its obtained figure agrees with a double-precision
// computation; its p values and tail proportions, with the same seeds, agree with the run on the same data
// moved to a mean near 0; a bootstrap standard error is the spread of the values written; no impossible
// figure appears.
#include "engine/NumberText.h"
#include "support/CliRun.h"
#include "support/Files.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace BREVANT_TEST_UNIT {

namespace {

using brevant::testing::Cli;
using brevant::testing::CliWorkFile;
using Column = std::vector<double>;

// ---------------------------------------------------------------------------------------------------------
// Double-precision references, two passes around the mean.

double Mean(const Column& x) { return std::accumulate(x.begin(), x.end(), 0.0) / static_cast<double>(x.size()); }
double Covariance(const Column& x, const Column& y) {
    const double mx = Mean(x), my = Mean(y);
    double s = 0;
    for (std::size_t i = 0; i < x.size(); ++i) s += (x[i] - mx) * (y[i] - my);
    return s / static_cast<double>(x.size() - 1);
}
double Variance(const Column& x) { return Covariance(x, x); }
double Correlation(const Column& x, const Column& y) { return Covariance(x, y) / std::sqrt(Variance(x) * Variance(y)); }
double Median(Column x) {
    std::sort(x.begin(), x.end());
    const std::size_t n = x.size();
    return n % 2 == 1 ? x[n / 2] : (x[n / 2 - 1] + x[n / 2]) / 2.0;
}
double PooledT(const Column& a, const Column& b) {
    const double na = static_cast<double>(a.size()), nb = static_cast<double>(b.size());
    const double pooled = (Variance(a) * (na - 1) + Variance(b) * (nb - 1)) / (na + nb - 2);
    return (Mean(a) - Mean(b)) / std::sqrt(pooled * (1 / na + 1 / nb));
}
Column Differences(const Column& first, const Column& second) {
    Column d(first.size());
    for (std::size_t i = 0; i < d.size(); ++i) d[i] = second[i] - first[i];
    return d;
}
double PairedT(const Column& d) { return Mean(d) / std::sqrt(Variance(d) / static_cast<double>(d.size())); }
double OnewayF(const std::vector<Column>& groups) {
    Column all;
    for (const Column& g : groups) all.insert(all.end(), g.begin(), g.end());
    const double grand = Mean(all);
    double between = 0, within = 0;
    for (const Column& g : groups) {
        between += static_cast<double>(g.size()) * (Mean(g) - grand) * (Mean(g) - grand);
        within += Variance(g) * static_cast<double>(g.size() - 1);
    }
    const double k = static_cast<double>(groups.size()), n = static_cast<double>(all.size());
    return (between / (k - 1)) / (within / (n - k));
}
// rows[s][t]: subject s, treatment t.
double RepeatedF(const std::vector<Column>& rows) {
    const std::size_t n = rows.size(), k = rows[0].size();
    Column all, treatment(k, 0.0);
    for (const Column& r : rows) all.insert(all.end(), r.begin(), r.end());
    const double grand = Mean(all);
    double total = 0, subjects = 0, treatments = 0;
    for (const Column& r : rows) {
        subjects += static_cast<double>(k) * (Mean(r) - grand) * (Mean(r) - grand);
        for (std::size_t t = 0; t < k; ++t) {
            total += (r[t] - grand) * (r[t] - grand);
            treatment[t] += r[t] / static_cast<double>(n);
        }
    }
    for (const double m : treatment) treatments += static_cast<double>(n) * (m - grand) * (m - grand);
    const double error = total - subjects - treatments;
    return (treatments / static_cast<double>(k - 1)) / (error / static_cast<double>((k - 1) * (n - 1)));
}

// ---------------------------------------------------------------------------------------------------------
// Data: every value a float, written so it reads back exactly; the moved data are (x - centre) / scale.

struct Study {
    std::vector<Column> columns;  // as the procedure's layout needs them (groups, or variables of the cases)
    double centre = 0, scale = 1;
};

float AsFloat(double v) { return static_cast<float>(v); }
Column Floats(Column x) {
    for (double& v : x) v = AsFloat(v);
    return x;
}
Column Moved(const Column& x, double centre, double scale) {
    Column m(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) m[i] = AsFloat((x[i] - centre) / scale);
    return m;
}
Study MovedStudy(const Study& s) {
    Study m{{}, 0, 1};
    for (const Column& c : s.columns) m.columns.push_back(Moved(c, s.centre, s.scale));
    return m;
}

std::string Text(double v) { return brevant::ShortestText(AsFloat(v)); }

// Counts first (as given), then the columns one after another (groups) or interleaved by case (variables).
std::string GroupsText(const std::vector<std::string>& counts, const std::vector<Column>& groups) {
    std::ostringstream out;
    for (const std::string& c : counts) out << c << "\n";
    for (const Column& g : groups) {
        for (const double v : g) out << Text(v) << " ";
        out << "\n";
    }
    return out.str();
}
std::string CasesText(const std::vector<std::string>& counts, const std::vector<Column>& variables) {
    std::ostringstream out;
    for (const std::string& c : counts) out << c << "\n";
    for (std::size_t i = 0; i < variables[0].size(); ++i) {
        for (const Column& v : variables) out << Text(v[i]) << " ";
        out << "\n";
    }
    return out.str();
}

Column Normal(std::mt19937& random, std::size_t n, double centre, double spread, double step = 0) {
    std::normal_distribution<double> d(centre, spread);
    Column x(n);
    for (double& v : x) v = step > 0 ? std::round(d(random) / step) * step : d(random);
    return Floats(x);
}
// y = x * slope + noise, for a chosen correlation.
Column Related(std::mt19937& random, const Column& x, double centre, double spread, double r) {
    const double mx = Mean(x), sx = std::sqrt(Variance(x));
    std::normal_distribution<double> noise(0.0, spread * std::sqrt(1 - r * r));
    Column y(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) y[i] = centre + r * spread * (x[i] - mx) / sx + noise(random);
    return Floats(y);
}

// ---------------------------------------------------------------------------------------------------------
// The procedures.

enum class Figure { Statistic, Bounded, Location };

struct Case {
    const char* name;
    std::vector<std::string> options;
    std::function<Study(std::mt19937&)> make;
    std::function<std::string(const Study&)> file;
    const char* obtained;                          // the box checked against exact
    std::function<double(const Study&)> exact;
    Figure figure;
    bool writesOutput = true;
    const char* standardError = nullptr;           // a box that must be the spread of the output file
};

std::string TwoGroupsFile(const Study& s) {
    return GroupsText({std::to_string(s.columns[0].size()), std::to_string(s.columns[1].size())}, s.columns);
}
std::string OnewayFile(const Study& s) {
    std::vector<std::string> counts{std::to_string(s.columns.size())};
    for (const Column& g : s.columns) counts.push_back(std::to_string(g.size()));
    return GroupsText(counts, s.columns);
}
std::string CasesFile(const Study& s) { return CasesText({std::to_string(s.columns[0].size())}, s.columns); }
// Repeated measures: columns are the treatments, a row per subject.
std::string RepeatedFile(const Study& s) {
    return CasesText({std::to_string(s.columns.size()), std::to_string(s.columns[0].size())}, s.columns);
}
std::vector<Column> Rows(const Study& s) {
    std::vector<Column> rows(s.columns[0].size(), Column(s.columns.size()));
    for (std::size_t t = 0; t < s.columns.size(); ++t) {
        for (std::size_t i = 0; i < rows.size(); ++i) rows[i][t] = s.columns[t][i];
    }
    return rows;
}

Study NearTenThousand(std::mt19937& random, std::size_t n, double spread, double effect) {
    return {{Normal(random, n, 10000, spread), Normal(random, n, 10000 + effect, spread)}, 10000, spread};
}
Study TemperatureTable(std::mt19937& random) {
    std::normal_distribution<double> subject(98.6, 0.4), noise(0.0, 0.3);
    std::vector<Column> treatments(5, Column(20));
    for (std::size_t i = 0; i < 20; ++i) {
        const double base = subject(random);
        for (std::size_t t = 0; t < 5; ++t) treatments[t][i] = AsFloat(std::round((base + 0.05 * t + noise(random)) * 10) / 10);
    }
    return {treatments, 98.6, 0.5};
}
Study Correlated(std::mt19937& random, std::size_t n, double centre, double spread, std::vector<double> r) {
    Study s{{Normal(random, n, centre, spread)}, centre, spread};
    for (const double each : r) s.columns.push_back(Related(random, s.columns.back(), centre, spread, each));
    return s;
}
Study OneTenThousandth(std::mt19937& random) {
    return {{Normal(random, 20, 1.0, 1e-4), Normal(random, 20, 1.00005, 1e-4), Normal(random, 20, 1.00008, 1e-4)}, 1.0, 1e-4};
}
// The medians: values that differ in their eighth digit, two groups a little apart.
Study EighthDigit(std::mt19937& random) {
    return {{Normal(random, 41, 100000, 0.01), Normal(random, 40, 100000.005, 0.01)}, 100000, 0.01};
}

const std::vector<Case>& Cases() {
    static const std::vector<Case> cases{
        {"IndepT", {}, [](std::mt19937& g) { return NearTenThousand(g, 500, 1.0, 0.15); }, TwoGroupsFile, "txtObtT",
         [](const Study& s) { return PooledT(s.columns[0], s.columns[1]); }, Figure::Statistic},
        {"PairedT", {},
         [](std::mt19937& g) {
             Study s{{Normal(g, 300, 10000, 10)}, 10000, 1};
             Column after = s.columns[0];
             const Column change = Normal(g, 300, 0.0005, 0.001);
             for (std::size_t i = 0; i < after.size(); ++i) after[i] = AsFloat(after[i] + 0.25 + change[i]);
             s.columns.push_back(after);
             return s;
         },
         CasesFile, "txtObtT", [](const Study& s) { return PairedT(Differences(s.columns[0], s.columns[1])); },
         Figure::Statistic},
        {"TwoMedianRandomTest", {"--confidence", "95"}, EighthDigit, TwoGroupsFile, "txtMedDiff",
         [](const Study& s) { return Median(s.columns[0]) - Median(s.columns[1]); }, Figure::Location},
        {"Corr1", {}, [](std::mt19937& g) { return Correlated(g, 1000, 10000, 10, {0.286}); }, CasesFile, "txtObtR",
         [](const Study& s) { return Correlation(s.columns[0], s.columns[1]); }, Figure::Bounded, false},
        {"OnewayRandom", {}, OneTenThousandth, OnewayFile, "txtObtF", [](const Study& s) { return OnewayF(s.columns); },
         Figure::Statistic},
        {"PairedCorr", {"--confidence", "95"},
         [](std::mt19937& g) { return Correlated(g, 200, 1e10, 1e7, {0.5, 0.9, 0.5}); }, CasesFile, "txtObtR",
         [](const Study& s) { return Correlation(s.columns[0], s.columns[1]); }, Figure::Bounded, false},
        {"Repeated1way", {}, TemperatureTable, RepeatedFile, "txtObtF",
         [](const Study& s) { return RepeatedF(Rows(s)); }, Figure::Statistic},
        {"BootstMean", {"--confidence", "95"},
         [](std::mt19937& g) { return Study{{Normal(g, 1000, 1000, 1)}, 1000, 1}; },
         [](const Study& s) { return CasesText({std::to_string(s.columns[0].size())}, s.columns); }, "txtMean",
         [](const Study& s) { return Mean(s.columns[0]); }, Figure::Location, true, "txtStError"},
        {"BootstCorr", {"--confidence", "95"},
         [](std::mt19937& g) { return Correlated(g, 1000, 10000, 10, {0.97}); }, CasesFile, "txtObtR",
         [](const Study& s) { return Correlation(s.columns[0], s.columns[1]); }, Figure::Bounded, true, "StErrBox"},
        {"BootstMedian", {"--confidence", "95"},
         [](std::mt19937& g) { return Study{{Normal(g, 1001, 100000, 0.01)}, 100000, 0.01}; },
         [](const Study& s) { return CasesText({std::to_string(s.columns[0].size())}, s.columns); }, "txtMedian",
         [](const Study& s) { return Median(s.columns[0]); }, Figure::Location},
        {"TwoMedianBootTest", {"--confidence", "95"}, EighthDigit, TwoGroupsFile, "txtMedDiff",
         [](const Study& s) { return Median(s.columns[0]) - Median(s.columns[1]); }, Figure::Location},
        {"MediationBoot", {"--confidence", "95"},
         [](std::mt19937& g) { return Correlated(g, 500, 1e6, 10, {0.999, 0.999}); }, CasesFile, "txtObtB",
         [](const Study& s) {
             return Correlation(s.columns[0], s.columns[1]) * Correlation(s.columns[1], s.columns[2]);
         },
         Figure::Bounded, true, "StErrBox"},
        {"OnewayBoot", {}, OneTenThousandth, OnewayFile, "txtObtF", [](const Study& s) { return OnewayF(s.columns); },
         Figure::Statistic},
        {"OnewayBoot", {"--errors"}, OneTenThousandth, OnewayFile, "txtObtF",
         [](const Study& s) { return OnewayF(s.columns); }, Figure::Statistic},
    };
    return cases;
}

// ---------------------------------------------------------------------------------------------------------

struct Outcome {
    nlohmann::json json;
    Column written;  // the output file's values
};

Outcome RunCase(const Case& c, const Study& study, const std::string& tag) {
    const auto data = CliWorkFile("SoundFigures", tag + ".dat");
    const auto output = CliWorkFile("SoundFigures", tag + ".out");
    brevant::testing::WriteWhole(data, c.file(study));
    std::vector<std::string> args{c.name, data.string(), "--resamples", "2000", "--seed", "11,222,3333", "--json"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    if (c.writesOutput) {
        args.push_back("--output");
        args.push_back(output.string());
    }
    const auto run = Cli(args);
    EXPECT_EQ(run.code, 0) << run.err;
    Outcome o{nlohmann::json::parse(run.out.empty() ? "{}" : run.out), {}};
    if (c.writesOutput) {
        std::istringstream lines(brevant::testing::ReadWhole(output));
        for (double v; lines >> v;) o.written.push_back(v);
    }
    return o;
}

double Value(const nlohmann::json& json, const std::string& box) {
    const auto& v = json["results"][box]["value"];
    return v.is_number() ? v.get<double>() : std::nan("");
}

class SoundFigures : public ::testing::TestWithParam<std::size_t> {};

TEST_P(SoundFigures, DataThatDifferLittleForTheirSizeGiveTheFiguresOfTheSameDataMovedToZero) {
    {
        const Case& c = Cases()[GetParam()];
        std::mt19937 random(20261207);
        const Study study = c.make(random);
        const Outcome close = RunCase(c, study, c.name);
        const Outcome moved = RunCase(c, MovedStudy(study), std::string(c.name) + "-moved");
        if (::testing::Test::HasFailure()) return;

        // The obtained figure against the double-precision one.
        const double obtained = Value(close.json, c.obtained), exact = c.exact(study);
        const double spread = study.scale;
        const double tolerance = c.figure == Figure::Statistic ? 0.01 * std::abs(exact)
                                 : c.figure == Figure::Bounded ? 0.01 : 0.001 * spread;
        EXPECT_NEAR(obtained, exact, tolerance);
        const std::string notes = close.json["notes"].dump();
        EXPECT_NE(notes.find("little relative to their size, so this run"), std::string::npos) << notes;
        EXPECT_EQ(notes.find("no spread"), std::string::npos) << notes;

        for (const auto& [box, figure] : close.json["results"].items()) {
            const double value = Value(close.json, box);
            EXPECT_TRUE(std::isfinite(value)) << box;
            if (figure.contains("monteCarloError")) {
                EXPECT_NEAR(value, Value(moved.json, box), 0.01) << box;
            }
            const bool limit = box.find("CI") != std::string::npos || box.find("CL") != std::string::npos;
            if (c.figure == Figure::Bounded && (box == c.obtained || limit)) {
                EXPECT_LE(std::abs(value), 1.0) << box;  // r, b(xyz) and their limits
            }
        }
        if (std::string(c.obtained) == "txtObtF") {
            EXPECT_GE(obtained, 0.0);  // never a negative F
        }
        if (close.json["results"].contains("LowerCL") && close.json["results"].contains("UpperCL")) {
            EXPECT_LE(Value(close.json, "LowerCL"), obtained);  // the interval holds the estimate
            EXPECT_GE(Value(close.json, "UpperCL"), obtained);
        }
        if (std::string(c.name) == "PairedCorr") {
            for (const char* limit : {"txtLowerCI", "txtUpperCI"}) {
                EXPECT_NEAR(Value(close.json, limit), Value(moved.json, limit), 0.01) << limit;
            }
            EXPECT_NEAR(Value(close.json, "StErrBox"), Value(moved.json, "StErrBox"),
                        0.03 * Value(moved.json, "StErrBox"));
        }
        if (c.standardError) {
            Column written(close.written.begin(), close.written.end());
            ASSERT_EQ(written.size(), 2000u);
            const double spreadWritten = std::sqrt(Variance(written));
            EXPECT_NEAR(Value(close.json, c.standardError), spreadWritten, 0.015 * spreadWritten);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryProcedure, SoundFigures, ::testing::Range<std::size_t>(0, Cases().size()),
                         [](const ::testing::TestParamInfo<std::size_t>& info) {
                             const Case& c = Cases()[info.param];
                             const bool errors = std::find(c.options.begin(), c.options.end(), "--errors") != c.options.end();
                             return std::string(c.name) + (errors ? "Errors" : "");
                         });

}  // namespace
}  // namespace BREVANT_TEST_UNIT
