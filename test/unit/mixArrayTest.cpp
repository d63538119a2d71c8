// The shared mix-array body reader and packed ranges.
#include <climits>
#include <utility>
#include <vector>

#include "qovellaPgMixArray.h"
#include "qovellaPgPackedRange.h"
#include "testSupport.h"

namespace {

using Items = std::vector<std::pair<int, int>>;

Items read(const std::vector<int>& body) {
    Items items;
    qv::mixArray::forEachMixItem(body.data(), body.size(), "reader",
                                 [&](int lo, int hi) { items.emplace_back(lo, hi); });
    return items;
}

TEST(MixArray, ReadsValuesAndRanges) {
    // {1, 2, 3, 5, 7, 8} without its header 6
    EXPECT_EQ((Items{{1, 3}, {5, 5}, {7, 8}}), read({-2147483647, 3, 5, -2147483641, 8}));
    EXPECT_EQ(Items{}, read({}));
    EXPECT_EQ((Items{{0, 0}, {INT_MAX, INT_MAX}}), read({0, INT_MAX}));
    EXPECT_EQ((Items{{0, INT_MAX}}), read({INT_MIN, INT_MAX}));
    // an opening whose upper bound is itself negative is taken as stored
    EXPECT_EQ((Items{{4, -1}}), read({-2147483644, -1}));
}

TEST(MixArray, DanglingRangeIsAnError) {
    for (const std::vector<int>& body : {std::vector<int>{-2147483647},
                                         std::vector<int>{1, 2, -2147483647},
                                         std::vector<int>{-2147483647, -2147483646, -2147483645}}) {
        EXPECT_FALSE(qv::mixArray::mixBodyIsComplete(body.data(), body.size()));
        EXPECT_RAISES(read(body), "22P03", "reader",
                      "invalid mix array: range without upper bound");
    }
    std::vector<int> ok = {-2147483647, -2147483646};
    EXPECT_TRUE(qv::mixArray::mixBodyIsComplete(ok.data(), ok.size()));
}

TEST(PackedRange, PacksAndUnpacks) {
    using namespace qv::packedRange;
    EXPECT_EQ(21474836485LL, pack(5, 5));
    EXPECT_EQ(4294967295LL, pack(-1, 0));
    EXPECT_EQ(-2LL, pack(-2, -1));
    EXPECT_EQ(9223372034707292160LL, pack(INT_MIN, INT_MAX));
    EXPECT_EQ(12884901889LL, pack(1, 3));
    for (long long p : {0LL, -1LL, 9223372034707292160LL, -2LL, LLONG_MIN, LLONG_MAX})
        EXPECT_EQ(p, pack(lower(p), upper(p)));
    EXPECT_EQ(-2, lower(-2));
    EXPECT_EQ(-1, upper(-2));
    EXPECT_EQ(0, lower(0));
    EXPECT_EQ(0, upper(0));
}

}  // namespace
