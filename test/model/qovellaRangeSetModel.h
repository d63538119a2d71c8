// The plain model of sets of int4 ranges that the unit tests and the fuzz
// targets compare the kernels with: no cleverness, int64 arithmetic at the
// bounds, and two independent ways to evaluate an operation (cutting the
// int4 line at every bound, and a linear merge) so that each checks the
// other.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <vector>

#include "qovellaPgRangeArray.h"

namespace qv {
namespace model {

using R = pgRangeArray::Range<int>;
using Ranges = std::vector<R>;

enum class Op { kUnion, kIntersection, kExclusion };

// Sorted, disjoint, not adjacent, every lower <= upper.
inline bool isCanonical(const R* r, std::size_t m) {
    for (std::size_t k = 0; k < m; ++k) {
        if (r[k].lower > r[k].upper) return false;
        if (k && std::int64_t(r[k].lower) <= std::int64_t(r[k - 1].upper) + 1) return false;
    }
    return true;
}
inline bool isCanonical(const Ranges& r) { return isCanonical(r.data(), r.size()); }

// The canonical union of any ranges (those with lower > upper are empty).
inline Ranges normalize(Ranges r) {
    r.erase(std::remove_if(r.begin(), r.end(), [](const R& x) { return x.lower > x.upper; }), r.end());
    std::sort(r.begin(), r.end(), [](const R& a, const R& b) { return a.lower < b.lower; });
    Ranges out;
    for (const R& x : r) {
        if (!out.empty() && std::int64_t(x.lower) <= std::int64_t(out.back().upper) + 1)
            out.back().upper = std::max(out.back().upper, x.upper);
        else
            out.push_back(x);
    }
    return out;
}

inline bool member(const Ranges& s, std::int64_t x) {
    for (const R& r : s)
        if (r.lower <= x && x <= r.upper) return true;
    return false;
}

// Evaluates op by cutting the int4 line at every bound of a and b and
// deciding each piece by membership of its first value.
inline Ranges evaluate(Op op, const Ranges& a, const Ranges& b) {
    std::set<std::int64_t> cuts = {std::int64_t(INT32_MIN), std::int64_t(INT32_MAX) + 1};
    for (const Ranges* s : {&a, &b})
        for (const R& r : *s) {
            cuts.insert(r.lower);
            cuts.insert(std::int64_t(r.upper) + 1);
        }
    Ranges pieces;
    for (auto it = cuts.begin(); std::next(it) != cuts.end(); ++it) {
        bool inA = member(a, *it), inB = member(b, *it);
        bool in = op == Op::kUnion ? (inA || inB) : op == Op::kIntersection ? (inA && inB) : (inA && !inB);
        if (in) pieces.push_back(R{int(*it), int(*std::next(it) - 1)});
    }
    return normalize(pieces);
}

// Intersection of two canonical sets by a linear merge.
inline Ranges intersection(const Ranges& a, const Ranges& b) {
    Ranges out;
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        int lo = std::max(a[i].lower, b[j].lower), hi = std::min(a[i].upper, b[j].upper);
        if (lo <= hi) out.push_back({lo, hi});
        if (a[i].upper < b[j].upper) ++i; else ++j;
    }
    return out;
}

// The gaps of a canonical set over the whole int4 line.
inline Ranges complement(const Ranges& b) {
    Ranges out;
    std::int64_t cur = INT32_MIN;
    for (const R& x : b) {
        if (x.lower > cur) out.push_back({std::int32_t(cur), x.lower - 1});
        cur = std::int64_t(x.upper) + 1;
    }
    if (cur <= INT32_MAX) out.push_back({std::int32_t(cur), INT32_MAX});
    return out;
}

}  // namespace model
}  // namespace qv
