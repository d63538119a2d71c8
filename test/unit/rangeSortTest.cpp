// Sorting ranges by lower bound against a stable comparison sort.
#include <algorithm>
#include <climits>
#include <random>
#include <vector>

#include "qovellaPgRangeSort.h"
#include "testSupport.h"

namespace {

using qv::pgRangeArray::Range;

void expectSortedLikeReference(std::vector<Range<int>> v) {
    std::vector<Range<int>> ref = v;
    std::stable_sort(ref.begin(), ref.end(),
                     [](const Range<int>& x, const Range<int>& y) { return x.lower < y.lower; });
    std::vector<Range<int>> scratch(v.size());
    qv::pgRangeArray::sortRangesByLower(v.data(), v.size(), scratch.data());
    for (std::size_t i = 0; i < v.size(); ++i) {
        ASSERT_EQ(ref[i].lower, v[i].lower) << "at " << i;
        // the radix sort is stable; the comparison sort for short runs need not be
        if (v.size() >= qv::pgRangeArray::kRadixSortMin) {
            ASSERT_EQ(ref[i].upper, v[i].upper) << "at " << i;
        }
    }
}

TEST(RangeSort, MatchesStableSort) {
    std::mt19937 rng(5);
    for (int round = 0; round < 200; ++round) {
        std::size_t n = std::uniform_int_distribution<int>(0, 3000)(rng);
        int width = round % 4 == 0 ? 100 : round % 4 == 1 ? 70000 : INT_MAX;
        std::vector<Range<int>> v(n);
        for (std::size_t i = 0; i < n; ++i) {
            int lo = std::uniform_int_distribution<int>(-width, width)(rng);
            if (rng() % 50 == 0) lo = rng() % 2 ? INT_MIN : INT_MAX;
            v[i] = Range<int>{lo, static_cast<int>(i)};  // upper records the arrival order
        }
        expectSortedLikeReference(v);
    }
}

TEST(RangeSort, SortedAndEqualKeys) {
    std::vector<Range<int>> v;
    for (int i = 0; i < 1000; ++i) v.push_back(Range<int>{i / 10 - 50, i});
    expectSortedLikeReference(v);
    std::reverse(v.begin(), v.end());
    expectSortedLikeReference(v);
    expectSortedLikeReference(std::vector<Range<int>>(600, Range<int>{7, 7}));
}

}  // namespace
