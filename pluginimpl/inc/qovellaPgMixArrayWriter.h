// Writing mix arrays: a header counting the values, then single values and
// ranges whose lower bound carries bit 31.  Server-free.
#pragma once

#include <cstddef>
#include <cstdint>

#include "qovellaError.h"
#include "qovellaPgMixArray.h"
#include "qovellaPgRangeArray.h"

namespace qv {
namespace pgRangeArray {

// Appends one body entry to a mix array under construction: lower alone when
// lower == upper, else lower with bit 31 set followed by upper.  Neither the
// order of the bounds nor their sign is checked here; the header is the
// caller's business.
template <typename V>
inline void pushIntoMixArray(V& vec, const int& lower, const int& upper) {
    if (lower == upper) {
        vec.push_back(lower);
    } else {
        vec.push_back(static_cast<int>(static_cast<std::uint32_t>(lower) | mixArray::kRangeFlag));
        vec.push_back(upper);
    }
}

}  // namespace pgRangeArray

namespace mixArray {

constexpr const char* kNegativeValue = "mix array cannot hold negative values";

// What a set of ranges occupies in mix form.
struct MixLayout {
    std::uint64_t values;    // the number of values: what the header must hold
    std::uint64_t elements;  // header included; 0 for the empty set
};

// Measures ranges[0 .. n) for mix output.  A negative bound has no mix
// representation (it would read back as a range opening), so it raises 22P03
// under routine.  Ranges with lower > upper (only in corrupted input) count
// as empty.
inline MixLayout measureMix(const pgRangeArray::Range<int>* ranges, std::size_t n,
                            const char* routine) {
    MixLayout m{0, 0};
    for (std::size_t i = 0; i < n; ++i) {
        const pgRangeArray::Range<int>& r = ranges[i];
        if (r.lower < 0 || r.upper < 0)
            QV_ERROR(sqlstate::invalidBinaryRepresentation, routine, "%s", kNegativeValue);
        if (r.lower > r.upper) continue;
        m.values += pgRangeArray::spanCount(r.lower, r.upper);
        m.elements += r.lower == r.upper ? 1 : 2;
    }
    if (m.elements) m.elements += 1;
    return m;
}

// Writes the mix body of ranges[0 .. n) through out (anything with
// push_back(int)), skipping ranges with lower > upper as measureMix does.
template <typename V>
inline void writeMixBody(V& out, const pgRangeArray::Range<int>* ranges, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (ranges[i].lower <= ranges[i].upper)
            pgRangeArray::pushIntoMixArray(out, ranges[i].lower, ranges[i].upper);
}

// A push_back target over a buffer sized in advance.
struct ElementCursor {
    std::int32_t* next;
    void push_back(const int& v) { *next++ = v; }
};

}  // namespace mixArray
}  // namespace qv
