// The sorts and the median. Each gives exactly the arrangement that a selection sort taking the first
// extreme value leaves, but in O(n log n):
//
// A selection sort places the keys group by group (all equal keys together). When it reaches a group whose
// members stand at positions p1 < p2 < ... < pm and the next free position is i, step i + j takes the member
// at p(j+1): every earlier position from i + j on holds a larger key, and the step's exchange only touches
// i + j and p(j+1), so the members still waiting do not move. The element standing at i + j goes to p(j+1).
// Replaying just these exchanges group by group (SelectionOrder) reproduces the whole arrangement, ties
// included. Floats that compare equal are bit-identical except -0 and +0, so for plain values std::sort
// already gives the same array unless both zeros occur; records need the replay whenever keys repeat.
//
// NaN compares false with everything, which no sort can use; NaNs are moved behind all other values in the
// order they had, and the rest is sorted as above (large arrays of plain values by a radix sort of their
// bits, which gives that same array).
#include "engine/Module1.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

namespace brevant {

namespace {

struct Contents {
    bool nan = false;
    bool negativeZero = false;
    bool positiveZero = false;
    bool MixedZeros() const noexcept { return negativeZero && positiveZero; }
};

Contents Inspect(std::span<const float> x) noexcept {
    Contents c;
    for (const float v : x) {
        c.nan |= std::isnan(v);
        if (v == 0.0f) (std::signbit(v) ? c.negativeZero : c.positiveZero) = true;
    }
    return c;
}

// Moves NaN elements behind the others, both keeping their order; returns the number of non-NaN ones.
template <typename T, typename IsNaN>
std::size_t MoveNaNsLast(std::span<T> items, IsNaN isNaN) {
    std::vector<T> nans;
    std::size_t kept = 0;
    for (const T& item : items) {
        if (isNaN(item)) nans.push_back(item);
        else items[kept++] = item;
    }
    std::copy(nans.begin(), nans.end(), items.begin() + static_cast<std::ptrdiff_t>(kept));
    return kept;
}

// Ascending, NaN-free values with both zeros present: the replay decides where each zero goes.
void ReplayAscending(std::span<float> x) {
    std::vector<std::int32_t> ids(x.size());
    for (std::size_t i = 0; i < ids.size(); ++i) ids[i] = static_cast<std::int32_t>(i);
    std::sort(ids.begin(), ids.end(), [x](std::int32_t a, std::int32_t b) {
        return x[static_cast<std::size_t>(a)] < x[static_cast<std::size_t>(b)];
    });
    const std::vector<std::int32_t> at = SelectionOrder(x, ids);
    const std::vector<float> original(x.begin(), x.end());
    for (std::size_t p = 0; p < x.size(); ++p) x[p] = original[static_cast<std::size_t>(at[p])];
}

// Ascending NaN-free values by their bits, eleven at a time (three stable passes from the lowest bits): a
// float's bits, with the sign bit set for values >= +0 and all bits inverted for those <= -0, order as
// the values do, -0 just before +0. Equal keys are equal bits, so the result is the one sorted array.
void RadixAscending(std::span<float> x) {
    constexpr int kBits = 11;
    constexpr std::size_t kBuckets = std::size_t{1} << kBits;
    const auto key = [](float v) {
        const auto bits = std::bit_cast<std::uint32_t>(v);
        return (bits & 0x80000000u) != 0 ? ~bits : bits | 0x80000000u;
    };
    std::vector<std::uint32_t> keys(x.size()), spare(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) keys[i] = key(x[i]);
    std::vector<std::size_t> counts(3 * kBuckets, 0);
    for (const std::uint32_t k : keys) {
        for (int pass = 0; pass < 3; ++pass) ++counts[pass * kBuckets + ((k >> (pass * kBits)) & (kBuckets - 1))];
    }
    for (int pass = 0; pass < 3; ++pass) {
        std::size_t* const count = counts.data() + pass * kBuckets;
        if (count[(keys[0] >> (pass * kBits)) & (kBuckets - 1)] == keys.size()) continue;  // one bucket: no change
        std::size_t start = 0;
        for (std::size_t b = 0; b < kBuckets; ++b) start += std::exchange(count[b], start);
        for (const std::uint32_t k : keys) spare[count[(k >> (pass * kBits)) & (kBuckets - 1)]++] = k;
        keys.swap(spare);
    }
    for (std::size_t i = 0; i < x.size(); ++i) {
        const std::uint32_t k = keys[i];
        x[i] = std::bit_cast<float>((k & 0x80000000u) != 0 ? k & 0x7FFFFFFFu : ~k);
    }
}

// Below this many values std::sort is as fast.
constexpr std::size_t kRadixSortFrom = 2048;

// Ascending in place as the selection sort leaves it (NaNs last).
void SortAscending(std::span<float> x) {
    const Contents c = Inspect(x);
    std::span<float> numbers = x;
    if (c.nan) numbers = x.first(MoveNaNsLast(x, [](float v) { return std::isnan(v); }));
    if (c.MixedZeros()) ReplayAscending(numbers);
    else if (numbers.size() >= kRadixSortFrom) RadixAscending(numbers);
    else std::sort(numbers.begin(), numbers.end());
}

// Passes positions [0, end) through RoundTrip7; sorted arrays repeat values, so a repeat reuses the last one.
void RoundPrefix(std::span<float> x, std::size_t end) noexcept {
    std::uint32_t lastIn = 0;
    float lastOut = 0.0f;
    bool have = false;
    for (std::size_t i = 0; i < end; ++i) {
        const auto bits = std::bit_cast<std::uint32_t>(x[i]);
        if (!have || bits != lastIn) {
            lastIn = bits;
            lastOut = RoundTrip7(x[i]);
            have = true;
        }
        x[i] = lastOut;
    }
}

// Median of a sorted, rounded array (positions 0..n-2 rounded).
float MedianOfSorted(std::span<const float> x) noexcept {
    const std::size_t n = x.size();
    if (n % 2 == 1) return x[n / 2];
    return static_cast<float>((static_cast<double>(x[n / 2 - 1]) + static_cast<double>(x[n / 2])) / 2.0);
}

}  // namespace

std::vector<std::int32_t> SelectionOrder(std::span<const float> keys, std::span<const std::int32_t> ids) {
    const std::size_t n = keys.size();
    std::vector<std::int32_t> at(n);
    std::vector<std::int32_t> position(n);
    for (std::size_t p = 0; p < n; ++p) at[p] = position[p] = static_cast<std::int32_t>(p);
    auto exchange = [&](std::int32_t i, std::int32_t p) {
        if (i == p) return;
        const std::int32_t a = at[static_cast<std::size_t>(i)];
        const std::int32_t b = at[static_cast<std::size_t>(p)];
        at[static_cast<std::size_t>(i)] = b;
        at[static_cast<std::size_t>(p)] = a;
        position[static_cast<std::size_t>(b)] = i;
        position[static_cast<std::size_t>(a)] = p;
    };
    std::vector<std::int32_t> members;
    std::int32_t next = 0;
    for (std::size_t g = 0; g < n;) {
        std::size_t h = g + 1;
        const float key = keys[static_cast<std::size_t>(ids[g])];
        while (h < n && keys[static_cast<std::size_t>(ids[h])] == key) ++h;
        if (h == g + 1) {
            exchange(next++, position[static_cast<std::size_t>(ids[g])]);
        } else {
            members.clear();
            for (std::size_t t = g; t < h; ++t) members.push_back(position[static_cast<std::size_t>(ids[t])]);
            std::sort(members.begin(), members.end());
            for (const std::int32_t p : members) exchange(next++, p);
        }
        g = h;
    }
    return at;
}


float ArrayMedian(std::span<float> x) {
    if (x.empty()) return std::numeric_limits<float>::quiet_NaN();
    SortAscending(x);
    RoundPrefix(x, x.size() - 1);
    return MedianOfSorted(x);
}

float MedianOf(std::span<float> x) {
    const std::size_t n = x.size();
    if (n < 3) return ArrayMedian(x);
    const Contents c = Inspect(x);
    if (c.nan || c.MixedZeros()) return ArrayMedian(x);  // rare: NaN order, or the sign of a middle zero
    // Only the middle order statistics matter. For n >= 3 every middle position but the last one of an
    // even n = 2 array (excluded above) is rounded.
    const std::size_t lower = (n - 1) / 2;  // 0-based position of the (lower) middle
    std::nth_element(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(lower), x.end());
    const float low = x[lower];
    if (n % 2 == 1) return RoundTrip7(low);
    const float high = *std::min_element(x.begin() + static_cast<std::ptrdiff_t>(lower) + 1, x.end());
    return static_cast<float>((static_cast<double>(RoundTrip7(low)) + static_cast<double>(RoundTrip7(high))) / 2.0);
}

void SortArray(std::span<float> x, const SortProgress& progress) {
    const auto n = static_cast<std::int64_t>(x.size());
    if (n < 2) return;
    const bool show = progress && n < 65000;
    if (show) progress(1, static_cast<std::int32_t>(n));
    SortAscending(x);
    if (show) progress(static_cast<std::int32_t>(n - 1), static_cast<std::int32_t>(n));
}

void SortRecords(std::span<Record> records) {
    if (records.size() < 2) return;
    const std::size_t m = MoveNaNsLast(records, [](const Record& r) { return std::isnan(r.key); });
    const std::span<Record> front = records.first(m);

    std::vector<std::pair<float, std::int32_t>> order(m);
    for (std::size_t i = 0; i < m; ++i) order[i] = {front[i].key, static_cast<std::int32_t>(i)};
    std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    const bool ties = std::adjacent_find(order.begin(), order.end(), [](const auto& a, const auto& b) {
                          return a.first == b.first;
                      }) != order.end();

    const std::vector<Record> original(front.begin(), front.end());
    if (!ties) {
        for (std::size_t p = 0; p < m; ++p) front[p] = original[static_cast<std::size_t>(order[p].second)];
        return;
    }
    std::vector<float> keys(m);
    std::vector<std::int32_t> ids(m);
    for (std::size_t i = 0; i < m; ++i) {
        keys[i] = original[i].key;
        ids[i] = order[i].second;
    }
    const std::vector<std::int32_t> at = SelectionOrder(keys, ids);
    for (std::size_t p = 0; p < m; ++p) front[p] = original[static_cast<std::size_t>(at[p])];
}

}  // namespace brevant
