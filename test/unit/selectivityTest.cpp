// Selectivity estimates from column statistics, against a naive reference
// that evaluates the histogram model value by value, and against the truth
// on sampled data.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <random>
#include <vector>

#include "qovellaPgSelectivity.h"
#include "testSupport.h"

namespace {

namespace sel = qv::selectivity;
using qv::pgRangeArray::RangeSpan;

struct Vals {
    std::vector<std::int64_t> v;
    std::size_t size() const { return v.size(); }
    std::int64_t operator[](std::size_t i) const { return v[i]; }
};

RangeSpan span(const std::vector<int>& e) { return qv::pgRangeArray::rangesFromElements(e.data(), e.size(), "test"); }

// A bitfield over [lower; upper] holding the ranges (stored form, header included).
std::vector<unsigned char> bitFieldOf(const std::vector<int>& e, int lower, int upper) {
    std::int64_t bytes = qv::bitField::bitsBytesFor(lower, upper);
    std::vector<unsigned char> b(12 + static_cast<std::size_t>(bytes), 0);
    std::memcpy(&b[4], &lower, 4);
    std::memcpy(&b[8], &upper, 4);
    for (std::size_t i = 0; i < e.size(); i += 2)
        for (std::int64_t v = std::max(e[i], lower); v <= std::min(e[i + 1], upper); ++v)
            b[12 + static_cast<std::size_t>((v - lower) >> 3)] |= qv::bitField::kBitMask[(v - lower) & 7];
    return b;
}

// P(x) by a fresh search each time, straight from the model's definition.
double naiveBelow(const std::vector<std::int64_t>& k, std::int64_t x) {
    std::size_t j = static_cast<std::size_t>(std::lower_bound(k.begin(), k.end(), x) - k.begin());
    if (j == 0) return 0;
    if (j == k.size()) return 1;
    return (double(j - 1) + double(x - k[j - 1]) / double(k[j] - k[j - 1])) / double(k.size() - 1);
}

// The histogram share of each member of the ranges, summed value by value.
double naiveInt4(const std::vector<std::int64_t>& hist, const std::vector<int>& e) {
    double s = 0;
    for (std::size_t i = 0; i < e.size(); i += 2)
        for (std::int64_t v = e[i]; v <= e[i + 1]; ++v) s += naiveBelow(hist, v + 1) - naiveBelow(hist, v);
    return s;
}

// A packed-range histogram: for every sampled width and every upper bound u,
// whether [u - w; u] passes against [a; b] or the ranges.
double naivePacked(const std::vector<std::int64_t>& hist, const std::vector<int>& e, sel::Relation rel) {
    std::vector<std::int64_t> up;
    for (std::int64_t p : hist) up.push_back(qv::packedRange::upper(p));
    double s = 0;
    for (std::int64_t p : hist) {
        std::int64_t w = std::int64_t(qv::packedRange::upper(p)) - qv::packedRange::lower(p);
        for (std::int64_t u = up.front(); u <= up.back(); ++u) {
            bool pass = false;
            for (std::size_t i = 0; i < e.size(); i += 2) {
                std::int64_t a = e[i], b = e[i + 1], l = u - w;
                pass |= rel == sel::kOverlap ? (l <= b && a <= u)
                        : rel == sel::kIncluded ? (a <= l && u <= b) : (l <= a && b <= u);
            }
            if (pass) s += naiveBelow(up, u + 1) - naiveBelow(up, u);
        }
    }
    return s / double(hist.size());
}

TEST(Selectivity, Int4HistogramMatchesNaiveAndBitField) {
    std::mt19937 rng(5);
    for (int round = 0; round < 300; ++round) {
        std::vector<std::int64_t> h;
        std::int64_t x = -40 + int(rng() % 20);
        for (int i = 0, n = 2 + int(rng() % 12); i < n; ++i) h.push_back(x += rng() % 3 == 0 ? 0 : rng() % 15);
        std::vector<int> e;
        for (int next = -60 + int(rng() % 10); next < 120 && e.size() < 12; next += 2 + int(rng() % 25)) {
            e.push_back(next);
            e.push_back(next += int(rng() % 12));
        }
        Vals hv{h};
        sel::Keys<Vals> keys{hv, false};
        double walked = sel::histogramRanges(keys, span(e), 0);
        EXPECT_NEAR(naiveInt4(h, e), walked, 1e-9);
        std::vector<unsigned char> b = bitFieldOf(e, -70, 130);
        qv::bitField::View view = qv::bitField::readBitField(b.data(), b.size(), "test");
        EXPECT_NEAR(walked, sel::histogramBitField(keys, view), 1e-9);
    }
}

TEST(Selectivity, PackedHistogramMatchesNaive) {
    std::mt19937 rng(7);
    std::vector<std::int64_t> widths(64);
    for (int round = 0; round < 200; ++round) {
        std::vector<std::int64_t> h;
        for (int i = 0, n = 2 + int(rng() % 10); i < n; ++i) {
            int u = -20 + int(rng() % 80);
            h.push_back(qv::packedRange::pack(u - int(rng() % 8), u));
        }
        std::sort(h.begin(), h.end());
        int a = -30 + int(rng() % 90), b = a + int(rng() % 10);
        std::vector<int> one{a, b}, two{a, b, b + 3 + int(rng() % 6), b + 12};
        Vals hv{h};
        for (sel::Relation rel : {sel::kOverlap, sel::kIncluded, sel::kContains})
            EXPECT_NEAR(naivePacked(h, one, rel), sel::packedHistogram(hv, sel::rangeSet(span(one)), rel, widths.data()),
                        1e-9);
        EXPECT_NEAR(naivePacked(h, two, sel::kOverlap),
                    sel::packedHistogram(hv, sel::rangeSet(span(two)), sel::kOverlap, widths.data()), 1e-9);
    }
}

// The whole estimate on extremes: bounds and sets at both ends of int4, MCVs,
// null fraction, sets out of order or inverted, no histogram.
TEST(Selectivity, EstimateAtTheExtremes) {
    Vals hist{{INT_MIN, -5, 0, 5, INT_MAX}};
    Vals mcv{{7, INT_MIN}};
    const float freq[] = {0.2f, 0.1f};
    sel::ColumnStats<Vals> st{false, 0.1, &mcv, freq, &hist};
    auto est = [&](const std::vector<int>& e) { return sel::estimate(st, sel::rangeSet(span(e)), sel::kOverlap, nullptr); };
    EXPECT_NEAR(1.0, est({INT_MIN, INT_MAX}) + 0.1, 1e-6);
    EXPECT_NEAR(0.2 + 0.6 * 0.25 * 5 / 5, est({0, 7}), 1e-6);  // MCV 7 and [0; 5) of [0; 5]
    EXPECT_NEAR(0.1, est({INT_MIN, INT_MIN}), 1e-6);        // the MCV, and a bound's zero share
    EXPECT_NEAR(0.0, est({INT_MAX, INT_MAX}), 1e-6);
    EXPECT_NEAR(est({-5, -1, 0, 4}), est({0, 4, -5, -1}), 1e-9);  // out of order
    EXPECT_NEAR(0.0, est({3, 1}), 1e-9);                           // inverted
    EXPECT_NEAR(0.0, est({}), 1e-9);
    sel::ColumnStats<Vals> none{false, 0.0, nullptr, nullptr, nullptr};
    EXPECT_NEAR(sel::defaultSelectivity(1), sel::estimate(none, sel::rangeSet(span({4, 4})), sel::kOverlap, nullptr), 1e-9);
    EXPECT_LT(sel::estimate(none, sel::rangeSet(span({0, 999})), sel::kOverlap, nullptr),
              sel::estimate(none, sel::rangeSet(span({0, 999999})), sel::kOverlap, nullptr));
    // A packed column against the whole domain, and no width wraps.
    Vals packed{{qv::packedRange::pack(INT_MIN, INT_MIN), qv::packedRange::pack(INT_MIN, 0),
                 qv::packedRange::pack(0, INT_MAX)}};
    std::vector<std::int64_t> w(3);
    sel::ColumnStats<Vals> pst{true, 0.0, nullptr, nullptr, &packed};
    EXPECT_NEAR(1.0, sel::estimate(pst, sel::rangeSet(span({INT_MIN, INT_MAX})), sel::kOverlap, w.data()), 1e-9);
    for (sel::Relation rel : {sel::kIncluded, sel::kContains}) {
        double c = sel::estimate(pst, sel::rangeSet(span({INT_MIN, -1})), rel, w.data());
        EXPECT_TRUE(c >= 0 && c <= 1) << c;
    }
}

// An equi-depth histogram of sampled data, clusters wider than its buckets,
// estimates ranges inside, across and outside them closely.
TEST(Selectivity, CloseToTheTruthOnSampledData) {
    std::mt19937 rng(3);
    std::vector<std::int64_t> data;
    for (int i = 0; i < 200000; ++i) data.push_back(int(rng() % 10) * 10000000 + int(rng() % 1000000));
    std::sort(data.begin(), data.end());
    Vals hist;
    for (int k = 0; k <= 100; ++k) hist.v.push_back(data[std::min<std::size_t>(data.size() - 1, k * data.size() / 100)]);
    sel::ColumnStats<Vals> st{false, 0.0, nullptr, nullptr, &hist};
    for (std::vector<int> e : {std::vector<int>{0, 50000000}, {30000000, 30499999, 70000000, 70099999},
                               {0, 999999999}, {500000, 10999999}}) {
        double truth = 0;
        for (std::size_t i = 0; i < e.size(); i += 2)
            truth += double(std::upper_bound(data.begin(), data.end(), e[i + 1]) -
                            std::lower_bound(data.begin(), data.end(), e[i]));
        truth /= double(data.size());
        double est = sel::estimate(st, sel::rangeSet(span(e)), sel::kOverlap, nullptr);
        EXPECT_LT(std::max(est, 1e-6) / std::max(truth, 1e-6), 1.5) << e[0];
        EXPECT_LT(std::max(truth, 1e-6) / std::max(est, 1e-6), 1.5) << e[0];
    }
}

}  // namespace
