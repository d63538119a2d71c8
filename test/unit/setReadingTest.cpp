// Reading sets as ranges and values, counting, bounds, canonical form,
// normalising and the text notation, against naive references.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "qovellaPgSetReading.h"
#include "qovellaPgVector.h"
#include "testSupport.h"

namespace {

namespace si = qv::setReading;
using qv::pgRangeArray::Range;
using Ints = std::vector<int>;
using Pairs = std::vector<std::pair<int, int>>;
using CharVec = qv::pg::tVector<char, qv::test::testMalloc, qv::test::testFree>;
using RangeVec = qv::pg::tVector<Range<int>, qv::test::testMalloc, qv::test::testFree>;

constexpr const char* R = "read";

Pairs rangesOf(const si::SetView& s) {
    Pairs out;
    si::forEachRange(s, [&](int lo, int hi) { out.emplace_back(lo, hi); });
    return out;
}

std::string textOf(const si::SetView& s) {
    CharVec out(1);
    si::renderText(s, out);
    return std::string(out.data, out.size);
}

Ints parse(const std::string& t) {
    RangeVec out(1);
    si::parseText(t.data(), t.size(), out, R);
    Ints flat;
    for (const Range<int>& r : out) {
        flat.push_back(r.lower);
        flat.push_back(r.upper);
    }
    return flat;
}

// A stored bitfield (varlena header included) holding values over [lower; upper].
std::vector<unsigned char> bitfield(int lower, int upper, const Ints& values) {
    std::int64_t n = std::int64_t(upper) - lower + 1;
    std::vector<unsigned char> b(12 + 8 * ((n + 63) / 64));
    std::memcpy(b.data() + 4, &lower, 4);
    std::memcpy(b.data() + 8, &upper, 4);
    for (int v : values) {
        std::uint32_t k = std::uint32_t(v) - std::uint32_t(lower);
        b[12 + (k >> 3)] |= qv::bitField::kBitMask[k & 7];
    }
    return b;
}

si::SetView bits(const std::vector<unsigned char>& b) {
    return si::bitFieldSet(qv::bitField::readBitField(b.data(), b.size(), R));
}

// Each encoding's ranges, text, count, bounds and canonical verdict.
TEST(SetReading, EveryEncoding) {
    struct Case {
        char kind;
        Ints elements;
        Pairs ranges;
        std::string text;
        std::uint64_t count;
        bool canonical;
    } cases[] = {
        {'r', {}, {}, "{}", 0, true},
        {'r', {1, 3, 7, 9}, {{1, 3}, {7, 9}}, "{[1;3],[7;9]}", 6, true},
        {'r', {7, 9, 1, 3}, {{7, 9}, {1, 3}}, "{[7;9],[1;3]}", 6, false},
        {'r', {1, 3, 4, 5}, {{1, 3}, {4, 5}}, "{[1;3],[4;5]}", 5, false},   // adjacent
        {'r', {1, 5, 3, 4}, {{1, 5}, {3, 4}}, "{[1;5],[3;4]}", 7, false},   // overlaps count twice
        {'r', {5, 3}, {{5, 3}}, "{[5;3]}", 0, false},
        {'r', {INT_MIN, INT_MAX}, {{INT_MIN, INT_MAX}}, "{[-2147483648;2147483647]}", 4294967296u, true},
        {'s', {1, 2, 3, 7, 8, 5}, {{1, 3}, {7, 8}, {5, 5}}, "{[1;3],[7;8],[5;5]}", 6, false},
        {'s', {3, 3}, {{3, 3}, {3, 3}}, "{[3;3],[3;3]}", 2, false},
        {'s', {INT_MAX - 1, INT_MAX, INT_MIN}, {{INT_MAX - 1, INT_MAX}, {INT_MIN, INT_MIN}},
         "{[2147483646;2147483647],[-2147483648;-2147483648]}", 3, false},
        {'s', {-1, 0, 4}, {{-1, 0}, {4, 4}}, "{[-1;0],[4;4]}", 3, true},
        {'m', {}, {}, "{}", 0, true},
        {'m', {0}, {}, "{}", 0, false},
        {'m', {6, INT_MIN | 1, 3, 5, INT_MIN | 7, 8}, {{1, 3}, {5, 5}, {7, 8}}, "{[1;3],[5;5],[7;8]}", 6, true},
        {'m', {5, INT_MIN | 1, 3, 5, INT_MIN | 7, 8}, {{1, 3}, {5, 5}, {7, 8}}, "{[1;3],[5;5],[7;8]}", 6, false},
        {'m', {2, INT_MIN | 4, 4, 9}, {{4, 4}, {9, 9}}, "{[4;4],[9;9]}", 2, false},  // one-value range pair
        {'m', {2, 4, 5}, {{4, 4}, {5, 5}}, "{[4;4],[5;5]}", 2, false},            // adjacent
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(1, c.kind) + " " + c.text);
        si::SetView s = si::arraySet(c.kind, c.elements.data(), c.elements.size(), R);
        EXPECT_EQ(c.ranges, rangesOf(s));
        EXPECT_EQ(c.ranges.size(), si::rangeCount(s));
        EXPECT_EQ(c.text, textOf(s));
        EXPECT_EQ(c.count, si::cardinality(s));
        EXPECT_EQ(c.canonical, si::isCanonical(s));
        std::int64_t least = INT64_MAX, greatest = INT64_MIN;
        for (const auto& r : c.ranges)
            if (r.first <= r.second) {
                least = std::min<std::int64_t>(least, r.first);
                greatest = std::max<std::int64_t>(greatest, r.second);
            }
        int lo, hi;
        ASSERT_EQ(least != INT64_MAX, si::bounds(s, lo, hi));
        if (least != INT64_MAX) {
            EXPECT_EQ(least, lo);
            EXPECT_EQ(greatest, hi);
        }
    }
    // the longest range texts, from a buffer of one byte: it grows in time
    Ints extremes;
    std::string expected = "{";
    for (int k = 0; k < 40; ++k) {
        extremes.insert(extremes.end(), {INT_MIN, INT_MIN});
        expected += std::string(k ? "," : "") + "[-2147483648;-2147483648]";
        EXPECT_EQ(expected + "}", textOf(si::arraySet('r', extremes.data(), extremes.size(), R)));
    }
    si::SetView packed = si::packedSet(100, 200);
    EXPECT_EQ("{[100;200]}", textOf(packed));
    EXPECT_EQ(101u, si::cardinality(packed));
    EXPECT_FALSE(si::isCanonical(si::packedSet(2, 1)));
}

TEST(SetReading, Errors) {
    Ints odd{1, 2, 3}, dangling{3, INT_MIN | 1};
    EXPECT_RAISES(si::arraySet('r', odd.data(), odd.size(), R), "42804", R, "array length should be even");
    EXPECT_RAISES(si::arraySet('m', dangling.data(), dangling.size(), R), "22P03", R,
                  "invalid mix array: range without upper bound");
    const std::pair<const char*, int> syntax[] = {{"", 1},       {"{", 2},     {"{[1;2]", 7},
                                                  {"{[1,2]}", 4},  {"{[1;2],}", 8}, {"{[;2]}", 3},
                                                  {"[1;2]", 1},    {"{} x", 4},  {"{[1;2]]", 7}};
    for (const auto& bad : syntax)
        EXPECT_RAISES(parse(bad.first), "22P02", R,
                      "invalid input syntax for an int4 set at character " + std::to_string(bad.second));
    EXPECT_RAISES(parse("{[1;2147483648]}"), "22003", R, "value out of range for int4 at character 5");
    EXPECT_RAISES(parse("{[-2147483649;1]}"), "22003", R, "value out of range for int4 at character 3");
    EXPECT_EQ((Ints{INT_MIN, INT_MAX, 5, 3}), parse(" {\t[ -2147483648 ; +2147483647 ] , [5;3] } "));
}

TEST(SetReading, BitFieldRunsAndBounds) {
    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        int lower = int(rng() % 2000) - 1000, width = int(rng() % 300);
        std::set<int> members;
        for (int i = 0, k = int(rng() % 60); i < k; ++i) members.insert(lower + int(rng() % (width + 1)));
        std::vector<unsigned char> b = bitfield(lower, lower + width, Ints(members.begin(), members.end()));
        Pairs expected;
        for (int v : members) {
            if (!expected.empty() && expected.back().second + 1 == v) expected.back().second = v;
            else expected.emplace_back(v, v);
        }
        si::SetView s = bits(b);
        ASSERT_EQ(expected, rangesOf(s));
        EXPECT_EQ(members.size(), si::cardinality(s));
        int lo, hi;
        ASSERT_EQ(!members.empty(), si::bounds(s, lo, hi));
        if (!members.empty()) {
            EXPECT_EQ(*members.begin(), lo);
            EXPECT_EQ(*members.rbegin(), hi);
        }
        bool tight = members.empty() ? false : *members.begin() == lower && *members.rbegin() == lower + width;
        EXPECT_EQ(tight, si::isCanonical(s));
        Ints values;
        si::ValueCursor vc(s);
        for (int v; vc.next(v);) values.push_back(v);
        EXPECT_EQ(Ints(members.begin(), members.end()), values);
    }
    EXPECT_TRUE(si::isCanonical(bits(bitfield(0, -1, {}))));
    EXPECT_FALSE(si::isCanonical(bits(bitfield(5, 4, {}))));
    std::vector<unsigned char> padded = bitfield(0, 3, {0, 3});
    padded[12] |= 0x01;  // bit 7, past upper
    EXPECT_FALSE(si::isCanonical(bits(padded)));
}

// The normaliser against a set of values, the text against the parser, and
// the value cursor against expanding the ranges.
TEST(SetReading, NormaliseAndRoundTrip) {
    std::mt19937 rng(11);
    for (int round = 0; round < 300; ++round) {
        std::size_t n = rng() % (round < 150 ? 20 : 600);
        Ints e;
        std::set<long> values;
        for (std::size_t i = 0; i < n; ++i) {
            int lo = int(rng() % 400) - 200, hi = lo + int(rng() % 12) - 2;
            if (rng() % 50 == 0) lo = INT_MIN, hi = INT_MIN + 2;
            if (rng() % 50 == 0) lo = INT_MAX - 1, hi = INT_MAX;
            e.push_back(lo);
            e.push_back(hi);
            for (long v = lo; v <= hi; ++v) values.insert(v);
        }
        si::SetView s = si::arraySet('r', e.data(), e.size(), R);
        ASSERT_EQ(e, parse(textOf(s)));
        std::vector<Range<int>> r(n), scratch(n);
        if (n) std::memcpy(r.data(), e.data(), e.size() * sizeof(int));
        r.resize(si::normalizeRanges(r.data(), n, scratch.data()));
        Ints flat;
        std::set<long> covered;
        for (const Range<int>& x : r) {
            flat.push_back(x.lower);
            flat.push_back(x.upper);
            for (long v = x.lower; v <= x.upper; ++v) covered.insert(v);
        }
        EXPECT_EQ(values, covered);
        EXPECT_TRUE(si::isCanonical(si::arraySet('r', flat.data(), flat.size(), R)));
        EXPECT_EQ(si::isCanonical(s), flat == e);
        std::uint64_t count = 0;
        si::ValueCursor vc(s);
        for (int v; vc.next(v);) ++count;
        EXPECT_EQ(si::cardinality(s), count);
    }
}

}  // namespace
