// The generator's draws in blocks, bit for bit the stream that Generator::Uniform gives one draw at a time.
//
// Each of the three generators is s <- k s mod m, so the state j + 1 draws ahead is (k^(j+1) mod m) s mod m:
// a block of consecutive states comes from precomputed multipliers, independently of each other, and can be
// computed side by side in SIMD lanes. Every step is exact in double precision: the products stay below
// 2^30, the quotient of the reduction is exact, and each s / m is formed from a split reciprocal
// (s RH + s RL with RH cut to 38 bits, so s RH is exact) that equals the correctly rounded quotient for every
// state (checked over all states in the tests). So the lanes give the same bits as the one-at-a-time
// generator, on any instruction path (checked in the tests on each). Qt-free.
#pragma once

#include "engine/Module1.h"

#include <cstdint>
#include <span>

namespace brevant {

// Draws per block: the lanes computed from one starting state.
inline constexpr int kUniformBlock = 32;

// out[i] = the (i + 1)-th next g.Uniform(), for i in order; g advances by out.size() draws.
void FillUniform(Generator& g, std::span<double> out) noexcept;

// The instruction paths FillUniform chooses between at run time. Both give the same bits.
enum class DrawPath {
    Baseline,  // any processor: the one-at-a-time generator
    Avx2,      // AVX2 and FMA: four lanes per instruction
};
bool DrawPathAvailable(DrawPath path) noexcept;
DrawPath ActiveDrawPath() noexcept;  // the fastest available
// FillUniform on the given path; path must be available.
void FillUniformWith(DrawPath path, Generator& g, std::span<double> out) noexcept;

// The seeds n draws ahead: (k^n mod m) s mod m for each generator, by repeated squaring.
Seeds JumpAhead(Seeds seeds, std::uint64_t n) noexcept;

// The exact arithmetic behind the lanes, for the checks over every state. stream 0, 1, 2 is the seed a, b,
// c generator; j in 0..kUniformBlock-1; s in 1..m-1.
std::int32_t LaneState(int stream, int j, std::int32_t s) noexcept;  // (k^(j+1) mod m) s mod m
double LaneQuotient(int stream, std::int32_t s) noexcept;            // s / m

}  // namespace brevant
