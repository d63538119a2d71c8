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
// A well-formed row of more than k ranges may instead get a signature leaf
// key (leafKey): its least and greatest values and up to kCells cells of
// 2^shift values from the least on, each marked when it holds a value of
// the row.  A search then refuses most rows whose ranges lie around the
// searched values but miss them, which k ranges cannot do for rows of many
// small ranges; the stored key takes as many index bytes as one of four
// ranges.  Union, penalty and split read a signature as its bounding
// range.
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

// Cells of a signature leaf key, and the bytes of their marks.
constexpr std::size_t kSignatureBytes = 31;
constexpr std::size_t kCells = 8 * kSignatureBytes;

// A key: universal, or count ranges (none: the empty key), canonical; or a
// signature (see the file comment), whose one range is its bounding range:
// union, penalty and split read it as that range (the runs of its cells
// made builds slower, searches no faster: inner keys cover a page's rows,
// not their gaps).
struct Key {
    bool universal;
    bool signature;
    std::uint32_t count;
    Range<int> ranges[kMaxRanges];
    std::uint32_t shift;  // a signature's cells span 2^shift values each
    unsigned char cells[kSignatureBytes];
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
    out.signature = false;
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
    out.signature = false;
    if (!wellFormed(r, n)) {
        out.universal = true;
        out.count = 0;
        return;
    }
    reduce(r, n, k, out);
}

// ---- signatures ----

// A signature over [least; greatest] has cells of 2^shift values, the
// fewest that kCells cells can cover it with (a shift, never a division,
// finds a value's cell).
inline std::uint32_t cellShift(std::int32_t least, std::int32_t greatest) {
    static_assert(kCells > 128 && kCells <= 256, "2^(bits of span - 1) / 256 cells is the first guess");
    const std::uint64_t span = std::uint64_t(std::int64_t(greatest) - least) + 1;
    const std::uint32_t bits = 64u - std::uint32_t(__builtin_clzll((span - 1) | 1));
    std::uint32_t shift = bits > 8 ? bits - 8 : 0;
    return (std::uint64_t(kCells) << shift) < span ? shift + 1 : shift;
}

// The cell of v, least <= v <= greatest.
inline std::size_t cellOf(const Key& key, std::int32_t v) {
    return static_cast<std::size_t>(std::uint64_t(std::int64_t(v) - key.ranges[0].lower) >> key.shift);
}

inline bool marked(const Key& key, std::size_t c) { return (key.cells[c / 8] >> (c % 8)) & 1u; }

// Whether a cell from that of a to that of b is marked (a <= b, both
// within the key's bounds), or all of them are.
inline bool anyMarked(const Key& key, std::int32_t a, std::int32_t b) {
    for (std::size_t c = cellOf(key, a), last = cellOf(key, b); c <= last; ++c)
        if (marked(key, c)) return true;
    return false;
}
inline bool allMarked(const Key& key, std::int32_t a, std::int32_t b) {
    for (std::size_t c = cellOf(key, a), last = cellOf(key, b); c <= last; ++c)
        if (!marked(key, c)) return false;
    return true;
}

// The leaf key of a row: its ranges when they are at most k runs (or not
// well formed), else its signature, with its bounding range.
inline void leafKey(const Range<int>* r, std::size_t n, std::size_t k, Key& out) {
    fromRow(r, n, k, out);
    if (out.universal || n == 0) return;
    std::size_t runs = 1;
    for (std::size_t i = 1; i < n; ++i) runs += !touches(r[i - 1], r[i]);
    if (runs <= k) return;
    out.signature = true;
    out.count = 1;
    out.ranges[0] = Range<int>{r[0].lower, r[n - 1].upper};
    out.shift = cellShift(r[0].lower, r[n - 1].upper);
    std::memset(out.cells, 0, sizeof out.cells);
    std::size_t done = 0;  // cells below are marked already
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t last = cellOf(out, r[i].upper);
        for (std::size_t c = std::max(done, cellOf(out, r[i].lower)); c <= last; ++c)
            out.cells[c / 8] = static_cast<unsigned char>(out.cells[c / 8] | (1u << (c % 8)));
        done = last + 1;
    }
}

// out := a key covering a and b, of at most k ranges (out may be a or b).
inline void unite(const Key& a, const Key& b, std::size_t k, Key& out) {
    if (a.universal || b.universal) {
        out.universal = true;
        out.signature = false;
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
    const std::int32_t al = a.ranges[0].lower, bl = b.ranges[0].lower;
    if (al != bl) return al < bl ? -1 : 1;
    const std::int32_t au = a.ranges[a.count - 1].upper, bu = b.ranges[b.count - 1].upper;
    return au < bu ? -1 : au > bu ? 1 : 0;
}

// ---- stored form ----

// A key is stored as a varlena payload: no bytes for the empty key, one
// byte (0xFF) for the universal key, a signature as its least and greatest
// values (int4) and its cell marks (kSignatureBytes: 39 bytes in all, a
// size no list of ranges has), else count ranges as consecutive (lower,
// upper) int4 pairs; native byte order, no alignment.
constexpr std::size_t kSignatureSize = sizeof(Range<int>) + kSignatureBytes;
static_assert(kSignatureSize % sizeof(Range<int>) != 0 && kSignatureSize > 1, "a signature's size is its own");

// Payload size of a key.
inline std::size_t storedSize(const Key& key) {
    return key.universal ? 1 : key.signature ? kSignatureSize : key.count * sizeof(Range<int>);
}

// Writes the payload at dst (storedSize bytes).
inline void store(const Key& key, void* dst) {
    unsigned char* p = static_cast<unsigned char*>(dst);
    if (key.universal) {
        *p = 0xFF;
    } else if (key.signature) {
        std::memcpy(p, key.ranges, sizeof(Range<int>));
        std::memcpy(p + sizeof(Range<int>), key.cells, kSignatureBytes);
    } else if (key.count) {
        std::memcpy(p, key.ranges, key.count * sizeof(Range<int>));
    }
}

// Reads a payload of size bytes; false when it is no key's payload.
inline bool load(const void* src, std::size_t size, Key& key) {
    const unsigned char* p = static_cast<const unsigned char*>(src);
    key.universal = size == 1;
    key.signature = size == kSignatureSize;
    key.count = 0;
    if (key.universal) return true;
    if (key.signature) {
        key.count = 1;
        std::memcpy(key.ranges, p, sizeof(Range<int>));
        std::memcpy(key.cells, p + sizeof(Range<int>), kSignatureBytes);
        if (key.ranges[0].lower > key.ranges[0].upper) return false;
        key.shift = cellShift(key.ranges[0].lower, key.ranges[0].upper);
        return true;
    }
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

// The same for a signature leaf key: its marked cells stand for the row,
// and its least and greatest values are values of the row.  A packed range
// whose lower bound is past its upper one is tested against the bounds
// alone.
inline bool signatureConsistent(std::uint16_t strategy, const Key& key, const Query& q) {
    const std::int32_t lo = key.ranges[0].lower, hi = key.ranges[0].upper;
    switch (strategy) {
        case kContainsValue: return q.value >= lo && q.value <= hi && marked(key, cellOf(key, q.value));
        case kOverlapsPacked:
            if (q.lo > q.hi) return hi >= q.lo && lo <= q.hi;
            return q.hi >= lo && q.lo <= hi && anyMarked(key, std::max(q.lo, lo), std::min(q.hi, hi));
        case kOverlapsSet:
            for (const Range<int>* r = pgRangeArray::firstEndingFrom(q.set.begin, q.set.count(), lo);
                 r != q.set.end && r->lower <= hi; ++r)
                if (anyMarked(key, std::max(r->lower, lo), std::min(r->upper, hi))) return true;
            return false;
        case kContainsSet:
            for (const Range<int>* r = q.set.begin; r != q.set.end; ++r)
                if (r->lower < lo || r->upper > hi || !allMarked(key, r->lower, r->upper)) return false;
            return true;
        case kContainedInSet:
            return pgRangeArray::rangesContain(q.set.begin, q.set.count(), lo) &&
                   pgRangeArray::rangesContain(q.set.begin, q.set.count(), hi);
        default: return true;
    }
}

// Whether a row below the key may pass the strategy's set test with the
// query.  leaf: the key is a row's own (its bounds are values of the row).
inline bool consistent(std::uint16_t strategy, const Key& key, bool leaf, const Query& q) {
    const bool setQuery = strategy >= kOverlapsSet;
    if (setQuery && q.form == kQueryEmpty) return false;
    if (key.universal || (setQuery && q.form == kQueryOther)) return true;
    if (key.signature) return signatureConsistent(strategy, key, q);
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
