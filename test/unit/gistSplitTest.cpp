// GiST insertion penalty and page split over packed ranges.
#include <algorithm>
#include <climits>
#include <random>
#include <utility>
#include <vector>

#include "qovellaPgGistSplit.h"
#include "testSupport.h"

namespace {

using qv::gistRange::computePenalty;
using qv::packedRange::pack;
using qv::packedRange::lower;
using qv::packedRange::upper;
using Interval = std::pair<int, int>;

TEST(GistPenalty, GrowthPlusUncoveredShare) {
    EXPECT_FLOAT_EQ(5.5f, computePenalty(pack(0, 9), pack(5, 14)));
    EXPECT_FLOAT_EQ(0.8f, computePenalty(pack(0, 9), pack(3, 4)));
    EXPECT_FLOAT_EQ(0.0f, computePenalty(pack(0, 9), pack(0, 9)));
    EXPECT_FLOAT_EQ(11.99f, computePenalty(pack(0, 9), pack(20, 20)));
    // growing on the low side, and covering the existing key from both sides
    EXPECT_FLOAT_EQ(3.7f, computePenalty(pack(0, 9), pack(-3, 2)));
    EXPECT_FLOAT_EQ(8.0f, computePenalty(pack(3, 4), pack(0, 9)));
}

TEST(GistPenalty, WideRangesNeverGiveNegativeGrowth) {
    // Sizes beyond 2^31 values: wrapping 32-bit arithmetic would make these
    // growths negative and refuse valid keys.
    EXPECT_FLOAT_EQ(2147483648.0f, computePenalty(pack(INT_MIN, 0), pack(1, INT_MAX)));
    EXPECT_FLOAT_EQ(2147483648.0f, computePenalty(pack(1, INT_MAX), pack(INT_MIN, 0)));
    EXPECT_FLOAT_EQ(0.0f, computePenalty(pack(INT_MIN, INT_MAX), pack(INT_MIN, INT_MAX)));
    EXPECT_FLOAT_EQ(0.99f, computePenalty(pack(INT_MIN, INT_MAX), pack(7, 7)));
    EXPECT_FLOAT_EQ(4294967295.0f, computePenalty(pack(INT_MIN, INT_MIN), pack(INT_MAX, INT_MAX)));
    std::mt19937 rng(7);
    for (int i = 0; i < 20000; ++i) {
        int a = static_cast<int>(rng()), b = static_cast<int>(rng());
        int c = static_cast<int>(rng()), d = static_cast<int>(rng());
        float p = computePenalty(pack(std::min(a, b), std::max(a, b)), pack(std::min(c, d), std::max(c, d)));
        EXPECT_GE(p, 0.0f);
    }
}

struct Split {
    std::vector<int> left, right;
    Interval leftBounds, rightBounds;
};

Split split(const std::vector<Interval>& entries) {
    std::vector<std::int64_t> keys(1);  // offsets count from 1
    for (const Interval& e : entries) keys.push_back(pack(e.first, e.second));
    std::vector<std::uint16_t> l(entries.size()), r(entries.size());
    qv::gistRange::SplitGroup left{l.data(), 0, 0}, right{r.data(), 0, 0};
    qv::gistRange::splitPackedRanges<qv::test::testMalloc, qv::test::testFree>(
        static_cast<std::uint16_t>(entries.size()), [&](std::uint16_t i) { return keys[i]; }, left, right);
    Split s;
    s.left.assign(l.begin(), l.begin() + left.count);
    s.right.assign(r.begin(), r.begin() + right.count);
    s.leftBounds = {lower(left.bounds), upper(left.bounds)};
    s.rightBounds = {lower(right.bounds), upper(right.bounds)};
    return s;
}

TEST(GistSplit, TwoEntriesNeedNoPenalty) {
    Split s = split({{50, 60}, {-5, 100}});
    EXPECT_EQ(std::vector<int>{2}, s.left);
    EXPECT_EQ(std::vector<int>{1}, s.right);
    EXPECT_EQ(Interval(-5, 100), s.leftBounds);
    EXPECT_EQ(Interval(50, 60), s.rightBounds);
}

TEST(GistSplit, FewerThanTwoEntriesIsAnError) {
    EXPECT_RAISES(split({{1, 1}}), "XX002", "qv_gist_range_picksplit",
                  "GIST picksplit input vector has an invalid size");
    EXPECT_RAISES(split({}), "XX002", "qv_gist_range_picksplit",
                  "GIST picksplit input vector has an invalid size");
}

TEST(GistSplit, EqualPenaltiesAlternateRightFirst) {
    std::vector<Interval> entries;
    for (int v = 1; v <= 10; ++v) entries.emplace_back(v, v);
    Split s = split(entries);
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5}), s.left);
    EXPECT_EQ((std::vector<int>{10, 9, 8, 7, 6}), s.right);
    EXPECT_EQ(Interval(1, 5), s.leftBounds);
    EXPECT_EQ(Interval(6, 10), s.rightBounds);
}

TEST(GistSplit, CheaperSideTakesTheCandidate) {
    Split s = split({{1, 1}, {5, 5}, {1000, 1000}});
    EXPECT_EQ((std::vector<int>{1, 2}), s.left);
    EXPECT_EQ(std::vector<int>{3}, s.right);
    EXPECT_EQ(Interval(1, 5), s.leftBounds);
    EXPECT_EQ(Interval(1000, 1000), s.rightBounds);
}

TEST(GistSplit, EntryHeadingBothListsSeedsOnlyTheLeft) {
    Split s = split({{0, 100}, {1, 2}, {3, 4}, {98, 99}, {50, 50}});
    EXPECT_EQ((std::vector<int>{1, 2, 3, 5}), s.left);
    EXPECT_EQ(std::vector<int>{4}, s.right);
    EXPECT_EQ(Interval(0, 100), s.leftBounds);
    EXPECT_EQ(Interval(98, 99), s.rightBounds);
}

TEST(GistSplit, IdenticalEntriesSplitTwoAndTwo) {
    Split s = split({{0, 10}, {0, 10}, {0, 10}, {0, 10}});
    EXPECT_EQ(2u, s.left.size());
    EXPECT_EQ(2u, s.right.size());
    EXPECT_EQ(Interval(0, 10), s.leftBounds);
    EXPECT_EQ(Interval(0, 10), s.rightBounds);
}

// On random pages: every entry lands in exactly one group and each group's
// bounds are exactly the bounding range of its entries.
TEST(GistSplit, RandomPagesArePartitionedWithExactBounds) {
    std::mt19937 rng(42);
    for (int round = 0; round < 300; ++round) {
        const int n = 2 + static_cast<int>(rng() % 400);
        const int spread = round % 3 == 0 ? 20 : round % 3 == 1 ? 100000 : INT_MAX;
        std::uniform_int_distribution<int> value(-spread, spread);
        std::vector<Interval> entries;
        for (int i = 0; i < n; ++i) {
            int a = value(rng);
            int w = round % 2 ? static_cast<int>(rng() % 1000) : 0;
            entries.emplace_back(a, a > INT_MAX - w ? INT_MAX : a + w);
        }
        Split s = split(entries);
        ASSERT_GE(s.left.size(), 1u);
        ASSERT_GE(s.right.size(), 1u);
        std::vector<int> seen(n + 1, 0);
        auto check = [&](const std::vector<int>& group, Interval bounds) {
            Interval expect{INT_MAX, INT_MIN};
            for (int off : group) {
                ASSERT_GE(off, 1);
                ASSERT_LE(off, n);
                ++seen[off];
                expect.first = std::min(expect.first, entries[off - 1].first);
                expect.second = std::max(expect.second, entries[off - 1].second);
            }
            EXPECT_EQ(expect, bounds);
        };
        check(s.left, s.leftBounds);
        check(s.right, s.rightBounds);
        for (int off = 1; off <= n; ++off) ASSERT_EQ(1, seen[off]) << "offset " << off;
    }
}

TEST(GistSplit, ComparatorsOrderByBothBounds) {
    using qv::gistRange::PackedRangeWithSplitOffset;
    using qv::gistRange::PackedRangeWithSplitOffsetSortLower;
    using qv::gistRange::PackedRangeWithSplitOffsetSortUpper;
    PackedRangeWithSplitOffset a{pack(-1, 5), 1}, b{pack(-1, 7), 2}, c{pack(0, 7), 3};
    EXPECT_TRUE(PackedRangeWithSplitOffsetSortLower(a, b));
    EXPECT_TRUE(PackedRangeWithSplitOffsetSortLower(b, c));
    EXPECT_FALSE(PackedRangeWithSplitOffsetSortLower(a, a));
    EXPECT_TRUE(PackedRangeWithSplitOffsetSortUpper(c, b));
    EXPECT_TRUE(PackedRangeWithSplitOffsetSortUpper(b, a));
    EXPECT_FALSE(PackedRangeWithSplitOffsetSortUpper(c, c));
    // the build order agrees with the lower list's, bounds compared signed
    using qv::gistRange::comparePackedRanges;
    EXPECT_EQ(-1, comparePackedRanges(a.range, b.range));
    EXPECT_EQ(1, comparePackedRanges(c.range, b.range));
    EXPECT_EQ(0, comparePackedRanges(c.range, c.range));
    EXPECT_EQ(-1, comparePackedRanges(pack(INT_MIN, INT_MAX), pack(-1, -1)));
    EXPECT_EQ(1, comparePackedRanges(pack(0, 0), pack(-1, INT_MAX)));
}

}  // namespace
