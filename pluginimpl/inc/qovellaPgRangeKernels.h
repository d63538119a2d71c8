// Set algebra on sorted range sequences: union, intersection, exclusion,
// appending a sorted run, inserting one range, and the inclusion and overlap
// tests.  Server-free.
//
// Inputs are [begin; end) runs of canonical ranges (sorted, disjoint,
// non-adjacent, lower <= upper) read in place; the kernels do not check that.
// Results go into a qv::pg::tVector that the caller owns and that must not
// share storage with an input.  Given canonical inputs every kernel leaves a
// canonical result.
//
// The step-by-step walks are single linear passes; runs that need no
// comparison are moved with one block copy.  With one input much smaller
// than the other, intersection, exclusion and the two tests search the
// bigger one instead (qovellaPgRangeFastPaths.h) when it is known canonical
// (the caller's fast::Forms, else one linear check); with two canonical
// inputs of like sizes, intersection and exclusion merge them without jumps
// (qovellaPgRangeMerges.h).  They fall back to the walk when they meet
// input that is not canonical, so every kernel gives the walk's result on
// every input.
//
// Two ranges touch when the later one's lower bound is <= the earlier one's
// upper bound + 1; that test is written so that it never overflows at the
// extremes of T (an upper bound equal to T's maximum touches everything
// after it, and nothing lies after it).  Touching ranges are merged.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

#include "qovellaPgRangeArray.h"
#include "qovellaPgRangeFastPaths.h"
#include "qovellaPgRangeMerges.h"
#include "qovellaPgVector.h"

namespace qv {
namespace pgRangeArray {

// Output vector of the kernels.
template <typename T, void* (*Alloc)(std::size_t), void (*Free)(void*)>
using RangeVector = pg::tVector<Range<T>, Alloc, Free>;

// Whether a range starting at laterLower joins one ending at earlierUpper:
// laterLower <= earlierUpper + 1, evaluated in a wider type where there is
// one (no branch), else without forming earlierUpper + 1 at T's max.
template <typename T>
inline bool rangesTouch(T earlierUpper, T laterLower) {
    if (sizeof(T) < sizeof(long long))
        return static_cast<long long>(laterLower) <= static_cast<long long>(earlierUpper) + 1;
    return earlierUpper == std::numeric_limits<T>::max() || laterLower <= earlierUpper + 1;
}

// Appends to a vector through a local copy of its size, capacity and buffer,
// so that the kernels' inner loops keep them in registers.  finish() hands
// the size back; the vector grows (by doubling) only in ensureRoom().
template <typename T, void* (*Alloc)(std::size_t), void (*Free)(void*)>
struct RangeWriter {
    pg::tVector<Range<T>, Alloc, Free>& vec;
    Range<T>* data;
    pg::tSize size;
    pg::tSize capacity;

    explicit RangeWriter(pg::tVector<Range<T>, Alloc, Free>& v)
        : vec(v), data(v.data), size(v.size), capacity(v.capacity) {}

    // Makes room for one more range at data[size].
    void ensureRoom() {
        if (size < capacity) return;
        vec.size = size;
        vec.resize(size + 1);
        vec.size = size;
        data = vec.data;
        capacity = vec.capacity;
    }
    void push(const Range<T>& r) {
        ensureRoom();
        data[size++] = r;
    }
    void finish() { vec.size = size; }
};

// x + 1, wrapping at T's maximum.  Only non-canonical input (a range of B
// ending at T's maximum with another after it) can make it wrap.
template <typename T>
inline T successor(T x) {
    typedef typename std::make_unsigned<T>::type U;
    return static_cast<T>(static_cast<U>(static_cast<U>(x) + 1u));
}

// Appends [begin; end) to out unchanged, in one block copy.
template <typename T, void* (*Alloc)(std::size_t), void (*Free)(void*)>
inline void appendRun(RangeVector<T, Alloc, Free>& out, const Range<T>* begin,
                      const Range<T>* end) {
    if (begin == end) return;
    pg::tSize at = out.size;
    out.resize(at + static_cast<pg::tSize>(end - begin));
    std::memcpy(out.data + at, begin, static_cast<std::size_t>(end - begin) * sizeof(Range<T>));
}

// Appends the sorted run [begin; end) to out, merging the run's leading
// ranges into out's last range where they touch it; the rest of the run is
// block-copied without further comparisons.
template <typename T, void* (*Alloc)(std::size_t), void (*Free)(void*)>
void pushOrMerge(RangeVector<T, Alloc, Free>& out, const Range<T>* begin, const Range<T>* end) {
    if (begin == end) return;
    if (out.size != 0) {
        Range<T>& last = out.data[out.size - 1];
        while (rangesTouch(last.upper, begin->lower)) {
            last.upper = std::max(last.upper, begin->upper);
            if (++begin == end) return;
        }
    }
    appendRun(out, begin, end);
}

// out := A u B.  Ranges are taken by ascending lower bound (A's first on a
// tie) and merged into the pending last range while they touch it.  The loop
// is written without data-dependent branches: the pending range is stored at
// the write position on every step and the position advances only when a gap
// closes it.
template <typename T, void* (*Alloc)(std::size_t), void (*Free)(void*)>
void stepwiseUnion(const Range<T>* aBegin, const Range<T>* aEnd, const Range<T>* bBegin,
                  const Range<T>* bEnd, RangeVector<T, Alloc, Free>& out) {
    out.clear();
    if (aBegin == aEnd) return appendRun(out, bBegin, bEnd);
    if (bBegin == bEnd) return appendRun(out, aBegin, aEnd);

    const Range<T>* a = aBegin;
    const Range<T>* b = bBegin;
    Range<T> pending = (b->lower < a->lower) ? *b++ : *a++;
    RangeWriter<T, Alloc, Free> w(out);
    while (a != aEnd && b != bEnd) {
        // Selections by mask: the compiler keeps them free of jumps, which
        // random inputs would mispredict half of the time.
        bool takeB = b->lower < a->lower;
        std::uintptr_t pickB = std::uintptr_t(0) - std::uintptr_t(takeB);
        const Range<T> next = *reinterpret_cast<const Range<T>*>(
            (reinterpret_cast<std::uintptr_t>(a) & ~pickB) | (reinterpret_cast<std::uintptr_t>(b) & pickB));
        b += takeB;
        a += !takeB;
        w.ensureRoom();
        w.data[w.size] = pending;
        bool gap = !rangesTouch(pending.upper, next.lower);
        w.size += gap;
        T keep = T(0) - T(!gap);  // all ones while merging
        T merged = std::max(pending.upper, next.upper);
        pending.lower = (pending.lower & keep) | (next.lower & ~keep);
        pending.upper = (merged & keep) | (next.upper & ~keep);
    }
    w.push(pending);
    w.finish();
    pushOrMerge(out, a, aEnd);
    pushOrMerge(out, b, bEnd);
}

// out := A n B.  Whenever one input's current range starts first, the other
// input's ranges that lie wholly inside it are copied, and the one that
// sticks out past its end contributes the common piece; pieces come out in
// order and never touch, so nothing is merged.
template <typename T, void* (*Alloc)(std::size_t), void (*Free)(void*)>
void stepwiseIntersection(const Range<T>* aBegin, const Range<T>* aEnd, const Range<T>* bBegin,
                         const Range<T>* bEnd, RangeVector<T, Alloc, Free>& out) {
    out.clear();
    const Range<T>* a = aBegin;
    const Range<T>* b = bBegin;
    while (a != aEnd && b != bEnd) {
        // outer starts strictly first (A's range when B's does not start first).
        bool aFirst = a->lower < b->lower;
        const Range<T>& outer = aFirst ? *a : *b;
        const Range<T>*& inner = aFirst ? b : a;
        const Range<T>* innerEnd = aFirst ? bEnd : aEnd;
        if (outer.upper >= inner->upper) {
            const Range<T>* run = inner;
            do ++inner; while (inner != innerEnd && inner->upper <= outer.upper);
            appendRun(out, run, inner);
            if (inner == innerEnd) return;
        }
        if (outer.upper >= inner->lower) out.push_back(Range<T>{inner->lower, outer.upper});
        if (aFirst) ++a; else ++b;
    }
}

// out := A \ B.  A cursor j keeps the first range of B that can still reach
// into the current range of A; for each range of A the ranges of B from j on
// cut it into the pieces that lie before, between and after them.  Bound
// arithmetic is formed only where it cannot overflow: B[k].lower - 1 when
// B[k].lower > a.lower, B[k-1].upper + 1 when B[k] follows it, and
// B[k].upper + 1 when B[k].upper < a.upper.
template <typename T, void* (*Alloc)(std::size_t), void (*Free)(void*)>
void stepwiseExclusion(const Range<T>* aBegin, const Range<T>* aEnd, const Range<T>* bBegin,
                      const Range<T>* bEnd, RangeVector<T, Alloc, Free>& out) {
    out.clear();
    if (aBegin == aEnd) return;
    if (bBegin == bEnd) return appendRun(out, aBegin, aEnd);

    const Range<T>* j = bBegin;
    for (const Range<T>* a = aBegin; a != aEnd; ++a) {
        if (a->upper < j->lower) {
            out.push_back(*a);
            continue;
        }
        for (const Range<T>* k = j;; ++k) {
            const Range<T>* next = k + 1;
            bool nextBeyondA = next == bEnd || next->lower > a->upper;
            if (k->upper >= a->lower) {
                if (a->lower < k->lower) {
                    T from = (k == bBegin) ? a->lower : std::max<T>(successor(k[-1].upper), a->lower);
                    out.push_back(Range<T>{from, k->lower - 1});
                }
                if (a->upper < k->upper) {
                    j = k;
                    break;
                }
                if (k->upper < a->upper && nextBeyondA)
                    out.push_back(Range<T>{k->upper + 1, a->upper});
            } else if (nextBeyondA) {
                out.push_back(*a);
            }
            if (next == bEnd) {
                pushOrMerge(out, a + 1, aEnd);
                return;
            }
            if (next->lower > a->upper) {
                j = next;
                break;
            }
        }
    }
}

// Inserts r into the canonical vector vec, merging it with every range it
// touches: two binary searches and at most one block move.  An r with
// lower > upper is inserted by the same steps (and may leave vec
// non-canonical).
template <typename T, void* (*Alloc)(std::size_t), void (*Free)(void*)>
void rangeArrayInsert(RangeVector<T, Alloc, Free>& vec, const Range<T>& r) {
    if (vec.size == 0) {
        vec.push_back(r);
        return;
    }
    const Range<T> value = r;  // r may point into vec, which can move
    Range<T>* data = vec.data;
    pg::tSize size = vec.size;

    // hi: first range that starts after r with a gap (lower > r.upper + 1).
    pg::tSize hi = static_cast<pg::tSize>(
        std::partition_point(data, data + size,
                             [&](const Range<T>& x) { return rangesTouch(value.upper, x.lower); }) -
        data);
    // lo: first range before hi that reaches r (upper + 1 >= r.lower).
    pg::tSize lo = static_cast<pg::tSize>(
        std::partition_point(data, data + hi,
                             [&](const Range<T>& x) { return !rangesTouch(x.upper, value.lower); }) -
        data);

    if (lo == size) {
        vec.push_back(value);
    } else if (lo < hi) {
        data[lo].lower = std::min(data[lo].lower, value.lower);
        data[lo].upper = std::max(value.upper, data[hi - 1].upper);
        if (hi - lo > 1) {
            std::memmove(data + lo + 1, data + hi, (size - hi) * sizeof(Range<T>));
            vec.resize(size - (hi - lo - 1));
        }
    } else {
        // lo == hi < size: r lies in the gap before range lo (hi == 0: at the front).
        vec.resize(size + 1);
        data = vec.data;
        std::memmove(data + lo + 1, data + lo, (size - lo) * sizeof(Range<T>));
        data[lo] = value;
    }
}

// Whether every range of A lies inside one range of B; false when either is
// empty.  One cursor walks B and stays on the range that held the last range
// of A, which may hold the next one too.  Each step moves one cursor, chosen
// by a comparison result rather than a jump; the rare decisive case leaves.
template <typename T>
bool stepwiseIsStrictlyIncluded(const Range<T>* aBegin, const Range<T>* aEnd, const Range<T>* bBegin,
                        const Range<T>* bEnd) {
    if (aBegin == aEnd || bBegin == bEnd) return false;
    const Range<T>* a = aBegin;
    const Range<T>* b = bBegin;
    while (a != aEnd) {
        if (b == bEnd) return false;
        const Range<T> x = *a, y = *b;
        bool bBefore = y.upper < x.lower;
        if (!bBefore && (y.lower > x.lower || y.upper < x.upper)) return false;
        b += bBefore;
        a += !bBefore;
    }
    return true;
}

// Whether A and B share a value.  With x and y the current ranges: when x
// starts first, they share a value when y starts within x, else x is passed;
// otherwise when x starts within y, else y is passed.  Stops at the first
// shared value.
template <typename T>
bool stepwiseIsOverlap(const Range<T>* aBegin, const Range<T>* aEnd, const Range<T>* bBegin,
               const Range<T>* bEnd) {
    const Range<T>* a = aBegin;
    const Range<T>* b = bBegin;
    while (a != aEnd && b != bEnd) {
        if (a->lower < b->lower) {
            if (b->lower <= a->upper) return true;
            ++a;
        } else {
            if (a->lower <= b->upper) return true;
            ++b;
        }
    }
    return false;
}

// ---- the kernels: fast path first, the walk when an input is not canonical ----

// Whether both inputs are non-empty and canonical, by what known says or
// else one linear check each (its outcome kept in known).
template <typename T>
inline bool bothCanonical(const Range<T>* aBegin, const Range<T>* aEnd, const Range<T>* bBegin,
                          const Range<T>* bEnd, fast::Forms& known) {
    return aBegin != aEnd && bBegin != bEnd && fast::knownCanonical(known.a, aBegin, aEnd) &&
           fast::knownCanonical(known.b, bBegin, bEnd);
}

// out := A u B: two canonical inputs are merged (in two halves when long),
// others walked; with room for the largest result made at once.
// forms: what the caller knows of the inputs' form (updated by a check).
template <typename T, void* (*Alloc)(std::size_t), void (*Free)(void*)>
void computeUnion(const Range<T>* aBegin, const Range<T>* aEnd, const Range<T>* bBegin,
                  const Range<T>* bEnd, RangeVector<T, Alloc, Free>& out, fast::Forms* forms = nullptr) {
    const std::size_t na = std::size_t(aEnd - aBegin), nb = std::size_t(bEnd - bBegin);
    fast::Forms unknown;
    out.clear();
    if (bothCanonical(aBegin, aEnd, bBegin, bEnd, forms ? *forms : unknown)) {
        out.reserve(static_cast<pg::tSize>(merge::room(na, nb)));
        out.size = merge::unite(aBegin, aEnd, bBegin, bEnd, out.data);
        return;
    }
    out.reserve(static_cast<pg::tSize>(na + nb));
    stepwiseUnion(aBegin, aEnd, bBegin, bEnd, out);
}

// Runs intersection or exclusion: the search of the bigger input that
// chooseSearch picks (searchB with few ranges in A, searchA with few in B,
// each given roomB or roomA ranges of output first); else, for two
// canonical inputs of like sizes, the jump-free merge; else, or when a
// search meets input out of form, the walk.
template <typename T, void* (*Alloc)(std::size_t), void (*Free)(void*), typename SearchB,
          typename SearchA, typename Merge, typename Walk>
void runBinaryKernel(const Range<T>* aBegin, const Range<T>* aEnd, const Range<T>* bBegin,
                     const Range<T>* bEnd, RangeVector<T, Alloc, Free>& out, fast::Forms* forms,
                     std::size_t roomB, std::size_t roomA, SearchB searchB, SearchA searchA, Merge merge,
                     Walk walk) {
    const std::size_t na = std::size_t(aEnd - aBegin), nb = std::size_t(bEnd - bBegin);
    fast::Forms unknown;
    fast::Forms& known = forms ? *forms : unknown;
    out.clear();
    switch (fast::chooseSearch(aBegin, aEnd, bBegin, bEnd, known)) {
        case fast::kSearchB:
            out.reserve(static_cast<pg::tSize>(roomB));
            if (searchB(aBegin, aEnd, bBegin, bEnd, out)) return;
            break;
        case fast::kSearchA:
            out.reserve(static_cast<pg::tSize>(roomA));
            if (searchA(aBegin, aEnd, bBegin, bEnd, out)) return;
            break;
        case fast::kWalk:
            if (!fast::skewed(na, nb) && !fast::skewed(nb, na) && bothCanonical(aBegin, aEnd, bBegin, bEnd, known)) {
                out.reserve(static_cast<pg::tSize>(merge::room(na, nb)));
                out.size = merge(aBegin, aEnd, bBegin, bEnd, out.data);
                return;
            }
            break;
    }
    out.clear();
    out.reserve(static_cast<pg::tSize>(std::max(na, nb)));
    walk(aBegin, aEnd, bBegin, bEnd, out);
}

// out := A n B.  With one input much smaller than the other, its ranges
// are searched in the bigger one (output room: the smaller input's size).
// forms: what the caller knows of the inputs' form (updated by a check).
template <typename T, void* (*Alloc)(std::size_t), void (*Free)(void*)>
void computeIntersection(const Range<T>* aBegin, const Range<T>* aEnd, const Range<T>* bBegin,
                         const Range<T>* bEnd, RangeVector<T, Alloc, Free>& out,
                         fast::Forms* forms = nullptr) {
    typedef RangeVector<T, Alloc, Free> Out;
    runBinaryKernel(aBegin, aEnd, bBegin, bEnd, out, forms, std::size_t(aEnd - aBegin), std::size_t(bEnd - bBegin),
                    fast::intersectSkewed<Out, T>,
                    [](const Range<T>* a0, const Range<T>* a1, const Range<T>* b0, const Range<T>* b1, Out& o) {
                        return fast::intersectSkewed(b0, b1, a0, a1, o);
                    },
                    merge::intersection<T>, stepwiseIntersection<T, Alloc, Free>);
}

// out := A \ B.  With one input much smaller than the other: a small A is
// cut by the ranges of B it meets, searched; a big A is copied in blocks
// between the ranges of a small B (output room: A's size).
template <typename T, void* (*Alloc)(std::size_t), void (*Free)(void*)>
void computeExclusion(const Range<T>* aBegin, const Range<T>* aEnd, const Range<T>* bBegin,
                      const Range<T>* bEnd, RangeVector<T, Alloc, Free>& out,
                      fast::Forms* forms = nullptr) {
    typedef RangeVector<T, Alloc, Free> Out;
    const std::size_t na = std::size_t(aEnd - aBegin);
    runBinaryKernel(aBegin, aEnd, bBegin, bEnd, out, forms, na, na, fast::excludeFromSmall<Out, T>,
                    fast::excludeSmall<Out, T>, merge::exclusion<T>, stepwiseExclusion<T, Alloc, Free>);
}

// A test of two range sequences, as a function.
template <typename T>
using RangeTestFn = bool (*)(const Range<T>*, const Range<T>*, const Range<T>*, const Range<T>*);

// Runs the inclusion or the overlap test: the search of the bigger input
// that chooseSearch picks; else, for two canonical inputs of like sizes,
// the merge when the test has one; else, or when a search meets input out
// of form, the walk.
template <typename T, typename SearchB, typename SearchA>
bool runTest(const Range<T>* aBegin, const Range<T>* aEnd, const Range<T>* bBegin, const Range<T>* bEnd,
             fast::Forms* forms, SearchB searchB, SearchA searchA, RangeTestFn<T> merge, RangeTestFn<T> walk) {
    const std::size_t na = std::size_t(aEnd - aBegin), nb = std::size_t(bEnd - bBegin);
    fast::Forms unknown;
    fast::Forms& known = forms ? *forms : unknown;
    fast::Verdict v = fast::kNotCanonical;
    switch (fast::chooseSearch(aBegin, aEnd, bBegin, bEnd, known)) {
        case fast::kSearchB: v = searchB(aBegin, aEnd, bBegin, bEnd); break;
        case fast::kSearchA: v = searchA(aBegin, aEnd, bBegin, bEnd); break;
        case fast::kWalk:
            if (merge && !fast::skewed(na, nb) && !fast::skewed(nb, na) &&
                bothCanonical(aBegin, aEnd, bBegin, bEnd, known))
                return merge(aBegin, aEnd, bBegin, bEnd);
            break;
    }
    return v == fast::kNotCanonical ? walk(aBegin, aEnd, bBegin, bEnd) : v == fast::kYes;
}

// Whether every range of A lies inside one range of B; false when either is
// empty.  With one input much smaller than the other, the bigger one is
// searched.
template <typename T>
bool isStrictlyIncluded(const Range<T>* aBegin, const Range<T>* aEnd, const Range<T>* bBegin,
                        const Range<T>* bEnd, fast::Forms* forms = nullptr) {
    return runTest(aBegin, aEnd, bBegin, bEnd, forms, fast::includedSmall<T>, fast::includedInSmall<T>,
                   merge::included<T>, stepwiseIsStrictlyIncluded<T>);
}

// Whether A and B share a value.  With one input much smaller than the
// other, its ranges are searched in the bigger one.  Two inputs of like
// sizes are walked, with no merge: the walk's jumps follow the inputs'
// alternation, which the processor predicts well where the walk lasts long
// (no shared value), and the walk needs no check of the inputs' form.
template <typename T>
bool isOverlap(const Range<T>* aBegin, const Range<T>* aEnd, const Range<T>* bBegin,
               const Range<T>* bEnd, fast::Forms* forms = nullptr) {
    return runTest<T>(aBegin, aEnd, bBegin, bEnd, forms, fast::overlapSkewed<T>,
                   [](const Range<T>* a0, const Range<T>* a1, const Range<T>* b0, const Range<T>* b1) {
                       return fast::overlapSkewed(b0, b1, a0, a1);
                   },
                   nullptr, stepwiseIsOverlap<T>);
}

}  // namespace pgRangeArray
}  // namespace qv
