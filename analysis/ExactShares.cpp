#include "analysis/ExactShares.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <numeric>
#include <thread>

namespace brevant {

namespace {

// One kind of arrangement walked in lexicographic order: unrank writes the arrangement of a rank into
// labels, next steps labels on to the following one.
struct Walk {
    std::size_t width = 0;
    std::function<void(std::int64_t rank, std::span<std::int32_t> labels)> unrank;
    std::function<void(std::span<std::int32_t> labels)> next;
};

int ThreadCount(int asked, std::int64_t chunks) {
    int threads = asked > 0 ? asked : static_cast<int>(std::thread::hardware_concurrency());
    threads = std::max(threads, 1);
    return static_cast<int>(std::min<std::int64_t>(threads, std::max<std::int64_t>(chunks, 1)));
}

ExactTally Enumerate(std::int64_t total, const Walk& walk, std::span<const std::int32_t> observedLabels,
                     const ExactStatistic& statistic, std::span<const ExactTail> tails, int asked,
                     RunControl& control) {
    ExactTally tally;
    tally.arrangements = total;
    tally.observed = statistic(observedLabels);
    tally.counts.assign(tails.size(), 0);
    const double observed = tally.observed;

    // Chunks small enough that a cancel is seen within milliseconds and the threads finish together.
    const std::int64_t chunk = std::clamp<std::int64_t>(total / 256, 256, 1 << 15);
    const std::int64_t chunks = (total + chunk - 1) / chunk;
    const int threads = ThreadCount(asked, chunks);
    std::atomic<std::int64_t> nextChunk{0};
    std::atomic<bool> cancelled{false};
    std::vector<std::vector<std::int64_t>> counts(static_cast<std::size_t>(threads),
                                                  std::vector<std::int64_t>(tails.size(), 0));
    const auto work = [&](std::size_t worker) {
        std::vector<std::int32_t> labels(walk.width);
        std::vector<std::int64_t>& mine = counts[worker];
        for (;;) {
            const std::int64_t c = nextChunk.fetch_add(1, std::memory_order_relaxed);
            if (c >= chunks || cancelled.load(std::memory_order_relaxed)) return;
            if (control.CancelRequested()) {
                cancelled.store(true, std::memory_order_relaxed);
                return;
            }
            const std::int64_t begin = c * chunk, end = std::min(total, begin + chunk);
            walk.unrank(begin, labels);
            for (std::int64_t r = begin; r < end; ++r) {
                const double s = statistic(labels);
                for (std::size_t i = 0; i < tails.size(); ++i) mine[i] += AtLeastAsExtreme(s, observed, tails[i]);
                if (r + 1 < end) walk.next(labels);
            }
        }
    };
    std::vector<std::thread> helpers;
    for (int w = 1; w < threads; ++w) helpers.emplace_back(work, static_cast<std::size_t>(w));
    work(0);
    for (std::thread& t : helpers) t.join();
    if (cancelled.load()) throw RunCancelled();
    for (const std::vector<std::int64_t>& part : counts)
        for (std::size_t i = 0; i < part.size(); ++i) tally.counts[i] += part[i];
    return tally;
}

// The arrangements of the remaining positions once some labels are placed: (sum rem)! / prod rem_g!.
// Exact while the count fits the limits the callers set.
std::int64_t Multinomial(std::span<const std::int32_t> remaining) {
    return static_cast<std::int64_t>(DivisionCount(remaining));
}

}  // namespace

bool AtLeastAsExtreme(double s, double observed, ExactTail tail) noexcept {
    const double a = std::fabs(observed) * (1.0 - kExactRelativeTie);
    switch (tail) {
        case ExactTail::Upper: return s >= a;
        case ExactTail::Lower: return s <= -a;
        case ExactTail::Both: return std::fabs(s) >= a;
    }
    return false;
}

double DivisionCount(std::span<const std::int32_t> sizes) noexcept {
    // A product of binomials, each built up factor by factor: every partial product is a whole number, and
    // exact while the result stays well below 2^53.
    double count = 1.0;
    double placed = 0.0;
    for (const std::int32_t size : sizes) {
        for (std::int32_t i = 1; i <= size; ++i) count = count * (placed + i) / i;
        placed += size;
    }
    return count;
}

double SignPatternCount(std::int32_t n) noexcept { return std::ldexp(1.0, n); }

double RowOrderCount(std::int32_t rows, std::int32_t k) noexcept {
    double orders = 1.0;
    for (std::int32_t i = 2; i <= k; ++i) orders *= i;
    return std::pow(orders, rows);
}

bool WithinExactLimit(double arrangements, std::int64_t values, std::int64_t limit) noexcept {
    const double budget = static_cast<double>(limit) * static_cast<double>(kExactValuesAtLimit);
    return limit > 0 && arrangements >= 1.0 && arrangements <= static_cast<double>(limit) &&
           arrangements * static_cast<double>(values) <= budget;
}

ExactTally CountDivisions(std::span<const std::int32_t> sizes, const ExactStatistic& statistic,
                          std::span<const ExactTail> tails, int threads, RunControl& control) {
    const std::vector<std::int32_t> groupSizes(sizes.begin(), sizes.end());
    const auto n = static_cast<std::size_t>(std::accumulate(groupSizes.begin(), groupSizes.end(), 0));
    std::vector<std::int32_t> observed;
    for (std::size_t g = 0; g < groupSizes.size(); ++g)
        observed.insert(observed.end(), static_cast<std::size_t>(groupSizes[g]), static_cast<std::int32_t>(g));
    Walk walk;
    walk.width = n;
    // Position by position, the label whose block of ranks holds the rank: the arrangements that start
    // with label g are a share rem_g / (positions left) of those of the remaining labels.
    walk.unrank = [groupSizes, n](std::int64_t rank, std::span<std::int32_t> labels) {
        std::vector<std::int32_t> remaining = groupSizes;
        std::int64_t block = Multinomial(remaining);
        for (std::size_t p = 0; p < n; ++p) {
            const auto left = static_cast<std::int64_t>(n - p);
            for (std::size_t g = 0; g < remaining.size(); ++g) {
                if (remaining[g] == 0) continue;
                // block * rem_g / left, a whole number, without forming the product.
                const std::int64_t within =
                    block / left * remaining[g] + block % left * remaining[g] / left;
                if (rank < within) {
                    labels[p] = static_cast<std::int32_t>(g);
                    --remaining[g];
                    block = within;
                    break;
                }
                rank -= within;
            }
        }
    };
    walk.next = [](std::span<std::int32_t> labels) { std::next_permutation(labels.begin(), labels.end()); };
    return Enumerate(static_cast<std::int64_t>(DivisionCount(groupSizes)), walk, observed, statistic, tails,
                     threads, control);
}

ExactTally CountSignPatterns(std::int32_t n, const ExactStatistic& statistic, std::span<const ExactTail> tails,
                             int threads, RunControl& control) {
    const auto width = static_cast<std::size_t>(n);
    Walk walk;
    walk.width = width;
    // The rank in binary, the first position the highest digit.
    walk.unrank = [width](std::int64_t rank, std::span<std::int32_t> labels) {
        for (std::size_t i = 0; i < width; ++i) labels[width - 1 - i] = static_cast<std::int32_t>((rank >> i) & 1);
    };
    walk.next = [](std::span<std::int32_t> labels) {
        for (std::size_t i = labels.size(); i-- > 0;) {
            if (labels[i] == 0) {
                labels[i] = 1;
                return;
            }
            labels[i] = 0;
        }
    };
    const std::vector<std::int32_t> observed(width, 0);
    return Enumerate(static_cast<std::int64_t>(SignPatternCount(n)), walk, observed, statistic, tails, threads,
                     control);
}

ExactTally CountRowOrders(std::int32_t rows, std::int32_t k, const ExactStatistic& statistic,
                          std::span<const ExactTail> tails, int threads, RunControl& control) {
    const auto width = static_cast<std::size_t>(rows) * static_cast<std::size_t>(k);
    const auto orders = static_cast<std::int64_t>(RowOrderCount(1, k));
    Walk walk;
    walk.width = width;
    // The rank in base k!, the first row the highest digit; each digit the order's rank among the k! orders
    // in lexicographic order (the factorial number system).
    walk.unrank = [rows, k, orders](std::int64_t rank, std::span<std::int32_t> labels) {
        const auto kk = static_cast<std::size_t>(k);
        std::vector<std::int32_t> unused(kk);
        for (std::int32_t j = rows; j-- > 0;) {
            std::int64_t digit = rank % orders;
            rank /= orders;
            unused.resize(kk);
            std::iota(unused.begin(), unused.end(), 0);
            std::int64_t block = orders;
            for (std::size_t t = 0; t < kk; ++t) {
                block /= static_cast<std::int64_t>(kk - t);
                const auto pick = static_cast<std::size_t>(digit / block);
                digit %= block;
                labels[static_cast<std::size_t>(j) * kk + t] = unused[pick];
                unused.erase(unused.begin() + static_cast<std::ptrdiff_t>(pick));
            }
        }
    };
    walk.next = [rows, k](std::span<std::int32_t> labels) {
        const auto kk = static_cast<std::size_t>(k);
        for (std::int32_t j = rows; j-- > 0;) {
            const auto row = labels.subspan(static_cast<std::size_t>(j) * kk, kk);
            if (std::next_permutation(row.begin(), row.end())) return;  // else the row wrapped: carry
        }
    };
    std::vector<std::int32_t> observed(width);
    for (std::size_t i = 0; i < width; ++i) observed[i] = static_cast<std::int32_t>(i % static_cast<std::size_t>(k));
    return Enumerate(static_cast<std::int64_t>(RowOrderCount(rows, k)), walk, observed, statistic, tails, threads,
                     control);
}

ExactFigures MakeExactFigures(const ExactTally& tally, std::vector<std::string> controls, std::string noun) {
    ExactFigures f;
    f.arrangements = tally.arrangements;
    f.total = static_cast<double>(tally.arrangements);
    f.noun = std::move(noun);
    f.controls = std::move(controls);
    f.counts = tally.counts;
    for (std::size_t i = 0; i < tally.counts.size(); ++i) f.shares.push_back(tally.Share(i));
    return f;
}

ExactFigures TooManyArrangements(double arrangements, std::int64_t limit, std::string noun, std::int64_t values) {
    ExactFigures f;
    f.values = values;
    f.total = arrangements;
    f.limit = limit;
    f.noun = std::move(noun);
    return f;
}

std::vector<double> LessTheFirst(std::span<const float> values, double* sum) {
    std::vector<double> out(values.size());
    double total = 0.0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = static_cast<double>(values[i]) - static_cast<double>(values[0]);
        total += out[i];
    }
    if (sum) *sum = total;
    return out;
}

}  // namespace brevant
