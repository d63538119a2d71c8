// Range arrays: sorted, disjoint, non-adjacent closed int4 intervals stored
// as consecutive (lower, upper) element pairs of an int4[].  Server-free.
#pragma once

#include <cstddef>
#include <cstdint>

#include "qovellaError.h"

namespace qv {
namespace pgRangeArray {

// One closed interval; its layout equals two consecutive int4 elements, so
// the element storage of a range array is read in place as Range<int>.
template <typename T>
struct Range {
    T lower;
    T upper;
};

static_assert(sizeof(Range<int>) == 8, "Range<int> must match two int4 elements");

// Input kinds of the set-building aggregates and conversions.
enum ArrayDataType : unsigned char {
    kNotKnown = 0,
    kOneValue = 1,
    kTwoValues = 2,
    kScalarArray = 3,
    kRangeArray = 4,
    kMixArray = 5,
};

// Maps an encoding's type character to its input kind.
inline ArrayDataType ArrayDataTypeFromChar(char c) {
    switch (c) {
        case 'r': return kRangeArray;
        case 's': return kScalarArray;
        case 'm': return kMixArray;
        default:
            QV_ERROR(sqlstate::intervalFieldOverflow, "ArrayDataTypeFromChar",
                     "int4_agg array type should be 'r','s' or 'm'");
    }
}

// A read-only run of ranges, [begin; end).
struct RangeSpan {
    const Range<int>* begin;
    const Range<int>* end;
    std::size_t count() const { return static_cast<std::size_t>(end - begin); }
    bool empty() const { return begin == end; }
};

// Views n int4 elements as n / 2 ranges.  An odd n fails with the given
// SQLSTATE, routine and message (range-array readers name their own).
inline RangeSpan rangesFromElements(const std::int32_t* elements, std::size_t n,
                                    const char* routine,
                                    const char* message = "array length should be even",
                                    const char* state = sqlstate::datatypeMismatch) {
    if (n % 2 != 0) QV_ERROR(state, routine, "%s", message);
    const Range<int>* first = reinterpret_cast<const Range<int>*>(elements);
    return RangeSpan{first, first + n / 2};
}

// Views n int4 elements of a set given as a range array; an odd count fails
// with 22P03 "invalid int4 count to represent a rangearray", the message of
// the functions that read a set in a named encoding.
inline RangeSpan rangesOfSet(const std::int32_t* e, std::size_t n, const char* routine) {
    return rangesFromElements(e, n, routine, "invalid int4 count to represent a rangearray",
                              sqlstate::invalidBinaryRepresentation);
}

// The first of the ranges [first; first + m) whose upper bound is >= x
// (first + m when none), by binary search over the ascending ranges.
inline const Range<int>* firstEndingFrom(const Range<int>* first, std::size_t m, std::int32_t x) {
    while (m > 0) {
        std::size_t half = m / 2;
        if (first[half].upper < x) {
            first += half + 1;
            m -= half + 1;
        } else {
            m = half;
        }
    }
    return first;
}

// Whether x lies in one of the ranges [first; first + m).
inline bool rangesContain(const Range<int>* first, std::size_t m, std::int32_t x) {
    const Range<int>* r = firstEndingFrom(first, m, x);
    return r != first + m && x >= r->lower;
}

// Number of values in [lower; upper]; none when lower > upper.
inline std::uint64_t spanCount(std::int32_t lower, std::int32_t upper) {
    return lower > upper ? 0
                         : static_cast<std::uint64_t>(static_cast<std::int64_t>(upper) - lower) + 1;
}

// Writes lower, lower + 1, ... (count values) at dst.
inline void fillSpan(std::int32_t* dst, std::int32_t lower, std::uint64_t count) {
    std::uint32_t base = static_cast<std::uint32_t>(lower);
    for (std::uint64_t k = 0; k < count; ++k)
        dst[k] = static_cast<std::int32_t>(base + static_cast<std::uint32_t>(k));
}

// Number of values of the ranges; a range with lower > upper holds none.
inline std::uint64_t spanValueCount(RangeSpan ranges) {
    std::uint64_t total = 0;
    for (const Range<int>* r = ranges.begin; r != ranges.end; ++r) total += spanCount(r->lower, r->upper);
    return total;
}

// Writes every value of the ranges at dst (room for spanValueCount()),
// ascending within each range, ranges in stored order.
inline void writeSpanValues(RangeSpan ranges, std::int32_t* dst) {
    for (const Range<int>* r = ranges.begin; r != ranges.end; ++r) {
        std::uint64_t k = spanCount(r->lower, r->upper);
        fillSpan(dst, r->lower, k);
        dst += k;
    }
}

}  // namespace pgRangeArray
}  // namespace qv
