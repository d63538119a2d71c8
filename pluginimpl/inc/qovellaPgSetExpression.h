// Evaluation of a parenthesised set expression given row by row: the state
// of the set-expression aggregate, without its memory context.  Server-free.
//
// Each row brings a 16-bit operation word and a range-array operand:
//
//   bits 0-1   operation id: 1 union, 2 intersection, 3 exclusion
//   bits 2-8   close count: groups to close before the operand
//   bits 9-15  open count: groups to open before the operand
//
// so a row reads ")" x close, the operation, "(" x open, the operand.  There
// is no precedence: within a group operations apply left to right.
//
// Seven vectors hold the sets.  Each open group owns one of them and one more
// is the scratch target of the next operation; the six group indices and the
// scratch index are always a permutation of 0-6, so a result changes hands by
// exchanging indices and no set is ever copied.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "qovellaError.h"
#include "qovellaPgRangeKernels.h"
#include "qovellaPgRangeSort.h"

namespace qv {
namespace pgRangeArray {

// One level of the group stack.
struct ParenthesisGroup {
    std::int32_t operation;    // joins the group's set to its parent on closing
    std::int32_t vectorIndex;  // vector holding the group's set
};

template <void* (*Alloc)(std::size_t), void (*Free)(void*)>
struct SetExpression {
    typedef RangeVector<int, Alloc, Free> Vector;

    static constexpr int kVectors = 7;
    static constexpr int kMaxGroups = 6;  // the root group and five nested ones
    static constexpr pg::tSize kMinBatch = 1024;  // pending ranges merged at once, at least
    static constexpr pg::tSize kFirstPending = 8;  // the pending batch's first room (64 bytes)

    // A working set: no buffer until it first receives ranges, then room that
    // doubles, so that the many small states of a GROUP BY stay small.
    struct WorkVector : Vector {
        WorkVector() : Vector(typename Vector::NoBuffer()) {}
    };

    // What a row of a run of single-range unions reads comes first, so that
    // it shares the state's first cache lines: the pending batch, the group
    // stack and the canonical flags.
    //
    // Single ranges (lower <= upper) still to be united into the current
    // group's canonical set, in arrival order.  A union of such rows is
    // taken in batches: appended here, then sorted and merged in one pass,
    // which gives the same canonical set as uniting them one by one.
    WorkVector pending;
    std::int32_t depth;  // index of the innermost open group
    ParenthesisGroup groups[kMaxGroups];
    // Whether vectors[k] is known canonical: it is empty, or a kernel made
    // it from canonical inputs (operands are read as given and may not be).
    bool canonical[kVectors];
    std::int32_t scratchIndex;
    WorkVector vectors[kVectors];

    SetExpression() : depth(0), scratchIndex(kVectors - 1) {
        for (int k = 0; k < kMaxGroups; ++k) groups[k] = ParenthesisGroup{0, k};
        for (bool& c : canonical) c = true;
    }

    // The root group's set (the expression's value once closeAllGroups ran).
    const Vector& root() const { return vectors[groups[0].vectorIndex]; }

    // Folds one row into the expression: closes groups, opens groups, then
    // combines the operand (n int4 elements read in place as ranges).
    void addValue(std::uint16_t word, const std::int32_t* elements, std::size_t n) {
        std::int32_t operation = word & 0x3;
        int closeCount = (word >> 2) & 0x7F;
        int openCount = (word >> 9) & 0x7F;
        for (int i = 0; i < closeCount; ++i) closeGroup();
        if (openCount > 0) flushPending();
        for (int i = 1; i <= openCount; ++i) {
            if (++depth == kMaxGroups)
                QV_ERROR(sqlstate::invalidParameterValue, "addValue",
                         "reach max parenthesis group depth");
            groups[depth].operation = i == 1 ? operation : 1;
            vectors[groups[depth].vectorIndex].clear();
            canonical[groups[depth].vectorIndex] = true;
        }
        // A freshly opened group starts as the operand itself.
        if (openCount > 0) operation = 1;
        RangeSpan operand = rangesFromElements(elements, n, "addValue");
        addToCurrentGroup(operation, operand.begin, operand.end, isCanonical(operand.begin, operand.end));
    }

    // Closes the innermost group, combining its set into its parent.  The
    // closed group's vector keeps its contents until the slot is reopened.
    void closeGroup() {
        if (depth == 0)
            QV_ERROR(sqlstate::intervalFieldOverflow, "closeGroup",
                     "try to close root parenthesis group");
        flushPending();
        const ParenthesisGroup closed = groups[depth--];
        const Vector& set = vectors[closed.vectorIndex];
        addToCurrentGroup(closed.operation, set.begin(), set.end(), canonical[closed.vectorIndex]);
    }

    // Closes the groups left open, innermost first.
    void closeAllGroups() {
        while (depth > 0) closeGroup();
        flushPending();
    }

    // current := current <operation> [begin; end), computed into the scratch
    // vector, which then becomes the current group's vector.  The union of a
    // canonical set with one range waits in the pending batch.
    void addToCurrentGroup(std::int32_t operation, const Range<int>* begin, const Range<int>* end,
                           bool operandCanonical) {
        std::int32_t at = groups[depth].vectorIndex;
        if (operation == 1 && end - begin == 1 && begin->lower <= begin->upper && canonical[at]) {
            // room for a few rows at once: most groups of a GROUP BY are small
            if (pending.capacity == 0) pending.reserve(kFirstPending);
            pending.push_back(*begin);
            if (pending.size >= kMinBatch && pending.size >= vectors[at].size) flushPending();
            return;
        }
        flushPending();
        at = groups[depth].vectorIndex;
        Vector& scratch = vectors[scratchIndex];
        scratch.clear();
        const Vector& current = vectors[at];
        // What is known of the inputs' form spares the searches a check.
        fast::Forms forms;
        if (canonical[at]) forms.a = fast::kFormCanonical;
        if (operandCanonical) forms.b = fast::kFormCanonical;
        switch (operation) {
            case 1: computeUnion(current.begin(), current.end(), begin, end, scratch); break;
            case 2: computeIntersection(current.begin(), current.end(), begin, end, scratch, &forms); break;
            case 3: computeExclusion(current.begin(), current.end(), begin, end, scratch, &forms); break;
            default:
                QV_ERROR(sqlstate::invalidParameterValue, "addToCurrentGroup",
                         "Unknown operation id %i", operation);
        }
        canonical[scratchIndex] = forms.a == fast::kFormCanonical && forms.b == fast::kFormCanonical;
        groups[depth].vectorIndex = scratchIndex;
        scratchIndex = at;
    }

    // Unites the pending ranges into the current group's set: sorted by
    // lower bound, made canonical, then merged with the set in one pass.
    void flushPending() {
        if (pending.empty()) return;
        Range<int>* b = pending.begin();
        Range<int>* e = pending.end();
        if (!std::is_sorted(b, e, [](const Range<int>& x, const Range<int>& y) { return x.lower < y.lower; })) {
            Vector& room = vectors[scratchIndex];  // free until the merge below
            if (pending.size >= kRadixSortMin) room.reserve(pending.size);
            sortRangesByLower(b, static_cast<std::size_t>(pending.size), room.data);
        }
        // join touching neighbours: the merge takes canonical runs
        Range<int>* w = b;
        for (Range<int>* r = b + 1; r < e; ++r) {
            if (!rangesTouch(w->upper, r->lower)) *++w = *r;
            else if (r->upper > w->upper) w->upper = r->upper;
        }
        e = w + 1;
        std::int32_t at = groups[depth].vectorIndex;
        if (vectors[at].empty()) {
            // the batch is the group's whole set: it changes places with it
            pending.size = static_cast<pg::tSize>(e - b);
            vectors[at].swap(pending);
            pending.clear();
            canonical[at] = true;
            return;
        }
        Vector& scratch = vectors[scratchIndex];
        computeUnion(vectors[at].begin(), vectors[at].end(), static_cast<const Range<int>*>(b),
                     static_cast<const Range<int>*>(e), scratch);
        pending.clear();
        canonical[scratchIndex] = true;
        groups[depth].vectorIndex = scratchIndex;
        scratchIndex = at;
    }

    // Whether [begin; end) is canonical: each range has lower <= upper and
    // lies before the next with a gap.
    static bool isCanonical(const Range<int>* begin, const Range<int>* end) {
        for (const Range<int>* r = begin; r != end; ++r) {
            if (r->lower > r->upper) return false;
            if (r != begin && rangesTouch(r[-1].upper, r->lower))
                return false;
        }
        return true;
    }

    // Frees the buffers; the expression is not used again.
    void release() {
        for (Vector& v : vectors) v.release();
        pending.release();
    }
};

}  // namespace pgRangeArray
}  // namespace qv
