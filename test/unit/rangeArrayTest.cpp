// Range-array reading rule, type characters, the point lookup and the
// values of ranges.
#include <climits>
#include <vector>

#include "qovellaPgRangeArray.h"
#include "testSupport.h"

namespace {

using qv::pgRangeArray::ArrayDataTypeFromChar;
using qv::pgRangeArray::rangesContain;
using qv::pgRangeArray::rangesFromElements;
using qv::pgRangeArray::Range;
using qv::pgRangeArray::RangeSpan;
using qv::pgRangeArray::spanValueCount;
using qv::pgRangeArray::writeSpanValues;

bool contains(const std::vector<int>& elements, int x) {
    return rangesContain(reinterpret_cast<const Range<int>*>(elements.data()),
                         elements.size() / 2, x);
}

TEST(ArrayDataType, MapsTheThreeTypeCharacters) {
    EXPECT_EQ(4, ArrayDataTypeFromChar('r'));
    EXPECT_EQ(3, ArrayDataTypeFromChar('s'));
    EXPECT_EQ(5, ArrayDataTypeFromChar('m'));
    for (char c : {'R', 'S', 'M', 'x', '\0'})
        EXPECT_RAISES(ArrayDataTypeFromChar(c), "22015", "ArrayDataTypeFromChar",
                      "int4_agg array type should be 'r','s' or 'm'");
}

TEST(RangeArray, ElementsAreReadInPlaceAsPairs) {
    std::vector<int> e = {1, 3, 7, 9};
    auto span = rangesFromElements(e.data(), e.size(), "f");
    EXPECT_EQ(2u, span.count());
    EXPECT_EQ(reinterpret_cast<const void*>(e.data()), span.begin);
    EXPECT_EQ(7, span.begin[1].lower);
    EXPECT_TRUE(rangesFromElements(nullptr, 0, "f").empty());
    EXPECT_RAISES(rangesFromElements(e.data(), 3, "qv_int4range_union"), "42804",
                  "qv_int4range_union", "array length should be even");
}

TEST(RangeLookup, BoundsAreInclusive) {
    std::vector<int> e = {1, 3, 7, 9, 20, 20};
    for (int x : {1, 2, 3, 7, 9, 20}) EXPECT_TRUE(contains(e, x)) << x;
    for (int x : {0, 4, 6, 10, 19, 21, INT_MIN, INT_MAX}) EXPECT_FALSE(contains(e, x)) << x;
    EXPECT_FALSE(contains({}, 0));
}

TEST(RangeLookup, Int4Extremes) {
    EXPECT_TRUE(contains({INT_MIN, INT_MIN}, INT_MIN));
    EXPECT_FALSE(contains({INT_MIN, INT_MIN}, INT_MIN + 1));
    EXPECT_TRUE(contains({0, INT_MAX}, INT_MAX));
    EXPECT_TRUE(contains({INT_MIN, INT_MAX}, 0));
    EXPECT_FALSE(contains({INT_MIN, -1, 1, INT_MAX}, 0));
}

TEST(RangeLookup, AgreesWithALinearScan) {
    std::srand(12345);
    for (int round = 0; round < 2000; ++round) {
        std::vector<int> e;
        int v = -50 + std::rand() % 10;
        int n = std::rand() % 8;
        for (int k = 0; k < n; ++k) {
            int lo = v + 2 + std::rand() % 5, hi = lo + std::rand() % 4;
            e.push_back(lo);
            e.push_back(hi);
            v = hi;
        }
        for (int x = -60; x < 50; ++x) {
            bool expected = false;
            for (std::size_t k = 0; k < e.size(); k += 2)
                expected |= e[k] <= x && x <= e[k + 1];
            ASSERT_EQ(expected, contains(e, x)) << "round " << round << " x " << x;
        }
    }
}

TEST(RangeValues, CountsAndWritesValues) {
    std::vector<Range<int>> r = {{INT_MIN, INT_MIN + 1}, {5, 5}, {INT_MAX - 2, INT_MAX}, {9, 2}};
    RangeSpan set{r.data(), r.data() + r.size()};
    EXPECT_EQ(6u, spanValueCount(set));
    std::vector<int> out(6);
    writeSpanValues(set, out.data());
    EXPECT_EQ((std::vector<int>{INT_MIN, INT_MIN + 1, 5, INT_MAX - 2, INT_MAX - 1, INT_MAX}), out);
    std::vector<Range<int>> all = {{INT_MIN, INT_MAX}};
    EXPECT_EQ(4294967296ULL, spanValueCount(RangeSpan{all.data(), all.data() + 1}));
}

}  // namespace
