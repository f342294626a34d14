// Small file and bit helpers shared by the GoogleTest programs.
#pragma once

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace brevant::testing {

// Replaces the file's bytes with text, creating its folder if needed.
inline void WriteWhole(const std::filesystem::path& path, const std::string& text) {
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// The file's bytes; empty when it cannot be read.
inline std::string ReadWhole(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Equal as bit patterns: tells -0 from 0 and compares NaNs.
inline bool SameBits(float x, float y) { return std::bit_cast<std::uint32_t>(x) == std::bit_cast<std::uint32_t>(y); }

// As many values, each the same bits; the failure names the first that differs, counting from 1.
inline ::testing::AssertionResult SameBitsEach(const std::vector<float>& fast, const std::vector<float>& literal) {
    if (fast.size() != literal.size())
        return ::testing::AssertionFailure() << fast.size() << " values vs " << literal.size();
    for (std::size_t k = 0; k < fast.size(); ++k) {
        if (!SameBits(fast[k], literal[k]))
            return ::testing::AssertionFailure() << "value " << k + 1 << ": " << fast[k] << " vs " << literal[k];
    }
    return ::testing::AssertionSuccess();
}

}  // namespace brevant::testing
