// Conversions between the scalar ('s'), range ('r') and mix ('m') array
// encodings of an int4 set, and counting of a set's values.  Server-free:
// inputs are read in place through pointers and lengths, outputs appended
// to a vector (qv::pg::tVector of int32 or of Range<int>), so the same code
// runs in the server over palloc and in the unit tests over malloc.
//
// Every result size is checked against the largest array the server
// accepts before the output vector is grown to hold it, and every count
// against the int4 range.
#pragma once

#include <cstddef>
#include <cstdint>

#include "qovellaError.h"
#include "qovellaPgMixArray.h"
#include "qovellaPgMixArrayWriter.h"
#include "qovellaPgRangeArray.h"

namespace qv {
namespace conversions {

using pgRangeArray::Range;
using pgRangeArray::RangeSpan;
using pgRangeArray::fillSpan;
using pgRangeArray::rangesOfSet;
using pgRangeArray::spanCount;

// Largest value count an int4 can express (mix headers, counts).
constexpr std::uint64_t kMaxInt4Count = 2147483647u;
// Largest element count of an array value that the server accepts (its
// MaxArraySize: 2^30 - 1 bytes over 8-byte Datums); larger results are
// refused before they are built.
constexpr std::uint64_t kMaxArrayElements = 134217727u;

constexpr const char* kArrayOverflow = "array overflow ";
constexpr const char* kCountOverflow = "int4 count overflow";

// Fails with 22015 "int4 count overflow" unless count fits an int4.
inline void requireInt4Count(std::uint64_t count, const char* routine) {
    if (count > kMaxInt4Count) QV_ERROR(sqlstate::intervalFieldOverflow, routine, "%s", kCountOverflow);
}

// Fails with 22015 and message unless an array can hold count elements.
inline void requireArraySize(std::uint64_t count, const char* routine,
                             const char* message = kArrayOverflow) {
    if (count > kMaxArrayElements) QV_ERROR(sqlstate::intervalFieldOverflow, routine, "%s", message);
}

// Checks a result size: bound is a cheap upper limit; only when an array
// cannot hold that many is the exact size computed (exact()) and checked.
template <typename Exact>
inline void requireResultCount(std::uint64_t bound, Exact&& exact, const char* routine,
                               const char* message = kArrayOverflow) {
    if (bound > kMaxArrayElements) requireArraySize(exact(), routine, message);
}

// Calls run(start, last) for each run of consecutive values of an ascending
// scalar array; equal neighbours stay in their run.  A value below its
// predecessor fails with 22015 and message.
template <typename F>
inline void forEachScalarRun(const std::int32_t* v, std::size_t n, const char* routine,
                             const char* message, F&& run) {
    if (n == 0) return;
    std::int32_t start = v[0], prev = v[0];
    for (std::size_t i = 1; i < n; ++i) {
        std::int32_t c = v[i];
        if (c < prev) QV_ERROR(sqlstate::intervalFieldOverflow, routine, "%s", message);
        if (static_cast<std::uint32_t>(c) - static_cast<std::uint32_t>(prev) > 1) {
            run(start, prev);
            start = c;
        }
        prev = c;
    }
    run(start, prev);
}

// 's' to 'r': runs of consecutive values become ranges.
template <typename RangeVec>
void convertScalarToRangeArray(const std::int32_t* v, std::size_t n, RangeVec& out,
                               const char* routine) {
    constexpr const char* unsorted = "convertScalarToRangeArray input data is not sorted";
    requireResultCount(
        2 * static_cast<std::uint64_t>(n),
        [&] {
            std::uint64_t runs = 0;
            forEachScalarRun(v, n, routine, unsorted, [&](std::int32_t, std::int32_t) { ++runs; });
            return 2 * runs;
        },
        routine);
    forEachScalarRun(v, n, routine, unsorted,
                     [&](std::int32_t s, std::int32_t p) { out.push_back(Range<int>{s, p}); });
}

// 's' to 'm': the header counts the input elements (duplicates included),
// runs of one distinct value become single values, longer runs ranges.
template <typename IntVec>
void convertScalarToMixArrayInt4(const std::int32_t* v, std::size_t n, IntVec& out,
                                 const char* routine) {
    constexpr const char* unsorted = "convertScalarToMixArrayInt4 input data is not sorted";
    constexpr const char* overflow = "array overflow";
    if (n == 0) return;
    // Ascending order (checked on the way) makes the first value the least.
    if (v[0] < 0) QV_ERROR(sqlstate::invalidBinaryRepresentation, routine, "%s", mixArray::kNegativeValue);
    requireInt4Count(n, routine);  // the header
    requireResultCount(
        static_cast<std::uint64_t>(n) + 1,
        [&] {
            std::uint64_t size = 1;
            forEachScalarRun(v, n, routine, unsorted,
                             [&](std::int32_t s, std::int32_t p) { size += s == p ? 1 : 2; });
            return size;
        },
        routine, overflow);
    out.reserve(out.size + n / 2 + 2);
    out.push_back(static_cast<std::int32_t>(n));
    forEachScalarRun(v, n, routine, unsorted,
                     [&](std::int32_t s, std::int32_t p) { pgRangeArray::pushIntoMixArray(out, s, p); });
}

// Sum of the values of the ranges as an int4 count; ranges with
// lower > upper hold none.  Past the int4 range: 22015 "int4 count overflow".
inline std::int32_t countRangeValues(RangeSpan ranges, const char* routine) {
    std::uint64_t total = 0;
    for (const Range<int>* r = ranges.begin; r != ranges.end; ++r) {
        total += spanCount(r->lower, r->upper);
        requireInt4Count(total, routine);  // as we go: the 64-bit sum cannot wrap first
    }
    return static_cast<std::int32_t>(total);
}

// 'r' to 's', sized first: the number of values of the ranges, in stored
// order (ranges with lower > upper hold none), checked against the array
// limit.  The expansions are written straight into their result.
inline std::uint64_t rangeScalarCount(RangeSpan ranges, const char* routine) {
    std::uint64_t total = pgRangeArray::spanValueCount(ranges);
    requireArraySize(total, routine);
    return total;
}

// 'r' to 'm': header = number of values, one-value ranges become single
// values, others ranges; nothing is merged, ranges holding no value are left
// out.  Negative bounds and counts past the int4 range are refused.
template <typename IntVec>
void convertRangeArrayToMixArray(RangeSpan ranges, IntVec& out, const char* routine) {
    mixArray::MixLayout layout = mixArray::measureMix(ranges.begin, ranges.count(), routine);
    if (layout.elements == 0) return;  // the empty set has no header
    requireInt4Count(layout.values, routine);
    requireArraySize(layout.elements, routine);
    out.reserve(out.size + layout.elements);
    out.push_back(static_cast<std::int32_t>(layout.values));
    mixArray::writeMixBody(out, ranges.begin, ranges.count());
}

// 'm' to 's', sized first: the number of values the body of the mix array
// e[0 .. n) yields, when it equals the header (else false: the result is
// empty).  The body is counted before anything is sized by the header.
inline bool mixScalarCount(const std::int32_t* e, std::size_t n, const char* routine,
                           std::uint64_t& total) {
    total = 0;
    if (n == 0) return true;
    mixArray::forEachMixItem(e + 1, n - 1, routine,
                             [&](std::int32_t lo, std::int32_t hi) { total += spanCount(lo, hi); });
    if (e[0] < 0 || total != static_cast<std::uint64_t>(e[0])) {
        total = 0;
        return false;
    }
    requireArraySize(total, routine);
    return true;
}

// 'm' to 's', then written: every entry expanded at dst, which has room for
// mixScalarCount() values.
inline void writeMixScalars(const std::int32_t* e, std::size_t n, const char* routine,
                            std::int32_t* dst) {
    if (n == 0) return;
    mixArray::forEachMixItem(e + 1, n - 1, routine, [&](std::int32_t lo, std::int32_t hi) {
        std::uint64_t k = spanCount(lo, hi);
        fillSpan(dst, lo, k);
        dst += k;
    });
}

// A mix body (no header) to ranges: every entry becomes one range, as
// stored; nothing is merged.  Serves 'm' to 'r' and the mix payload decoder.
template <typename RangeVec>
void convertMixBodyToRangeArray(const std::int32_t* body, std::size_t n, RangeVec& out,
                                const char* routine) {
    requireResultCount(
        2 * static_cast<std::uint64_t>(n),
        [&] {
            std::uint64_t entries = 0;
            mixArray::forEachMixItem(body, n, routine, [&](std::int32_t, std::int32_t) { ++entries; });
            return 2 * entries;
        },
        routine);
    mixArray::forEachMixItem(body, n, routine,
                             [&](std::int32_t lo, std::int32_t hi) { out.push_back(Range<int>{lo, hi}); });
}

}  // namespace conversions
}  // namespace qv
