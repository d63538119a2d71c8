// Writing a set given as a scalar, range or mix array as a bitfield.
// Server-free: the caller allocates the value at the size bitFieldSize()
// gives, and writeBitField() fills it.
//
// The bounds are the set's true least and greatest values, found by a scan:
// input out of order can then never put a bit outside the bitmap.  Ranges
// with lower > upper hold no values.  A set without values is the one empty
// bitfield, lower 0 and upper -1 with no bits (12 bytes), whatever its
// encoding; that includes a mix array whose header is 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "qovellaPgBitField.h"
#include "qovellaPgMixArray.h"
#include "qovellaPgRangeArray.h"

namespace qv {
namespace bitField {

// Least and greatest value of a set; empty when it holds none.
struct SetBounds {
    bool empty;
    std::int32_t lower;
    std::int32_t upper;

    void add(std::int32_t lo, std::int32_t hi) {
        if (lo > hi) return;
        if (empty || lo < lower) lower = lo;
        if (empty || hi > upper) upper = hi;
        empty = false;
    }
};

// A set given by its encoding's elements, read in place.
struct SetElements {
    pgRangeArray::ArrayDataType type;  // kScalarArray, kRangeArray or kMixArray
    const std::int32_t* data;
    std::size_t count;                 // for a range array: even
};

// Calls item(lo, hi) for every value or range of the set, in stored order.
// The body of a mix array with header 0 is not read: the set is empty.
template <typename F>
inline void forEachSetItem(const SetElements& set, const char* routine, F&& item) {
    switch (set.type) {
        case pgRangeArray::kRangeArray:
            for (std::size_t i = 0; i + 1 < set.count; i += 2) item(set.data[i], set.data[i + 1]);
            break;
        case pgRangeArray::kMixArray:
            if (set.count > 1 && set.data[0] != 0)
                mixArray::forEachMixItem(set.data + 1, set.count - 1, routine, item);
            break;
        default:
            for (std::size_t i = 0; i < set.count; ++i) item(set.data[i], set.data[i]);
    }
}

inline SetBounds setBounds(const SetElements& set, const char* routine) {
    SetBounds b{true, 0, -1};
    forEachSetItem(set, routine, [&](std::int32_t lo, std::int32_t hi) { b.add(lo, hi); });
    if (b.empty) {
        b.lower = 0;
        b.upper = -1;
    }
    return b;
}

// Total size of the bitfield of bounds b, header included (at most 12 bytes
// plus 2^29 for the whole int4 domain).
inline std::size_t bitFieldSize(const SetBounds& b) {
    std::int64_t bits = bitsBytesFor(b.lower, b.upper);  // never -1: lower <= upper + 1
    return kHeaderSize + (bits > 0 ? static_cast<std::size_t>(bits) : 0);
}

// Writes the bounds and bits of the set into value (bitFieldSize(b) bytes;
// the 4-byte varlena header is the caller's).
inline void writeBitField(unsigned char* value, const SetElements& set, const SetBounds& b,
                          const char* routine) {
    std::memcpy(value + 4, &b.lower, 4);
    std::memcpy(value + 8, &b.upper, 4);
    unsigned char* bits = value + kHeaderSize;
    std::memset(bits, 0, bitFieldSize(b) - kHeaderSize);
    if (b.empty) return;
    forEachSetItem(set, routine, [&](std::int32_t lo, std::int32_t hi) {
        if (lo <= hi) setSpan(bits, bitIndex(lo, b.lower), bitIndex(hi, b.lower));
    });
}

}  // namespace bitField
}  // namespace qv
