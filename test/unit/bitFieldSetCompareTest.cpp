// Whole sets against bitfields, in the three array encodings, against a
// value-by-value reference.
#include <climits>
#include <cstring>
#include <random>
#include <set>
#include <vector>

#include "qovellaPgBitFieldSetCompare.h"
#include "testSupport.h"

namespace {

using namespace qv::bitField;
using qv::pgRangeArray::kMixArray;
using qv::pgRangeArray::kRangeArray;
using qv::pgRangeArray::kScalarArray;

struct Stored {
    std::vector<unsigned char> bytes;
    View view() const { return readBitField(bytes.data(), bytes.size(), "reader"); }
};

Stored bitfield(int lower, int upper, const std::set<int>& members) {
    Stored s;
    s.bytes.assign(kHeaderSize + bitsBytesFor(lower, upper), 0);
    std::memcpy(s.bytes.data() + 4, &lower, 4);
    std::memcpy(s.bytes.data() + 8, &upper, 4);
    for (int m : members) {
        std::uint32_t k = static_cast<std::uint32_t>(m - lower);
        s.bytes[kHeaderSize + (k >> 3)] |= static_cast<unsigned char>(0x80 >> (k & 7));
    }
    return s;
}

bool test(qv::pgRangeArray::ArrayDataType kind, const std::vector<int>& e, const Stored& b,
          bool included) {
    return setTest(kind, e.data(), e.size(), b.view(), included, "int4set_test_bitfield");
}

TEST(BitFieldSetTest, Examples) {
    std::set<int> all;
    for (int v = 0; v <= 15; ++v) all.insert(v);
    Stored full = bitfield(0, 15, all);
    std::set<int> gap = all;
    gap.erase(8);
    Stored holed = bitfield(0, 15, gap);
    EXPECT_TRUE(test(kRangeArray, {3, 12}, full, true));
    EXPECT_FALSE(test(kRangeArray, {3, 12}, holed, true));
    EXPECT_TRUE(test(kRangeArray, {3, 12}, full, false));
    EXPECT_TRUE(test(kRangeArray, {3, 12}, holed, false));

    Stored two = bitfield(3, 10, {5});
    Stored none = bitfield(3, 10, {});
    for (bool inc : {false, true}) {
        EXPECT_TRUE(test(kScalarArray, {5}, two, inc));
        EXPECT_FALSE(test(kScalarArray, {5}, none, inc));
        EXPECT_TRUE(test(kMixArray, {1, 5}, two, inc));
    }
    // a value outside the bounds: never included, may still overlap
    EXPECT_FALSE(test(kScalarArray, {5, 11}, two, true));
    EXPECT_TRUE(test(kScalarArray, {5, 11}, two, false));
    // the mix array {3, [4; 6]} behaves as the range array {4, 6}
    Stored mid = bitfield(0, 63, {4, 5, 6});
    EXPECT_TRUE(test(kMixArray, {3, -2147483644, 6}, mid, true));
    EXPECT_TRUE(test(kRangeArray, {4, 6}, mid, true));
    // a bare header counts as least and greatest 0
    EXPECT_FALSE(test(kMixArray, {0}, mid, false));
    EXPECT_TRUE(test(kMixArray, {0}, mid, true));
    EXPECT_FALSE(test(kMixArray, {0}, two, true));
}

TEST(BitFieldSetTest, MalformedSetsFailOnlyWhenReached) {
    Stored b = bitfield(0, 63, {1, 2});
    // the quick rejection at the bounds comes first
    EXPECT_FALSE(test(kRangeArray, {100, 2, 300}, b, false));
    EXPECT_RAISES(test(kRangeArray, {1, 2, 3}, b, false), "22P03", "int4set_test_bitfield",
                  "invalid int4 count to represent a rangearray");
    // a dangling range opening is negative, so as the greatest value it
    // falls below the bounds of any bitfield that does not reach 2^31 below 0
    EXPECT_FALSE(test(kMixArray, {1, 1, -2147483646}, b, false));
    // an inverted mix item holds no value
    EXPECT_FALSE(test(kMixArray, {0, -2147483638, 1}, b, false));
    EXPECT_TRUE(test(kMixArray, {3, 1, -2147483638, 5, 2}, b, true));
}

// Random canonical sets, written in all three encodings, against the
// reference over their values.
TEST(BitFieldSetTest, MatchesValueByValueReference) {
    std::mt19937 rng(5);
    for (int round = 0; round < 2000; ++round) {
        int lower = static_cast<int>(rng() % 40), upper = lower + static_cast<int>(rng() % 100) - 1;
        std::set<int> members;
        unsigned density = rng() % 5;
        for (int v = lower; v <= upper; ++v)
            if (density == 4 || rng() % 4 < density) members.insert(v);
        Stored b = bitfield(lower, upper, members);

        std::vector<int> ranges, scalars, mix{0};
        int v = static_cast<int>(rng() % 30);
        unsigned count = 1 + rng() % 5;
        for (unsigned i = 0; i < count; ++i) {
            int lo = v, hi = v + (rng() % 3 ? 0 : static_cast<int>(rng() % 20));
            ranges.push_back(lo);
            ranges.push_back(hi);
            for (int x = lo; x <= hi; ++x) scalars.push_back(x);
            if (lo == hi) {
                mix.push_back(lo);
            } else {
                mix.push_back(static_cast<int>(static_cast<unsigned>(lo) | 0x80000000u));
                mix.push_back(hi);
            }
            v = hi + 2 + static_cast<int>(rng() % 15);
        }
        mix[0] = static_cast<int>(scalars.size());
        bool any = false, all = true;
        for (int x : scalars) {
            bool m = members.count(x) != 0;
            any = any || m;
            all = all && m;
        }
        for (bool inc : {false, true}) {
            bool expected = inc ? all : any;
            EXPECT_EQ(expected, test(kScalarArray, scalars, b, inc));
            EXPECT_EQ(expected, test(kRangeArray, ranges, b, inc));
            EXPECT_EQ(expected, test(kMixArray, mix, b, inc));
        }
    }
}

}  // namespace

namespace {

TEST(MixArrayWhile, StopsAtTheFirstRefusal) {
    std::vector<int> body = {1, -2147483645, 5, 9, -2147483647};  // dangling last
    std::vector<std::pair<int, int>> seen;
    bool completed = qv::mixArray::forEachMixItemWhile(
        body.data(), body.size(), "reader", [&](int lo, int hi) {
            seen.emplace_back(lo, hi);
            return lo != 3;
        });
    EXPECT_FALSE(completed);
    EXPECT_EQ((std::vector<std::pair<int, int>>{{1, 1}, {3, 5}}), seen);
    EXPECT_RAISES(qv::mixArray::forEachMixItemWhile(body.data(), body.size(), "reader",
                                                    [](int, int) { return true; }),
                  "22P03", "reader", "invalid mix array: range without upper bound");
    std::vector<int> whole = {1, 2};
    EXPECT_TRUE(qv::mixArray::forEachMixItemWhile(whole.data(), whole.size(), "reader",
                                                  [](int, int) { return true; }));
}

}  // namespace
