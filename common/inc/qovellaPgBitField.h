// Bitfields: the dense encoding of a set of int4 values, and the in-memory
// bit builder.  Server-free: allocation comes in as template parameters.
//
// Stored bitfield (a bytea), byte offsets from the start of the varlena:
//
//    0  4 bytes  varlena header (total size VARSIZE)
//    4  int32    lower: the value of bit 0
//    8  int32    upper: the largest value covered
//   12  8 x W    bits, W = ceil(n / 64) words, n = upper - lower + 1
//
// Value v (lower <= v <= upper) is bit k = v - lower, held in byte k >> 3
// of the bits area under the mask 0x80 >> (k & 7): within a byte the most
// significant bit is the lowest value.  The words only make up the length;
// bits are always located byte by byte.  Bits past upper are zero.
//
// The empty set has one encoding: lower 0, upper -1, no bits (12 bytes).
// n is computed in 64-bit arithmetic: bounds spanning the whole int4 domain
// need 2^32 bits (512 MiB), and upper < lower - 1 has no valid size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "qovellaError.h"

namespace qv {
namespace bitField {

constexpr std::size_t kHeaderSize = 12;
constexpr const char* kInvalid = "invalid bitfield array";

// Single-bit masks, indexed by k & 7.
constexpr unsigned char kBitMask[8] = {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01};

// Bits 0..j of a byte (most significant first), indexed by j.
constexpr unsigned char kHeadMask[8] = {0x80, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC, 0xFE, 0xFF};

// Bits i..7 of a byte, indexed by i.
constexpr unsigned char kTailMask[8] = {0xFF, 0x7F, 0x3F, 0x1F, 0x0F, 0x07, 0x03, 0x01};

// Bits i..j of a byte, [i][j]; zero when i > j.
constexpr unsigned char kSpanMask[8][8] = {
    {0x80, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC, 0xFE, 0xFF},
    {0x00, 0x40, 0x60, 0x70, 0x78, 0x7C, 0x7E, 0x7F},
    {0x00, 0x00, 0x20, 0x30, 0x38, 0x3C, 0x3E, 0x3F},
    {0x00, 0x00, 0x00, 0x10, 0x18, 0x1C, 0x1E, 0x1F},
    {0x00, 0x00, 0x00, 0x00, 0x08, 0x0C, 0x0E, 0x0F},
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x04, 0x06, 0x07},
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x03},
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01},
};

// Number of bytes of the bits area that bounds [lower; upper] demand, or -1
// when they have no valid size (upper < lower - 1).
inline std::int64_t bitsBytesFor(std::int32_t lower, std::int32_t upper) {
    std::int64_t n = static_cast<std::int64_t>(upper) - lower + 1;
    if (n < 0) return -1;
    return 8 * ((n + 63) / 64);
}

// A validated bitfield: its bounds and its bits area [begin; end).
struct View {
    const unsigned char* begin;
    const unsigned char* end;
    std::int32_t lower;
    std::int32_t upper;
};

// Validates a stored bitfield of length bytes (varlena header included) by
// the size rule; failures raise 22023 "invalid bitfield array" as routine.
inline View readBitField(const unsigned char* value, std::size_t length, const char* routine) {
    if (length < kHeaderSize) QV_ERROR(sqlstate::invalidParameterValue, routine, "%s", kInvalid);
    View v;
    std::memcpy(&v.lower, value + 4, 4);
    std::memcpy(&v.upper, value + 8, 4);
    std::int64_t bytes = bitsBytesFor(v.lower, v.upper);
    if (bytes < 0 || static_cast<std::uint64_t>(bytes) != length - kHeaderSize)
        QV_ERROR(sqlstate::invalidParameterValue, routine, "%s", kInvalid);
    v.begin = value + kHeaderSize;
    v.end = value + length;
    return v;
}

// Bit index of v, for lower <= v.
inline std::uint32_t bitIndex(std::int32_t v, std::int32_t lower) {
    return static_cast<std::uint32_t>(v) - static_cast<std::uint32_t>(lower);
}

inline bool testBit(const unsigned char* bits, std::uint32_t k) {
    return (bits[k >> 3] & kBitMask[k & 7]) != 0;
}

// Whether bytes [first; last) hold any set bit.
inline bool anyByteSet(const unsigned char* first, const unsigned char* last) {
    for (; last - first >= 8; first += 8) {
        std::uint64_t w;
        std::memcpy(&w, first, 8);
        if (w) return true;
    }
    for (; first != last; ++first)
        if (*first) return true;
    return false;
}

// Whether bytes [first; last) are all 0xFF.
inline bool allBytesSet(const unsigned char* first, const unsigned char* last) {
    for (; last - first >= 8; first += 8) {
        std::uint64_t w;
        std::memcpy(&w, first, 8);
        if (w != ~std::uint64_t(0)) return false;
    }
    for (; first != last; ++first)
        if (*first != 0xFF) return false;
    return true;
}

// Whether any bit s..e (s <= e) is set, a byte at a time.
inline bool anyBitInSpan(const unsigned char* bits, std::uint32_t s, std::uint32_t e) {
    std::uint32_t sb = s >> 3, eb = e >> 3;
    if (sb == eb) return (bits[sb] & kSpanMask[s & 7][e & 7]) != 0;
    if (bits[sb] & kTailMask[s & 7]) return true;
    if (bits[eb] & kHeadMask[e & 7]) return true;
    return anyByteSet(bits + sb + 1, bits + eb);
}

// Whether every bit s..e (s <= e) is set, a byte at a time.
inline bool allBitsInSpan(const unsigned char* bits, std::uint32_t s, std::uint32_t e) {
    std::uint32_t sb = s >> 3, eb = e >> 3;
    if (sb == eb) {
        unsigned char m = kSpanMask[s & 7][e & 7];
        return (bits[sb] & m) == m;
    }
    if ((bits[sb] & kTailMask[s & 7]) != kTailMask[s & 7]) return false;
    if ((bits[eb] & kHeadMask[e & 7]) != kHeadMask[e & 7]) return false;
    return allBytesSet(bits + sb + 1, bits + eb);
}

// Sets bits s..e (s <= e) of bits, whole bytes at a time.
inline void setSpan(unsigned char* bits, std::uint32_t s, std::uint32_t e) {
    std::uint32_t sb = s >> 3, eb = e >> 3;
    if (sb == eb) {
        bits[sb] |= kSpanMask[s & 7][e & 7];
        return;
    }
    bits[sb] |= kTailMask[s & 7];
    if (eb > sb + 1) std::memset(bits + sb + 1, 0xFF, eb - sb - 1);
    bits[eb] |= kHeadMask[e & 7];
}

// Whether v is a member of the bitfield.
inline bool contains(const View& b, std::int32_t v) {
    if (v < b.lower || v > b.upper) return false;
    return testBit(b.begin, bitIndex(v, b.lower));
}

// Whether some value of [lo; hi] is a member; an inverted range holds none.
inline bool overlapsRange(const View& b, std::int32_t lo, std::int32_t hi) {
    if (lo > hi || hi < b.lower || b.upper < lo) return false;
    std::int32_t first = lo > b.lower ? lo : b.lower;
    std::int32_t last = hi < b.upper ? hi : b.upper;
    if (first > last) return false;  // the empty bitfield (upper < lower)
    return anyBitInSpan(b.begin, bitIndex(first, b.lower), bitIndex(last, b.lower));
}

// Whether every value of [lo; hi] is a member; an inverted range holds none.
inline bool includesRange(const View& b, std::int32_t lo, std::int32_t hi) {
    if (lo > hi) return true;
    if (lo < b.lower || b.upper < hi) return false;
    return allBitsInSpan(b.begin, bitIndex(lo, b.lower), bitIndex(hi, b.lower));
}

// Number of bits a bitfield covers (0 for the empty one).
inline std::uint64_t bitCount(const View& b) {
    std::int64_t n = static_cast<std::int64_t>(b.upper) - b.lower + 1;
    return n > 0 ? static_cast<std::uint64_t>(n) : 0;
}

// The first bit at or after k that is set (Value true) or clear (Value
// false), or n when there is none below n.  Whole words of the other value
// are skipped eight bytes at a time.
template <bool Value>
inline std::uint64_t nextBitOf(const unsigned char* bits, std::uint64_t k, std::uint64_t n) {
    constexpr unsigned flip = Value ? 0x00u : 0xFFu;
    constexpr std::uint64_t otherWord = Value ? 0 : ~std::uint64_t(0);
    while (k < n) {
        unsigned b = (bits[k >> 3] ^ flip) & kTailMask[k & 7];
        if (b) {
            k = (k & ~std::uint64_t(7)) + static_cast<unsigned>(__builtin_clz(b) - 24);
            return k < n ? k : n;
        }
        k = (k | 7) + 1;
        while (k + 64 <= n) {
            std::uint64_t w;
            std::memcpy(&w, bits + (k >> 3), 8);
            if (w != otherWord) break;
            k += 64;
        }
    }
    return n;
}

inline std::uint64_t nextSetBit(const unsigned char* bits, std::uint64_t k, std::uint64_t n) {
    return nextBitOf<true>(bits, k, n);
}
inline std::uint64_t nextClearBit(const unsigned char* bits, std::uint64_t k, std::uint64_t n) {
    return nextBitOf<false>(bits, k, n);
}

// The last set bit below n, or n when none.
inline std::uint64_t lastSetBit(const unsigned char* bits, std::uint64_t n) {
    for (std::uint64_t k = n; k > 0;) {
        --k;
        unsigned b = bits[k >> 3] & kHeadMask[k & 7];
        if (b) return (k & ~std::uint64_t(7)) + 7 - static_cast<unsigned>(__builtin_ctz(b));
        k &= ~std::uint64_t(7);
    }
    return n;
}

// The 8 bytes at p as a word whose most significant bit is bit 0 of p[0],
// so that bit order and word order agree.
inline std::uint64_t loadWord(const unsigned char* p) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    return __builtin_bswap64(w);
}

// Word at of the bits, zero-padded past size.
inline std::uint64_t wordAt(const unsigned char* data, std::uint64_t size, std::uint64_t at) {
    if (at >= size) return 0;
    if (size - at >= 8) return loadWord(data + at);
    unsigned char tail[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    std::memcpy(tail, data + at, size - at);
    return loadWord(tail);
}

// Calls run(first, last) for every maximal run of set bits of the size
// bytes at data, in ascending order of bit index.  Works a word at a time:
// zero words and words inside a run are skipped whole.
template <typename F>
inline void forEachRun(const unsigned char* data, std::uint64_t size, F&& run) {
    bool inRun = false;
    std::uint64_t start = 0;
    for (std::uint64_t at = 0; at < size; at += 8) {
        std::uint64_t w = wordAt(data, size, at);
        if (w == (inRun ? ~std::uint64_t(0) : 0)) continue;
        std::uint64_t base = 8 * at;
        int pos = 0;
        while (pos < 64) {
            std::uint64_t rest = (inRun ? ~w : w) << pos;
            if (rest == 0) break;
            pos += __builtin_clzll(rest);
            if (inRun)
                run(start, base + pos - 1);
            else
                start = base + pos;
            inRun = !inRun;
        }
    }
    if (inRun) run(start, 8 * size - 1);
}

}  // namespace bitField

namespace pg {

// A growable bit buffer without bounds: bit i (i >= 0) is the value i, in
// byte i >> 3 under the single-bit mask of i & 7.  The buffer belongs to
// whoever allocated it (a memory context in the server); the owner frees it
// with release() or by dropping the context, so there is no destructor.
template <void* (*Alloc)(std::size_t), void (*Free)(void*)>
class tBitField {
public:
    std::uint32_t capacity;  // bytes allocated: 0 or a multiple of 8
    std::uint32_t size;      // bytes in use
    unsigned char* data;     // null while capacity is 0
    std::uint8_t fill;       // what resize writes into added bytes

    tBitField() : capacity(0), size(0), data(nullptr), fill(0) {}
    tBitField(const tBitField&) = delete;
    tBitField& operator=(const tBitField&) = delete;

    // Makes room for n bytes (a multiple of 8); never shrinks.  The bytes
    // past size are left uninitialised.
    void reserve(std::uint32_t n) {
        if (n <= capacity) return;
        if (n % 8 != 0)
            QV_ERROR(sqlstate::intervalFieldOverflow, "reserve", "bitfield invalid capacity");
        unsigned char* fresh = static_cast<unsigned char*>(Alloc(n));
        if (!fresh) QV_ERROR(sqlstate::outOfMemory, "reserve", nullptr);
        if (size) std::memcpy(fresh, data, size);
        if (data) Free(data);
        data = fresh;
        capacity = n;
    }

    // Grows to n bytes, filling the new ones; never shrinks.  The capacity
    // doubles until it covers n (from 8 when nothing was reserved yet).
    void resize(std::uint32_t n) {
        if (n <= size) return;
        if (n > capacity) {
            std::uint64_t c = capacity ? capacity : 8;
            while (c < n) {
                c <<= 1;
                if (c > UINT32_MAX)
                    QV_ERROR(sqlstate::intervalFieldOverflow, "resize", "tSize overflow ");
            }
            reserve(static_cast<std::uint32_t>(c));
        }
        std::memset(data + size, fill, n - size);
        size = n;
    }

    // Sizes an empty builder for the values 0..m: bits 0 .. 8 * size - 1
    // are then usable (m rounded up to the end of its byte), all zero.
    void sizeForDomain(std::uint32_t m) {
        std::uint64_t words = (static_cast<std::uint64_t>(m) + 1 + 63) / 64;
        reserve(static_cast<std::uint32_t>(8 * words));
        resize(m / 8 + 1);
    }

    // Largest usable bit; -1 when there are none.
    std::int64_t lastBit() const { return 8 * static_cast<std::int64_t>(size) - 1; }

    // Whether bit v exists (v >= 0 and its byte is below size).
    bool holds(std::int32_t v) const { return (static_cast<std::uint32_t>(v) >> 3) < size; }

    void setBit(std::uint32_t i) { data[i >> 3] |= bitField::kBitMask[i & 7]; }
    bool testBit(std::uint32_t i) const { return bitField::testBit(data, i); }

    // Sets bits a..b (a <= b, both held), whole bytes at a time.
    void setSpan(std::uint32_t a, std::uint32_t b) { bitField::setSpan(data, a, b); }

    // Makes this (freshly constructed) builder a copy of other.
    void copyFrom(const tBitField& other) {
        fill = other.fill;
        if (other.capacity != 0) reserve(other.capacity);
        if (other.size) std::memcpy(data, other.data, other.size);
        size = other.size;
    }

    // ORs other into this builder, growing to other's size first.
    void orMerge(const tBitField& other) {
        if (other.size > size) resize(other.size);
        std::uint32_t n = other.size < size ? other.size : size;
        std::uint32_t i = 0;
        for (; i + 8 <= n; i += 8) {
            std::uint64_t a, b;
            std::memcpy(&a, data + i, 8);
            std::memcpy(&b, other.data + i, 8);
            a |= b;
            std::memcpy(data + i, &a, 8);
        }
        for (; i < n; ++i) data[i] |= other.data[i];
    }

    // Makes this (freshly constructed) builder a | b in one pass, leaving it
    // exactly as copyFrom(a) then orMerge(b) would (capacity, size, bytes),
    // with its buffer allocated once at its final capacity.
    void assignUnion(const tBitField& a, const tBitField& b) {
        fill = a.fill;
        std::uint64_t c = a.capacity;
        if (b.size > a.size && b.size > c) {
            c = c ? c : 8;
            while (c < b.size) {
                c <<= 1;
                if (c > UINT32_MAX)
                    QV_ERROR(sqlstate::intervalFieldOverflow, "resize", "tSize overflow ");
            }
        }
        if (c) reserve(static_cast<std::uint32_t>(c));
        std::uint32_t n = a.size < b.size ? a.size : b.size;
        std::uint32_t i = 0;
        for (; i + 8 <= n; i += 8) {
            std::uint64_t x, y;
            std::memcpy(&x, a.data + i, 8);
            std::memcpy(&y, b.data + i, 8);
            x |= y;
            std::memcpy(data + i, &x, 8);
        }
        for (; i < n; ++i) data[i] = a.data[i] | b.data[i];
        if (a.size > n) std::memcpy(data + n, a.data + n, a.size - n);
        for (i = n; i < b.size; ++i) data[i] = a.fill | b.data[i];
        size = a.size > b.size ? a.size : b.size;
    }

    // Frees the buffer and empties the builder.
    void release() {
        if (data) Free(data);
        data = nullptr;
        capacity = 0;
        size = 0;
    }
};

}  // namespace pg
}  // namespace qv
