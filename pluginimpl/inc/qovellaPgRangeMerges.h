// Intersection and exclusion of two canonical range sequences by merges
// without data-dependent jumps.  Server-free.
//
// On random sets the step-by-step walks (qovellaPgRangeKernels.h) take a
// jump the processor cannot predict at almost every range, which costs more
// than the comparison itself.  These merges move exactly one cursor per
// step, chosen by a comparison result, and write every step's candidate
// piece, keeping it only when it is not empty.  They give the walks' results
// on canonical input only (sorted, disjoint, non-adjacent, lower <= upper);
// the caller makes sure of that.  out must have room(na, nb) ranges: a step
// writes its candidate before deciding whether to keep it, and long inputs
// are merged in two halves that write apart.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

#include "qovellaPgRangeArray.h"

namespace qv {
namespace pgRangeArray {
namespace merge {

typedef long long Wide;

// The cursors of one merge: the ranges of A and of B still to read, and
// the write position.
template <typename T>
struct Cursors {
    const Range<T>* a;
    const Range<T>* aEnd;
    const Range<T>* b;
    const Range<T>* bEnd;
    Range<T>* w;

    Cursors(const Range<T>* a0, const Range<T>* a1, const Range<T>* b0, const Range<T>* b1, Range<T>* out)
        : a(a0), aEnd(a1), b(b0), bEnd(b1), w(out) {}
    bool live() const { return a != aEnd && b != bEnd; }
};

// One merge of A n B: each step writes the common piece of the two current
// ranges and passes the one that ends first (B's on a tie: A's range then
// lies wholly before B's next one).
template <typename T>
struct IntersectionPart : Cursors<T> {
    using Cursors<T>::Cursors;
    using Cursors<T>::a;
    using Cursors<T>::b;
    using Cursors<T>::w;

    void begin() {}
    void step() {
        const Range<T> x = *a, y = *b;
        w->lower = std::max(x.lower, y.lower);
        w->upper = std::min(x.upper, y.upper);
        w += w->lower <= w->upper;
        const bool passA = x.upper < y.upper;
        a += passA;
        b += !passA;
    }
    void finish(const Range<T>*) {}
    static bool joinAtCut(Range<T>&, const Range<T>&) { return false; }
};

// One merge of A \ B: A intersected with the gaps of B, gap k lying between
// B's ranges k - 1 and k.  The gaps before B's first range (begin) and after
// its last one (finish) are open at the ends of T and are taken apart; in
// between (step), gap bounds never leave T.
template <typename T>
struct ExclusionPart : Cursors<T> {
    using Cursors<T>::Cursors;
    using Cursors<T>::a;
    using Cursors<T>::aEnd;
    using Cursors<T>::b;  // after begin(): the range of B after the current gap
    using Cursors<T>::bEnd;
    using Cursors<T>::w;

    // The ranges of A that end before B's first range, and the start of the
    // one that reaches past it.
    void begin() {
        if (b == bEnd) return;
        const Wide firstGapUpper = Wide(b->lower) - 1;
        for (; a != aEnd && Wide(a->upper) <= firstGapUpper; ++a) *w++ = *a;
        if (a != aEnd && Wide(a->lower) <= firstGapUpper) *w++ = Range<T>{a->lower, T(firstGapUpper)};
        ++b;
    }
    void step() {
        const Range<T> x = *a;
        const T gapLower = T(b[-1].upper + 1), gapUpper = T(b->lower - 1);
        w->lower = std::max(x.lower, gapLower);
        w->upper = std::min(x.upper, gapUpper);
        w += w->lower <= w->upper;
        const bool passA = x.upper < gapUpper;
        a += passA;
        b += !passA;
    }
    // What is left of A after B's last range (all of A when B is empty).
    void finish(const Range<T>* bBegin) {
        const Wide lastGapLower =
            bBegin == bEnd ? std::numeric_limits<Wide>::min() : Wide(bEnd[-1].upper) + 1;
        for (; a != aEnd; ++a) {
            const Wide lower = std::max<Wide>(a->lower, lastGapLower);
            w->lower = T(lower);
            w->upper = a->upper;
            w += lower <= Wide(a->upper);
        }
    }
    static bool joinAtCut(Range<T>&, const Range<T>&) { return false; }
};

// One merge of A u B (A not empty): ranges are taken by ascending lower
// bound (A's first on a tie) and merged into the pending last range while
// they touch it; each step stores the pending range at the write position
// and moves on only when a gap closes it.
template <typename T>
struct UnionPart : Cursors<T> {
    using Cursors<T>::Cursors;
    using Cursors<T>::a;
    using Cursors<T>::aEnd;
    using Cursors<T>::b;
    using Cursors<T>::bEnd;
    using Cursors<T>::w;
    Range<T> pending = Range<T>{};

    void begin() { pending = (b != bEnd && b->lower < a->lower) ? *b++ : *a++; }
    void step() {
        // The next range's address by mask: a jump here would be
        // mispredicted half of the time on random input.
        const bool takeB = b->lower < a->lower;
        const std::uintptr_t pickB = std::uintptr_t(0) - std::uintptr_t(takeB);
        const Range<T> next = *reinterpret_cast<const Range<T>*>(
            (reinterpret_cast<std::uintptr_t>(a) & ~pickB) | (reinterpret_cast<std::uintptr_t>(b) & pickB));
        b += takeB;
        a += !takeB;
        *w = pending;
        const bool gap = Wide(next.lower) > Wide(pending.upper) + 1;
        w += gap;
        // After a gap next ends after pending, so the upper bound is the
        // larger one either way; the lower bound is next's after a gap.
        const T keep = T(0) - T(!gap);  // all ones while merging
        pending.lower = T((pending.lower & keep) | (next.lower & ~keep));
        pending.upper = std::max(pending.upper, next.upper);
    }
    // The rest of the input left over: its first ranges may join the
    // pending one, the others follow it unchanged.
    void finish(const Range<T>*) {
        const Range<T>* r = a != aEnd ? a : b;
        const Range<T>* end = a != aEnd ? aEnd : bEnd;
        for (; r != end && Wide(r->lower) <= Wide(pending.upper) + 1; ++r)
            pending.upper = std::max(pending.upper, r->upper);
        *w++ = pending;
        std::memcpy(w, r, std::size_t(end - r) * sizeof(Range<T>));
        w += end - r;
    }
    // Whether first, the second half's first range, joins last, the first
    // half's last one (a range of B cut at the middle lies in both).
    static bool joinAtCut(Range<T>& last, const Range<T>& first) {
        if (Wide(first.lower) > Wide(last.upper) + 1) return false;
        last.upper = std::max(last.upper, first.upper);
        return true;
    }
};

// Ranges of output room one merge needs for inputs of na and nb ranges: a
// result has at most na + nb ranges, and one more is written and dropped.
inline std::size_t partRoom(std::size_t na, std::size_t nb) { return na + nb + 1; }

// Ranges of output room the merges need: the first half's room, then the
// second's (the two halves share at most one range of B).
inline std::size_t room(std::size_t na, std::size_t nb) { return partRoom(na, nb + 1) + 1; }

// Inputs this long are cut in two and the halves merged side by side.
constexpr std::size_t kSplitAt = 64;

// Where long inputs are cut in two: A before and from its middle range mid,
// whose lower bound is s; B before b1End and from b2, where b2 is its first
// range that reaches s (a range of B that holds s - 1 and s is in both).
template <typename T>
struct Cut {
    const Range<T>* mid;
    const Range<T>* b1End;
    const Range<T>* b2;
};

template <typename T>
Cut<T> cut(const Range<T>* a, const Range<T>* aEnd, const Range<T>* b, const Range<T>* bEnd) {
    const Range<T>* mid = a + (aEnd - a) / 2;
    const T s = mid->lower;
    const Range<T>* b2 = std::partition_point(b, bEnd, [s](const Range<T>& r) { return r.upper < s; });
    return Cut<T>{mid, (b2 != bEnd && b2->lower < s) ? b2 + 1 : b2, b2};
}

// Runs the merge Part over A and B into out and returns the number of
// ranges written.  Each merge step waits for the loads that the step
// before it chose, so long inputs are cut into two halves whose merges run
// interleaved, and the processor works on both at once: A at its middle
// range m, B where its ranges reach m's lower bound s (a range of B that
// holds s - 1 and s goes to both halves).  No result range crosses s - 1..s
// (A has no range holding both), so the halves' results, moved together,
// are the whole result, but for union, where the ranges on either side of
// the cut may join.
template <template <typename> class Part, typename T>
std::size_t run(const Range<T>* a, const Range<T>* aEnd, const Range<T>* b, const Range<T>* bEnd,
                Range<T>* out) {
    const std::size_t na = std::size_t(aEnd - a), nb = std::size_t(bEnd - b);
    if (na < kSplitAt || nb < kSplitAt) {
        Part<T> p(a, aEnd, b, bEnd, out);
        p.begin();
        while (p.live()) p.step();
        p.finish(b);
        return std::size_t(p.w - out);
    }
    const Cut<T> c = cut(a, aEnd, b, bEnd);
    Range<T>* out2 = out + partRoom(std::size_t(c.mid - a), std::size_t(c.b1End - b));
    Part<T> p1(a, c.mid, b, c.b1End, out);
    Part<T> p2(c.mid, aEnd, c.b2, bEnd, out2);
    p1.begin();
    p2.begin();
    while (p1.live() && p2.live()) {
        p1.step();
        p2.step();
    }
    while (p1.live()) p1.step();
    while (p2.live()) p2.step();
    p1.finish(b);
    p2.finish(c.b2);
    std::size_t n1 = std::size_t(p1.w - out), n2 = std::size_t(p2.w - out2);
    if (n1 != 0 && n2 != 0 && Part<T>::joinAtCut(out[n1 - 1], *out2)) {
        ++out2;
        --n2;
    }
    std::memmove(out + n1, out2, n2 * sizeof(Range<T>));
    return n1 + n2;
}

// One walk of the inclusion test: whether every range of A lies inside one
// range of B.  Each step passes B's range when it ends before A's, else
// A's range, which fails the test unless B's range holds it.
template <typename T>
struct InclusionWalk : Cursors<T> {
    using Cursors<T>::Cursors;
    using Cursors<T>::a;
    using Cursors<T>::aEnd;
    using Cursors<T>::b;
    bool failed = false;

    bool live() const { return !failed && Cursors<T>::live(); }
    void step() {
        const Range<T> x = *a, y = *b;
        const bool passB = y.upper < x.lower;
        failed = !passB && (y.lower > x.lower || y.upper < x.upper);
        b += passB;
        a += !passB;
    }
    // After the walk: A used up without a failure.
    bool holds() {
        while (live()) step();
        return !failed && a == aEnd;
    }
};

// Whether every range of A lies inside one range of B (neither empty).
// Long inputs are cut as run() cuts them and both halves walked side by
// side; the test holds when it holds for both, and fails as soon as one
// half fails.
template <typename T>
bool included(const Range<T>* a, const Range<T>* aEnd, const Range<T>* b, const Range<T>* bEnd) {
    if (std::size_t(aEnd - a) < kSplitAt || std::size_t(bEnd - b) < kSplitAt)
        return InclusionWalk<T>(a, aEnd, b, bEnd, nullptr).holds();
    const Cut<T> c = cut(a, aEnd, b, bEnd);
    InclusionWalk<T> p1(a, c.mid, b, c.b1End, nullptr);
    InclusionWalk<T> p2(c.mid, aEnd, c.b2, bEnd, nullptr);
    while (p1.live() && p2.live()) {
        p1.step();
        p2.step();
    }
    return p1.holds() && p2.holds();
}

// A u B into out (room(na, nb) ranges; A not empty); returns the number
// written.
template <typename T>
std::size_t unite(const Range<T>* a, const Range<T>* aEnd, const Range<T>* b, const Range<T>* bEnd,
                  Range<T>* out) {
    return run<UnionPart>(a, aEnd, b, bEnd, out);
}

// A n B into out (room(na, nb) ranges); returns the number written.
template <typename T>
std::size_t intersection(const Range<T>* a, const Range<T>* aEnd, const Range<T>* b, const Range<T>* bEnd,
                         Range<T>* out) {
    return run<IntersectionPart>(a, aEnd, b, bEnd, out);
}

// A \ B into out (room(na, nb) ranges); returns the number written.
template <typename T>
std::size_t exclusion(const Range<T>* a, const Range<T>* aEnd, const Range<T>* b, const Range<T>* bEnd,
                      Range<T>* out) {
    return run<ExclusionPart>(a, aEnd, b, bEnd, out);
}

}  // namespace merge
}  // namespace pgRangeArray
}  // namespace qv
