// Tests of a whole set (scalar, range or mix array) against a bitfield:
// does it share a value with it, or lie within it.  Server-free.
#pragma once

#include <cstddef>
#include <cstdint>

#include "qovellaError.h"
#include "qovellaPgBitField.h"
#include "qovellaPgMixArray.h"
#include "qovellaPgRangeArray.h"

namespace qv {
namespace bitField {

// Whether the set of n >= 1 elements e, of the given kind, overlaps the
// bitfield (included false) or lies within it (included true).  Its least
// and greatest values (first and last elements; for a mix array the first
// body element without its range flag, or 0 for a bare header) reject it
// first; then one pass over its entries stops at the first that decides.
// A range array of odd length fails with 22P03 as routine, and so does a
// mix body whose last element opens a range.
inline bool setTest(pgRangeArray::ArrayDataType kind, const std::int32_t* e, std::size_t n,
                    const View& b, bool included, const char* routine) {
    std::int32_t least = e[0], greatest = e[n - 1];
    if (kind == pgRangeArray::kMixArray) {
        least = n == 1 ? 0 : static_cast<std::int32_t>(static_cast<std::uint32_t>(e[1]) & ~mixArray::kRangeFlag);
        greatest = n == 1 ? 0 : e[n - 1];
    }
    if (b.upper < least || greatest < b.lower) return false;
    if (included && (least < b.lower || b.upper < greatest)) return false;

    // Whether the walk goes on past [lo; hi]: an overlap ends it (found),
    // a gap in inclusion ends it (refuted).
    bool decided = false;
    auto visit = [&](std::int32_t lo, std::int32_t hi) {
        decided = included ? !includesRange(b, lo, hi) : overlapsRange(b, lo, hi);
        return !decided;
    };
    switch (kind) {
        case pgRangeArray::kScalarArray:
            for (std::size_t i = 0; i < n && visit(e[i], e[i]); ++i) {
            }
            break;
        case pgRangeArray::kRangeArray: {
            pgRangeArray::RangeSpan r = pgRangeArray::rangesOfSet(e, n, routine);
            for (const pgRangeArray::Range<int>* p = r.begin; p != r.end && visit(p->lower, p->upper); ++p) {
            }
            break;
        }
        default:
            mixArray::forEachMixItemWhile(e + 1, n - 1, routine, visit);
            break;
    }
    return included ? !decided : decided;
}

}  // namespace bitField
}  // namespace qv
