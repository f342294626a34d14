#include "engine/UniformBlocks.h"

#include "engine/UniformStreams.h"

#include <algorithm>
#include <array>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define BREVANT_X86 1
#endif

namespace brevant {

namespace {

UniformStream MakeStream(std::int32_t k, std::int32_t m) {
    UniformStream s{k, m, {}, 0, 0, 0};
    std::int64_t p = 1;
    for (double& power : s.powers) {
        p = p * k % m;
        power = static_cast<double>(p);
    }
    s.inverse = 1.0 / m;
    std::uint64_t bits;
    std::memcpy(&bits, &s.inverse, sizeof bits);
    bits &= ~((std::uint64_t{1} << 15) - 1);  // 53 - 15 = 38 significant bits
    std::memcpy(&s.high, &bits, sizeof s.high);
    // 1 - m high is exact (m high has 15 + 38 bits and lies near 1), so low is 1/m - high rounded once.
    s.low = (1.0 - static_cast<double>(m) * s.high) / static_cast<double>(m);
    return s;
}

// (power * s) mod m, exact: the product is below 2^30, and its quotient by m lies at least 1/m from the
// next integer (m is prime, so the product is never a multiple of it), far beyond the rounding of
// product * inverse.
double Reduce(const UniformStream& s, double product) noexcept {
    const double q = static_cast<double>(static_cast<std::int64_t>(product * s.inverse));
    return product - q * static_cast<double>(s.m);
}
// s / m correctly rounded.
double Quotient(const UniformStream& stream, double s) noexcept { return s * stream.high + s * stream.low; }

const UniformStream& StreamA() {
    static const UniformStream s = MakeStream(171, kModulusA);
    return s;
}
const UniformStream& StreamB() {
    static const UniformStream s = MakeStream(172, kModulusB);
    return s;
}
const UniformStream& StreamC() {
    static const UniformStream s = MakeStream(170, kModulusC);
    return s;
}

// Any processor: the one-at-a-time generator itself, the reference the lanes must equal.
void FillBaseline(Generator& g, std::span<double> out) noexcept {
    for (double& u : out) u = g.Uniform();
}

#ifdef BREVANT_X86

struct Lanes {
    __m256d powers[kUniformBlock / 4];
    __m256d k, m, inverse, high, low;
};

__attribute__((target("avx2,fma"))) Lanes LanesOf(const UniformStream& s) {
    Lanes l;
    for (int v = 0; v < kUniformBlock / 4; ++v) l.powers[v] = _mm256_loadu_pd(s.powers.data() + 4 * v);
    l.k = _mm256_set1_pd(s.k);
    l.m = _mm256_set1_pd(s.m);
    l.inverse = _mm256_set1_pd(s.inverse);
    l.high = _mm256_set1_pd(s.high);
    l.low = _mm256_set1_pd(s.low);
    return l;
}

// The same results as Reduce and Quotient, four lanes at a time. A fused multiply-add
// is used only where the product it fuses is exact (q m, and s high), so it rounds exactly as the separate
// operations do.
__attribute__((target("avx2,fma"))) inline __m256d ReduceLanes(const Lanes& l, __m256d product) {
    const __m256d q = _mm256_round_pd(_mm256_mul_pd(product, l.inverse), _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
    return _mm256_fnmadd_pd(q, l.m, product);
}
__attribute__((target("avx2,fma"))) inline __m256d QuotientLanes(const Lanes& l, __m256d s) {
    return _mm256_fmadd_pd(s, l.high, _mm256_mul_pd(s, l.low));
}

__attribute__((target("avx2,fma"))) void FillAvx2(Generator& g, std::span<double> out) noexcept {
    static const Lanes A = LanesOf(StreamA()), B = LanesOf(StreamB()), C = LanesOf(StreamC());
    std::size_t done = 0;
    const std::size_t whole = out.size() / kUniformBlock * kUniformBlock;
    Seeds seeds = g.seeds;
    while (done < whole) {
        const __m256d a0 = _mm256_set1_pd(seeds.a), b0 = _mm256_set1_pd(seeds.b), c0 = _mm256_set1_pd(seeds.c);
        __m256d a = a0, b = b0, c = c0;
        for (int v = 0; v < kUniformBlock / 4; ++v) {
            a = ReduceLanes(A, _mm256_mul_pd(A.powers[v], a0));
            b = ReduceLanes(B, _mm256_mul_pd(B.powers[v], b0));
            c = ReduceLanes(C, _mm256_mul_pd(C.powers[v], c0));
            __m256d s = _mm256_add_pd(QuotientLanes(B, b), QuotientLanes(A, a));
            s = _mm256_add_pd(s, QuotientLanes(C, c));
            const __m256d u = _mm256_sub_pd(s, _mm256_round_pd(s, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC));
            _mm256_storeu_pd(out.data() + done + 4 * v, u);
        }
        // The next block starts from the last lane's states.
        alignas(32) double last[3][4];
        _mm256_store_pd(last[0], a);
        _mm256_store_pd(last[1], b);
        _mm256_store_pd(last[2], c);
        seeds = {static_cast<std::int32_t>(last[0][3]), static_cast<std::int32_t>(last[1][3]),
                 static_cast<std::int32_t>(last[2][3])};
        done += kUniformBlock;
    }
    g.seeds = seeds;
    FillBaseline(g, out.subspan(done));
}

// Eight lanes of FillUniformLanes at a time, two registers a stream: each step is the one-at-a-time
// generator's (s <- k s mod m in each stream, exactly), then the draw as in FillAvx2.
__attribute__((target("avx2,fma"))) std::size_t FillLanesAvx2(std::span<Seeds> seeds, std::size_t steps,
                                                              double* out) noexcept {
    static const Lanes A = LanesOf(StreamA()), B = LanesOf(StreamB()), C = LanesOf(StreamC());
    const std::size_t lanes = seeds.size(), whole = lanes / 8 * 8;
    for (std::size_t j = 0; j < whole; j += 8) {
        const Seeds* const s = seeds.data() + j;
        __m256d a[2], b[2], c[2];
        for (int h = 0; h < 2; ++h) {
            const Seeds* const q = s + 4 * h;
            a[h] = _mm256_setr_pd(q[0].a, q[1].a, q[2].a, q[3].a);
            b[h] = _mm256_setr_pd(q[0].b, q[1].b, q[2].b, q[3].b);
            c[h] = _mm256_setr_pd(q[0].c, q[1].c, q[2].c, q[3].c);
        }
        double* to = out + j;
        for (std::size_t i = 0; i < steps; ++i, to += lanes) {
            for (int h = 0; h < 2; ++h) {
                a[h] = ReduceLanes(A, _mm256_mul_pd(A.k, a[h]));
                b[h] = ReduceLanes(B, _mm256_mul_pd(B.k, b[h]));
                c[h] = ReduceLanes(C, _mm256_mul_pd(C.k, c[h]));
                __m256d sum = _mm256_add_pd(QuotientLanes(B, b[h]), QuotientLanes(A, a[h]));
                sum = _mm256_add_pd(sum, QuotientLanes(C, c[h]));
                const __m256d u = _mm256_sub_pd(sum, _mm256_round_pd(sum, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC));
                _mm256_storeu_pd(to + 4 * h, u);
            }
        }
        alignas(32) double last[3][8];
        for (int h = 0; h < 2; ++h) {
            _mm256_store_pd(last[0] + 4 * h, a[h]);
            _mm256_store_pd(last[1] + 4 * h, b[h]);
            _mm256_store_pd(last[2] + 4 * h, c[h]);
        }
        for (std::size_t l = 0; l < 8; ++l) {
            seeds[j + l] = {static_cast<std::int32_t>(last[0][l]), static_cast<std::int32_t>(last[1][l]),
                            static_cast<std::int32_t>(last[2][l])};
        }
    }
    return whole;
}

#endif

// The lanes from first on, one at a time.
void FillLanesBaseline(std::span<Seeds> seeds, std::size_t first, std::size_t steps, double* out) noexcept {
    const std::size_t lanes = seeds.size();
    for (std::size_t j = first; j < lanes; ++j) {
        Generator g{seeds[j]};
        for (std::size_t i = 0; i < steps; ++i) out[i * lanes + j] = g.Uniform();
        seeds[j] = g.seeds;
    }
}

}  // namespace

const UniformStream& UniformStreamNumber(int stream) noexcept {
    return stream == 0 ? StreamA() : stream == 1 ? StreamB() : StreamC();
}

bool DrawPathAvailable(DrawPath path) noexcept {
#ifdef BREVANT_X86
    const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    switch (path) {
        case DrawPath::Baseline:
            return true;
        case DrawPath::Avx2:
            return avx2;
        case DrawPath::Avx512:
            return avx2 && __builtin_cpu_supports("avx512f");
    }
    return false;
#else
    return path == DrawPath::Baseline;
#endif
}

DrawPath ActiveDrawPath() noexcept {
    static const DrawPath active = DrawPathAvailable(DrawPath::Avx2) ? DrawPath::Avx2 : DrawPath::Baseline;
    return active;
}

DrawPath FastestDrawPath() noexcept {
    static const DrawPath fastest = DrawPathAvailable(DrawPath::Avx512) ? DrawPath::Avx512 : ActiveDrawPath();
    return fastest;
}

void FillUniformWith(DrawPath path, Generator& g, std::span<double> out) noexcept {
#ifdef BREVANT_X86
    if (path == DrawPath::Avx512) {
        FillUniformAvx512(g, out);
        return;
    }
    if (path == DrawPath::Avx2) {
        FillAvx2(g, out);
        return;
    }
#endif
    (void)path;
    FillBaseline(g, out);
}

void FillUniform(Generator& g, std::span<double> out) noexcept { FillUniformWith(FastestDrawPath(), g, out); }

void FillUniformLanes(DrawPath path, std::span<Seeds> seeds, std::size_t steps, double* out) noexcept {
    std::size_t done = 0;
#ifdef BREVANT_X86
    if (path == DrawPath::Avx512) done = FillUniformLanesAvx512(seeds, steps, out);
    if (path == DrawPath::Avx2) done = FillLanesAvx2(seeds, steps, out);
#endif
    FillLanesBaseline(seeds, done, steps, out);
}

void BlockGenerator::Refill() noexcept {
    start_ = after_;
    Generator g{after_};
    FillUniform(g, std::span<double>(buffer_, kSize));
    after_ = g.seeds;
    next_ = 0;
}

void BlockGenerator::Uniforms(std::span<double> out) noexcept {
    for (std::size_t done = 0; done < out.size();) {
        const std::span<const double> draws = Take(out.size() - done);
        std::copy(draws.begin(), draws.end(), out.data() + done);
        done += draws.size();
    }
}

void BootstrapDrawFrom(BlockGenerator& g, std::span<const float> roundedSource, std::span<float> out) noexcept {
    const auto n = static_cast<std::int32_t>(roundedSource.size());
    if (n == 0) return;
    for (float& v : out) v = roundedSource[static_cast<std::size_t>(g.Index(n) - 1)];
}

Seeds BlockGenerator::CurrentSeeds() const noexcept {
    return next_ == kSize ? after_ : JumpAhead(start_, next_);
}

std::int32_t LaneState(int stream, int j, std::int32_t s) noexcept {
    const UniformStream& x = UniformStreamNumber(stream);
    return static_cast<std::int32_t>(Reduce(x, x.powers[static_cast<std::size_t>(j)] * static_cast<double>(s)));
}

double LaneQuotient(int stream, std::int32_t s) noexcept { return Quotient(UniformStreamNumber(stream), s); }

Seeds JumpAhead(Seeds seeds, std::uint64_t n) noexcept {
    const auto jump = [n](std::int64_t k, std::int64_t m, std::int32_t s) {
        std::int64_t power = 1, base = k % m;
        for (std::uint64_t e = n; e != 0; e >>= 1) {
            if (e & 1) power = power * base % m;
            base = base * base % m;
        }
        return static_cast<std::int32_t>(power * s % m);
    };
    return {jump(171, kModulusA, seeds.a), jump(172, kModulusB, seeds.b), jump(170, kModulusC, seeds.c)};
}

}  // namespace brevant
