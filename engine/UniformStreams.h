// The constants the draws in lanes are computed from (engine/UniformBlocks.cpp explains the arithmetic),
// for the instruction paths of FillUniform, each in its own file. Qt-free; engine-internal.
#pragma once

#include "engine/Module1.h"
#include "engine/UniformBlocks.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace brevant {

// One of the three generators s <- k s mod m.
struct UniformStream {
    std::int32_t k, m;
    std::array<double, kUniformBlock> powers;  // k^(j+1) mod m
    double inverse;                            // 1 / m rounded: only for the reduction's quotient
    double high, low;                          // 1 / m = high + low, high cut to 38 bits
};

// stream 0, 1, 2: the seed a, b, c generator.
const UniformStream& UniformStreamNumber(int stream) noexcept;

// FillUniformWith(DrawPath::Avx512, ...), in its own file (x86 only).
void FillUniformAvx512(Generator& g, std::span<double> out) noexcept;
// FillUniformLanes on the AVX-512 path for the first lanes, a multiple of sixteen: returns how many.
std::size_t FillUniformLanesAvx512(std::span<Seeds> seeds, std::size_t steps, double* out) noexcept;

}  // namespace brevant
