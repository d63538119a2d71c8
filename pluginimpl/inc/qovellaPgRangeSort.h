// Sorting ranges by lower bound: a least-significant-digit radix sort over
// the 32-bit bound (four 8-bit digits), linear in the number of ranges.
// Server-free; the caller supplies a scratch buffer of the same length.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "qovellaPgRangeArray.h"

namespace qv {
namespace pgRangeArray {

// Below this many ranges a comparison sort is faster.
constexpr std::size_t kRadixSortMin = 256;

// The lower bound as an unsigned key that orders like the signed bound.
inline std::uint32_t lowerKey(const Range<int>& r) {
    return static_cast<std::uint32_t>(r.lower) ^ 0x80000000u;
}

// Sorts data[0 .. n) by lower bound (stable), using scratch[0 .. n).
// Digits on which all ranges agree cost no pass.
inline void sortRangesByLower(Range<int>* data, std::size_t n, Range<int>* scratch) {
    if (n < kRadixSortMin) {
        std::sort(data, data + n,
                  [](const Range<int>& x, const Range<int>& y) { return x.lower < y.lower; });
        return;
    }
    std::size_t counts[4][256] = {};
    for (std::size_t i = 0; i < n; ++i) {
        std::uint32_t k = lowerKey(data[i]);
        ++counts[0][k & 0xff];
        ++counts[1][(k >> 8) & 0xff];
        ++counts[2][(k >> 16) & 0xff];
        ++counts[3][k >> 24];
    }
    Range<int>* src = data;
    Range<int>* dst = scratch;
    for (int digit = 0; digit < 4; ++digit) {
        std::size_t* c = counts[digit];
        if (std::count(c, c + 256, std::size_t(0)) == 255) continue;  // one bucket: order kept
        std::size_t offset = 0;
        for (int b = 0; b < 256; ++b) {
            std::size_t here = c[b];
            c[b] = offset;
            offset += here;
        }
        int shift = 8 * digit;
        for (std::size_t i = 0; i < n; ++i) dst[c[(lowerKey(src[i]) >> shift) & 0xff]++] = src[i];
        std::swap(src, dst);
    }
    if (src != data) std::memcpy(data, src, n * sizeof(Range<int>));
}

}  // namespace pgRangeArray
}  // namespace qv
