#include "engine/Module1.h"

#include <chrono>
#include <random>
#include <string>

namespace brevant {

namespace {
Generator theGenerator;  // seeds 0 until start-up seeds it
}

Generator& TheGenerator() noexcept { return theGenerator; }
double RandomUniform() noexcept { return theGenerator.Uniform(); }
std::int32_t RandomIndex(std::int32_t m) noexcept { return theGenerator.Index(m); }

bool SeedsValid(Seeds s) noexcept {
    return s.a >= 1 && s.a < kModulusA && s.b >= 1 && s.b < kModulusB && s.c >= 1 && s.c < kModulusC;
}

void SetSeeds(Seeds s) {
    if (!SeedsValid(s)) {
        throw std::invalid_argument("seeds " + std::to_string(s.a) + "," + std::to_string(s.b) + "," +
                                    std::to_string(s.c) + " refused: they must lie in 1.." +
                                    std::to_string(kModulusA - 1) + ", 1.." + std::to_string(kModulusB - 1) +
                                    " and 1.." + std::to_string(kModulusC - 1) +
                                    " (a zero seed would freeze the generator)");
    }
    theGenerator.seeds = s;
}

Seeds GetSeeds() noexcept { return theGenerator.seeds; }

Seeds StartupSeeds(float u1, float u2, float u3) noexcept {
    return {static_cast<std::int32_t>(std::floor(u1 * 10000.0)) + 1,
            static_cast<std::int32_t>(std::floor(u2 * 9000.0)) + 1,
            static_cast<std::int32_t>(std::floor(u3 * 23423.0)) + 1};
}

Seeds ClockSeeds() {
    std::mt19937 general(static_cast<std::mt19937::result_type>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count()));
    // 24 random bits over 2^24: a float strictly below 1 (library float distributions can return 1).
    auto draw = [&general] { return static_cast<float>(general() >> 8) / 16777216.0f; };
    const float u1 = draw();
    const float u2 = draw();
    const float u3 = draw();
    return StartupSeeds(u1, u2, u3);
}

void SeedFromClock() { SetSeeds(ClockSeeds()); }

}  // namespace brevant
