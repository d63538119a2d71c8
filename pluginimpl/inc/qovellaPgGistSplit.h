// Page split of the GiST index over packed ranges.  Server-free: the split
// works on keys handed in by offset number and writes offset lists and
// bounding ranges; the server glue copies them into its split vector.
//
// The left group grows from the low end of the value axis, the right group
// from the high end.  All entries sit in two lists, one sorted by lower bound
// ascending and one by upper bound descending.  Each group is seeded with the
// head of its list; then, until every entry is placed, the group whose next
// untaken candidate costs less (computePenalty against the group's bounding
// range) takes it.  A tie goes to the smaller group, and to the right group
// when both are of equal size.  Both cursors only move forward, so after the
// two sorts the selection is linear.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "qovellaError.h"
#include "qovellaPgGistPenalty.h"
#include "qovellaPgPackedRange.h"
#include "qovellaPgVector.h"

namespace qv {
namespace gistRange {

// One entry to place: its key and its offset number (1 to maxoff).
struct PackedRangeWithSplitOffset {
    std::int64_t range;
    std::uint16_t offset;
};

// Ascending by lower bound, then ascending by upper bound.
inline bool PackedRangeWithSplitOffsetSortLower(const PackedRangeWithSplitOffset& a,
                                                const PackedRangeWithSplitOffset& b) {
    const std::int32_t al = packedRange::lower(a.range), bl = packedRange::lower(b.range);
    if (al != bl) return al < bl;
    return packedRange::upper(a.range) < packedRange::upper(b.range);
}

// Descending by upper bound, then descending by lower bound.
inline bool PackedRangeWithSplitOffsetSortUpper(const PackedRangeWithSplitOffset& a,
                                                const PackedRangeWithSplitOffset& b) {
    const std::int32_t au = packedRange::upper(a.range), bu = packedRange::upper(b.range);
    if (au != bu) return au > bu;
    return packedRange::lower(a.range) > packedRange::lower(b.range);
}

// Three-way order of keys, ascending by lower then upper bound: the order
// of the lower list, also used to sort keys for a bottom-up index build.
inline int comparePackedRanges(std::int64_t a, std::int64_t b) {
    const std::int32_t al = packedRange::lower(a), bl = packedRange::lower(b);
    if (al != bl) return al < bl ? -1 : 1;
    const std::int32_t au = packedRange::upper(a), bu = packedRange::upper(b);
    return au < bu ? -1 : au > bu ? 1 : 0;
}

// One side of a split: the offsets placed so far (room for maxoff), their
// count and their bounding range.
struct SplitGroup {
    std::uint16_t* offsets;
    int count;
    std::int64_t bounds;
};

// Places one record in a group; tags[offset] marks it as placed.
inline void pushRange(SplitGroup& group, unsigned char* tags, const PackedRangeWithSplitOffset& record) {
    if (tags[record.offset])
        QV_ERROR(sqlstate::indexCorrupted, "pushRange",
                 "GIST picksplit internal error (range already tagged)");
    tags[record.offset] = 1;
    if (group.count == 0) {
        group.bounds = record.range;
    } else {
        const std::int32_t lo = std::min(packedRange::lower(group.bounds), packedRange::lower(record.range));
        const std::int32_t hi = std::max(packedRange::upper(group.bounds), packedRange::upper(record.range));
        group.bounds = packedRange::pack(lo, hi);
    }
    group.offsets[group.count++] = record.offset;
}

// Splits the entries at offsets 1 to maxoff, whose keys keyAt(offset)
// returns, into left and right (both empty on entry, each with room for
// maxoff offsets).  Work memory comes from Alloc and is freed before return.
template <void* (*Alloc)(std::size_t), void (*Free)(void*), typename KeyAt>
void splitPackedRanges(std::uint16_t maxoff, KeyAt keyAt, SplitGroup& left, SplitGroup& right) {
    static const char* const routine = "qv_gist_range_picksplit";
    if (maxoff < 2)
        QV_ERROR(sqlstate::indexCorrupted, routine, "GIST picksplit input vector has an invalid size");

    typedef pg::tVector<PackedRangeWithSplitOffset, Alloc, Free> List;
    List byLower(maxoff), byUpper(maxoff);
    for (std::uint16_t i = 1; i <= maxoff; ++i) {
        const PackedRangeWithSplitOffset record = {keyAt(i), i};
        byLower.push_back(record);
        byUpper.push_back(record);
    }
    pg::tVector<unsigned char, Alloc, Free> tags(std::size_t(maxoff) + 1);
    tags.resize(std::size_t(maxoff) + 1);
    std::memset(tags.data, 0, tags.size);

    std::sort(byLower.begin(), byLower.end(), PackedRangeWithSplitOffsetSortLower);
    std::sort(byUpper.begin(), byUpper.end(), PackedRangeWithSplitOffsetSortUpper);

    left.count = right.count = 0;
    pushRange(left, tags.data, byLower[0]);
    // The head of the upper list is the left seed when that entry has both
    // the smallest lower and the largest upper bound.
    std::size_t k = tags[byUpper[0].offset] ? 1 : 0;
    pushRange(right, tags.data, byUpper[k]);
    ++k;
    std::size_t l = 1;

    while (left.count + right.count != maxoff) {
        while (l < maxoff && tags[byLower[l].offset]) ++l;
        if (l == maxoff)
            QV_ERROR(sqlstate::indexCorrupted, routine,
                     "GIST picksplit internal error (lower list out of bound)");
        while (k < maxoff && tags[byUpper[k].offset]) ++k;
        if (k == maxoff)
            QV_ERROR(sqlstate::indexCorrupted, routine,
                     "GIST picksplit internal error (upper list out of bound)");
        const float pl = computePenalty(left.bounds, byLower[l].range);
        const float pr = computePenalty(right.bounds, byUpper[k].range);
        if (pl < pr)
            pushRange(left, tags.data, byLower[l]);
        else if (pl > pr)
            pushRange(right, tags.data, byUpper[k]);
        else if (right.count > left.count)
            pushRange(left, tags.data, byLower[l]);
        else
            pushRange(right, tags.data, byUpper[k]);
    }
}

}  // namespace gistRange
}  // namespace qv
