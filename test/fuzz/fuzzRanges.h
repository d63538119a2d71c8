// Range sequences for the fuzz targets: built from the fuzzer's bytes, and
// a plain model of sets of ranges to compare the kernels with.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "fuzzSupport.h"
#include "qovellaPgRangeArray.h"

namespace qv {
namespace fuzz {

using Ranges = std::vector<pgRangeArray::Range<int>>;

inline bool isCanonical(const pgRangeArray::Range<int>* r, std::size_t m) {
    for (std::size_t k = 0; k < m; ++k) {
        if (r[k].lower > r[k].upper) return false;
        if (k && std::int64_t(r[k].lower) <= std::int64_t(r[k - 1].upper) + 1) return false;
    }
    return true;
}

inline bool isCanonical(const Ranges& r) { return isCanonical(r.data(), r.size()); }

// Canonical ranges from gaps and lengths; the start, gaps and lengths come
// from the input, with a bias to the extremes of int4.
inline Ranges canonicalRanges(Input& in, std::size_t maxCount) {
    Ranges out;
    std::uint8_t start = in.take<std::uint8_t>();
    std::int64_t next = start < 32 ? INT32_MIN : start < 64 ? std::int64_t(in.take<std::int32_t>())
                                                            : std::int64_t(start) - 160;
    std::size_t count = in.take<std::uint8_t>() % (maxCount + 1);
    for (std::size_t i = 0; i < count && next <= INT32_MAX; ++i) {
        std::uint8_t len = in.take<std::uint8_t>();
        std::int64_t upper = next + (len < 200 ? len % 8 : std::int64_t(len) << (len % 24));
        if (len == 255) upper = INT32_MAX;
        if (upper > INT32_MAX) upper = INT32_MAX;
        out.push_back({std::int32_t(next), std::int32_t(upper)});
        std::uint8_t gap = in.take<std::uint8_t>();
        next = upper + 2 + (gap < 200 ? gap % 8 : std::int64_t(gap) << (gap % 28));
    }
    return out;
}

// Arbitrary ranges: any bounds, in any order.
inline Ranges rawRanges(Input& in, std::size_t maxCount) {
    Ranges out;
    std::size_t count = in.take<std::uint8_t>() % (maxCount + 1);
    for (std::size_t i = 0; i < count; ++i) {
        std::int32_t a = in.take<std::int32_t>();
        std::int32_t b = in.take<std::int32_t>();
        out.push_back({a, b});
    }
    return out;
}

// The model: canonical union of any ranges (lower > upper ones are empty).
inline Ranges normalize(Ranges r) {
    r.erase(std::remove_if(r.begin(), r.end(), [](const pgRangeArray::Range<int>& x) {
                return x.lower > x.upper;
            }), r.end());
    std::sort(r.begin(), r.end(), [](const pgRangeArray::Range<int>& a, const pgRangeArray::Range<int>& b) {
        return a.lower < b.lower;
    });
    Ranges out;
    for (const auto& x : r) {
        if (!out.empty() && std::int64_t(x.lower) <= std::int64_t(out.back().upper) + 1)
            out.back().upper = std::max(out.back().upper, x.upper);
        else
            out.push_back(x);
    }
    return out;
}

inline Ranges modelIntersection(const Ranges& a, const Ranges& b) {
    Ranges out;
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        int lo = std::max(a[i].lower, b[j].lower), hi = std::min(a[i].upper, b[j].upper);
        if (lo <= hi) out.push_back({lo, hi});
        if (a[i].upper < b[j].upper) ++i; else ++j;
    }
    return out;
}

inline Ranges modelComplement(const Ranges& b) {
    Ranges out;
    std::int64_t cur = INT32_MIN;
    for (const auto& x : b) {
        if (x.lower > cur) out.push_back({std::int32_t(cur), x.lower - 1});
        cur = std::int64_t(x.upper) + 1;
    }
    if (cur <= INT32_MAX) out.push_back({std::int32_t(cur), INT32_MAX});
    return out;
}

template <typename V>
inline bool sameRanges(const V& v, const Ranges& want) {
    if (v.size != want.size()) return false;
    for (std::size_t i = 0; i < want.size(); ++i)
        if (v.data[i].lower != want[i].lower || v.data[i].upper != want[i].upper) return false;
    return true;
}

}  // namespace fuzz
}  // namespace qv
