// Search decisions of the GiST index over packed ranges.  Server-free.
//
// An index key K = [kl; ku] is a packed range.  At a leaf it is the indexed
// value itself (a one-value range for an int4 column), so the leaf tests are
// exact.  An inner key bounds the keys below it and says nothing about gaps,
// so an inner entry passes whenever some leaf key inside [kl; ku] could pass.
#pragma once

#include <cstdint>

#include "qovellaPgBitField.h"
#include "qovellaPgPackedRange.h"
#include "qovellaPgRangeArray.h"
#include "qovellaPgRangeOverlap.h"

namespace qv {
namespace gistRange {

// Strategy numbers of the two operator classes and what they ask of a key.
enum Strategy : std::uint16_t {
    kValueInRangeArray = 1,        // int4 <@ int4[]: K overlaps a range of the array
    kValueInBitField = 2,          // int4 <@ bytea: kl is a member of the bitfield
    kValueInPackedRange = 3,       // int4 <@ int8: K overlaps the query range
    kOverlapsRangeArray = 11,      // int8 && int4[]
    kOverlapsPackedRange = 13,     // int8 && int8
    kIncludedInPackedRange = 14,   // int8 <@ int8: K lies within the query range
    kContainsPackedRange = 15,     // int8 @> int8: K contains the query range
    kContainsValue = 16,           // int8 @> int4: K holds the value
};

// Strategies 1 and 11, at a leaf and at an inner entry alike.
inline bool keyOverlapsRanges(std::int64_t key, const pgRangeArray::RangeSpan& ranges) {
    return pgRangeArray::rangeOverlapsRanges(packedRange::lower(key), packedRange::upper(key), ranges);
}

// Strategy 2.  A leaf key of an int4 column holds one value, its lower bound;
// an inner key passes when some member of the bitfield lies within it.
inline bool keyMatchesBitField(std::int64_t key, const bitField::View& bits, bool leaf) {
    if (leaf) return bitField::contains(bits, packedRange::lower(key));
    return bitField::overlapsRange(bits, packedRange::lower(key), packedRange::upper(key));
}

// Strategies 3, 13, 14 and 15: the key against the query range Q = [ql; qu].
// Any other strategy yields false; the caller dispatches only these four.
inline bool keyMatchesPackedRange(std::uint16_t strategy, std::int64_t key, std::int64_t query, bool leaf) {
    const std::int32_t kl = packedRange::lower(key), ku = packedRange::upper(key);
    const std::int32_t ql = packedRange::lower(query), qu = packedRange::upper(query);
    const bool overlap = ql <= ku && kl <= qu;
    switch (strategy) {
        case kValueInPackedRange:
        case kOverlapsPackedRange:
            return overlap;
        case kIncludedInPackedRange:
            // below an inner key, a leaf key within Q needs the inner key to reach Q
            return leaf ? ql <= kl && ku <= qu : overlap;
        case kContainsPackedRange:
            return kl <= ql && qu <= ku;
        default:
            return false;
    }
}

// Strategy 16, at a leaf and at an inner entry alike.
inline bool keyHoldsValue(std::int64_t key, std::int32_t v) {
    return packedRange::lower(key) <= v && v <= packedRange::upper(key);
}

}  // namespace gistRange
}  // namespace qv
