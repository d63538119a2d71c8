// Conversions between scalar, range and mix arrays, and value counting.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <random>
#include <vector>

#include "qovellaPgSetConversions.h"
#include "qovellaPgVector.h"
#include "testSupport.h"

namespace {

using qv::pgRangeArray::Range;
using qv::pgRangeArray::RangeSpan;
using Ints = std::vector<int>;
namespace conv = qv::conversions;

using IntVec = qv::pg::tVector<std::int32_t, qv::test::testMalloc, qv::test::testFree>;
using RangeVec = qv::pg::tVector<Range<int>, qv::test::testMalloc, qv::test::testFree>;

constexpr const char* R = "conv";

RangeSpan span(const Ints& e) { return conv::rangesOfSet(e.data(), e.size(), R); }

Ints flatten(const RangeVec& v) {
    Ints out;
    for (const Range<int>& r : v) {
        out.push_back(r.lower);
        out.push_back(r.upper);
    }
    return out;
}

Ints s2r(const Ints& in) {
    RangeVec out(1024);
    conv::convertScalarToRangeArray(in.data(), in.size(), out, R);
    return flatten(out);
}
Ints s2m(const Ints& in) {
    IntVec out(1024);
    conv::convertScalarToMixArrayInt4(in.data(), in.size(), out, R);
    return Ints(out.begin(), out.end());
}
// Expansions are sized, then written into a buffer of exactly that size.
Ints r2s(const Ints& in) {
    RangeSpan ranges = span(in);
    Ints out(conv::rangeScalarCount(ranges, R));
    qv::pgRangeArray::writeSpanValues(ranges, out.data());
    return out;
}
Ints r2m(const Ints& in) {
    IntVec out(1024);
    conv::convertRangeArrayToMixArray(span(in), out, R);
    return Ints(out.begin(), out.end());
}
Ints m2s(const Ints& in) {
    std::uint64_t total;
    bool agrees = conv::mixScalarCount(in.data(), in.size(), R, total);
    EXPECT_TRUE(agrees || total == 0);
    Ints out(total);
    if (total) conv::writeMixScalars(in.data(), in.size(), R, out.data());
    return out;
}
Ints m2r(const Ints& in) {
    RangeVec out(1024);
    if (in.size() > 1) conv::convertMixBodyToRangeArray(in.data() + 1, in.size() - 1, out, R);
    return flatten(out);
}

TEST(SetConversions, ScalarToRange) {
    EXPECT_EQ(Ints{}, s2r({}));
    EXPECT_EQ((Ints{7, 7}), s2r({7}));
    EXPECT_EQ((Ints{1, 2, 4, 4}), s2r({1, 2, 4}));
    EXPECT_EQ((Ints{5, 6, 9, 9}), s2r({5, 5, 6, 9}));
    EXPECT_EQ((Ints{INT_MIN, INT_MIN, INT_MAX, INT_MAX}), s2r({INT_MIN, INT_MAX}));
    EXPECT_EQ((Ints{INT_MAX - 1, INT_MAX}), s2r({INT_MAX - 1, INT_MAX, INT_MAX}));
    EXPECT_RAISES(s2r({3, 1}), "22015", R, "convertScalarToRangeArray input data is not sorted");
    EXPECT_RAISES(s2r({INT_MAX, INT_MIN}), "22015", R,
                  "convertScalarToRangeArray input data is not sorted");
}

TEST(SetConversions, ScalarToMix) {
    EXPECT_EQ(Ints{}, s2m({}));
    EXPECT_EQ((Ints{1, 7}), s2m({7}));
    EXPECT_EQ((Ints{2, -2147483647, 2}), s2m({1, 2}));
    EXPECT_EQ((Ints{6, -2147483647, 3, 5, -2147483641, 8}), s2m({1, 2, 3, 5, 7, 8}));
    EXPECT_EQ((Ints{3, 5, 7}), s2m({5, 5, 7}));  // the header counts elements
    EXPECT_EQ((Ints{2, 0, INT_MAX}), s2m({0, INT_MAX}));
    EXPECT_RAISES(s2m({3, 1}), "22015", R, "convertScalarToMixArrayInt4 input data is not sorted");
    // negative values have no mix form
    EXPECT_RAISES(s2m({-1, 2}), "22P03", R, "mix array cannot hold negative values");
    EXPECT_RAISES(s2m({INT_MIN}), "22P03", R, "mix array cannot hold negative values");
    EXPECT_RAISES(s2m({2, -1}), "22015", R, "convertScalarToMixArrayInt4 input data is not sorted");
}

TEST(SetConversions, RangeToScalar) {
    EXPECT_EQ((Ints{1, 2, 3, 7}), r2s({1, 3, 7, 7}));
    EXPECT_EQ(Ints{}, r2s({5, 4}));
    EXPECT_EQ(Ints{}, r2s({}));
    EXPECT_EQ((Ints{INT_MAX - 1, INT_MAX}), r2s({INT_MAX - 1, INT_MAX}));
    EXPECT_EQ((Ints{INT_MIN, INT_MIN + 1}), r2s({INT_MIN, INT_MIN + 1}));
    // stored order, nothing merged
    EXPECT_EQ((Ints{7, 8, 1, 2, 2}), r2s({7, 8, 1, 2, 2, 2}));
    EXPECT_RAISES(r2s({1, 2, 3}), "22P03", R, "invalid int4 count to represent a rangearray");
}

TEST(SetConversions, RangeToMix) {
    EXPECT_EQ((Ints{4, -2147483647, 3, 7}), r2m({1, 3, 7, 7}));
    EXPECT_EQ(Ints{}, r2m({}));
    EXPECT_EQ((Ints{2, 0, INT_MAX}), r2m({0, 0, INT_MAX, INT_MAX}));
    EXPECT_EQ((Ints{INT_MAX, INT_MIN, INT_MAX - 1}), r2m({0, INT_MAX - 1}));
    // a range holding no values is left out
    EXPECT_EQ((Ints{1, 9}), r2m({5, 3, 9, 9}));
    EXPECT_EQ(Ints{}, r2m({5, 3}));
    EXPECT_RAISES(r2m({1, 2, 3}), "22P03", R, "invalid int4 count to represent a rangearray");
    EXPECT_RAISES(r2m({-5, -1}), "22P03", R, "mix array cannot hold negative values");
    EXPECT_RAISES(r2m({1, 2, 3, -1}), "22P03", R, "mix array cannot hold negative values");
    // 2^31 values do not fit the header
    EXPECT_RAISES(r2m({0, INT_MAX}), "22015", R, "int4 count overflow");
    EXPECT_RAISES(r2m({0, 5, 6, INT_MAX}), "22015", R, "int4 count overflow");
}

TEST(SetConversions, MixToScalar) {
    EXPECT_EQ((Ints{1, 2, 3, 7}), m2s({4, -2147483647, 3, 7}));
    EXPECT_EQ(Ints{}, m2s({5, -2147483647, 3, 7}));  // header disagrees with the body
    EXPECT_EQ(Ints{}, m2s({3, -2147483647, 3, 7}));
    EXPECT_EQ(Ints{}, m2s({-4, -2147483647, 3, 7}));
    EXPECT_EQ(Ints{}, m2s({0}));
    EXPECT_EQ(Ints{}, m2s({3}));
    EXPECT_EQ(Ints{}, m2s({}));
    EXPECT_EQ((Ints{INT_MAX - 1, INT_MAX}), m2s({2, -2, INT_MAX}));
    // an entry with lower > upper yields nothing
    EXPECT_EQ((Ints{9}), m2s({1, -2147483643, 3, 9}));
    EXPECT_RAISES(m2s({1, 1, -2147483647}), "22P03", R,
                  "invalid mix array: range without upper bound");
}

TEST(SetConversions, MixToScalarCountsTheBodyBeforeSizingForTheHeader) {
    Ints huge = {INT_MAX, 1, 2};
    std::uint64_t total = 99;
    EXPECT_FALSE(conv::mixScalarCount(huge.data(), huge.size(), R, total));
    EXPECT_EQ(0u, total);
}

TEST(SetConversions, MixToRange) {
    EXPECT_EQ((Ints{1, 3, 7, 7}), m2r({4, -2147483647, 3, 7}));
    EXPECT_EQ(Ints{}, m2r({9}));
    EXPECT_EQ(Ints{}, m2r({}));
    EXPECT_EQ((Ints{1, 1, 2, 2}), m2r({2, 1, 2}));  // nothing merged
    EXPECT_EQ((Ints{0, INT_MAX}), m2r({0, INT_MIN, INT_MAX}));  // header not checked
    EXPECT_RAISES(m2r({2, 4, -2147483647}), "22P03", R,
                  "invalid mix array: range without upper bound");
}

// Sizes are checked before anything is allocated for them.
TEST(SetConversions, ResultsLargerThanAnArrayAreRefused) {
    EXPECT_RAISES(r2s({INT_MIN, INT_MAX}), "22015", R, "array overflow ");
    EXPECT_RAISES(r2s({-10, 0, 5, INT_MAX}), "22015", R, "array overflow ");
    EXPECT_RAISES(r2s({1, 134217728}), "22015", R, "array overflow ");
    // the header agrees with the body, but no array holds that many values
    EXPECT_RAISES(m2s({134217728, INT_MIN | 1, 134217728}), "22015", R, "array overflow ");
    EXPECT_RAISES(conv::requireArraySize(134217728, R), "22015", R, "array overflow ");
    conv::requireArraySize(134217727, R);
    // past the limit, only the exact size decides
    int exactCalls = 0;
    conv::requireResultCount(1u << 30, [&] { ++exactCalls; return 134217727u; }, R);
    conv::requireResultCount(100, [&] { ++exactCalls; return 0u; }, R);
    EXPECT_EQ(1, exactCalls);
    EXPECT_RAISES(conv::requireResultCount(1u << 30, [] { return 134217728u; }, R, "array overflow"),
                  "22015", R, "array overflow");
}

TEST(SetConversions, CountRangeValues) {
    EXPECT_EQ(4, conv::countRangeValues(span({1, 3, 10, 10}), R));
    EXPECT_EQ(0, conv::countRangeValues(span({}), R));
    EXPECT_EQ(0, conv::countRangeValues(span({5, 3}), R));
    EXPECT_EQ(INT_MAX, conv::countRangeValues(span({1, INT_MAX}), R));
    EXPECT_RAISES(conv::countRangeValues(span({INT_MIN, INT_MAX}), R), "22015", R,
                  "int4 count overflow");
    EXPECT_RAISES(conv::countRangeValues(span({0, INT_MAX}), R), "22015", R, "int4 count overflow");
    EXPECT_RAISES(span({1, 2, 3}), "22P03", R, "invalid int4 count to represent a rangearray");
}

// A random canonical set over [lo; hi]: ascending, distinct values.
Ints randomScalarSet(std::mt19937& rng, int lo, int hi, int maxCount) {
    std::uniform_int_distribution<int> value(lo, hi), count(0, maxCount), gapless(0, 1);
    Ints v;
    int n = count(rng);
    for (int i = 0; i < n; ++i) {
        int x = value(rng);
        v.push_back(x);
        // runs of consecutive values
        while (gapless(rng) && x < hi && i < n) v.push_back(++x), ++i;
    }
    std::sort(v.begin(), v.end());
    v.erase(std::unique(v.begin(), v.end()), v.end());
    return v;
}

// Reference: the runs of a canonical scalar set as [lower; upper] pairs.
Ints referenceRanges(const Ints& s) {
    Ints r;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (i == 0 || static_cast<long long>(s[i]) != static_cast<long long>(s[i - 1]) + 1) {
            if (i) r.push_back(s[i - 1]);
            r.push_back(s[i]);
        }
    }
    if (!s.empty()) r.push_back(s.back());
    return r;
}

TEST(SetConversions, RandomRoundTrips) {
    std::mt19937 rng(61);
    const int bounds[][2] = {{0, 60}, {0, 5000}, {INT_MAX - 40, INT_MAX}, {0, INT_MAX}};
    for (int trial = 0; trial < 400; ++trial) {
        const int* b = bounds[trial % 4];
        Ints s = randomScalarSet(rng, b[0], b[1], 50);
        Ints r = s2r(s);
        ASSERT_EQ(referenceRanges(s), r);
        EXPECT_EQ(s, r2s(r));
        Ints m = s2m(s);
        EXPECT_EQ(s, m2s(m));
        EXPECT_EQ(r, m2r(m));
        Ints m2 = r2m(r);
        EXPECT_EQ(m, m2);  // both writers agree on canonical input
        EXPECT_EQ(r, m2r(m2));
        EXPECT_EQ(static_cast<int>(s.size()), conv::countRangeValues(span(r), R));
    }
    // negative values: the scalar and range forms alone
    for (int trial = 0; trial < 100; ++trial) {
        Ints s = randomScalarSet(rng, INT_MIN, INT_MIN + 100, 40);
        Ints t = randomScalarSet(rng, -50, 50, 40);
        EXPECT_EQ(s, r2s(s2r(s)));
        EXPECT_EQ(t, r2s(s2r(t)));
    }
}

// Reference mix-body decoder: entries as (lower, upper) pairs; false when
// the body ends inside a range.
bool referenceEntries(const Ints& body, Ints& out) {
    for (std::size_t i = 0; i < body.size(); ++i) {
        if (body[i] >= 0) {
            out.push_back(body[i]);
            out.push_back(body[i]);
        } else {
            if (i + 1 == body.size()) return false;
            out.push_back(body[i] & INT_MAX);
            out.push_back(body[++i]);
        }
    }
    return true;
}

// Random mix arrays, read from exact-size buffers (a vector constructed with
// its size) so that the sanitizers catch any read past the end.
TEST(SetConversions, MixReadersOnRandomInput) {
    std::mt19937 rng(62);
    std::uniform_int_distribution<int> any(INT_MIN, INT_MAX), small(-3, 12), len(0, 12);
    for (int trial = 0; trial < 3000; ++trial) {
        Ints e(len(rng));
        for (int& x : e) {
            int k = small(rng);
            x = trial % 2 ? any(rng) : k < 0 ? (INT_MIN | (k + 3)) : k;
        }
        if (!e.empty() && trial % 3) e[0] = std::abs(small(rng));
        Ints body(e.begin() + (e.empty() ? 0 : 1), e.end()), entries;
        if (!referenceEntries(body, entries)) {
            EXPECT_RAISES(m2r(e), "22P03", R, "invalid mix array: range without upper bound");
            EXPECT_RAISES(m2s(e), "22P03", R, "invalid mix array: range without upper bound");
            continue;
        }
        EXPECT_EQ(entries, m2r(e));
        constexpr std::size_t cap = 100000;
        Ints values;
        for (std::size_t i = 0; i < entries.size(); i += 2)
            for (long long v = entries[i]; v <= entries[i + 1] && values.size() < cap; ++v)
                values.push_back(static_cast<int>(v));
        if (values.size() == cap) continue;  // too many values to compare
        bool headerAgrees = !e.empty() && e[0] >= 0 && values.size() == static_cast<std::size_t>(e[0]);
        EXPECT_EQ(headerAgrees ? values : Ints{}, m2s(e));
    }
}

}  // namespace
