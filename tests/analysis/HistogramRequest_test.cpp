// What each procedure tells the detailed plot: the obtained value by name, and the region it counts as at
// least as extreme (checked against the counts in its own boxes) or the limits it reports (checked against
// its limit boxes). Every procedure runs its help example from fixed seeds.
#include "analysis/Procedure.h"
#include "analysis/bootstrap/BootstCorr.h"
#include "analysis/bootstrap/BootstMean.h"
#include "analysis/bootstrap/BootstMedian.h"
#include "analysis/bootstrap/MediationBoot.h"
#include "analysis/bootstrap/OnewayBoot.h"
#include "analysis/bootstrap/TwoMedianBootTest.h"
#include "analysis/randomization/Corr1.h"
#include "analysis/randomization/IndepT.h"
#include "analysis/randomization/OnewayRandom.h"
#include "analysis/randomization/PairedCorr.h"
#include "analysis/randomization/PairedT.h"
#include "analysis/randomization/Repeated1way.h"
#include "analysis/randomization/TwoMedianRandomTest.h"
#include "engine/DataFile.h"
#include "engine/Module1.h"
#include "support/Files.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>

namespace brevant::BREVANT_TEST_UNIT {
namespace {

using Run = std::function<RunResult(DataFile&, const RunSettings&, Generator&, RunControl&)>;

// How a window reports its extreme count: a count box, or proportions of R to be added up.
enum class Reported { Count, Proportions, Limits };

struct Case {
    const char* name;
    Run run;
    const char* example;
    const char* obtainedBox;
    Reported reported;
    std::vector<const char*> boxes;  // the count, the proportions, or the lower and upper limit
    const char* data = nullptr;      // instead of the example: a weak effect, so some values count
};

std::string Example(const char* name) {
    for (const auto& entry : std::filesystem::directory_iterator(BREVANT_SOURCE_DIR "/help/examples"))
        if (entry.path().extension() == ".dat" && entry.path().filename().string().starts_with(std::string(name) + "-"))
            return entry.path().string();
    return {};
}

const ResultBox* BoxNamed(const RunResult& run, const std::string& control) {
    for (const ResultBox& box : run.boxes)
        if (box.control == control) return &box;
    return nullptr;
}

const std::vector<Case>& Cases() {
    static const std::vector<Case> cases = {
        {"IndepT", IndepTProcedure, "IndepT", "txtObtT", Reported::Proportions, {"txtNumLess", "txtNumGreater"}},
        {"PairedT", PairedTProcedure, "PairedT", "txtObtT", Reported::Proportions, {"txtPctLess", "txtPctGreater"}},
        {"Corr1", Corr1Procedure, "Corr1", "txtObtR", Reported::Count, {"txtPctGreater"},
         "8\n1 3\n2 1\n3 4\n4 1\n5 5\n6 9\n7 2\n8 6\n"},
        {"OnewayRandom", OnewayRandomProcedure, "OnewayRandom", "txtObtF", Reported::Proportions, {"txtFPercent"},
         "3\n4 4 4\n5 7 6 8\n7 6 9 8\n8 7 6 10\n"},
        {"Repeated1way", Repeated1wayProcedure, "Repeated1way", "txtObtF", Reported::Count, {"txtPctGreater"},
         "3\n5\n1 2 1\n3 2 4\n2 3 2\n5 4 6\n3 4 3\n"},
        {"OnewayBoot",
         [](DataFile& f, const RunSettings& s, Generator& g, RunControl& c) {
             return OnewayBootProcedure(f, s, false, g, c);
         },
         "OnewayBoot", "txtObtF", Reported::Proportions, {"txtFPercent"}, "3\n4 4 4\n5 7 6 8\n6 5 8 7\n7 6 5 9\n"},
        {"TwoMedianRandomTest", TwoMedianRandomTestProcedure, "TwoMedianRandomTest", "txtMedDiff", Reported::Limits,
         {"txtLowerCL", "txtUpperCL"}},
        {"PairedCorr", PairedCorrProcedure, "PairedCorr", "txtObtR", Reported::Limits, {"txtLowerCI", "txtUpperCI"}},
        {"BootstMean", BootstMeanProcedure, "BootstMean", "txtMean", Reported::Limits, {"LowerCL", "UpperCL"}},
        {"BootstMedian", BootstMedianProcedure, "BootstMedian", "txtMedian", Reported::Limits, {"LowerCL", "UpperCL"}},
        {"BootstCorr", BootstCorrProcedure, "BootstCorr", "txtObtR", Reported::Limits, {"LowerCI", "UpperCI"}},
        {"TwoMedianBootTest", TwoMedianBootTestProcedure, "TwoMedianBootTest", "txtMedDiff", Reported::Limits,
         {"txtLowerCL", "txtUpperCL"}},
        {"MediationBoot", MediationBootProcedure, "MediationBoot", "txtObtB", Reported::Limits, {"LowerCI", "UpperCI"}},
    };
    return cases;
}

class HistogramRequestTest : public ::testing::TestWithParam<std::size_t> {};

TEST_P(HistogramRequestTest, NamesWhatItsBoxesReport) {
    const Case& c = Cases()[GetParam()];
    std::string path = Example(c.example);
    if (c.data != nullptr) {
        path = BREVANT_TEST_WORK_DIR "/histogram-request-" + std::string(c.name) + ".dat";
        testing::WriteWhole(path, c.data);
    }
    ASSERT_FALSE(path.empty()) << c.name;
    SetSeeds(Seeds{4242, 777, 31});
    DataFile file = DataFile::Open(path);
    RunSettings settings;
    settings.resamples = 2000;
    RunControl control;
    const RunResult run = c.run(file, settings, TheGenerator(), control);
    const HistogramRequest& h = run.histogram;

    const ResultBox* obtained = BoxNamed(run, c.obtainedBox);
    ASSERT_NE(obtained, nullptr) << c.name;
    EXPECT_EQ(h.Obtained(), static_cast<float>(BoxValue(*obtained))) << c.name;
    EXPECT_TRUE(h.observedLabel.starts_with("Obtained") || h.observedLabel == obtained->label) << h.observedLabel;

    if (c.reported == Reported::Limits) {
        EXPECT_FALSE(h.extreme) << c.name << " reports no proportion";
        ASSERT_TRUE(h.limits) << c.name;
        const ResultBox* lower = BoxNamed(run, c.boxes[0]);
        const ResultBox* upper = BoxNamed(run, c.boxes[1]);
        ASSERT_TRUE(lower && upper) << c.name;
        EXPECT_EQ(h.limits->lower, static_cast<float>(BoxValue(*lower))) << c.name;
        EXPECT_EQ(h.limits->upper, static_cast<float>(BoxValue(*upper))) << c.name;
        EXPECT_EQ(h.limits->lowerLabel, lower->label);
        EXPECT_EQ(h.limits->upperLabel, upper->label);
        EXPECT_LT(h.limits->lower, h.limits->upper) << c.name;
        return;
    }

    ASSERT_TRUE(h.extreme) << c.name;
    EXPECT_FALSE(h.limits) << c.name;
    std::int64_t reported = 0;
    for (const char* name : c.boxes) {
        const ResultBox* box = BoxNamed(run, name);
        ASSERT_NE(box, nullptr) << c.name << " " << name;
        const double value = BoxValue(*box);
        reported += c.reported == Reported::Count ? std::llround(value) : std::llround(value * settings.resamples);
    }
    std::int64_t inRegion = 0;
    for (float v : run.resampled) inRegion += h.extreme->Contains(v);
    EXPECT_EQ(inRegion, reported) << c.name;
    // Neither everything nor nothing: the example's obtained value lies inside the distribution, so the
    // comparison above tells a region on the wrong side or of the wrong width.
    EXPECT_GT(inRegion, 0) << c.name;
    EXPECT_LT(inRegion, settings.resamples) << c.name;
}

INSTANTIATE_TEST_SUITE_P(EveryProcedure, HistogramRequestTest, ::testing::Range<std::size_t>(0, 13),
                         [](const ::testing::TestParamInfo<std::size_t>& info) {
                             return std::string(Cases()[info.param].name);
                         });

TEST(ExtremeRegion, ContainsItsTailsOnly) {
    const ExtremeRegion both{ExtremeRegion::Tails::Both, 2.0f};
    const ExtremeRegion upper{ExtremeRegion::Tails::Upper, 2.0f};
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (float v : {2.0f, 3.5f, inf}) {
        EXPECT_TRUE(both.Contains(v)) << v;
        EXPECT_TRUE(upper.Contains(v)) << v;
    }
    for (float v : {-2.0f, -7.0f, -inf}) {
        EXPECT_TRUE(both.Contains(v)) << v;
        EXPECT_FALSE(upper.Contains(v)) << v;
    }
    for (float v : {1.999f, -1.999f, 0.0f, nan}) EXPECT_FALSE(both.Contains(v)) << v;
}

}  // namespace
}  // namespace brevant
