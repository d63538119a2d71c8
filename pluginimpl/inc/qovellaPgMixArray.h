// Reading the body of a mix array: single values, and ranges whose lower
// bound carries bit 31 and is followed by the upper bound.  Server-free;
// every reader of mix arrays goes through forEachMixItem.
#pragma once

#include <cstddef>
#include <cstdint>

#include "qovellaError.h"

namespace qv {
namespace mixArray {

constexpr std::uint32_t kRangeFlag = 0x80000000u;

// Message for a body whose last element opens a range.
constexpr const char* kDanglingRange = "invalid mix array: range without upper bound";

// Calls item(lower, upper) for each entry of body[0 .. n), in order, in one
// pass, while item returns true; a single value v is reported as (v, v).
// Ranges are reported as stored, so lower > upper is possible in hand-made
// input: callers decide what such an item means.  A last element that opens
// a range raises 22P03 under routine when the walk reaches it; nothing past
// the body is ever read.  Returns whether every entry was visited.
template <typename F>
inline bool forEachMixItemWhile(const std::int32_t* body, std::size_t n, const char* routine,
                                F&& item) {
    for (std::size_t i = 0; i < n;) {
        std::int32_t v = body[i];
        if (static_cast<std::uint32_t>(v) & kRangeFlag) {
            if (i + 1 >= n)
                QV_ERROR(sqlstate::invalidBinaryRepresentation, routine, "%s", kDanglingRange);
            if (!item(static_cast<std::int32_t>(static_cast<std::uint32_t>(v) & ~kRangeFlag),
                      body[i + 1]))
                return false;
            i += 2;
        } else {
            if (!item(v, v)) return false;
            i += 1;
        }
    }
    return true;
}

// The same over every entry.
template <typename F>
inline void forEachMixItem(const std::int32_t* body, std::size_t n, const char* routine,
                           F&& item) {
    forEachMixItemWhile(body, n, routine, [&](std::int32_t lo, std::int32_t hi) {
        item(lo, hi);
        return true;
    });
}

// Whether the body is well formed (no dangling range opening).
inline bool mixBodyIsComplete(const std::int32_t* body, std::size_t n) {
    std::size_t i = 0;
    while (i < n) i += (static_cast<std::uint32_t>(body[i]) & kRangeFlag) ? 2 : 1;
    return i == n;
}

}  // namespace mixArray
}  // namespace qv
