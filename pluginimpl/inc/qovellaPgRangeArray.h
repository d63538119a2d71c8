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

// Whether x lies in one of the ranges [first; first + m), by binary search
// for the first range whose upper bound is >= x.
inline bool rangesContain(const Range<int>* first, std::size_t m, std::int32_t x) {
    std::size_t lo = 0, count = m;
    while (count > 0) {
        std::size_t half = count / 2, mid = lo + half;
        if (x <= first[mid].upper) {
            count = half;
        } else {
            lo = mid + 1;
            count -= half + 1;
        }
    }
    return lo != m && x >= first[lo].lower;
}

}  // namespace pgRangeArray
}  // namespace qv
