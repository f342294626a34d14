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

// The instruction paths FillUniform chooses between at run time, each with the instructions of those
// before it. All give the same bits.
enum class DrawPath {
    Baseline,  // any processor: the one-at-a-time generator
    Avx2,      // AVX2 and FMA: four lanes per instruction
    Avx512,    // AVX-512 (foundation) besides: eight lanes per instruction
};
bool DrawPathAvailable(DrawPath path) noexcept;
// The path of the procedures' own lanes (AVX2 where available, on AVX-512 processors too).
DrawPath ActiveDrawPath() noexcept;
// The fastest available: the one FillUniform takes.
DrawPath FastestDrawPath() noexcept;
// FillUniform on the given path; path must be available.
void FillUniformWith(DrawPath path, Generator& g, std::span<double> out) noexcept;

// Several generators side by side: lane j continues from seeds[j], and out[i * seeds.size() + j] is its
// (i + 1)-th next draw, for i < steps; each seeds[j] advances by steps draws. The same bits as
// Generator::Uniform on every path. For resamples that each take their own stretch of the stream (lane j
// starting where resample j's draws begin): their draws come out side by side, ready for lanes that pick
// and sum their values together.
void FillUniformLanes(DrawPath path, std::span<Seeds> seeds, std::size_t steps, double* out) noexcept;

// The seeds n draws ahead: (k^n mod m) s mod m for each generator, by repeated squaring.
Seeds JumpAhead(Seeds seeds, std::uint64_t n) noexcept;

// A generator that hands out draws from blocks filled ahead (FillUniform): the same draws, bit for bit, as
// the Generator whose seeds it starts from, and the same Uniform / Index interface, so a resample loop can
// use either. Seeds() is the state after the draws handed out so far (not after the ones filled ahead).
class BlockGenerator {
public:
    explicit BlockGenerator(Seeds seeds) noexcept : start_(seeds), after_(seeds) {}

    double Uniform() noexcept {
        if (next_ == kSize) Refill();
        return buffer_[next_++];
    }
    // k in 1..m: floor(u * (m - 0.0001) + 1), as Generator::Index.
    std::int32_t Index(std::int32_t m) noexcept {
        const double k = Uniform() * (static_cast<double>(m) - 0.0001) + 1.0;
        return static_cast<std::int32_t>(k >= 0.0 ? k : std::floor(k));
    }
    // The next draws handed out at once: count of them, or fewer where the block filled ahead runs out (at
    // least one when count is not 0). The same draws, in the same order, as Uniform() one at a time.
    std::span<const double> Take(std::size_t count) noexcept {
        if (next_ == kSize) Refill();
        const std::size_t taken = count < kSize - next_ ? count : kSize - next_;
        const double* const first = buffer_ + next_;
        next_ += taken;
        return {first, taken};
    }
    // The next out.size() draws into out, in order, as that many calls of Uniform() give them.
    void Uniforms(std::span<double> out) noexcept;
    Seeds CurrentSeeds() const noexcept;

private:
    static constexpr std::size_t kSize = 2048;
    void Refill() noexcept;

    Seeds start_;  // the state before buffer_[0]
    Seeds after_;  // the state after the last draw filled
    std::size_t next_ = kSize;
    double buffer_[kSize];
};

// BootstrapDrawFrom (engine/Module1.h) drawing from blocks: the same draws and values.
void BootstrapDrawFrom(BlockGenerator& g, std::span<const float> roundedSource, std::span<float> out) noexcept;

// The exact arithmetic behind the lanes, for the checks over every state. stream 0, 1, 2 is the seed a, b,
// c generator; j in 0..kUniformBlock-1; s in 1..m-1.
std::int32_t LaneState(int stream, int j, std::int32_t s) noexcept;  // (k^(j+1) mod m) s mod m
double LaneQuotient(int stream, std::int32_t s) noexcept;            // s / m

}  // namespace brevant
