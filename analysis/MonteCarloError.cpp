#include "analysis/MonteCarloError.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace brevant {

namespace {

// Runs of blanks as one space, none at either end: "% < - t   " -> "% < - t".
std::string Tidy(const std::string& text) {
    std::istringstream words(text);
    std::string word, tidy;
    while (words >> word) tidy += (tidy.empty() ? "" : " ") + word;
    return tidy;
}

// Two boxes under one label ("% < -t | % > +t") are named by their halves of it, left box first.
std::string NameOf(std::span<const ResultBox> boxes, std::size_t at) {
    const ResultBox& box = boxes[at];
    std::vector<std::size_t> sharing;
    for (std::size_t i = 0; i < boxes.size(); ++i)
        if (boxes[i].labelControl == box.labelControl) sharing.push_back(i);
    if (sharing.size() < 2) return Tidy(box.label);
    const auto position = static_cast<std::size_t>(std::find(sharing.begin(), sharing.end(), at) - sharing.begin());
    std::vector<std::string> halves;
    std::istringstream parts(box.label);
    for (std::string part; std::getline(parts, part, '|');) halves.push_back(Tidy(part));
    if (halves.size() == sharing.size() && !halves[position].empty()) return halves[position];
    return Tidy(box.label) + " (box " + std::to_string(position + 1) + ")";
}

std::string LevelText(double level) { return level == 0.05 ? "0.05" : "0.01"; }

std::string SettleSentence(const MonteCarloFigure& f, double level, std::int32_t offered) {
    const std::string opening = f.name + " (" + f.text + ")";
    const std::optional<double> needed = ResamplesToSettle(f.p, level);
    if (!needed) {
        return opening + " equals " + LevelText(level) + "; more resamples would tell on which side of " +
               LevelText(level) + " it lies, but this run cannot say how many.";
    }
    const std::string within = opening + " lies within three standard errors of " + LevelText(level) + "; ";
    if (*needed > static_cast<double>(kMaxResamples)) {
        return within + "more than " + GroupedCount(kMaxResamples) +
               " resamples, the most one run can draw, would be needed to place it clearly on one side.";
    }
    const std::string about =
        within + "about " + RoundedCountText(*needed) + " resamples would place it clearly on one side";
    if (*needed > static_cast<double>(offered)) {
        return about + ", more than the " + GroupedCount(offered) +
               " offered here: the batch tool, brevant-cli, can draw them (--resamples).";
    }
    return about + ".";
}

}  // namespace

double MonteCarloStandardError(double p, std::int64_t resamples) noexcept {
    if (resamples < 1) return std::nan("");
    return std::sqrt(p * (1.0 - p) / static_cast<double>(resamples));
}

std::optional<double> ResamplesToSettle(double p, double level) noexcept {
    const double gap = p - level;
    if (gap == 0.0) return std::nullopt;
    return std::ceil(9.0 * p * (1.0 - p) / (gap * gap));
}

std::vector<MonteCarloFigure> MonteCarloFigures(std::span<const ResultBox> boxes, std::int32_t resamples) {
    std::vector<MonteCarloFigure> figures;
    if (resamples < 1) return figures;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        const ResultBox& box = boxes[i];
        const double p = BoxValue(box);
        // A proportion outside [0, 1] (never expected) or not a number has no binomial error.
        if (box.meaning != BoxMeaning::Proportion || !(p >= 0.0 && p <= 1.0)) continue;
        figures.push_back({box.control, NameOf(boxes, i), BoxText(box), p, MonteCarloStandardError(p, resamples)});
    }
    return figures;
}

std::vector<std::string> MonteCarloNotes(std::span<const ResultBox> boxes, std::int32_t resamples,
                                         std::int32_t offered) {
    const std::vector<MonteCarloFigure> figures = MonteCarloFigures(boxes, resamples);
    if (figures.empty()) return {};
    std::string errors;
    for (const MonteCarloFigure& f : figures)
        errors += (errors.empty() ? "" : ", ") + f.name + " " + ErrorText(f.standardError);
    std::vector<std::string> notes{"Monte Carlo standard error, \u221A(p(1 \u2212 p)/R) with R = " +
                                   GroupedCount(resamples) + ": " + errors + "."};
    for (const MonteCarloFigure& f : figures) {
        // No resample on one side: the error formula gives 0, yet the true proportion is only known to lie
        // within about 3/R of the end (the 95 % bound when none of R is seen).
        if (f.standardError == 0.0) {
            const std::string bound = ErrorText(3.0 / resamples);
            notes.push_back(f.p == 0.0 ? f.name + " is 0: none of the " + GroupedCount(resamples) +
                                             " resamples counted; the proportion itself is likely below 3/R = " +
                                             bound + "."
                                       : f.name + " is 1: all of the " + GroupedCount(resamples) +
                                             " resamples counted; the proportion itself is likely above 1 - 3/R.");
        }
        for (const double level : kMonteCarloLevels) {
            if (f.standardError > 0.0 && std::abs(f.p - level) <= 3.0 * f.standardError)
                notes.push_back(SettleSentence(f, level, offered));
        }
    }
    return notes;
}

void AddMonteCarloNotes(RunResult& result, std::int32_t resamples, std::int32_t offered) {
    for (std::string& note : MonteCarloNotes(result.boxes, resamples, offered)) result.notes.push_back(std::move(note));
    AddExactNotes(result);
}

std::vector<std::string> ExactNotes(std::span<const ResultBox> boxes, const ExactFigures& exact) {
    if (exact.arrangements > 0) {
        std::string shares;
        for (std::size_t i = 0; i < exact.controls.size(); ++i) {
            std::string name = exact.controls[i];
            for (std::size_t b = 0; b < boxes.size(); ++b)
                if (boxes[b].control == exact.controls[i]) name = NameOf(boxes, b);
            shares += (shares.empty() ? "" : ", ") + name + " " + ShareText(exact.shares[i]) + " (" +
                      GroupedCount(exact.counts[i]) + " at least as extreme)";
        }
        return {"Exact p over all " + GroupedCount(exact.arrangements) + " " + exact.noun + ": " + shares + "."};
    }
    if (exact.total > 0.0 && exact.limit > 0) {
        char rough[32];
        std::snprintf(rough, sizeof rough, "about %.2g", exact.total);
        const std::string count =
            exact.total < 9e15 ? GroupedCount(static_cast<long long>(exact.total)) : std::string(rough);
        if (exact.total <= static_cast<double>(exact.limit)) {
            return {"There are " + count + " " + exact.noun + " of " + GroupedCount(exact.values) +
                    " values, too many values to count them all in the time allowed for an exact p, so the p "
                    "values are Monte Carlo estimates."};
        }
        return {"There are " + count + " " + exact.noun + ", more than the " +
                GroupedCount(exact.limit) + " that are counted in full for an exact p, so the p values are Monte "
                "Carlo estimates."};
    }
    return {};
}

void AddExactNotes(RunResult& result) {
    for (std::string& note : ExactNotes(result.boxes, result.exact)) result.notes.push_back(std::move(note));
}

std::string ShareText(double share) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%.4g", share);
    return buffer;
}

std::string ErrorText(double error) {
    if (error == 0.0) return "0";
    if (!std::isfinite(error)) return "nan";
    // Two significant digits in fixed point; the digits needed grow as the error shrinks.
    int magnitude = static_cast<int>(std::floor(std::log10(error)));
    if (std::round(error * std::pow(10.0, 1 - magnitude)) >= 100.0) ++magnitude;  // 0.000999 -> 0.0010
    const int decimals = std::clamp(1 - magnitude, 0, 12);
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, error);
    return buffer;
}

std::string GroupedCount(long long count) {
    const std::string digits = std::to_string(count);
    std::string grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        const std::size_t left = digits.size() - i;  // digits from here to the end
        if (i > 0 && digits[i - 1] != '-' && left % 3 == 0) grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}

std::string RoundedCountText(double count) {
    double rounded = std::ceil(count);
    if (rounded >= 100.0) {
        const double unit = std::pow(10.0, std::floor(std::log10(rounded)) - 1.0);
        rounded = std::ceil(rounded / unit) * unit;
    }
    return GroupedCount(static_cast<long long>(rounded));
}

}  // namespace brevant
