// Core of the bitfield set aggregate: adding rows to the bits, reading the
// set back as runs, and the serialised state.  Server-free.
//
// Serialised state (a bytea), byte offsets from the start of the varlena:
//
//    0  4 bytes  varlena header, VARSIZE = 10 + n
//    4  int8     input kind
//    5  int8     output kind
//    6  uint32   capacity of the bits in bytes (0 for input kind 0), unaligned
//   10  n bytes  the bits in use (n = size; none for input kind 0)
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "qovellaError.h"
#include "qovellaPgBitField.h"
#include "qovellaPgMixArray.h"
#include "qovellaPgMixArrayWriter.h"
#include "qovellaPgRangeArray.h"

namespace qv {
namespace bitFieldAgg {

constexpr const char* kAddRange = "addRange";
constexpr std::size_t kStateHeader = 10;

// The largest bits a state can hold: values 0 .. 2^31 - 1.  Capacities grow
// by doubling towards it, so they stay below twice that.
constexpr std::uint32_t kMaxSize = std::uint32_t(1) << 28;
constexpr std::uint32_t kMaxCapacity = std::uint32_t(1) << 29;

// Sets the values lo..hi (lo <= hi) that the bits hold, in ascending order
// and stopping at the first value out of range, with whole bytes at a time;
// returns whether all were in range.  Bounds are checked first, so a huge
// span outside the domain costs nothing.
template <typename Bits>
inline bool addSpan(Bits& bits, std::int32_t lo, std::int32_t hi) {
    if (lo < 0) return false;
    std::int64_t last = bits.lastBit();
    if (lo > last) return false;
    bool fits = hi <= last;
    bits.setSpan(static_cast<std::uint32_t>(lo), static_cast<std::uint32_t>(fits ? hi : last));
    return fits;
}

template <typename Bits>
[[noreturn]] inline void outOfRange(const Bits& bits, const char* fmt) {
    QV_ERROR(sqlstate::intervalFieldOverflow, kAddRange, fmt, static_cast<int>(bits.lastBit()));
}

// Input kind 1: fails unless the bits hold v.
template <typename Bits>
inline void checkValue(const Bits& bits, std::int32_t v) {
    if (!bits.holds(v))
        QV_ERROR(sqlstate::intervalFieldOverflow, kAddRange,
                 "int4set_agg_optimized value %i is out of range [0;%i]", v,
                 static_cast<int>(bits.lastBit()));
}

// Input kind 1: one value.
template <typename Bits>
inline void addValue(Bits& bits, std::int32_t v) {
    checkValue(bits, v);
    bits.setBit(static_cast<std::uint32_t>(v));
}

// Sets the n values at v, all held by the bits.  Values arrive in random
// order, so nearly every one is a cache miss: the bytes are prefetched a
// few values ahead so that the misses overlap instead of queueing.
template <typename Bits>
inline void setValues(Bits& bits, const std::uint32_t* v, std::size_t n) {
    constexpr std::size_t kAhead = 32;
    unsigned char* data = bits.data;
    for (std::size_t i = 0; i < n && i < kAhead; ++i) __builtin_prefetch(data + (v[i] >> 3), 1);
    for (std::size_t i = 0; i < n; ++i) {
        if (i + kAhead < n) __builtin_prefetch(data + (v[i + kAhead] >> 3), 1);
        data[v[i] >> 3] |= bitField::kBitMask[v[i] & 7];
    }
}

// Values of input kind 1, checked on arrival and set in batches.
template <typename Bits>
struct ValueBatch {
    static constexpr std::size_t kCapacity = 256;
    std::uint32_t count;
    std::uint32_t values[kCapacity];

    // Checks v against the domain and queues it, setting the queue when full.
    void add(Bits& bits, std::int32_t v) {
        checkValue(bits, v);
        values[count++] = static_cast<std::uint32_t>(v);
        if (count == kCapacity) flush(bits);
    }

    // Sets the queued values; done before anything reads the bits.
    void flush(Bits& bits) {
        setValues(bits, values, count);
        count = 0;
    }
};

// Input kind 2: one range; an inverted range adds nothing.
template <typename Bits>
inline void addPair(Bits& bits, std::int32_t lo, std::int32_t hi) {
    if (lo <= hi && !addSpan(bits, lo, hi))
        outOfRange(bits, "int4set_agg_optimized value is out of range [0;%i]");
}

constexpr const char* kInputOutOfRange = "int4set_agg_optimized input scalar is out of range [0;%i]";

// Input kind 3: the n elements of a scalar array.
template <typename Bits>
inline void addScalars(Bits& bits, const std::int32_t* e, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        if (!bits.holds(e[i])) outOfRange(bits, kInputOutOfRange);
        bits.setBit(static_cast<std::uint32_t>(e[i]));
    }
}

// Input kind 4: the pairs of a range array; inverted pairs add nothing.
template <typename Bits>
inline void addRanges(Bits& bits, const std::int32_t* e, std::size_t n) {
    pgRangeArray::RangeSpan r = pgRangeArray::rangesFromElements(
        e, n, kAddRange, "int4set_agg_optimized input is not a range array",
        sqlstate::intervalFieldOverflow);
    for (const pgRangeArray::Range<int>* p = r.begin; p != r.end; ++p)
        if (p->lower <= p->upper && !addSpan(bits, p->lower, p->upper))
            outOfRange(bits, kInputOutOfRange);
}

// Input kind 5: the body of a mix array (header excluded); inverted items
// add nothing; a range opening without its upper bound fails (22P03).
template <typename Bits>
inline void addMixBody(Bits& bits, const std::int32_t* body, std::size_t n) {
    bool fits = mixArray::forEachMixItemWhile(body, n, kAddRange, [&](std::int32_t lo, std::int32_t hi) {
        return lo > hi || addSpan(bits, lo, hi);
    });
    if (!fits) outOfRange(bits, kInputOutOfRange);
}

using bitField::loadWord;
using bitField::wordAt;

// Set bits of a word, without relying on a popcount instruction.
inline std::uint64_t popcount64(std::uint64_t x) {
    x = x - ((x >> 1) & 0x5555555555555555ull);
    x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    return (x * 0x0101010101010101ull) >> 56;
}

// Calls run(first, last) for every maximal run of set bits of the size
// bytes at data, in ascending order (bit indexes below 2^31: a state holds
// at most maxinput + 1 bits).
template <typename F>
inline void forEachRun(const unsigned char* data, std::uint32_t size, F&& run) {
    bitField::forEachRun(data, size, [&](std::uint64_t first, std::uint64_t last) {
        run(static_cast<std::int32_t>(first), static_cast<std::int32_t>(last));
    });
}

// Element counts of the three output encodings of a set of bits.
struct OutputCounts {
    std::uint64_t runs;    // range array: 2 per run
    std::uint64_t values;  // scalar array: 1 per value
    std::uint64_t mix;     // mix array: header + 1 per single value + 2 per longer run
};

// Counts runs, single-value runs and values a word at a time: a run starts
// at a set bit whose predecessor is clear and ends at a set bit whose
// successor is clear (across word boundaries too).
inline OutputCounts countOutput(const unsigned char* data, std::uint32_t size) {
    std::uint64_t runs = 0, singles = 0, values = 0;
    std::uint64_t prevLast = 0;
    std::uint64_t w = wordAt(data, size, 0);
    for (std::uint32_t at = 0; at < size; at += 8) {
        std::uint64_t next = wordAt(data, size, at + 8);
        if (w) {
            std::uint64_t starts = w & ~((w >> 1) | (prevLast << 63));
            std::uint64_t ends = w & ~((w << 1) | (next >> 63));
            runs += popcount64(starts);
            singles += popcount64(starts & ends);
            values += popcount64(w);
        }
        prevLast = w & 1;
        w = next;
    }
    return OutputCounts{runs, values, runs == 0 ? 0 : 1 + singles + 2 * (runs - singles)};
}

// Writes the set as a range array, scalar array or mix array (kinds 4, 3,
// 5) into out, sized by countOutput.
inline void writeOutput(pgRangeArray::ArrayDataType kind, const unsigned char* data,
                        std::uint32_t size, const OutputCounts& c, std::int32_t* out) {
    mixArray::ElementCursor cursor{out};
    switch (kind) {
        case pgRangeArray::kRangeArray:
            forEachRun(data, size, [&](std::int32_t first, std::int32_t last) {
                cursor.push_back(first);
                cursor.push_back(last);
            });
            break;
        case pgRangeArray::kScalarArray:
            forEachRun(data, size, [&](std::int32_t first, std::int32_t last) {
                std::uint64_t n = pgRangeArray::spanCount(first, last);
                pgRangeArray::fillSpan(cursor.next, first, n);
                cursor.next += n;
            });
            break;
        default:
            if (c.runs == 0) break;
            cursor.push_back(static_cast<std::int32_t>(c.values));
            forEachRun(data, size, [&](std::int32_t first, std::int32_t last) {
                pgRangeArray::pushIntoMixArray(cursor, first, last);
            });
            break;
    }
}

// A serialised state, read in place.
struct SerialisedState {
    std::int8_t inputKind;
    std::int8_t outputKind;
    std::uint32_t capacity;
    const unsigned char* bits;
    std::uint32_t size;
};

[[noreturn]] inline void corrupted() {
    QV_ERROR(sqlstate::intervalFieldOverflow, "fromBytea", "qv_int4set_agg_optimized_deserialfn corrupted");
}

// Reads a serialised state of length bytes (varlena header included).  A
// state that cannot have been written by the serialise function fails:
// more payload than capacity, kinds outside their codes, a state without
// rows that carries bits, a state with rows but no capacity, or sizes
// beyond the largest domain.  Nothing past length is read.
inline SerialisedState readState(const unsigned char* value, std::size_t length) {
    if (length < kStateHeader)
        QV_ERROR(sqlstate::intervalFieldOverflow, "fromBytea",
                 "qv_int4set_agg_optimized_deserialfn empty bytea");
    SerialisedState s;
    std::memcpy(&s.inputKind, value + 4, 1);
    std::memcpy(&s.outputKind, value + 5, 1);
    std::int32_t c;
    std::memcpy(&c, value + 6, 4);
    std::size_t n = length - kStateHeader;
    if (c < 0 || n > static_cast<std::size_t>(c)) corrupted();
    if (s.inputKind == pgRangeArray::kNotKnown) {
        if (c != 0 || s.outputKind != pgRangeArray::kNotKnown) corrupted();
    } else {
        if (s.inputKind < pgRangeArray::kOneValue || s.inputKind > pgRangeArray::kMixArray) corrupted();
        if (s.outputKind < pgRangeArray::kScalarArray || s.outputKind > pgRangeArray::kMixArray) corrupted();
        if (c == 0 || n > kMaxSize || static_cast<std::uint32_t>(c) > kMaxCapacity) corrupted();
    }
    s.capacity = static_cast<std::uint32_t>(c);
    s.bits = value + kStateHeader;
    s.size = static_cast<std::uint32_t>(n);
    return s;
}

// Loads the bits of a serialised state into an empty builder.
template <typename Bits>
inline void loadBits(const SerialisedState& s, Bits& bits) {
    if (s.capacity == 0) return;
    bits.reserve(s.capacity);
    if (s.size) std::memcpy(bits.data, s.bits, s.size);
    bits.size = s.size;
}

// Writes a state into out (kStateHeader + bits.size bytes; the varlena
// header is left to the caller).
template <typename Bits>
inline void writeState(unsigned char* out, std::int32_t inputKind, std::int32_t outputKind,
                       const Bits& bits) {
    std::int8_t in = static_cast<std::int8_t>(inputKind), outKind = static_cast<std::int8_t>(outputKind);
    std::uint32_t capacity = inputKind == pgRangeArray::kNotKnown ? 0 : bits.capacity;
    std::memcpy(out + 4, &in, 1);
    std::memcpy(out + 5, &outKind, 1);
    std::memcpy(out + 6, &capacity, 4);
    if (bits.size) std::memcpy(out + kStateHeader, bits.data, bits.size);
}

}  // namespace bitFieldAgg
}  // namespace qv
