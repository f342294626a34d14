// Data for the median procedures' tests: the two-group data file's text, values around a centre and their
// spread, and random groups with the cases the medians must get right (ties, negatives, values of more than seven significant digits, values that
// lie exactly halfway at the eighth digit, both zeros, wide magnitudes).
#pragma once

#include "engine/NumberText.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace brevant::testing {

// "S1 S2" and the values, each in its shortest text that reads back to the same float.
inline std::string TwoGroupText(const std::vector<float>& group1, const std::vector<float>& group2) {
    std::string text = std::to_string(group1.size()) + "\r\n" + std::to_string(group2.size()) + "\r\n";
    for (const float v : group1) text += brevant::ShortestText(v) + " ";
    text += "\r\n";
    for (const float v : group2) text += brevant::ShortestText(v) + ", ";
    return text + "\r\n";
}

enum class Mix {
    Plain,      // values with more than seven significant digits around a centre, some rounded to whole numbers
    Ties,       // few distinct values, many repeats
    Halfway,    // values exactly halfway at the eighth significant digit (1234.5625 and its like)
    Zeros,      // -0 and 0 among small negatives and positives
    Wide,       // magnitudes from 1e-30 to 1e30, both signs
};

inline float DrawValue(std::mt19937& random, Mix mix, float centre) {
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    const float u = unit(random);
    switch (mix) {
    case Mix::Plain: {
        const float v = centre + (u - 0.5f) * 40.0f;
        return random() % 4 == 0 ? std::round(v) : v;
    }
    case Mix::Ties: return static_cast<float>(static_cast<int>(random() % 5) - 2) * 1.5f + centre;
    case Mix::Halfway: {
        // k + 0.0625 with k near 1234.5: the eighth digit is exactly 5, followed by nothing.
        const float base = 1234.5f + static_cast<float>(random() % 9) - 4.0f;
        return random() % 2 == 0 ? base + 0.0625f : std::nextafter(base + 0.0625f, 0.0f);
    }
    case Mix::Zeros: {
        const unsigned pick = random() % 4;
        if (pick == 0) return 0.0f;
        if (pick == 1) return -0.0f;
        return (u - 0.5f) * 2.0f;
    }
    case Mix::Wide: {
        const float magnitude = std::pow(10.0f, (u - 0.5f) * 60.0f) * (1.0f + unit(random));
        return random() % 2 == 0 ? magnitude : -magnitude;
    }
    }
    return 0.0f;
}

// n values from a normal distribution, each rounded to a float.
inline std::vector<float> Around(std::mt19937& random, int n, double centre, double sd) {
    std::normal_distribution<double> value(centre, sd);
    std::vector<float> values;
    for (int i = 0; i < n; ++i) values.push_back(static_cast<float>(value(random)));
    return values;
}

// The standard deviation in double, two passes; 0 for fewer than 2 values.
inline double StandardDeviation(const std::vector<float>& values) {
    if (values.size() < 2) return 0.0;
    double mean = 0, squares = 0;
    for (const float v : values) mean += v / static_cast<double>(values.size());
    for (const float v : values) squares += (v - mean) * (v - mean);
    return std::sqrt(squares / static_cast<double>(values.size() - 1));
}

// The median of the values as they are, in double for the two middle values of an even n.
inline float ExactMedian(std::vector<float> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    if (n % 2 == 1) return values[n / 2];
    return static_cast<float>((static_cast<double>(values[n / 2 - 1]) + values[n / 2]) / 2.0);
}

inline std::vector<float> DrawGroup(std::mt19937& random, int n, Mix mix, float centre) {
    std::vector<float> values;
    for (int i = 0; i < n; ++i) values.push_back(DrawValue(random, mix, centre));
    return values;
}

}  // namespace brevant::testing
