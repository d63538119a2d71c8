// Index key of a column of range arrays: a few disjoint ranges that cover
// the row's set.  Server-free.
//
// A row whose ranges are well formed (each lower <= upper, each range
// starting past the end of the one before) gets, after touching ranges are
// joined, its ranges as they are when there are at most k of them; else the
// k - 1 widest gaps between them are kept and the others are filled in, so
// that the key covers the set with k ranges and keeps its least and greatest
// values.  Every bound of such a leaf key is a value of the row.  A row of
// any other form gets the universal key: the set tests read such rows by
// their step-by-step walks, which can accept rows whose ranges are out of
// order or empty (a row {5, 1} overlaps {3, 10}), so its key must pass every
// query.  A row with no ranges gets the empty key, which no query passes:
// every test of the class is false for an empty row.
//
// An inner key is the union of its children's keys, reduced to k ranges
// the same way; a universal child makes it universal.
//
// Queries: a value, a packed range, or a range array.  The tests below are
// those of sets, exact on well-formed rows and queries and wider than the
// set tests' walks where these are narrower (an inclusion walk asks each
// range to lie in one range of the other array, which touching ranges can
// fail).  A range-array query that is not well formed passes every key (the
// walks' outcome on it is not a set relation); one with no ranges passes
// none (every test is false against an empty array).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "qovellaPgRangeArray.h"

namespace qv {
namespace setKey {

using pgRangeArray::Range;
using pgRangeArray::RangeSpan;

// The most ranges a key holds.
constexpr std::size_t kMaxRanges = 32;

// A key: universal, or count ranges (none: the empty key), canonical.
struct Key {
    bool universal;
    std::uint32_t count;
    Range<int> ranges[kMaxRanges];
};

// Whether ranges are well formed: lower <= upper, each after the one before.
inline bool wellFormed(const Range<int>* r, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        if (r[i].lower > r[i].upper) return false;
        if (i && r[i].lower <= r[i - 1].upper) return false;
    }
    return true;
}

// Number of values in the gap between two ranges that do not touch.
inline std::uint32_t gapWidth(const Range<int>& before, const Range<int>& after) {
    return static_cast<std::uint32_t>(after.lower) - static_cast<std::uint32_t>(before.upper) - 1u;
}

// Whether after starts right where before ends, or within it.
inline bool touches(const Range<int>& before, const Range<int>& after) {
    return std::int64_t(after.lower) <= std::int64_t(before.upper) + 1;
}

// out := the well-formed ranges r (n of them) with touching ones joined, in
// at most k ranges: the k - 1 widest gaps are kept (the earlier one of two
// equal gaps), the others filled in.
inline void reduce(const Range<int>* r, std::size_t n, std::size_t k, Key& out) {
    out.universal = false;
    out.count = 0;
    if (n == 0) return;
    k = std::max<std::size_t>(1, std::min(k, kMaxRanges));
    // the gaps, after joining touching ranges: count them first
    std::size_t runs = 1;
    for (std::size_t i = 1; i < n; ++i) runs += !touches(r[i - 1], r[i]);
    if (runs <= k) {
        out.ranges[0] = r[0];
        for (std::size_t i = 1; i < n; ++i) {
            Range<int>& last = out.ranges[out.count];
            if (touches(last, r[i])) last.upper = std::max(last.upper, r[i].upper);
            else out.ranges[++out.count] = r[i];
        }
        ++out.count;
        return;
    }
    // the k - 1 widest gaps, by a min-heap of (width, -position)
    struct Gap {
        std::uint32_t width;
        std::uint32_t at;  // index of the range after the gap
    };
    Gap heap[kMaxRanges];
    const std::size_t keep = k - 1;
    std::size_t held = 0;
    auto narrower = [](const Gap& a, const Gap& b) {
        return a.width != b.width ? a.width > b.width : a.at < b.at;  // heap top: narrowest, latest
    };
    for (std::size_t i = 1; i < n && keep; ++i) {
        if (touches(r[i - 1], r[i])) continue;
        Gap g{gapWidth(r[i - 1], r[i]), static_cast<std::uint32_t>(i)};
        if (held < keep) {
            heap[held++] = g;
            std::push_heap(heap, heap + held, narrower);
        } else if (narrower(g, heap[0])) {
            std::pop_heap(heap, heap + held, narrower);
            heap[held - 1] = g;
            std::push_heap(heap, heap + held, narrower);
        }
    }
    std::sort(heap, heap + held, [](const Gap& a, const Gap& b) { return a.at < b.at; });
    std::size_t from = 0;
    for (std::size_t g = 0; g <= held; ++g) {
        std::size_t to = g < held ? heap[g].at : n;  // one past the last range of this key range
        out.ranges[out.count++] = Range<int>{r[from].lower, r[to - 1].upper};
        from = to;
    }
}

// The leaf key of a row's ranges (see the file comment).
inline void fromRow(const Range<int>* r, std::size_t n, std::size_t k, Key& out) {
    if (!wellFormed(r, n)) {
        out.universal = true;
        out.count = 0;
        return;
    }
    reduce(r, n, k, out);
}

// out := a key covering a and b, of at most k ranges (out may be a or b).
inline void unite(const Key& a, const Key& b, std::size_t k, Key& out) {
    if (a.universal || b.universal) {
        out.universal = true;
        out.count = 0;
        return;
    }
    Range<int> merged[2 * kMaxRanges];
    std::size_t n = 0, i = 0, j = 0;
    while (i < a.count || j < b.count) {
        const Range<int>& next = j == b.count || (i < a.count && a.ranges[i].lower <= b.ranges[j].lower)
                                     ? a.ranges[i++]
                                     : b.ranges[j++];
        if (n && touches(merged[n - 1], next)) merged[n - 1].upper = std::max(merged[n - 1].upper, next.upper);
        else merged[n++] = next;
    }
    reduce(merged, n, k, out);
}

// Number of values the key covers (2^32 for the universal key).
inline std::uint64_t coverage(const Key& key) {
    if (key.universal) return std::uint64_t(1) << 32;
    std::uint64_t total = 0;
    for (std::uint32_t i = 0; i < key.count; ++i) total += pgRangeArray::spanCount(key.ranges[i].lower, key.ranges[i].upper);
    return total;
}

// Insertion cost: how many values the existing key must take on to cover
// the added one.
inline double penalty(const Key& existing, const Key& added, std::size_t k) {
    Key grown;
    unite(existing, added, k, grown);
    return double(coverage(grown) - coverage(existing));
}

// Three-way order for a sorted build and the split: the empty key first,
// the universal key last, others by least value, then by greatest.
inline int compare(const Key& a, const Key& b) {
    auto rank = [](const Key& x) { return x.universal ? 2 : x.count ? 1 : 0; };
    int ra = rank(a), rb = rank(b);
    if (ra != rb || ra != 1) return ra < rb ? -1 : ra > rb ? 1 : 0;
    const Range<int>& af = a.ranges[0];
    const Range<int>& bf = b.ranges[0];
    if (af.lower != bf.lower) return af.lower < bf.lower ? -1 : 1;
    int au = a.ranges[a.count - 1].upper, bu = b.ranges[b.count - 1].upper;
    return au < bu ? -1 : au > bu ? 1 : 0;
}

// ---- stored form ----

// A key is stored as a varlena payload: no bytes for the empty key, one
// byte (0xFF) for the universal key, else count ranges as consecutive
// (lower, upper) int4 pairs in native byte order, with no alignment.

// Payload size of a key.
inline std::size_t storedSize(const Key& key) {
    return key.universal ? 1 : key.count * sizeof(Range<int>);
}

// Writes the payload at dst (storedSize bytes).
inline void store(const Key& key, void* dst) {
    if (key.universal) *static_cast<unsigned char*>(dst) = 0xFF;
    else if (key.count) std::memcpy(dst, key.ranges, key.count * sizeof(Range<int>));
}

// Reads a payload of size bytes; false when it is no key's payload.
inline bool load(const void* src, std::size_t size, Key& key) {
    key.universal = size == 1;
    key.count = 0;
    if (key.universal) return true;
    if (size % sizeof(Range<int>) != 0 || size / sizeof(Range<int>) > kMaxRanges) return false;
    key.count = static_cast<std::uint32_t>(size / sizeof(Range<int>));
    if (size) std::memcpy(key.ranges, src, size);
    return true;
}

// ---- queries ----

// Strategy numbers of the operator class.
enum Strategy : std::uint16_t {
    kContainsValue = 1,   // row @>> int4
    kOverlapsPacked = 2,  // row &&& int8
    kOverlapsSet = 3,     // row &&& int4[]
    kContainsSet = 4,     // row @>> int4[]
    kContainedInSet = 5,  // row <<@ int4[]
};

// Form of a range-array query.
enum QueryForm : unsigned char { kQueryEmpty, kQueryWellFormed, kQueryOther };

// A query: a value, a packed range's bounds, or a range array and its form.
struct Query {
    std::int32_t value;
    std::int32_t lo, hi;
    RangeSpan set;
    QueryForm form;
};

// The form of a range-array query of n elements (an odd count is not well
// formed: the set tests fail on it, so every row is handed to them).
inline QueryForm formOf(const std::int32_t* e, std::size_t n) {
    if (n == 0) return kQueryEmpty;
    if (n % 2 != 0) return kQueryOther;
    return wellFormed(reinterpret_cast<const Range<int>*>(e), n / 2) ? kQueryWellFormed : kQueryOther;
}

inline bool holdsValue(const Key& key, std::int32_t v) {
    return pgRangeArray::rangesContain(key.ranges, key.count, v);
}

// Whether some key range ends at lo or later and starts at hi or earlier
// (also for lo > hi: so reads the packed-range test a canonical row).
inline bool reaches(const Key& key, std::int32_t lo, std::int32_t hi) {
    const Range<int>* r = pgRangeArray::firstEndingFrom(key.ranges, key.count, lo);
    return r != key.ranges + key.count && r->lower <= hi;
}

// Whether the key shares a value with the well-formed ranges q.
inline bool overlapsSet(const Key& key, RangeSpan q) {
    for (std::uint32_t i = 0; i < key.count; ++i) {
        const Range<int>* r = pgRangeArray::firstEndingFrom(q.begin, q.count(), key.ranges[i].lower);
        if (r == q.end) return false;
        if (r->lower <= key.ranges[i].upper) return true;
    }
    return false;
}

// Whether every range of the well-formed q lies in one key range.
inline bool coversSet(const Key& key, RangeSpan q) {
    const Range<int>* k = key.ranges;
    const Range<int>* kEnd = key.ranges + key.count;
    for (const Range<int>* r = q.begin; r != q.end; ++r) {
        k = pgRangeArray::firstEndingFrom(k, std::size_t(kEnd - k), r->upper);
        if (k == kEnd || k->lower > r->lower) return false;
    }
    return true;
}

// Whether every bound of the key lies in the well-formed q.
inline bool boundsIn(const Key& key, RangeSpan q) {
    for (std::uint32_t i = 0; i < key.count; ++i)
        if (!pgRangeArray::rangesContain(q.begin, q.count(), key.ranges[i].lower) ||
            !pgRangeArray::rangesContain(q.begin, q.count(), key.ranges[i].upper))
            return false;
    return true;
}

// Whether a row below the key may pass the strategy's set test with the
// query.  leaf: the key is a row's own (its bounds are values of the row).
inline bool consistent(std::uint16_t strategy, const Key& key, bool leaf, const Query& q) {
    const bool setQuery = strategy >= kOverlapsSet;
    if (setQuery && q.form == kQueryEmpty) return false;
    if (key.universal || (setQuery && q.form == kQueryOther)) return true;
    if (key.count == 0) return false;
    switch (strategy) {
        case kContainsValue: return holdsValue(key, q.value);
        case kOverlapsPacked: return reaches(key, q.lo, q.hi);
        case kOverlapsSet: return overlapsSet(key, q.set);
        case kContainsSet: return coversSet(key, q.set);
        case kContainedInSet: return leaf ? boundsIn(key, q.set) : overlapsSet(key, q.set);
        default: return true;
    }
}

// ---- page split ----

// Splits n keys (n >= 2) in two ordered groups: the keys are sorted by
// compare, and the cut is made where the two groups' keys cover the fewest
// values together, among the cuts that leave each group at least 30 % of
// the keys (the one nearest the middle of equal ones).  order receives the
// key indexes in sorted order, the first `cut` of them the left group;
// left and right the groups' keys.  scratch: room for n keys.
inline std::size_t split(const Key* keys, std::size_t n, std::size_t k, std::uint32_t* order, Key* scratch,
                         Key& left, Key& right) {
    for (std::size_t i = 0; i < n; ++i) order[i] = static_cast<std::uint32_t>(i);
    std::stable_sort(order, order + n,
                     [keys](std::uint32_t a, std::uint32_t b) { return compare(keys[a], keys[b]) < 0; });
    // scratch[i]: the union of the sorted keys i to n - 1
    scratch[n - 1] = keys[order[n - 1]];
    for (std::size_t i = n - 1; i-- > 0;) unite(scratch[i + 1], keys[order[i]], k, scratch[i]);
    const std::size_t least = std::max<std::size_t>(1, n * 3 / 10);
    std::size_t best = 0;
    std::uint64_t bestCost = 0;
    Key prefix = keys[order[0]];
    for (std::size_t cut = 1; cut < n; ++cut) {
        if (cut > 1) unite(prefix, keys[order[cut - 1]], k, prefix);
        if (cut < least || n - cut < least) continue;
        const std::uint64_t cost = coverage(prefix) + coverage(scratch[cut]);
        const auto offMiddle = [n](std::size_t c) { return c * 2 > n ? c * 2 - n : n - c * 2; };
        if (!best || cost < bestCost || (cost == bestCost && offMiddle(cut) < offMiddle(best))) {
            best = cut;
            bestCost = cost;
            left = prefix;
        }
    }
    right = scratch[best];
    return best;
}

}  // namespace setKey
}  // namespace qv
