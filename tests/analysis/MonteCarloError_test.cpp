// The Monte Carlo error notes: which boxes get one, how they are named, the standard errors, and the
// sentences for a p value that a few more resamples could move across 0.05 or 0.01.
#include "analysis/MonteCarloError.h"

#include <gtest/gtest.h>

#include <cmath>

namespace BREVANT_TEST_UNIT {

namespace {

using brevant::BoxFormat;
using brevant::BoxMeaning;
using brevant::ResultBox;

ResultBox Proportion(const char* control, const char* labelControl, const char* label, double p) {
    return {control, labelControl, label, p, BoxFormat::General, BoxMeaning::Proportion};
}

bool Mentions(const std::vector<std::string>& notes, const std::string& words) {
    for (const std::string& note : notes)
        if (note.find(words) != std::string::npos) return true;
    return false;
}

TEST(MonteCarloError, StandardErrorsAndSettlingCounts) {
    EXPECT_DOUBLE_EQ(brevant::MonteCarloStandardError(0.5, 100), 0.05);
    EXPECT_DOUBLE_EQ(brevant::MonteCarloStandardError(0.1, 900), 0.01);
    EXPECT_EQ(brevant::MonteCarloStandardError(0.0, 1000), 0.0);
    EXPECT_EQ(brevant::MonteCarloStandardError(1.0, 1000), 0.0);
    EXPECT_TRUE(std::isnan(brevant::MonteCarloStandardError(0.5, 0)));

    // 9 * 0.04 * 0.96 / 0.01^2 = 3456: at that count 0.04 lies exactly three errors below 0.05.
    EXPECT_DOUBLE_EQ(*brevant::ResamplesToSettle(0.04, 0.05), 3456.0);
    const double needed = *brevant::ResamplesToSettle(0.04, 0.05);
    EXPECT_NEAR(0.05 - 0.04, 3.0 * brevant::MonteCarloStandardError(0.04, static_cast<std::int64_t>(needed)), 1e-12);
    EXPECT_FALSE(brevant::ResamplesToSettle(0.05, 0.05).has_value());
}

TEST(MonteCarloError, TextsOfErrorsAndCounts) {
    EXPECT_EQ(brevant::ErrorText(0.0067573), "0.0068");
    EXPECT_EQ(brevant::ErrorText(0.05), "0.050");
    EXPECT_EQ(brevant::ErrorText(0.0138), "0.014");
    EXPECT_EQ(brevant::ErrorText(0.000002236), "0.0000022");
    EXPECT_EQ(brevant::ErrorText(0.0), "0");
    EXPECT_EQ(brevant::RoundedCountText(47123), "48,000");
    EXPECT_EQ(brevant::RoundedCountText(102816.2), "110,000");
    EXPECT_EQ(brevant::RoundedCountText(99), "99");
    EXPECT_EQ(brevant::RoundedCountText(100), "100");
    EXPECT_EQ(brevant::RoundedCountText(101), "110");
    EXPECT_EQ(brevant::GroupedCount(10'000'000), "10,000,000");
    EXPECT_EQ(brevant::GroupedCount(1234), "1,234");  // a resample count is told exactly
}

TEST(MonteCarloError, OnlyProportionBoxesWithAProportionGetAnError) {
    const std::vector<ResultBox> boxes = {
        {"txtObtT", "label1", "Obtained t", 2.5f, BoxFormat::ThreeDecimals},
        Proportion("txtNumLess", "Label2(0)", "% < - t   | % >  +t", 0.001),
        Proportion("txtNumGreater", "Label2(0)", "% < - t   | % >  +t", 0.2),
        Proportion("txtProbMore", "Label3(0)", "p more extreme", std::nan("")),  // degenerate: no error
    };
    const auto figures = brevant::MonteCarloFigures(boxes, 1000);
    ASSERT_EQ(figures.size(), 2u);
    EXPECT_EQ(figures[0].control, "txtNumLess");
    EXPECT_EQ(figures[0].name, "% < - t");  // each box of a shared label by its half, blanks tidied
    EXPECT_EQ(figures[1].name, "% > +t");
    EXPECT_DOUBLE_EQ(figures[1].standardError, std::sqrt(0.2 * 0.8 / 1000));

    const auto notes = brevant::MonteCarloNotes(boxes, 1000);
    ASSERT_EQ(notes.size(), 1u);  // neither lies near 0.05 or 0.01
    EXPECT_EQ(notes[0], "Monte Carlo standard error, \u221A(p(1 \u2212 p)/R) with R = 1,000: % < - t 0.0010, "
                        "% > +t 0.013.");

    const std::vector<ResultBox> noProportions = {boxes[0]};
    EXPECT_TRUE(brevant::MonteCarloNotes(noProportions, 1000).empty());
    EXPECT_TRUE(brevant::MonteCarloNotes(boxes, 0).empty());
}

TEST(MonteCarloError, APValueNearALevelSaysHowManyResamplesWouldSettleIt) {
    // 0.048 with R = 1000: error 0.0068, 0.002 from 0.05; 9 * 0.048 * 0.952 / 0.002^2 = 102,816 -> 110,000.
    std::vector<ResultBox> boxes = {Proportion("txtProbMore", "Label3", "p as extreme", 0.048)};
    auto notes = brevant::MonteCarloNotes(boxes, 1000);
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[1], "p as extreme (0.048) lies within three standard errors of 0.05; about 110,000 resamples "
                        "would place it clearly on one side.");

    // Where fewer resamples are offered than the count needs (a window's largest button), the batch tool is
    // named; a count within the offer is advised as before.
    EXPECT_EQ(brevant::MonteCarloNotes(boxes, 1000, 100'000)[1],
              "p as extreme (0.048) lies within three standard errors of 0.05; about 110,000 resamples would place "
              "it clearly on one side, more than the 100,000 offered here: the batch tool, brevant-cli, can draw "
              "them (--resamples).");
    EXPECT_EQ(brevant::MonteCarloNotes(boxes, 1000, 110'000)[1], notes[1]);

    // Far from 0.05 in errors once R is large: no second note.
    EXPECT_EQ(brevant::MonteCarloNotes(boxes, 1'000'000).size(), 1u);

    // Near both levels at once: one sentence for each.
    boxes[0].value = 0.03;
    notes = brevant::MonteCarloNotes(boxes, 100);
    EXPECT_TRUE(Mentions(notes, "within three standard errors of 0.05"));
    EXPECT_TRUE(Mentions(notes, "within three standard errors of 0.01"));

    // On the level itself no count can be named; past the largest run the note says so.
    boxes[0].value = 0.05;
    EXPECT_TRUE(Mentions(brevant::MonteCarloNotes(boxes, 1000),
                         "p as extreme (0.05) equals 0.05; more resamples would tell on which side of 0.05 it "
                         "lies, but this run cannot say how many."));
    boxes[0].value = 0.0501;
    EXPECT_TRUE(Mentions(brevant::MonteCarloNotes(boxes, 1000), "more than 10,000,000 resamples"));

    // p = 0 or 1: the error is 0, and the bound 3/R says how far the proportion may yet lie from the end.
    boxes[0].value = 0.0;
    notes = brevant::MonteCarloNotes(boxes, 1000);
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_TRUE(Mentions(notes, "p as extreme 0."));
    EXPECT_EQ(notes[1], "p as extreme is 0: none of the 1,000 resamples counted; the proportion itself is likely "
                        "below 3/R = 0.0030.");
    boxes[0].value = 1.0;
    EXPECT_TRUE(Mentions(brevant::MonteCarloNotes(boxes, 1000), "p as extreme is 1: all of the 1,000 resamples"));
}

TEST(MonteCarloError, AddedToARunsNotesAfterItsOwn) {
    brevant::RunResult result;
    result.boxes = {Proportion("txtFPercent", "label5", "Percent => F(obt)", 0.25)};
    result.notes = {"A note of the procedure."};
    brevant::AddMonteCarloNotes(result, 2000);
    ASSERT_EQ(result.notes.size(), 2u);
    EXPECT_EQ(result.notes[0], "A note of the procedure.");
    EXPECT_TRUE(Mentions(result.notes, "R = 2,000: Percent => F(obt) 0.0097."));
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
