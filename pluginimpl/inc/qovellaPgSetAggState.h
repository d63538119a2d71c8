// The state of the general set aggregate (qv_int4set_agg): the kinds fixed by
// the first row and the set collected so far.  Server-free: allocation goes
// through the template's functions, errors through qv::raiseError, and the
// memory context is an opaque handle that only the server glue uses.
//
// Rows reach the set in batches.  Inserting each row into the sorted vector
// would move half of it per row on random input; instead rows are collected
// in `pending` in arrival order, and when `pending` has grown to three times
// the set (at least kMinBatch), it is sorted (radix sort, linear), made
// canonical and merged into the set in one linear pass.  The batch threshold
// grows with the set, so every row is merged a bounded number of times, and
// large batches keep that number near one.  Everything that looks at the set
// (serialise, combine, final) calls settle() first, so what it sees is
// exactly what row-by-row insertion would have built.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "qovellaError.h"
#include "qovellaPgRangeArray.h"
#include "qovellaPgRangeKernels.h"
#include "qovellaPgRangeSort.h"

namespace qv {
namespace setAgg {

using pgRangeArray::Range;

// Bytes of the serialised state after the varlena header: input kind and
// output kind (one signed byte each), then count pairs of int32 lower, upper.
constexpr std::size_t kSerialKindBytes = 2;

// Smallest batch of pending rows that is merged into the set.
constexpr pg::tSize kMinBatch = 1024;

// First room of the pending rows (64 bytes), taken on the first row.
constexpr pg::tSize kFirstPending = 8;

template <void* (*Alloc)(std::size_t), void (*Free)(void*)>
class Int4ToSetOpDataSet {
public:
    typedef pgRangeArray::RangeVector<int, Alloc, Free> Ranges;

    void* memoryContext;     // where the buffers are allocated (server glue)
    std::int32_t inputKind;  // ArrayDataType code, 0 until the first row
    std::int32_t outputKind;
    Ranges ranges;           // the set: sorted, disjoint, never touching
    Ranges pending;          // rows not yet merged into ranges, in arrival order
    Ranges scratch;          // room for sorting pending (capacity only)

    Int4ToSetOpDataSet(void* context, pg::tSize capacity)
        : memoryContext(context), inputKind(0), outputKind(0), ranges(capacity),
          pending(typename Ranges::NoBuffer()), scratch(typename Ranges::NoBuffer()),
          flushAt(kMinBatch) {}

    // Adds [lower; upper].  A pair with lower > upper holds no value and is
    // skipped (inserting it would break the set's order).
    void addRange(int lower, int upper) {
        if (lower > upper) return;
        // room for a few rows at once: most groups of a GROUP BY are small
        if (pending.capacity == 0) pending.reserve(kFirstPending);
        pending.push_back(Range<int>{lower, upper});
        if (pending.size >= flushAt) settle();
    }

    // Merges the pending rows into the set.
    void settle() {
        if (pending.empty()) return;
        Range<int>* b = pending.begin();
        Range<int>* e = pending.end();
        auto byLower = [](const Range<int>& x, const Range<int>& y) { return x.lower < y.lower; };
        if (!std::is_sorted(b, e, byLower)) {
            // only the radix sort of a long batch needs room beside it
            if (pending.size >= pgRangeArray::kRadixSortMin) scratch.reserve(pending.size);
            pgRangeArray::sortRangesByLower(b, static_cast<std::size_t>(pending.size), scratch.data);
        }
        pending.size = static_cast<pg::tSize>(coalesce(b, e) - b);
        e = pending.end();

        if (ranges.empty()) {
            ranges.swap(pending);
        } else if (b->lower >= ranges.back().lower) {
            // The batch starts at or after the set's last range: append.
            pgRangeArray::pushOrMerge(ranges, b, static_cast<const Range<int>*>(e));
        } else {
            Ranges merged(ranges.size + pending.size);
            pgRangeArray::computeUnion(static_cast<const Range<int>*>(ranges.begin()),
                                       static_cast<const Range<int>*>(ranges.end()),
                                       static_cast<const Range<int>*>(b),
                                       static_cast<const Range<int>*>(e), merged);
            ranges.swap(merged);
        }
        pending.clear();
        flushAt = 3 * ranges.size > kMinBatch ? 3 * ranges.size : kMinBatch;
    }

    // Merges other into this state; other is left unchanged.  A state that
    // has seen no row (input kind 0) contributes nothing; a state without
    // rows takes over the other's kinds and set.  States whose kinds differ
    // cannot be combined.
    void addOtherCtx(const Int4ToSetOpDataSet& other) {
        if (other.inputKind == pgRangeArray::kNotKnown) return;
        settle();
        if (inputKind == pgRangeArray::kNotKnown) {
            inputKind = other.inputKind;
            outputKind = other.outputKind;
            ranges.clear();
        } else if (inputKind != other.inputKind || outputKind != other.outputKind) {
            QV_ERROR(sqlstate::intervalFieldOverflow, "addOtherCtx",
                     "fail to combine Int4ToSetOpDataSet");
        }
        const Range<int>* ob = other.ranges.begin();
        const Range<int>* oe = other.ranges.end();
        if (ranges.empty()) {
            pgRangeArray::pushOrMerge(ranges, ob, oe);
        } else if (ob != oe) {
            Ranges merged(ranges.size + other.ranges.size);
            pgRangeArray::computeUnion(static_cast<const Range<int>*>(ranges.begin()),
                                       static_cast<const Range<int>*>(ranges.end()), ob, oe,
                                       merged);
            ranges.swap(merged);
        }
        // Rows the other state has not merged yet join this state's batch.
        for (const Range<int>& r : other.pending) addRange(r.lower, r.upper);
    }

    // Makes this fresh state the union of a and b (either may be null),
    // exactly as addOtherCtx(*a) then addOtherCtx(*b) would.  When neither
    // holds pending rows (states read back from their serialised form are
    // settled), the ranges are allocated once at their final size: one block
    // copy when only one state holds ranges, else one linear merge.  Neither
    // input is changed.
    void combine(const Int4ToSetOpDataSet* a, const Int4ToSetOpDataSet* b) {
        if (a && a->inputKind == pgRangeArray::kNotKnown) a = nullptr;
        if (b && b->inputKind == pgRangeArray::kNotKnown) b = nullptr;
        if ((a && !a->pending.empty()) || (b && !b->pending.empty())) {
            if (a) addOtherCtx(*a);
            if (b) addOtherCtx(*b);
            return;
        }
        if (!a && !b) return;
        if (a && b && (a->inputKind != b->inputKind || a->outputKind != b->outputKind))
            QV_ERROR(sqlstate::intervalFieldOverflow, "addOtherCtx",
                     "fail to combine Int4ToSetOpDataSet");
        const Int4ToSetOpDataSet& kinds = a ? *a : *b;
        inputKind = kinds.inputKind;
        outputKind = kinds.outputKind;
        ranges.clear();
        if (a && b && !a->ranges.empty() && !b->ranges.empty()) {
            // computeUnion reserves what its merge needs; no other growth
            pgRangeArray::computeUnion(a->ranges.begin(), a->ranges.end(), b->ranges.begin(),
                                       b->ranges.end(), ranges);
            return;
        }
        const Ranges& only = (a && !a->ranges.empty()) ? a->ranges : (b ? b->ranges : a->ranges);
        if (only.empty()) return;
        ranges.reserve(only.size);
        ranges.resize(only.size);
        std::memcpy(ranges.begin(), only.begin(), static_cast<std::size_t>(only.size) * sizeof(Range<int>));
    }

    // Size of the serialised form after the varlena header.  Call settle()
    // first.
    std::size_t serialSize() const {
        return kSerialKindBytes + static_cast<std::size_t>(ranges.size) * sizeof(Range<int>);
    }

    // Writes the serialised form (serialSize() bytes) to out.
    void serializeTo(unsigned char* out) const {
        out[0] = static_cast<unsigned char>(static_cast<signed char>(inputKind));
        out[1] = static_cast<unsigned char>(static_cast<signed char>(outputKind));
        if (ranges.size)
            std::memcpy(out + kSerialKindBytes, ranges.begin(),
                        static_cast<std::size_t>(ranges.size) * sizeof(Range<int>));
    }

    // Reads a serialised form of size bytes (after the varlena header) into
    // this fresh state.  Never reads outside [data; data + size).  An empty
    // payload is the empty set, whatever the kinds; the ranges are taken as
    // they stand.
    void fromBytea(const unsigned char* data, std::size_t size) {
        if (size < kSerialKindBytes)
            QV_ERROR(sqlstate::intervalFieldOverflow, "fromBytea",
                     "qv_int4set_agg_deserialfn empty bytea");
        inputKind = static_cast<signed char>(data[0]);
        outputKind = static_cast<signed char>(data[1]);
        std::size_t payload = size - kSerialKindBytes;
        if (payload % sizeof(Range<int>) != 0)
            QV_ERROR(sqlstate::intervalFieldOverflow, "fromBytea",
                     "qv_int4set_agg_deserialfn invalid range array size");
        pg::tSize count = payload / sizeof(Range<int>);
        ranges.reserve(count);
        ranges.resize(count);
        if (count) std::memcpy(ranges.begin(), data + kSerialKindBytes, payload);
    }

private:
    pg::tSize flushAt;  // pending size that triggers settle()

    // Joins touching neighbours of the sorted run [b; e) in place; returns
    // the new end.
    static Range<int>* coalesce(Range<int>* b, Range<int>* e) {
        Range<int>* w = b;
        for (Range<int>* r = b + 1; r < e; ++r) {
            if (pgRangeArray::rangesTouch(w->upper, r->lower)) {
                if (r->upper > w->upper) w->upper = r->upper;
            } else {
                *++w = *r;
            }
        }
        return w + 1;
    }
};

}  // namespace setAgg
}  // namespace qv
