// Search decisions of the packed-range GiST index: leaf answers equal the
// membership predicates, inner answers never lose a matching leaf below.
#include <algorithm>
#include <climits>
#include <random>
#include <vector>

#include "qovellaPgGistConsistent.h"
#include "testSupport.h"

namespace {

namespace gr = qv::gistRange;
using qv::packedRange::pack;
using qv::pgRangeArray::Range;
using qv::pgRangeArray::RangeSpan;

RangeSpan span(const std::vector<Range<int>>& r) { return RangeSpan{r.data(), r.data() + r.size()}; }

// A bitfield over [lo; hi] whose members are given; bits most significant first.
struct TestBitField {
    std::vector<unsigned char> bits;
    qv::bitField::View view;
    TestBitField(int lo, int hi, const std::vector<int>& members)
        : bits(static_cast<std::size_t>(8 * ((static_cast<long long>(hi) - lo + 1 + 63) / 64)) + 1, 0) {
        for (int m : members) {
            unsigned k = static_cast<unsigned>(m) - static_cast<unsigned>(lo);
            bits[k >> 3] |= static_cast<unsigned char>(0x80 >> (k & 7));
        }
        view = qv::bitField::View{bits.data(), bits.data() + bits.size() - 1, lo, hi};
    }
};

TEST(GistConsistent, RangeArrayGapsAndEnds) {
    std::vector<Range<int>> pairs = {{1, 3}, {10, 12}};
    EXPECT_FALSE(gr::keyOverlapsRanges(pack(4, 9), span(pairs)));
    EXPECT_TRUE(gr::keyOverlapsRanges(pack(4, 10), span(pairs)));
    EXPECT_TRUE(gr::keyOverlapsRanges(pack(3, 3), span(pairs)));
    EXPECT_FALSE(gr::keyOverlapsRanges(pack(13, 20), span(pairs)));
    EXPECT_FALSE(gr::keyOverlapsRanges(pack(INT_MIN, 0), span(pairs)));
    EXPECT_TRUE(gr::keyOverlapsRanges(pack(INT_MIN, INT_MAX), span(pairs)));
    EXPECT_FALSE(gr::keyOverlapsRanges(pack(INT_MIN, INT_MAX), span({})));
}

TEST(GistConsistent, PackedRangeStrategies) {
    const std::int64_t q = pack(9, 20), k = pack(0, 10);
    // a leaf [0; 10] is not within [9; 20], but keys below an inner [0; 10] may be
    EXPECT_FALSE(gr::keyMatchesPackedRange(gr::kIncludedInPackedRange, k, q, true));
    EXPECT_TRUE(gr::keyMatchesPackedRange(gr::kIncludedInPackedRange, k, q, false));
    EXPECT_FALSE(gr::keyMatchesPackedRange(gr::kIncludedInPackedRange, pack(0, 8), q, false));
    for (bool leaf : {true, false}) {
        EXPECT_TRUE(gr::keyMatchesPackedRange(gr::kOverlapsPackedRange, k, q, leaf));
        EXPECT_TRUE(gr::keyMatchesPackedRange(gr::kValueInPackedRange, pack(9, 9), q, leaf));
        EXPECT_FALSE(gr::keyMatchesPackedRange(gr::kOverlapsPackedRange, pack(0, 8), q, leaf));
        EXPECT_TRUE(gr::keyMatchesPackedRange(gr::kContainsPackedRange, pack(9, 20), q, leaf));
        EXPECT_FALSE(gr::keyMatchesPackedRange(gr::kContainsPackedRange, pack(10, 30), q, leaf));
    }
    EXPECT_TRUE(gr::keyHoldsValue(pack(-5, 0), -1));
    EXPECT_FALSE(gr::keyHoldsValue(pack(-5, 0), 1));
}

TEST(GistConsistent, BitFieldLeafIsMembershipInnerIsAnyBitInKey) {
    TestBitField b(100, 300, {100, 150, 151, 300});
    EXPECT_TRUE(gr::keyMatchesBitField(pack(100, 100), b.view, true));
    EXPECT_FALSE(gr::keyMatchesBitField(pack(101, 101), b.view, true));
    EXPECT_FALSE(gr::keyMatchesBitField(pack(99, 99), b.view, true));
    EXPECT_TRUE(gr::keyMatchesBitField(pack(300, 300), b.view, true));
    EXPECT_FALSE(gr::keyMatchesBitField(pack(301, 301), b.view, true));
    // inner keys spanning only unset bits, within a byte and across bytes
    EXPECT_FALSE(gr::keyMatchesBitField(pack(101, 103), b.view, false));
    EXPECT_FALSE(gr::keyMatchesBitField(pack(101, 149), b.view, false));
    EXPECT_FALSE(gr::keyMatchesBitField(pack(152, 299), b.view, false));
    EXPECT_TRUE(gr::keyMatchesBitField(pack(152, 300), b.view, false));
    EXPECT_TRUE(gr::keyMatchesBitField(pack(INT_MIN, 100), b.view, false));
    EXPECT_FALSE(gr::keyMatchesBitField(pack(301, INT_MAX), b.view, false));
    TestBitField empty(0, -1, {});
    EXPECT_FALSE(gr::keyMatchesBitField(pack(-5, 5), empty.view, false));
    EXPECT_FALSE(gr::keyMatchesBitField(pack(0, 0), empty.view, true));
}

// Random keys and queries: every leaf decision equals the naive definition,
// and an inner key passes whenever one of the leaf keys inside it passes.
TEST(GistConsistent, InnerDecisionsKeepEveryMatchingLeaf) {
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> value(-60, 60);
    for (int round = 0; round < 3000; ++round) {
        int a = value(rng), b = value(rng);
        const int kl = std::min(a, b), ku = std::max(a, b);
        a = value(rng), b = value(rng);
        const int ql = std::min(a, b), qu = std::max(a, b);
        const int s = value(rng);
        std::vector<Range<int>> pairs;
        for (int lo = -70 + static_cast<int>(rng() % 10); lo < 70; lo += 2 + static_cast<int>(rng() % 12)) {
            int hi = lo + static_cast<int>(rng() % 5);
            pairs.push_back({lo, hi});
            lo = hi;
        }
        std::vector<int> members;
        for (int v = -50; v <= 50; ++v)
            if (rng() % 9 == 0) members.push_back(v);
        TestBitField bits(-50, 50, members);

        auto naiveLeaf = [&](std::uint16_t strategy, int l, int u) {
            switch (strategy) {
                case gr::kValueInRangeArray:
                    for (const auto& p : pairs)
                        if (p.lower <= u && l <= p.upper) return true;
                    return false;
                case gr::kValueInBitField:
                    return std::find(members.begin(), members.end(), l) != members.end();
                case gr::kOverlapsPackedRange: return ql <= u && l <= qu;
                case gr::kIncludedInPackedRange: return ql <= l && u <= qu;
                case gr::kContainsPackedRange: return l <= ql && qu <= u;
                default: return l <= s && s <= u;
            }
        };
        auto decide = [&](std::uint16_t strategy, int l, int u, bool leaf) {
            switch (strategy) {
                case gr::kValueInRangeArray: return gr::keyOverlapsRanges(pack(l, u), span(pairs));
                case gr::kValueInBitField: return gr::keyMatchesBitField(pack(l, u), bits.view, leaf);
                case gr::kContainsValue: return gr::keyHoldsValue(pack(l, u), s);
                default: return gr::keyMatchesPackedRange(strategy, pack(l, u), pack(ql, qu), leaf);
            }
        };
        for (std::uint16_t strategy : {1, 2, 13, 14, 15, 16}) {
            // bitfield leaf keys are one-value ranges (int4 columns)
            const bool points = strategy == gr::kValueInBitField;
            ASSERT_EQ(naiveLeaf(strategy, kl, points ? kl : ku), decide(strategy, kl, points ? kl : ku, true))
                << "strategy " << strategy << " key [" << kl << ";" << ku << "]";
            bool someLeafPasses = false;
            for (int l = kl; l <= ku && !someLeafPasses; ++l)
                for (int u = points ? l : ku; u >= l && !someLeafPasses; --u)
                    someLeafPasses = naiveLeaf(strategy, l, u);
            if (someLeafPasses) {
                ASSERT_TRUE(decide(strategy, kl, ku, false))
                    << "strategy " << strategy << " inner [" << kl << ";" << ku << "]";
            }
        }
    }
}

}  // namespace
