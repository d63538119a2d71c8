// Selectivity of a column tested against a constant set, from the column's
// statistics given as plain arrays.  Server-free.
//
// The column holds int4 values or packed ranges (int8).  Its statistics are
// what ANALYZE keeps: a null fraction, most common values (MCVs) with their
// frequencies (fractions of all rows), and histogram bounds splitting the
// other non-null rows into equally populated buckets.  The constant is a
// range array, a bitfield or one interval (a value or a packed range).
//
// Estimate = (frequencies of the MCVs that pass, each tested exactly)
//          + (histogram fraction inside the set) x (1 - null fraction - all MCVs).
//
// The histogram model: bounds b_0 <= ... <= b_n; the population is spread
// evenly over each bucket [b_k; b_(k+1)), an integer v standing for [v; v+1),
// and a bucket of equal bounds is a point mass at that value.  P(x), the
// fraction below x, is then piecewise linear, and a range [lo; hi] holds
// P(hi + 1) - P(lo).  A set's ranges are sorted, so the bounds are found by
// one cursor moving forward: one merge walk of the set and the histogram, no
// allocation.  Bitfields are counted bucket by bucket (population counts of
// whole words), never bit by bit.
//
// Packed-range columns.  An int8 of a packed range sorts by its upper bound,
// then by its lower bound read as unsigned, so the int8 histogram is exact
// for the upper bounds and says nothing ordered about the lower ones.  Each
// histogram bound is a sampled range, though, so its width (upper - lower)
// is a sample of the widths.  The model: a row is [u - w; u] with u from the
// histogram of upper bounds and w, independently, from the sampled widths.
// [u - w; u] overlaps [lo; hi] exactly when u lies in [lo; hi + w], lies
// within [a; b] when u lies in [a + w; b], contains [a; b] when u lies in
// [b; a + w].  A single constant interval averages over every sampled width;
// a range array over a few width classes (groups of the sorted widths, each
// at its mean), as many as keep the walk within kWalkBudget range steps.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "qovellaPgBitField.h"
#include "qovellaPgPackedRange.h"
#include "qovellaPgRangeArray.h"
#include "qovellaPgRangeOverlap.h"

namespace qv {
namespace selectivity {

using pgRangeArray::Range;
using pgRangeArray::RangeSpan;

// How a column value must relate to the constant to pass.
enum Relation : unsigned char {
    kOverlap,   // shares a value (membership for an int4 column)
    kIncluded,  // lies within the constant interval
    kContains,  // contains the constant interval
};

// Defaults (documented in docs/estimates.md).  Without statistics the
// estimate of a constant of w values is kDefaultBase * (1 + log2 w), capped
// at kDefaultCap: 0.5 % for one value, 5.5 % for a thousand, 10.5 % for a
// million, like the server's 0.5 % for a range condition it cannot see.
constexpr double kDefaultBase = 0.005;
constexpr double kDefaultCap = 0.25;
// A set not known at planning time, or one that cannot be read.
constexpr double kDefaultUnknown = 0.005;
// Range steps a packed-range estimate may spend on width classes.
constexpr std::size_t kWalkBudget = std::size_t(1) << 17;

inline double clampProbability(double p) {
    if (!(p >= 0.0)) return 0.0;  // also NaN
    return p > 1.0 ? 1.0 : p;
}

// The default for a constant of width values (0 when unknown).
inline double defaultSelectivity(double width) {
    if (!(width >= 1.0)) return kDefaultUnknown;
    double s = kDefaultBase * (1.0 + std::log2(width));
    return s > kDefaultCap ? kDefaultCap : s;
}

// Histogram bounds read as keys: an int4 column's values, or a packed-range
// column's upper bounds.  Values: size() and operator[] returning int64.
template <typename Values>
struct Keys {
    const Values& v;
    bool packed;
    std::size_t size() const { return v.size(); }
    std::int64_t operator[](std::size_t i) const {
        std::int64_t x = v[i];
        return packed ? packedRange::upper(x) : x;
    }
};

// P(x), the fraction of the histogram's population below x, evaluated with a
// cursor that moves forward while x grows (a smaller x searches again).  The
// current bucket's offset and slope are kept, so that a range inside it
// costs one multiplication.
template <typename K>
class Cdf {
public:
    explicit Cdf(const K& keys) : k_(keys), n_(keys.size()) {}

    double below(std::int64_t x) {
        seek(x);
        if (j_ == 0) return 0.0;
        if (j_ == n_) return 1.0;
        return base_ + static_cast<double>(x - b0_) * slope_;
    }

    // P(e) - P(a) for a < e.
    double between(std::int64_t a, std::int64_t e) {
        if (a >= last_ && j_ > 0 && j_ < n_ && a > b0_ && e <= b1_) {
            last_ = e;
            return static_cast<double>(e - a) * slope_;
        }
        double pa = below(a);
        return below(e) - pa;
    }

private:
    // Moves the cursor to j = the number of bounds below x.
    void seek(std::int64_t x) {
        std::size_t j = j_;
        if (x < last_) {
            std::size_t lo = 0, hi = n_;
            while (lo < hi) {
                std::size_t mid = lo + (hi - lo) / 2;
                if (k_[mid] < x) lo = mid + 1; else hi = mid;
            }
            j = lo;
        } else {
            while (j < n_ && k_[j] < x) ++j;
        }
        last_ = x;
        if (j == j_ && bucketKnown_) return;
        j_ = j;
        bucketKnown_ = true;
        if (j_ == 0 || j_ == n_) return;
        // k[j - 1] < x <= k[j]: inside bucket j - 1, whose width is > 0.
        b0_ = k_[j_ - 1];
        b1_ = k_[j_];
        double buckets = static_cast<double>(n_ - 1);
        base_ = static_cast<double>(j_ - 1) / buckets;
        slope_ = 1.0 / (static_cast<double>(b1_ - b0_) * buckets);
    }

    const K& k_;
    std::size_t n_;
    std::size_t j_ = 0;
    bool bucketKnown_ = false;
    std::int64_t last_ = INT64_MIN;
    std::int64_t b0_ = 0, b1_ = 0;
    double base_ = 0.0, slope_ = 0.0;
};

// Fraction of the histogram inside [lo; hi] (none when lo > hi).
template <typename K>
double histogramInterval(Cdf<K>& cdf, std::int64_t lo, std::int64_t hi) {
    if (lo > hi) return 0.0;
    return cdf.between(lo, hi + 1);
}

// Fraction of the histogram inside the union of [lo; hi + dilate] over the
// ranges, in one walk: dilated ranges that meet are merged as they come.
// Ranges out of order are still counted (the cursor searches back), ranges
// with lower > upper hold nothing.
template <typename K>
double histogramRanges(const K& keys, RangeSpan set, std::int64_t dilate) {
    Cdf<K> cdf(keys);
    double total = 0.0;
    bool open = false;
    std::int64_t curLo = 0, curHi = 0;
    for (const Range<int>* r = set.begin; r != set.end; ++r) {
        if (r->lower > r->upper) continue;
        std::int64_t lo = r->lower, hi = static_cast<std::int64_t>(r->upper) + dilate;
        if (open && lo >= curLo && lo <= curHi + 1) {
            if (hi > curHi) curHi = hi;
            continue;
        }
        if (open) total += histogramInterval(cdf, curLo, curHi);
        open = true;
        curLo = lo;
        curHi = hi;
    }
    if (open) total += histogramInterval(cdf, curLo, curHi);
    return total;
}

// Number of set bits among bit indexes s..e (s <= e) of a bitfield's bits.
inline std::uint64_t countBitsInSpan(const unsigned char* bits, std::uint32_t s, std::uint32_t e) {
    std::uint32_t sb = s >> 3, eb = e >> 3;
    if (sb == eb) return static_cast<unsigned>(__builtin_popcount(bits[sb] & bitField::kSpanMask[s & 7][e & 7]));
    std::uint64_t n = static_cast<unsigned>(__builtin_popcount(bits[sb] & bitField::kTailMask[s & 7])) +
                      static_cast<unsigned>(__builtin_popcount(bits[eb] & bitField::kHeadMask[e & 7]));
    const unsigned char* p = bits + sb + 1;
    const unsigned char* last = bits + eb;
    for (; last - p >= 8; p += 8) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        n += static_cast<unsigned>(__builtin_popcountll(w));
    }
    for (; p != last; ++p) n += static_cast<unsigned>(__builtin_popcount(*p));
    return n;
}

// Fraction of an int4 histogram inside the bitfield's set: each bucket
// [b_k; b_(k+1)) adds its members' share of its width, a point bucket its
// whole weight when its value is a member.
template <typename K>
double histogramBitField(const K& keys, const bitField::View& b) {
    std::size_t n = keys.size();
    if (n < 2 || b.lower > b.upper) return 0.0;
    double total = 0.0;
    for (std::size_t k = 0; k + 1 < n; ++k) {
        std::int64_t b0 = keys[k], b1 = keys[k + 1];
        if (b0 == b1) {
            if (b0 >= INT32_MIN && b0 <= INT32_MAX && bitField::contains(b, static_cast<std::int32_t>(b0)))
                total += 1.0;
            continue;
        }
        std::int64_t first = std::max<std::int64_t>(b0, b.lower);
        std::int64_t last = std::min<std::int64_t>(b1 - 1, b.upper);
        if (first > last) continue;
        std::uint64_t members = countBitsInSpan(b.begin, bitField::bitIndex(static_cast<std::int32_t>(first), b.lower),
                                                bitField::bitIndex(static_cast<std::int32_t>(last), b.lower));
        total += static_cast<double>(members) / static_cast<double>(b1 - b0);
    }
    return total / static_cast<double>(n - 1);
}

// A constant set: ranges (a range array, or one interval viewed as a range
// array of one) or a bitfield.
struct ConstSet {
    bool isBitField;
    RangeSpan ranges;
    bitField::View bits;
    // Number of values, the width the default grows with.
    double width() const {
        if (!isBitField) return static_cast<double>(pgRangeArray::spanValueCount(ranges));
        return bits.lower > bits.upper ? 0.0 : double(bits.upper) - bits.lower + 1.0;
    }
};

inline ConstSet rangeSet(RangeSpan r) { return ConstSet{false, r, bitField::View{nullptr, nullptr, 0, -1}}; }
inline ConstSet bitFieldSet(const bitField::View& b) { return ConstSet{true, RangeSpan{nullptr, nullptr}, b}; }

// Whether the column value [lo; hi] passes against the set.  Included and
// contains take the set's single range (their constants are one interval).
inline bool passes(const ConstSet& s, Relation rel, std::int32_t lo, std::int32_t hi) {
    if (s.isBitField) return bitField::overlapsRange(s.bits, lo, hi);
    if (rel == kOverlap) return pgRangeArray::rangeOverlapsRanges(lo, hi, s.ranges);
    if (s.ranges.count() != 1) return false;
    const Range<int>& c = *s.ranges.begin;
    return rel == kIncluded ? c.lower <= lo && hi <= c.upper : lo <= c.lower && c.upper <= hi;
}

// The statistics of a column.  Values: size() and operator[] returning the
// value as int64 (an int4, or a packed range's int8).
template <typename Values>
struct ColumnStats {
    bool packed;          // packed-range (int8) column
    double nullFrac;
    const Values* mcv;    // null when there are none
    const float* mcvFreq;
    const Values* hist;   // null when there is none (or fewer than 2 bounds)
};

// Fraction of a packed-range column's histogram that passes, averaged over
// width classes.  widths: scratch for hist->size() values.
template <typename Values>
double packedHistogram(const Values& hist, const ConstSet& s, Relation rel, std::int64_t* widths) {
    std::size_t n = hist.size();
    for (std::size_t i = 0; i < n; ++i) {
        std::int64_t p = hist[i];
        std::int64_t w = static_cast<std::int64_t>(packedRange::upper(p)) - packedRange::lower(p);
        widths[i] = w < 0 ? 0 : w;
    }
    std::sort(widths, widths + n);
    Keys<Values> keys{hist, true};
    std::size_t steps = rel == kOverlap ? std::max<std::size_t>(1, s.ranges.count()) : 1;
    std::size_t classes = std::max<std::size_t>(1, std::min(n, kWalkBudget / steps));
    double total = 0.0;
    Cdf<Keys<Values>> cdf(keys);
    for (std::size_t c = 0; c < classes; ++c) {
        std::size_t from = c * n / classes, to = (c + 1) * n / classes;
        if (from == to) continue;
        double sum = 0.0;
        for (std::size_t i = from; i < to; ++i) sum += static_cast<double>(widths[i]);
        std::int64_t w = static_cast<std::int64_t>(std::llround(sum / static_cast<double>(to - from)));
        double share = static_cast<double>(to - from) / static_cast<double>(n);
        double f;
        if (rel == kOverlap) {
            f = histogramRanges(keys, s.ranges, w);
        } else {
            const Range<int>& q = *s.ranges.begin;
            f = rel == kIncluded ? histogramInterval(cdf, static_cast<std::int64_t>(q.lower) + w, q.upper)
                                 : histogramInterval(cdf, q.upper, static_cast<std::int64_t>(q.lower) + w);
        }
        total += share * f;
    }
    return total;
}

// The estimate of a column against a constant set (see the file comment).
// widths: scratch for stats.hist->size() values (packed columns only).
// Included and contains need a set of exactly one range; other sets, and a
// bitfield against a packed-range column, get the default.
template <typename Values>
double estimate(const ColumnStats<Values>& st, const ConstSet& s, Relation rel, std::int64_t* widths) {
    bool oneRange = !s.isBitField && s.ranges.count() == 1;
    if ((rel != kOverlap && !oneRange) || (st.packed && s.isBitField))
        return defaultSelectivity(s.isBitField ? s.width() : 0.0);
    double mcvSel = 0.0, mcvAll = 0.0;
    if (st.mcv) {
        for (std::size_t i = 0; i < st.mcv->size(); ++i) {
            std::int64_t v = (*st.mcv)[i];
            std::int32_t lo = st.packed ? packedRange::lower(v) : static_cast<std::int32_t>(v);
            std::int32_t hi = st.packed ? packedRange::upper(v) : static_cast<std::int32_t>(v);
            double f = st.mcvFreq[i];
            mcvAll += f;
            if (passes(s, rel, lo, hi)) mcvSel += f;
        }
    }
    double rest = clampProbability(1.0 - st.nullFrac - mcvAll);
    double histSel;
    if (st.hist && st.hist->size() >= 2) {
        if (st.packed)
            histSel = packedHistogram(*st.hist, s, rel, widths);
        else if (s.isBitField)
            histSel = histogramBitField(Keys<Values>{*st.hist, false}, s.bits);
        else
            histSel = histogramRanges(Keys<Values>{*st.hist, false}, s.ranges, 0);
    } else {
        histSel = defaultSelectivity(s.width());
    }
    return clampProbability(mcvSel + clampProbability(histSel) * rest);
}

}  // namespace selectivity
}  // namespace qv
