// Slow literal transcription of a whole one-way bootstrap run, step by step on one-based arrays with the
// literal engine routines (BootstrapDraw through text), as the oracle of analysis/bootstrap/OnewayBoot.
// Draws from brevant::literal::seedTable. Sum as in LiteralOnewayRandom.h; with double sums (data past
// 1,000 values) the draw goes through the same text without the 1,000-value table. centred: the run of
// values already shifted by their mean (with Sum double), whose draws take the values as they are.
#pragma once

#include "literal/LiteralOnewayRandom.h"

namespace brevant::literal {

struct OnewayBootRun {
    float obtainedF = 0, effectSize = 0;
    float counter = 0;
    double proportion = 0;
    Values errors;                 // e(1..N)
    std::vector<float> resampled;  // F(1..R), zero-based here
    std::string outputText;
};

// A draw with replacement through the text of each value, for any n.
inline void WideBootstrapDraw(Values& values, std::int32_t n) {
    std::vector<std::string> table(static_cast<std::size_t>(n) + 1);
    for (std::int32_t i = 1; i <= n; ++i) {
        table[static_cast<std::size_t>(i)] = GeneralText(values[static_cast<std::size_t>(i)]);
    }
    for (std::int32_t i = 1; i <= n; ++i) {
        const double u = RandomUniform();
        const auto j = static_cast<std::int32_t>(std::floor((static_cast<double>(n) - 0.0001) * u + 1.0));
        values[static_cast<std::size_t>(i)] = ReadSingle(table[static_cast<std::size_t>(j)]);
    }
}

// The same draw without the text.
inline void PlainBootstrapDraw(Values& values, std::int32_t n) {
    const Values source = values;
    for (std::int32_t i = 1; i <= n; ++i) {
        const double u = RandomUniform();
        const auto j = static_cast<std::int32_t>(std::floor((static_cast<double>(n) - 0.0001) * u + 1.0));
        values[static_cast<std::size_t>(i)] = source[static_cast<std::size_t>(j)];
    }
}

template <typename Sum = float>
OnewayBootRun RunOnewayBoot(const std::vector<float>& values, const std::vector<std::int32_t>& sizes, std::int32_t R,
                            bool useErrors, bool centred = false) {
    OnewayBootRun run;
    Values F(static_cast<std::size_t>(R) + 1, 0.0f);  // 2
    const GroupLayout g = Layout(sizes);             // 3
    const Values x = OneBased(values);
    const GroupStats observed = GroupStatistics<Sum>(x, g);  // 4
    const float fobt = observed.f;
    run.obtainedF = fobt;
    run.effectSize = EffectSize<Sum>(observed, g.k);  // 5
    run.errors.assign(x.size(), 0.0f);                // 6
    for (std::size_t j = 1; j <= static_cast<std::size_t>(g.k); ++j) {
        for (std::int32_t i = g.end[j - 1] + 1; i <= g.end[j]; ++i) {
            run.errors[static_cast<std::size_t>(i)] = x[static_cast<std::size_t>(i)] - observed.mean[j];
        }
    }
    Values y(x.size(), 0.0f);
    for (std::int32_t r = 1; r <= R; ++r) {  // 7
        const Values& from = useErrors ? run.errors : x;
        for (std::int32_t i = 1; i <= g.N; ++i) y[static_cast<std::size_t>(i)] = from[static_cast<std::size_t>(i)];
        if (centred) {
            PlainBootstrapDraw(y, g.N);
        } else if constexpr (std::is_same_v<Sum, float>) {
            BootstrapDraw(y, g.N);
        } else {
            WideBootstrapDraw(y, g.N);
        }
        F[static_cast<std::size_t>(r)] = GroupStatistics<Sum>(y, g).f;
        if (F[static_cast<std::size_t>(r)] >= fobt) run.counter = run.counter + 1;
    }
    run.outputText = OutputText(F, R);                       // 8
    run.proportion = static_cast<double>(run.counter) / R;  // 9
    run.resampled = ZeroBased(F, R);
    return run;
}

}  // namespace brevant::literal
