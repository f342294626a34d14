#include "engine/SeedsText.h"

#include "engine/DataFile.h"

#include <algorithm>
#include <charconv>
#include <vector>

namespace brevant {

std::optional<std::int64_t> WholeNumber(std::string_view text) {
    if (text.empty() || text.size() > 18) return std::nullopt;
    std::int64_t value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() || text.front() == '-') {
        return std::nullopt;
    }
    return value;
}

std::optional<Seeds> ReadSeeds(std::string_view text) {
    std::vector<std::optional<std::int64_t>> parts;
    for (std::size_t start = 0; parts.size() <= 3;) {
        const std::size_t comma = text.find(',', start);
        parts.push_back(WholeNumber(text.substr(start, comma == std::string_view::npos ? comma : comma - start)));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    // 0 (never a valid seed) stands for a part that is missing or not a whole number.
    const auto seed = [&parts](std::size_t i, std::int32_t modulus) {
        return parts.size() == 3 && parts[i] ? static_cast<std::int32_t>(std::min<std::int64_t>(*parts[i], modulus))
                                             : 0;
    };
    const Seeds seeds{seed(0, kModulusA), seed(1, kModulusB), seed(2, kModulusC)};
    if (!SeedsValid(seeds)) return std::nullopt;
    return seeds;
}

std::string SeedsProblem(std::string_view subject, std::string_view text) {
    return std::string(subject) + " must be three whole numbers A,B,C with A from 1 to " +
           std::to_string(kModulusA - 1) + ", B from 1 to " + std::to_string(kModulusB - 1) + " and C from 1 to " +
           std::to_string(kModulusC - 1) + ", not \"" + PrintableText(text) + "\".";
}

std::string SeedsText(const Seeds& seeds) {
    return std::to_string(seeds.a) + "," + std::to_string(seeds.b) + "," + std::to_string(seeds.c);
}

}  // namespace brevant
