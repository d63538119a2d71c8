// Writing sets as bitfields, read back through the bitfield reader.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <random>
#include <set>
#include <vector>

#include "qovellaPgSetConversions.h"
#include "qovellaPgSetToBitField.h"
#include "qovellaPgVector.h"
#include "testSupport.h"

namespace {

using Ints = std::vector<int>;
using Bytes = std::vector<unsigned char>;
using qv::pgRangeArray::ArrayDataType;
namespace bf = qv::bitField;

constexpr const char* R = "tobits";

// The written value (varlena header bytes left zero) for the set e of type t.
Bytes write(ArrayDataType t, const Ints& e) {
    bf::SetElements set{t, e.data(), e.size()};
    bf::SetBounds b = bf::setBounds(set, R);
    Bytes value(bf::bitFieldSize(b));
    bf::writeBitField(value.data(), set, b, R);
    return value;
}

bf::View read(const Bytes& value) { return bf::readBitField(value.data(), value.size(), R); }

Bytes bitsOf(const Bytes& value) { return Bytes(value.begin() + 12, value.end()); }

constexpr ArrayDataType S = qv::pgRangeArray::kScalarArray;
constexpr ArrayDataType Rg = qv::pgRangeArray::kRangeArray;
constexpr ArrayDataType M = qv::pgRangeArray::kMixArray;

TEST(SetToBitField, Layout) {
    bf::View v = read(write(Rg, {3, 5}));
    EXPECT_EQ(3, v.lower);
    EXPECT_EQ(5, v.upper);
    EXPECT_EQ((Bytes{0xE0, 0, 0, 0, 0, 0, 0, 0}), bitsOf(write(Rg, {3, 5})));
    EXPECT_EQ(Bytes(8, 0xFF), bitsOf(write(Rg, {0, 63})));
    Bytes wide = Bytes(8, 0xFF);
    wide.push_back(0x80);
    wide.resize(16, 0);
    EXPECT_EQ(wide, bitsOf(write(Rg, {0, 64})));
    EXPECT_EQ((Bytes{0x80, 0x80, 0, 0, 0, 0, 0, 0}), bitsOf(write(S, {1, 9})));
    Bytes mix = write(M, {4, -2147483647, 3, 7});
    EXPECT_EQ(1, read(mix).lower);
    EXPECT_EQ(7, read(mix).upper);
    EXPECT_EQ(0xE2, mix[12]);
    // spans over several bytes: head, whole bytes, tail
    EXPECT_EQ((Bytes{0x81, 0xFF, 0xFF, 0xC0, 0, 0, 0, 0}), bitsOf(write(Rg, {0, 0, 7, 25})));
    EXPECT_EQ((Bytes{0x80, 0x3F, 0xFF, 0xC0, 0, 0, 0, 0}), bitsOf(write(Rg, {0, 0, 10, 25})));
}

TEST(SetToBitField, EveryEmptySetIsTheTwelveByteValue) {
    const std::pair<ArrayDataType, Ints> empties[] = {
        {Rg, {}}, {S, {}}, {M, {}}, {M, {0}}, {M, {7}},  // a lone header, whatever it says
        {M, {0, 1, 2, -2147483644, 9}},                     // header 0: the set is empty
        {Rg, {5, 3}}, {M, {1, -2147483643, 3}},             // ranges with lower > upper
    };
    for (const auto& c : empties) {
        Bytes value = write(c.first, c.second);
        ASSERT_EQ(12u, value.size());
        bf::View v = read(value);
        EXPECT_EQ(0, v.lower);
        EXPECT_EQ(-1, v.upper);
        EXPECT_FALSE(bf::contains(v, 0));
        EXPECT_FALSE(bf::contains(v, -1));
    }
}

TEST(SetToBitField, InputOutOfOrderStaysInsideTheBitmap) {
    // bounds are the true least and greatest values
    bf::View v = read(write(S, {9, 1, 5, 1}));
    EXPECT_EQ(1, v.lower);
    EXPECT_EQ(9, v.upper);
    Bytes r = write(Rg, {10, 12, 1, 2, 30, 20});
    EXPECT_EQ(1, read(r).lower);
    EXPECT_EQ(12, read(r).upper);
    for (int x : {1, 2, 10, 11, 12}) EXPECT_TRUE(bf::contains(read(r), x));
    for (int x : {0, 3, 9, 13, 20, 25, 30}) EXPECT_FALSE(bf::contains(read(r), x));
    Bytes m = write(M, {5, 100, -2147483643, 8, 2});
    EXPECT_EQ(2, read(m).lower);
    EXPECT_EQ(100, read(m).upper);
    // the extremes
    Bytes x = write(S, {INT_MAX, INT_MIN + 100, INT_MAX - 1000});
    EXPECT_EQ(INT_MIN + 100, read(x).lower);
    EXPECT_EQ(INT_MAX, read(x).upper);
    EXPECT_TRUE(bf::contains(read(x), INT_MAX));
    EXPECT_TRUE(bf::contains(read(x), INT_MIN + 100));
}

TEST(SetToBitField, SizesAndErrors) {
    // the whole int4 domain takes 2^32 bits; sized, not written here
    bf::SetBounds whole{false, INT_MIN, INT_MAX};
    EXPECT_EQ(12u + (std::size_t(1) << 29), bf::bitFieldSize(whole));
    bf::SetBounds one{false, 10, 10};
    EXPECT_EQ(20u, bf::bitFieldSize(one));
    Ints dangling = {2, 1, -2147483647};
    EXPECT_RAISES(write(M, dangling), "22P03", R, "invalid mix array: range without upper bound");
}

// Random sets in every encoding, written and read back value by value.
TEST(SetToBitField, RoundTripThroughTheReader) {
    std::mt19937 rng(52);
    const int bounds[][2] = {{0, 100}, {0, 3000}, {INT_MAX - 300, INT_MAX}};
    for (int trial = 0; trial < 300; ++trial) {
        const int* bd = bounds[trial % 3];
        std::uniform_int_distribution<int> value(bd[0], bd[1]), count(0, 40);
        std::set<int> members;
        for (int i = count(rng); i > 0; --i) members.insert(value(rng));
        Ints s(members.begin(), members.end());
        Ints r, m;
        {
            qv::pg::tVector<qv::pgRangeArray::Range<int>, qv::test::testMalloc, qv::test::testFree> rv(8);
            qv::conversions::convertScalarToRangeArray(s.data(), s.size(), rv, R);
            for (const auto& x : rv) r.push_back(x.lower), r.push_back(x.upper);
            qv::pg::tVector<std::int32_t, qv::test::testMalloc, qv::test::testFree> mv(8);
            qv::conversions::convertScalarToMixArrayInt4(s.data(), s.size(), mv, R);
            m.assign(mv.begin(), mv.end());
        }
        for (const auto& c : {std::make_pair(S, s), std::make_pair(Rg, r), std::make_pair(M, m)}) {
            Bytes value = write(c.first, c.second);
            bf::View v = read(value);
            if (s.empty()) {
                EXPECT_EQ(12u, value.size());
                continue;
            }
            EXPECT_EQ(s.front(), v.lower);
            EXPECT_EQ(s.back(), v.upper);
            for (long long x = std::max<long long>(bd[0], 1LL * s.front() - 3);
                 x <= std::min<long long>(bd[1], 1LL * s.back() + 3); ++x)
                ASSERT_EQ(members.count(static_cast<int>(x)) == 1, bf::contains(v, static_cast<int>(x)))
                    << "value " << x << " encoding " << c.first;
        }
    }
}

// Arbitrary input (unordered, duplicated, ranges with lower > upper,
// negative values): the value written is exactly as large as its bounds
// demand (ASan sees any write past it), and holds exactly the values of the
// input's entries.
TEST(SetToBitField, ArbitraryInputIsWrittenInsideTheBitmap) {
    std::mt19937 rng(53);
    std::uniform_int_distribution<int> near(-40, 200), len(0, 14);
    for (int trial = 0; trial < 3000; ++trial) {
        ArrayDataType t = trial % 3 == 0 ? S : trial % 3 == 1 ? Rg : M;
        Ints e(len(rng) & (t == Rg ? ~1 : ~0));
        for (int& x : e) x = near(rng);
        if (t == M) {
            for (int& x : e) x = x < 0 ? (INT_MIN | (x + 40)) : x;  // openings of ranges
            if (!e.empty()) e[0] = trial % 7;                     // header, 0 now and then
            if (!qv::mixArray::mixBodyIsComplete(e.data() + (e.empty() ? 0 : 1),
                                                 e.empty() ? 0 : e.size() - 1))
                e.push_back(near(rng) & 255);
        }
        std::set<int> members;
        bf::forEachSetItem(bf::SetElements{t, e.data(), e.size()}, R, [&](int lo, int hi) {
            for (long long v = lo; v <= hi; ++v) members.insert(static_cast<int>(v));
        });
        Bytes value = write(t, e);
        bf::View v = read(value);
        if (members.empty()) {
            EXPECT_EQ(12u, value.size());
            continue;
        }
        EXPECT_EQ(*members.begin(), v.lower);
        EXPECT_EQ(*members.rbegin(), v.upper);
        for (int x = -50; x <= 260; ++x)
            ASSERT_EQ(members.count(x) == 1, bf::contains(v, x)) << "value " << x << " trial " << trial;
    }
}

}  // namespace
