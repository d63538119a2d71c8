// Overlap of intervals with range arrays, against a naive reference.
#include <climits>
#include <random>
#include <vector>

#include "qovellaPgRangeOverlap.h"
#include "testSupport.h"

namespace {

using qv::pgRangeArray::Range;
using qv::pgRangeArray::RangeSpan;

RangeSpan span(const std::vector<int>& e) {
    return qv::pgRangeArray::rangesFromElements(e.data(), e.size(), "test");
}

bool naive(const std::vector<int>& a, const std::vector<int>& b) {
    for (std::size_t i = 0; i < a.size(); i += 2)
        for (std::size_t j = 0; j < b.size(); j += 2)
            if (a[i] <= b[j + 1] && b[j] <= a[i + 1]) return true;
    return false;
}

// A canonical range array of random ranges within [-50; 150].
std::vector<int> randomRanges(std::mt19937& rng) {
    std::vector<int> e;
    int next = -50 + static_cast<int>(rng() % 20);
    unsigned n = rng() % 6;
    for (unsigned i = 0; i < n && next < 150; ++i) {
        int lo = next, hi = lo + static_cast<int>(rng() % 15);
        e.push_back(lo);
        e.push_back(hi);
        next = hi + 2 + static_cast<int>(rng() % 20);
    }
    return e;
}

TEST(RangeOverlap, Examples) {
    using qv::pgRangeArray::rangeOverlapsRanges;
    using qv::pgRangeArray::rangeSpansOverlap;
    EXPECT_FALSE(rangeOverlapsRanges(4, 4, span({1, 3, 5, 9})));
    EXPECT_TRUE(rangeOverlapsRanges(3, 5, span({1, 3, 7, 9})));
    EXPECT_FALSE(rangeOverlapsRanges(3, 5, span({})));
    EXPECT_TRUE(rangeOverlapsRanges(INT_MIN, INT_MAX, span({INT_MAX, INT_MAX})));
    EXPECT_TRUE(rangeSpansOverlap(span({1, 3}), span({3, 5})));
    EXPECT_FALSE(rangeSpansOverlap(span({1, 3}), span({4, 5})));
    EXPECT_TRUE(rangeSpansOverlap(span({1, 2, 10, 20}), span({5, 8, 15, 15})));
    EXPECT_FALSE(rangeSpansOverlap(span({}), span({1, 2})));
    EXPECT_FALSE(rangeSpansOverlap(span({1, 2}), span({})));
}

TEST(RangeOverlap, MatchesNaiveReference) {
    std::mt19937 rng(11);
    for (int round = 0; round < 3000; ++round) {
        std::vector<int> a = randomRanges(rng), b = randomRanges(rng);
        EXPECT_EQ(naive(a, b), qv::pgRangeArray::rangeSpansOverlap(span(a), span(b)));
        EXPECT_EQ(naive(b, a), qv::pgRangeArray::rangeSpansOverlap(span(b), span(a)));
        int lo = -60 + static_cast<int>(rng() % 220), hi = lo + static_cast<int>(rng() % 20);
        EXPECT_EQ(naive({lo, hi}, b), qv::pgRangeArray::rangeOverlapsRanges(lo, hi, span(b)));
    }
}

}  // namespace
