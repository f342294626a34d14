// Slow, literal transcriptions of the engine's generator, draws, statistics and sorts: one-based arrays
// (element 0 exists and is never used), selection sorts exactly as the routines are defined, the exchange
// of values through their %.7G text with snprintf and strtof, and 16-bit counters where the routines
// have them. The fast routines in engine/ are checked against these; procedures can be transcribed on top
// of them as oracles for whole runs.
//
// The text conversions assume the "C" locale (a test program that never calls setlocale has it).
// Header-only, no dependency on the engine library beyond its plain types.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/Module1.h"

namespace brevant::literal {

// One-based array of single-precision values: x[1..n]; x[0] is unused.
using Values = std::vector<float>;

inline Values OneBased(std::span<const float> values) {
    Values x(values.size() + 1, 0.0f);
    for (std::size_t i = 0; i < values.size(); ++i) x[i + 1] = values[i];
    return x;
}
inline std::vector<float> ZeroBased(const Values& x, std::int32_t n) {
    return std::vector<float>(x.begin() + 1, x.begin() + 1 + n);
}

// ---------------------------------------------------------------------------------------------------------
// Generator: the seed table A, B, C for the whole program.

inline Seeds seedTable;  // a: x171 mod 30269, b: x172 mod 30307, c: x170 mod 30323

inline double RandomUniform() {
    seedTable.a = (seedTable.a * 171) % 30269;
    seedTable.b = (seedTable.b * 172) % 30307;
    seedTable.c = (seedTable.c * 170) % 30323;
    double s = static_cast<double>(seedTable.b) / 30307.0 + static_cast<double>(seedTable.a) / 30269.0;
    s = s + static_cast<double>(seedTable.c) / 30323.0;
    return s - std::floor(s);
}

inline std::int32_t RandomIndex(std::int32_t m) {
    return static_cast<std::int32_t>(std::floor(RandomUniform() * (static_cast<double>(m) - 0.0001) + 1.0));
}

// Start-up seeds from the three draws of the general-purpose generator.
inline Seeds StartupSeeds(float u1, float u2, float u3) {
    return {static_cast<std::int32_t>(std::floor(u1 * 10000.0)) + 1,
            static_cast<std::int32_t>(std::floor(u2 * 9000.0)) + 1,
            static_cast<std::int32_t>(std::floor(u3 * 23423.0)) + 1};
}

// ---------------------------------------------------------------------------------------------------------
// Text of a single-precision value and the value read back from it.

inline std::string GeneralText(float value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.7G", static_cast<double>(value));
    return buffer;
}
inline float ReadSingle(const std::string& text) { return std::strtof(text.c_str(), nullptr); }

// ---------------------------------------------------------------------------------------------------------
// Draws. Counts are converted to 16 bits on entry.

inline std::int16_t To16(std::int32_t n) {
    if (n < -32768 || n > 32767) throw std::out_of_range("count beyond 16 bits");
    return static_cast<std::int16_t>(n);
}

template <typename T>
void ShuffleArray(std::vector<T>& values, std::int32_t n) {
    std::int16_t i = To16(n);
    while (i >= 2) {
        const std::int32_t j = RandomIndex(i);
        const T temp = values[static_cast<std::size_t>(j)];
        values[static_cast<std::size_t>(j)] = values[static_cast<std::size_t>(i)];
        values[static_cast<std::size_t>(i)] = temp;
        i = static_cast<std::int16_t>(i - 1);
    }
}

inline void BootstrapDraw(Values& values, std::int32_t n) {
    const std::int16_t m = To16(n);
    if (m > 1000) throw std::out_of_range("BootstrapDraw holds at most 1000 values");
    std::vector<std::string> table(1001);
    for (std::int16_t i = 1; i <= m; ++i) table[static_cast<std::size_t>(i)] = GeneralText(values[static_cast<std::size_t>(i)]);
    for (std::int16_t i = 1; i <= m; ++i) {
        const double u = RandomUniform();
        const auto j = static_cast<std::int32_t>(std::floor((static_cast<double>(m) - 0.0001) * u + 1.0));
        values[static_cast<std::size_t>(i)] = ReadSingle(table[static_cast<std::size_t>(j)]);
    }
}

// ---------------------------------------------------------------------------------------------------------
// Statistics: single running sums, each addition in double rounded to single.

inline double ArrayMean(const Values& x, std::int32_t n) {
    float s = 0.0f;
    for (std::int32_t i = 1; i <= n; ++i) s = static_cast<float>(static_cast<double>(x[i]) + static_cast<double>(s));
    return static_cast<double>(s) / n;
}

inline double ArrayVariance(const Values& x, std::int32_t n) {
    float s = 0.0f;
    float q = 0.0f;
    for (std::int32_t i = 1; i <= n; ++i) {
        const double v = x[static_cast<std::size_t>(i)];
        s = static_cast<float>(static_cast<double>(s) + v);
        q = static_cast<float>(static_cast<double>(q) + v * v);
    }
    const double sd = s;
    return (static_cast<double>(q) - sd * sd / n) / (n - 1);
}

inline double ArrayCovariance(const Values& x, const Values& y, std::int32_t n) {
    float sx = 0.0f;
    float sy = 0.0f;
    float sxy = 0.0f;
    for (std::int32_t i = 1; i <= n; ++i) {
        const double xi = x[static_cast<std::size_t>(i)];
        const double yi = y[static_cast<std::size_t>(i)];
        sx = static_cast<float>(static_cast<double>(sx) + xi);
        sy = static_cast<float>(static_cast<double>(sy) + yi);
        sxy = static_cast<float>(static_cast<double>(sxy) + xi * yi);
    }
    return (static_cast<double>(sxy) - static_cast<double>(sx) * static_cast<double>(sy) / n) / (n - 1);
}

// variances and sizes one-based, 1..k; the total of the sizes in 16 bits.
inline float PooledVariance(const Values& variances, const std::vector<std::int32_t>& sizes, std::int16_t k) {
    float a = 0.0f;
    std::int16_t t = 0;
    for (std::int16_t j = 1; j <= k; ++j) {
        a = static_cast<float>(static_cast<double>(a) + static_cast<double>(variances[static_cast<std::size_t>(j)]) *
                                                            static_cast<double>(sizes[static_cast<std::size_t>(j)] - 1));
        t = To16(t + sizes[static_cast<std::size_t>(j)]);
    }
    return a / static_cast<float>(t - k);
}

inline float ArrayMax(const Values& x, std::int32_t n) {
    float m = x[1];
    for (std::int32_t i = 1; i <= n; ++i) {
        if (x[static_cast<std::size_t>(i)] > m) m = x[static_cast<std::size_t>(i)];
    }
    return m;
}

inline float ArrayMin(const Values& x, std::int32_t n) {
    float m = x[1];
    for (std::int32_t i = 1; i <= n; ++i) {
        if (x[static_cast<std::size_t>(i)] < m) m = x[static_cast<std::size_t>(i)];
    }
    return m;
}

// ---------------------------------------------------------------------------------------------------------
// Sorts: selection sorts, taking the first extreme value found.

// Selection sort with 16-bit counters; the value taken to position i goes through its text.
inline float ArrayMedian(Values& x, std::int32_t count) {
    if (count > 32766) throw std::out_of_range("ArrayMedian counts in 16 bits");
    const std::int16_t n = static_cast<std::int16_t>(count);
    for (std::int16_t i = 1; i <= n - 1; ++i) {
        std::int16_t k = i;
        for (std::int16_t j = i; j <= n; ++j) {
            if (x[static_cast<std::size_t>(j)] < x[static_cast<std::size_t>(k)]) k = j;
        }
        const std::string temp = GeneralText(x[static_cast<std::size_t>(k)]);
        x[static_cast<std::size_t>(k)] = x[static_cast<std::size_t>(i)];
        x[static_cast<std::size_t>(i)] = ReadSingle(temp);
    }
    if (n % 2 == 0) {
        const double sum = static_cast<double>(x[static_cast<std::size_t>(n / 2)]) +
                           static_cast<double>(x[static_cast<std::size_t>(n / 2 + 1)]);
        return static_cast<float>(sum / 2.0);
    }
    return x[static_cast<std::size_t>((n + 1) / 2)];
}

// progress(i, n) stands for the window's ProgressBar2 (visible, minimum 1, maximum n, value i).
inline void SortArray(Values& x, std::int32_t n, const std::function<void(std::int32_t, std::int32_t)>& progress = {}) {
    for (std::int32_t i = 1; i <= n - 1; ++i) {
        if (n < 65000 && progress) progress(i, n);
        std::int32_t k = i;
        for (std::int32_t j = i; j <= n; ++j) {
            if (x[static_cast<std::size_t>(j)] < x[static_cast<std::size_t>(k)]) k = j;
        }
        const float temp = x[static_cast<std::size_t>(k)];
        x[static_cast<std::size_t>(k)] = x[static_cast<std::size_t>(i)];
        x[static_cast<std::size_t>(i)] = temp;
    }
}

// records one-based, 1..n; descending by key.
inline void SortRecords(std::vector<Record>& records, std::int32_t n) {
    for (std::int32_t i = 1; i <= n - 1; ++i) {
        std::int32_t k = i;
        for (std::int32_t j = i; j <= n; ++j) {
            if (records[static_cast<std::size_t>(j)].key > records[static_cast<std::size_t>(k)].key) k = j;
        }
        const Record temp = records[static_cast<std::size_t>(k)];
        records[static_cast<std::size_t>(k)] = records[static_cast<std::size_t>(i)];
        records[static_cast<std::size_t>(i)] = temp;
    }
}

}  // namespace brevant::literal
