// Fast paths of the set-algebra kernels and tests for a small input against
// a much bigger one.  Server-free.
//
// When one input has far fewer ranges than the other, the big one is
// searched (galloping from the last position, then binary search) rather
// than walked: O(m log n) for m ranges against n.  The searches assume the
// canonical form (sorted, disjoint, non-adjacent, lower <= upper) and give
// the walk's result only on it.  The caller searches a big input only when
// it is known canonical in full (knownCanonical: a flag kept with a cached
// copy, or one linear check); each search checks the small input whole and
// the big one wherever it reads a range.  A search that meets a range out
// of form says so, its output is discarded, and the caller runs the
// step-by-step walk instead.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>
#include <type_traits>

#include "qovellaPgRangeArray.h"

namespace qv {
namespace pgRangeArray {
namespace fast {

typedef long long Wide;

// An upper bound of "the range before the first", which any lower bound
// follows with a gap.
constexpr Wide kBeforeAll = std::numeric_limits<Wide>::min() / 2;

// Whether x is not canonical after a range ending at prevUpper.
template <typename T>
inline bool breaksForm(const Range<T>& x, Wide prevUpper) {
    return (x.lower > x.upper) | (Wide(x.lower) <= prevUpper + 1);
}

// Whether the ranges [p; end) are canonical and follow, with a gap, a range
// ending at prevUpper.  After the first range each one is compared with the
// one before it alone, with no value carried from step to step, so that the
// compiler can check several at once (vector instructions, which GCC uses
// at -O2 only when asked).
template <typename T>
#if defined(__GNUC__) && !defined(__clang__)
__attribute__((optimize("tree-vectorize")))
#endif
inline bool canonicalAfter(const Range<T>* p, const Range<T>* end, Wide prevUpper) {
    typedef typename std::make_unsigned<T>::type U;
    if (p == end) return true;
    if (breaksForm(*p, prevUpper)) return false;
    const std::size_t n = std::size_t(end - p);
    unsigned bad = 0;
    for (std::size_t i = 1; i < n; ++i) {
        const T lower = p[i].lower, upper = p[i].upper, before = p[i - 1].upper;
        // lower <= upper, and lower > before + 1 without forming before + 1
        bad |= unsigned(lower > upper) | unsigned(lower <= before) | unsigned(U(lower) - U(before) < 2u);
    }
    return bad == 0;
}

// What a caller knows of an input's form.
enum Form : unsigned char { kFormUnknown = 0, kFormCanonical = 1, kFormNotCanonical = 2 };

// What is known of the two inputs of a kernel.  A kernel that checks an
// input of unknown form writes the outcome back, so that a caller keeping
// the input (a cached stored set) checks it once.
struct Forms {
    Form a = kFormUnknown;
    Form b = kFormUnknown;
};

// Whether [p; end) is canonical: f when known, else one linear check
// whose outcome is kept in f.
template <typename T>
inline bool knownCanonical(Form& f, const Range<T>* p, const Range<T>* end) {
    if (f == kFormUnknown) f = canonicalAfter(p, end, kBeforeAll) ? kFormCanonical : kFormNotCanonical;
    return f == kFormCanonical;
}

// The first of [first; last) whose upper bound is >= x (last when none).
template <typename T>
inline const Range<T>* firstReaching(const Range<T>* first, const Range<T>* last, Wide x) {
    return std::partition_point(first, last, [x](const Range<T>& r) { return Wide(r.upper) < x; });
}

// When the smaller input has at most 1 / kSkewRatio of the bigger one's
// ranges, searching the bigger one beats walking it.
constexpr std::size_t kSkewRatio = 16;

inline bool skewed(std::size_t small, std::size_t big) { return small * kSkewRatio <= big; }

// Which input a kernel searches: none (it walks), B (few ranges in A) or
// A (few ranges in B).  The bigger input is searched when the other one
// has few ranges, neither is empty, and it is known canonical.
enum Search { kWalk, kSearchB, kSearchA };

template <typename T>
inline Search chooseSearch(const Range<T>* a0, const Range<T>* a1, const Range<T>* b0,
                           const Range<T>* b1, Forms& known) {
    const std::size_t na = std::size_t(a1 - a0), nb = std::size_t(b1 - b0);
    if (na == 0 || nb == 0) return kWalk;
    if (skewed(na, nb)) return knownCanonical(known.b, b0, b1) ? kSearchB : kWalk;
    if (skewed(nb, na)) return knownCanonical(known.a, a0, a1) ? kSearchA : kWalk;
    return kWalk;
}

// The first of [from; last) whose upper bound is >= x: galloping from
// `from` (1, 2, 4, ... ranges on), then binary search in the last step.
template <typename T>
inline const Range<T>* gallopReaching(const Range<T>* from, const Range<T>* last, Wide x) {
    std::size_t step = 1;
    const Range<T>* lo = from;
    while (std::size_t(last - lo) > step && Wide(lo[step - 1].upper) < x) {
        lo += step;
        step *= 2;
    }
    return firstReaching(lo, std::min(lo + step, last), x);
}

// Appends n ranges at p to out in one block.
template <typename Vec, typename T>
inline void appendBlock(Vec& out, const Range<T>* p, std::size_t n) {
    if (n == 0) return;
    const std::size_t at = out.size;
    out.resize(at + n);
    std::memcpy(out.data + at, p, n * sizeof(Range<T>));
}

// The first range of [from; last) that reaches x, the position checked
// against the range before it (in canonical input that one ends before x).
template <typename T>
inline const Range<T>* seek(const Range<T>* first, const Range<T>* from, const Range<T>* last, Wide x,
                            bool& bad) {
    const Range<T>* p = gallopReaching(from, last, x);
    if (p != last) bad |= breaksForm(*p, p != first ? Wide(p[-1].upper) : kBeforeAll);
    return p;
}

// A n B with few ranges in s (either side: the result is the same); the
// ranges of big that each range of s reaches are clipped to it.  False
// (output to discard) when an input is not canonical.
template <typename Vec, typename T>
bool intersectSkewed(const Range<T>* s0, const Range<T>* s1, const Range<T>* b0, const Range<T>* b1,
                     Vec& out) {
    if (!canonicalAfter(s0, s1, kBeforeAll)) return false;
    bool bad = false;
    const Range<T>* p = b0;
    for (const Range<T>* x = s0; x != s1 && p != b1; ++x) {
        p = seek(b0, p, b1, x->lower, bad);
        for (; p != b1 && p->lower <= x->upper; ++p) {
            bad |= p != b0 && breaksForm(*p, p[-1].upper);
            out.push_back(Range<T>{std::max(p->lower, x->lower), std::min(p->upper, x->upper)});
            if (p->upper > x->upper) break;  // it may reach the next range of s
        }
    }
    return !bad;
}

// A \ B with few ranges in A: each range of A is cut by the ranges of B
// that reach into it.
template <typename Vec, typename T>
bool excludeFromSmall(const Range<T>* a0, const Range<T>* a1, const Range<T>* b0, const Range<T>* b1,
                      Vec& out) {
    if (!canonicalAfter(a0, a1, kBeforeAll)) return false;
    bool bad = false;
    const Range<T>* p = b0;
    for (const Range<T>* x = a0; x != a1; ++x) {
        p = seek(b0, p, b1, x->lower, bad);
        Wide cur = x->lower;  // start of what is left of x
        for (; p != b1 && p->lower <= x->upper; ++p) {
            bad |= p != b0 && breaksForm(*p, p[-1].upper);
            if (Wide(p->lower) > cur) out.push_back(Range<T>{static_cast<T>(cur), static_cast<T>(p->lower - 1)});
            cur = Wide(p->upper) + 1;
            if (p->upper >= x->upper) break;  // it may reach the next range of A
        }
        if (cur <= Wide(x->upper)) out.push_back(Range<T>{static_cast<T>(cur), x->upper});
    }
    return !bad;
}

// A \ B with few ranges in B: the ranges of A between two ranges of B are
// copied in blocks; those a range of B reaches are cut.
template <typename Vec, typename T>
bool excludeSmall(const Range<T>* a0, const Range<T>* a1, const Range<T>* b0, const Range<T>* b1,
                  Vec& out) {
    if (!canonicalAfter(b0, b1, kBeforeAll)) return false;
    bool bad = false;
    const Range<T>* p = a0;
    Wide cur = a0 != a1 ? Wide(a0->lower) : 0;  // start of what is left of *p
    for (const Range<T>* y = b0; y != b1 && p != a1; ++y) {
        const Range<T>* q = seek(a0, p, a1, y->lower, bad);
        if (q != p) {  // *p and the ranges up to q lie before y
            bad |= !canonicalAfter(p + 1, q, p->upper);
            out.push_back(Range<T>{static_cast<T>(cur), p->upper});
            appendBlock(out, p + 1, std::size_t(q - p - 1));
            p = q;
            if (p != a1) cur = p->lower;
        }
        for (; p != a1 && p->lower <= y->upper; cur = p != a1 ? Wide(p->lower) : 0) {
            bad |= p != a0 && breaksForm(*p, p[-1].upper);
            if (cur < Wide(y->lower)) out.push_back(Range<T>{static_cast<T>(cur), static_cast<T>(y->lower - 1)});
            if (p->upper > y->upper) {  // what is left of it may meet the next range of B
                cur = std::max(cur, Wide(y->upper) + 1);
                break;
            }
            ++p;
        }
    }
    if (p != a1) {
        bad |= !canonicalAfter(p, a1, p != a0 ? Wide(p[-1].upper) : kBeforeAll);
        out.push_back(Range<T>{static_cast<T>(cur), p->upper});
        appendBlock(out, p + 1, std::size_t(a1 - p - 1));
    }
    return !bad;
}

// Test outcomes: no, yes, or an input is not canonical.
enum Verdict { kNo = 0, kYes = 1, kNotCanonical = -1 };

// Whether A and B share a value, with few ranges in s.
template <typename T>
Verdict overlapSkewed(const Range<T>* s0, const Range<T>* s1, const Range<T>* b0, const Range<T>* b1) {
    if (!canonicalAfter(s0, s1, kBeforeAll)) return kNotCanonical;
    bool bad = false;
    const Range<T>* p = b0;
    for (const Range<T>* x = s0; x != s1 && p != b1; ++x) {
        p = seek(b0, p, b1, x->lower, bad);
        if (bad) return kNotCanonical;
        if (p != b1 && p->lower <= x->upper) return kYes;
    }
    return kNo;
}

// Whether every range of A lies inside one range of B (both non-empty),
// with few ranges in A: each one's covering range is searched.
template <typename T>
Verdict includedSmall(const Range<T>* a0, const Range<T>* a1, const Range<T>* b0, const Range<T>* b1) {
    if (!canonicalAfter(a0, a1, kBeforeAll)) return kNotCanonical;
    bool bad = false;
    const Range<T>* p = b0;
    for (const Range<T>* x = a0; x != a1; ++x) {
        p = seek(b0, p, b1, x->lower, bad);
        if (bad) return kNotCanonical;
        if (p == b1 || p->lower > x->lower || p->upper < x->upper) return kNo;
    }
    return kYes;
}

// The same with few ranges in B: the ranges of A inside each range of B
// are passed over by one search; A is included when they are all of A.
template <typename T>
Verdict includedInSmall(const Range<T>* a0, const Range<T>* a1, const Range<T>* b0, const Range<T>* b1) {
    if (!canonicalAfter(b0, b1, kBeforeAll)) return kNotCanonical;
    bool bad = false;
    const Range<T>* p = a0;
    for (const Range<T>* y = b0; y != b1 && p != a1; ++y) {
        bad |= p != a0 && breaksForm(*p, p[-1].upper);
        if (p->lower < y->lower) return bad ? kNotCanonical : kNo;
        p = seek(a0, p, a1, Wide(y->upper) + 1, bad);
    }
    if (bad) return kNotCanonical;
    return p == a1 ? kYes : kNo;
}

}  // namespace fast
}  // namespace pgRangeArray
}  // namespace qv
