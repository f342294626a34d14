// The note lines brevant-cli prints after the boxes for the p values and tail proportions among them,
// formed from the oracle's figures.
#pragma once

#include "analysis/MonteCarloError.h"

#include <string>
#include <vector>

namespace brevant::testing {

template <typename T>
ResultBox ProportionBox(const char* labelControl, const char* label, T value,
                        BoxFormat format = BoxFormat::General) {
    return {"", labelControl, label, value, format, BoxMeaning::Proportion};
}

inline std::string MonteCarloNoteLines(const std::vector<ResultBox>& boxes, std::int32_t resamples) {
    std::string lines;
    for (const std::string& note : MonteCarloNotes(boxes, resamples)) lines += "Note: " + note + "\n";
    return lines;
}

}  // namespace brevant::testing
