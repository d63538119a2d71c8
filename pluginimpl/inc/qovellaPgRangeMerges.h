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
#include <type_traits>

#include "qovellaPgRangeArray.h"

namespace qv {
namespace pgRangeArray {
namespace merge {

typedef long long Wide;

// c ? p : q computed with masks; the empty asm keeps the compiler from
// turning it back into a jump.
template <typename T>
inline T pick(bool c, T p, T q) {
    typedef typename std::make_unsigned<T>::type U;
    U m = U(0) - U(c);
#if defined(__GNUC__)
    __asm__("" : "+r"(m));
#endif
    return T((U(p) & m) | (U(q) & ~m));
}

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

// A \ B into out; returns the number of ranges written.  cur is what is
// left of A's current range.  Each step writes the part of cur before B's
// current range (kept when B's range starts after cur does); then, when B's
// range ends before cur does, cur is cut after it and B moves on, else A
// moves on.  Bounds are formed in a wider type: lower - 1 and upper + 1 of
// B's range may leave T only where the step does not keep them.
template <typename T>
std::size_t exclusion(const Range<T>* a, const Range<T>* aEnd, const Range<T>* b, const Range<T>* bEnd,
                      Range<T>* out) {
    Range<T>* w = out;
    if (a == aEnd) return 0;
    Range<T> cur = *a;
    while (b != bEnd) {
        const Range<T> y = *b;
        w->lower = cur.lower;
        w->upper = T(std::min<Wide>(cur.upper, Wide(y.lower) - 1));
        w += y.lower > cur.lower;
        const bool passB = y.upper < cur.upper;
        b += passB;
        a += !passB;
        if (a == aEnd) return std::size_t(w - out);
        const Range<T> x = *a;
        cur.lower = pick(passB, T(std::max<Wide>(cur.lower, Wide(y.upper) + 1)), x.lower);
        cur.upper = pick(passB, cur.upper, x.upper);
    }
    *w++ = cur;
    ++a;
    std::memcpy(w, a, std::size_t(aEnd - a) * sizeof(Range<T>));
    return std::size_t(w - out) + std::size_t(aEnd - a);
}

}  // namespace merge
}  // namespace pgRangeArray
}  // namespace qv
