// The AVX-512 path of FillUniform and FillUniformLanes: the kernels of UniformLanesAvx512.h on the
// processor's own instructions.
#include "engine/UniformStreams.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

// GCC 12 takes the undefined pass-through operand of _mm512_roundscale_pd for an uninitialized read.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#define BREVANT_AVX512_TARGET __attribute__((target("avx512f")))
#include "engine/UniformLanesAvx512.h"

namespace brevant {

BREVANT_AVX512_TARGET void FillUniformAvx512(Generator& g, std::span<double> out) noexcept {
    const std::size_t blocks = out.size() / kUniformBlock;
    avx512::FillBlocks(g.seeds, out.data(), blocks);
    for (double& u : out.subspan(blocks * kUniformBlock)) u = g.Uniform();
}

BREVANT_AVX512_TARGET std::size_t FillUniformLanesAvx512(std::span<Seeds> seeds, std::size_t steps,
                                                         double* out) noexcept {
    return avx512::FillLanes(seeds.data(), seeds.size(), steps, out);
}

}  // namespace brevant

#endif
