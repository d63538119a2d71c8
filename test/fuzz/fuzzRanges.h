// Range sequences for the fuzz targets, built from the fuzzer's bytes; the
// model they are compared with is the tests' shared one.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "fuzzSupport.h"
#include "qovellaPgRangeArray.h"
#include "qovellaRangeSetModel.h"

namespace qv {
namespace fuzz {

using Ranges = model::Ranges;

using model::isCanonical;
using model::normalize;
using model::intersection;
using model::complement;

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

template <typename V>
inline bool sameRanges(const V& v, const Ranges& want) {
    if (v.size != want.size()) return false;
    for (std::size_t i = 0; i < want.size(); ++i)
        if (v.data[i].lower != want[i].lower || v.data[i].upper != want[i].upper) return false;
    return true;
}

}  // namespace fuzz
}  // namespace qv
