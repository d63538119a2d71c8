// Packed ranges: one closed int4 interval in an int8, the lower bound in the
// low 32 bits and the upper bound in the high 32 bits.  Server-free.
#pragma once

#include <cstdint>

namespace qv {
namespace packedRange {

// upper * 2^32 + (lower as unsigned), computed without signed overflow.
inline std::int64_t pack(std::int32_t lower, std::int32_t upper) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(static_cast<std::uint32_t>(upper)) << 32) |
                                     static_cast<std::uint32_t>(lower));
}

inline std::int32_t lower(std::int64_t packed) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(packed)));
}

inline std::int32_t upper(std::int64_t packed) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(packed) >> 32));
}

}  // namespace packedRange
}  // namespace qv
