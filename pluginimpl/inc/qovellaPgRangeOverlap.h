// Overlap tests between closed intervals and range arrays.  Server-free.
#pragma once

#include <cstddef>
#include <cstdint>

#include "qovellaPgRangeArray.h"
#include "qovellaPgRangeFastPaths.h"

namespace qv {
namespace pgRangeArray {

// Whether some range of r shares a value with [lo; hi]: constant-time
// rejections at both ends, then a binary search for the first range that
// does not end before lo; it overlaps exactly when it starts by hi.
inline bool rangeOverlapsRanges(std::int32_t lo, std::int32_t hi, const RangeSpan& r) {
    if (r.empty()) return false;
    if (r.end[-1].upper < lo || hi < r.begin->lower) return false;
    const Range<int>* first = firstEndingFrom(r.begin, r.count(), lo);
    return first != r.end && first->lower <= hi;
}

// Whether two range arrays share a value, by one merge pass (or a search
// of one side when the other holds a single range, or far fewer ranges and
// the bigger one is known canonical; forms as for the kernels).
inline bool rangeSpansOverlap(const RangeSpan& a, const RangeSpan& b, fast::Forms* forms = nullptr) {
    if (a.count() == 1) return rangeOverlapsRanges(a.begin->lower, a.begin->upper, b);
    if (b.count() == 1) return rangeOverlapsRanges(b.begin->lower, b.begin->upper, a);
    fast::Forms unknown;
    fast::Verdict v = fast::kNotCanonical;
    switch (fast::chooseSearch(a.begin, a.end, b.begin, b.end, forms ? *forms : unknown)) {
        case fast::kSearchB: v = fast::overlapSkewed(a.begin, a.end, b.begin, b.end); break;
        case fast::kSearchA: v = fast::overlapSkewed(b.begin, b.end, a.begin, a.end); break;
        case fast::kWalk: break;
    }
    if (v != fast::kNotCanonical) return v == fast::kYes;
    const Range<int>* p = a.begin;
    const Range<int>* q = b.begin;
    while (p != a.end && q != b.end) {
        if (q->upper < p->lower) {
            ++q;
        } else if (p->upper < q->lower) {
            ++p;
        } else {
            return true;
        }
    }
    return false;
}

}  // namespace pgRangeArray
}  // namespace qv
