// Writing mix arrays, and reading back what was written.
#include <climits>
#include <random>
#include <utility>
#include <vector>

#include "qovellaPgMixArray.h"
#include "qovellaPgMixArrayWriter.h"
#include "qovellaPgVector.h"
#include "testSupport.h"

namespace {

using qv::pgRangeArray::Range;
using IntVector = qv::pg::tVector<int, qv::test::testMalloc, qv::test::testFree>;

std::vector<int> contents(const IntVector& v) { return std::vector<int>(v.begin(), v.end()); }

TEST(MixArrayWriter, PushesValuesAndRanges) {
    IntVector v;
    qv::pgRangeArray::pushIntoMixArray(v, 4, 4);
    EXPECT_EQ(std::vector<int>{4}, contents(v));
    qv::pgRangeArray::pushIntoMixArray(v, 4, 9);
    EXPECT_EQ((std::vector<int>{4, -2147483644, 9}), contents(v));
    qv::pgRangeArray::pushIntoMixArray(v, 0, INT_MAX);
    EXPECT_EQ((std::vector<int>{4, -2147483644, 9, INT_MIN, INT_MAX}), contents(v));
}

// Writes a whole set: header, then the body.
std::vector<int> writeSet(const std::vector<Range<int>>& ranges) {
    qv::mixArray::MixLayout m = qv::mixArray::measureMix(ranges.data(), ranges.size(), "writer");
    std::vector<int> out(m.elements);
    if (m.elements) {
        out[0] = static_cast<int>(m.values);
        qv::mixArray::ElementCursor c{out.data() + 1};
        qv::mixArray::writeMixBody(c, ranges.data(), ranges.size());
        EXPECT_EQ(out.data() + out.size(), c.next);
    }
    return out;
}

TEST(MixArrayWriter, WritesTheWorkedExample) {
    // {1, 2, 3, 5, 7, 8}
    EXPECT_EQ((std::vector<int>{6, -2147483647, 3, 5, -2147483641, 8}),
              writeSet({{1, 3}, {5, 5}, {7, 8}}));
    EXPECT_EQ(std::vector<int>{}, writeSet({}));
    EXPECT_EQ((std::vector<int>{1, INT_MAX}), writeSet({{INT_MAX, INT_MAX}}));
}

TEST(MixArrayWriter, MeasuresLargeSetsWithoutWrapping) {
    std::vector<Range<int>> all = {{0, INT_MAX}};
    qv::mixArray::MixLayout m = qv::mixArray::measureMix(all.data(), 1, "writer");
    EXPECT_EQ(2147483648ULL, m.values);
    EXPECT_EQ(3ULL, m.elements);
    // a range given upside down (corrupted input) holds nothing
    std::vector<Range<int>> odd = {{5, 2}, {7, 7}};
    m = qv::mixArray::measureMix(odd.data(), 2, "writer");
    EXPECT_EQ(1ULL, m.values);
    EXPECT_EQ((std::vector<int>{1, 7}), writeSet(odd));
}

TEST(MixArrayWriter, NegativeValuesAreRefused) {
    for (const std::vector<Range<int>>& set :
         {std::vector<Range<int>>{{-1, -1}}, std::vector<Range<int>>{{-5, 3}},
          std::vector<Range<int>>{{1, 2}, {INT_MIN, INT_MIN}}, std::vector<Range<int>>{{4, -1}}})
        EXPECT_RAISES(writeSet(set), "22P03", "writer", "mix array cannot hold negative values");
}

// Random non-negative canonical sets survive a write and a read.
TEST(MixArrayWriter, RoundTripsRandomSets) {
    std::mt19937 rng(4);
    for (int round = 0; round < 2000; ++round) {
        std::vector<Range<int>> set;
        long long next = std::uniform_int_distribution<int>(0, 3)(rng) == 0 ? INT_MAX - 40 : 0;
        int n = std::uniform_int_distribution<int>(0, 12)(rng);
        for (int i = 0; i < n; ++i) {
            long long lo = next + std::uniform_int_distribution<int>(0, 3)(rng);
            long long hi = lo + std::uniform_int_distribution<int>(0, 2)(rng);
            if (hi > INT_MAX) break;
            set.push_back({static_cast<int>(lo), static_cast<int>(hi)});
            next = hi + 2;
        }
        std::vector<int> mix = writeSet(set);
        std::vector<Range<int>> back;
        long long values = 0;
        if (!mix.empty())
            qv::mixArray::forEachMixItem(mix.data() + 1, mix.size() - 1, "reader", [&](int lo, int hi) {
                back.push_back({lo, hi});
                values += static_cast<long long>(hi) - lo + 1;
            });
        ASSERT_EQ(set.size(), back.size());
        for (std::size_t i = 0; i < set.size(); ++i) {
            EXPECT_EQ(set[i].lower, back[i].lower);
            EXPECT_EQ(set[i].upper, back[i].upper);
        }
        if (!mix.empty()) {
            EXPECT_EQ(values, mix[0]);
        }
    }
}

}  // namespace
