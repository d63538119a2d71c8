// Insertion penalty of the GiST index over packed ranges.  Server-free.
#pragma once

#include <cstdint>

#include "qovellaError.h"
#include "qovellaPgPackedRange.h"

namespace qv {
namespace gistRange {

// Cost of widening the key `existing` so that it also covers `added`.
//
// The integer part is the growth of the existing key (how many values the
// union is longer than it).  The fraction, 0 to 0.99, ranks equal growths by
// the share of the existing key that `added` leaves uncovered, so among
// candidates needing the same growth the one overlapping more is cheaper; the
// cap keeps the fraction below the next whole growth.
//
// Sizes are computed in 64-bit arithmetic: an int4 interval holds up to 2^32
// values, and 32-bit wrapping would make the growth of valid wide keys
// negative.  The negative-growth test therefore only guards against keys
// with lower > upper, which compress never lets into the index.
inline float computePenalty(std::int64_t existing, std::int64_t added) {
    const std::int64_t el = packedRange::lower(existing), eu = packedRange::upper(existing);
    const std::int64_t al = packedRange::lower(added), au = packedRange::upper(added);
    const std::int64_t unionLower = al < el ? al : el;
    const std::int64_t unionUpper = au > eu ? au : eu;
    const std::int64_t growth = (unionUpper - unionLower) - (eu - el);
    if (growth < 0)
        QV_ERROR(sqlstate::indexCorrupted, "computePenalty",
                 "GIST compute penalty new range is smaller than original one");
    const std::int64_t countAdded = au - al + 1;
    const std::int64_t countExisting = eu - el + 1;
    const float inside = countAdded > growth ? static_cast<float>(countAdded - growth) : 0.0f;
    float uncovered = 1.0f - inside / static_cast<float>(countExisting);
    if (!(uncovered < 0.99f))  // also catches NaN
        uncovered = 0.99f;
    else if (uncovered < 0.0f)
        uncovered = 0.0f;
    return static_cast<float>(growth) + uncovered;
}

}  // namespace gistRange
}  // namespace qv
