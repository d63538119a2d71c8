// Intersection and exclusion of two canonical range sequences by merges
// without data-dependent jumps.  Server-free.
//
// On random sets the step-by-step walks (qovellaPgRangeKernels.h) take a
// jump the processor cannot predict at almost every range, which costs more
// than the comparison itself.  These merges move exactly one cursor per
// step, chosen by a comparison result, and write every step's candidate
// piece, keeping it only when it is not empty.  They give the walks' results
// on canonical input only (sorted, disjoint, non-adjacent, lower <= upper);
// the caller makes sure of that.  out must have room for na + nb + 1
// ranges: a step writes its candidate before deciding whether to keep it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "qovellaPgRangeArray.h"

namespace qv {
namespace pgRangeArray {
namespace merge {

typedef long long Wide;

// A n B into out; returns the number of ranges written.  Each step writes
// the common piece of the two current ranges and passes the one that ends
// first (B's on a tie: A's range then lies wholly before B's next one).
template <typename T>
std::size_t intersection(const Range<T>* a, const Range<T>* aEnd, const Range<T>* b, const Range<T>* bEnd,
                         Range<T>* out) {
    Range<T>* w = out;
    while (a != aEnd && b != bEnd) {
        const Range<T> x = *a, y = *b;
        w->lower = std::max(x.lower, y.lower);
        w->upper = std::min(x.upper, y.upper);
        w += w->lower <= w->upper;
        const bool passA = x.upper < y.upper;
        a += passA;
        b += !passA;
    }
    return std::size_t(w - out);
}

// A \ B into out; returns the number of ranges written: A intersected with
// the gaps of B, gap k lying between B's ranges k - 1 and k.  The gaps
// before B's first range and after its last one are open at the ends of T
// and are taken apart; in between, gap bounds never leave T.
template <typename T>
std::size_t exclusion(const Range<T>* a, const Range<T>* aEnd, const Range<T>* b, const Range<T>* bEnd,
                      Range<T>* out) {
    Range<T>* w = out;
    if (b == bEnd) {
        std::memcpy(w, a, std::size_t(aEnd - a) * sizeof(Range<T>));
        return std::size_t(aEnd - a);
    }
    // Before B's first range: the ranges of A that end there, and the start
    // of the one that reaches past it.
    const Wide firstGapUpper = Wide(b->lower) - 1;
    for (; a != aEnd && Wide(a->upper) <= firstGapUpper; ++a) *w++ = *a;
    if (a != aEnd && Wide(a->lower) <= firstGapUpper) *w++ = Range<T>{a->lower, T(firstGapUpper)};
    for (const Range<T>* next = b + 1; a != aEnd && next != bEnd;) {
        const Range<T> x = *a;
        const T gapLower = T(next[-1].upper + 1), gapUpper = T(next->lower - 1);
        w->lower = std::max(x.lower, gapLower);
        w->upper = std::min(x.upper, gapUpper);
        w += w->lower <= w->upper;
        const bool passA = x.upper < gapUpper;
        a += passA;
        next += !passA;
    }
    // After B's last range.
    const Wide lastGapLower = Wide(bEnd[-1].upper) + 1;
    for (; a != aEnd; ++a) {
        const Wide lower = std::max<Wide>(a->lower, lastGapLower);
        w->lower = T(lower);
        w->upper = a->upper;
        w += lower <= Wide(a->upper);
    }
    return std::size_t(w - out);
}

}  // namespace merge
}  // namespace pgRangeArray
}  // namespace qv
