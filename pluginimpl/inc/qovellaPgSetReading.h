// Reading a stored set in any encoding as ranges and values: counting,
// bounds, the canonical-form check, the normaliser, and the text notation
// {[lower;upper],...} with its parser.  Server-free: inputs are read in place
// through pointers and lengths, outputs go to vectors given by the caller.
//
// Ranges are reported as the encoding holds them:
//   range array ('r')  its entries in stored order, lower > upper included;
//   scalar array ('s') runs of elements each one above its predecessor, in
//                      stored order (an unsorted array gives more runs);
//   mix array ('m')    the body's entries in stored order, header skipped;
//   bitfield           its maximal runs of set bits, ascending;
//   packed range       its one interval as stored.
// A range with lower > upper holds no value: it counts 0, it is left out of
// the bounds, and the values of a set are those of its ranges in order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "qovellaError.h"
#include "qovellaPgBitField.h"
#include "qovellaPgMixArray.h"
#include "qovellaPgRangeArray.h"
#include "qovellaPgRangeSort.h"

namespace qv {
namespace setReading {

using pgRangeArray::Range;

enum class Encoding : unsigned char { kRange, kScalar, kMix, kBitField, kPacked };

// A set as read from its stored form; elements point into the stored value.
struct SetView {
    Encoding encoding;
    const std::int32_t* elements;  // the array encodings; the mix body only
    std::size_t count;             // number of elements
    std::uint32_t mixHeader;       // the stored header of a mix array
    bool hasMixHeader;             // a mix array with at least one element
    bitField::View bits;           // the bitfield
    std::int32_t lower, upper;     // the packed range
};

// A set given as an int4[] in the encoding of type character kind ('r', 's'
// or 'm').  An odd range array raises 42804 "array length should be even"
// and a mix body that ends inside a range 22P03, both as routine.
inline SetView arraySet(char kind, const std::int32_t* e, std::size_t n, const char* routine) {
    SetView s{};
    switch (pgRangeArray::ArrayDataTypeFromChar(kind)) {
        case pgRangeArray::kRangeArray:
            pgRangeArray::rangesFromElements(e, n, routine);
            s.encoding = Encoding::kRange;
            break;
        case pgRangeArray::kMixArray:
            s.encoding = Encoding::kMix;
            if (n > 0) {
                s.hasMixHeader = true;
                s.mixHeader = static_cast<std::uint32_t>(e[0]);
                ++e;
                --n;
            }
            if (!mixArray::mixBodyIsComplete(e, n))
                QV_ERROR(sqlstate::invalidBinaryRepresentation, routine, "%s", mixArray::kDanglingRange);
            break;
        default:
            s.encoding = Encoding::kScalar;
            break;
    }
    s.elements = e;
    s.count = n;
    return s;
}

inline SetView bitFieldSet(const bitField::View& b) {
    SetView s{};
    s.encoding = Encoding::kBitField;
    s.bits = b;
    return s;
}

inline SetView packedSet(std::int32_t lower, std::int32_t upper) {
    SetView s{};
    s.encoding = Encoding::kPacked;
    s.lower = lower;
    s.upper = upper;
    return s;
}

using bitField::bitCount;
using bitField::lastSetBit;
using bitField::nextClearBit;
using bitField::nextSetBit;

// Walks the ranges of a set one at a time, as the encoding holds them.  The
// position is plain data, so a set-returning function keeps the cursor
// between calls.
class RangeCursor {
public:
    explicit RangeCursor(const SetView& s) : s_(s), pos_(0) {}

    // The next range into lo, hi; false when there is none.
    bool next(std::int32_t& lo, std::int32_t& hi) {
        switch (s_.encoding) {
            case Encoding::kRange:
                if (pos_ >= s_.count) return false;
                lo = s_.elements[pos_];
                hi = s_.elements[pos_ + 1];
                pos_ += 2;
                return true;
            case Encoding::kScalar: {
                if (pos_ >= s_.count) return false;
                lo = hi = s_.elements[pos_++];
                while (pos_ < s_.count && hi != INT32_MAX && s_.elements[pos_] == hi + 1) hi = s_.elements[pos_++];
                return true;
            }
            case Encoding::kMix: {
                if (pos_ >= s_.count) return false;
                std::int32_t v = s_.elements[pos_];
                if (static_cast<std::uint32_t>(v) & mixArray::kRangeFlag) {
                    lo = static_cast<std::int32_t>(static_cast<std::uint32_t>(v) & ~mixArray::kRangeFlag);
                    hi = s_.elements[pos_ + 1];  // present: the body was checked complete
                    pos_ += 2;
                } else {
                    lo = hi = v;
                    pos_ += 1;
                }
                return true;
            }
            case Encoding::kBitField: {
                std::uint64_t n = bitCount(s_.bits);
                std::uint64_t first = nextSetBit(s_.bits.begin, pos_, n);
                if (first >= n) {
                    pos_ = n;
                    return false;
                }
                std::uint64_t end = nextClearBit(s_.bits.begin, first, n);
                pos_ = end;
                lo = valueAt(first);
                hi = valueAt(end - 1);
                return true;
            }
            case Encoding::kPacked:
                if (pos_ != 0) return false;
                pos_ = 1;
                lo = s_.lower;
                hi = s_.upper;
                return true;
        }
        return false;
    }

private:
    std::int32_t valueAt(std::uint64_t k) const {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(s_.bits.lower) + static_cast<std::uint32_t>(k));
    }

    SetView s_;
    std::uint64_t pos_;  // element index, or bit index of a bitfield
};

// Walks the values of a set: each range's values ascending, ranges in order.
class ValueCursor {
public:
    explicit ValueCursor(const SetView& s) : ranges_(s), next_(1), last_(0) {}

    bool next(std::int32_t& v) {
        while (next_ > last_) {
            std::int32_t lo, hi;
            if (!ranges_.next(lo, hi)) return false;
            next_ = lo;
            last_ = hi;
        }
        v = static_cast<std::int32_t>(next_++);
        return true;
    }

private:
    RangeCursor ranges_;
    std::int64_t next_, last_;  // the rest of the current range, [next_; last_]
};

// Calls f(lo, hi) for every range of the set.
template <typename F>
inline void forEachRange(const SetView& s, F&& f) {
    if (s.encoding == Encoding::kBitField) {
        // a word at a time; bits past upper (none in a well-formed value) are ignored
        const std::uint64_t n = bitCount(s.bits);
        const std::int64_t lower = s.bits.lower;
        bitField::forEachRun(s.bits.begin, (n + 7) / 8, [&](std::uint64_t first, std::uint64_t last) {
            if (first < n)
                f(static_cast<std::int32_t>(lower + std::int64_t(first)),
                  static_cast<std::int32_t>(lower + std::int64_t(last < n ? last : n - 1)));
        });
        return;
    }
    RangeCursor c(s);
    std::int32_t lo, hi;
    while (c.next(lo, hi)) f(lo, hi);
}

// Number of ranges the cursor reports.
inline std::uint64_t rangeCount(const SetView& s) {
    switch (s.encoding) {
        case Encoding::kRange: return s.count / 2;
        case Encoding::kPacked: return 1;
        default: {
            std::uint64_t n = 0;
            forEachRange(s, [&](std::int32_t, std::int32_t) { ++n; });
            return n;
        }
    }
}

// Number of values: the sum over the ranges as stored (overlaps count
// twice, ranges with lower > upper none).  Never wraps: at most 2^27 ranges
// of at most 2^32 values each.
inline std::uint64_t cardinality(const SetView& s) {
    if (s.encoding == Encoding::kScalar) return s.count;
    std::uint64_t total = 0;
    forEachRange(s, [&](std::int32_t lo, std::int32_t hi) { total += pgRangeArray::spanCount(lo, hi); });
    return total;
}

// The least and greatest value over every range holding one; false for a
// set without values.
inline bool bounds(const SetView& s, std::int32_t& least, std::int32_t& greatest) {
    if (s.encoding == Encoding::kBitField) {
        std::uint64_t n = bitCount(s.bits);
        std::uint64_t first = nextSetBit(s.bits.begin, 0, n);
        if (first >= n) return false;
        std::uint64_t last = lastSetBit(s.bits.begin, n);
        least = static_cast<std::int32_t>(static_cast<std::uint32_t>(s.bits.lower) + static_cast<std::uint32_t>(first));
        greatest = static_cast<std::int32_t>(static_cast<std::uint32_t>(s.bits.lower) + static_cast<std::uint32_t>(last));
        return true;
    }
    bool any = false;
    forEachRange(s, [&](std::int32_t lo, std::int32_t hi) {
        if (lo > hi) return;
        if (!any || lo < least) least = lo;
        if (!any || hi > greatest) greatest = hi;
        any = true;
    });
    return any;
}

// Whether a range starting at lo may follow one ending at prevHi in
// canonical form: strictly after it, with a gap of at least one value.
inline bool followsWithGap(std::int32_t prevHi, std::int32_t lo) {
    return static_cast<std::int64_t>(lo) > static_cast<std::int64_t>(prevHi) + 1;
}

// Whether the set is stored in the canonical form of its encoding, the one
// the extension's writers produce:
//   'r'  ranges with lower <= upper, ascending, neither overlapping nor adjacent;
//   's'  values strictly ascending;
//   'm'  no elements for the empty set, else the header counting the body's
//        values and a body of ascending, non-adjacent entries, each range
//        with lower < upper (a one-value range is a single value);
//   bitfield  bounds at the least and greatest member (lower 0, upper -1
//        for the empty set), no bit set past upper;
//   packed    lower <= upper.
inline bool isCanonical(const SetView& s) {
    switch (s.encoding) {
        case Encoding::kScalar:
            for (std::size_t i = 1; i < s.count; ++i)
                if (s.elements[i] <= s.elements[i - 1]) return false;
            return true;
        case Encoding::kRange:
            for (std::size_t i = 0; i < s.count; i += 2) {
                if (s.elements[i] > s.elements[i + 1]) return false;
                if (i > 0 && !followsWithGap(s.elements[i - 1], s.elements[i])) return false;
            }
            return true;
        case Encoding::kMix: {
            if (!s.hasMixHeader) return true;
            if (s.count == 0) return false;  // a header alone: the empty set is written without one
            std::uint64_t total = 0;
            std::int32_t prevHi = 0;
            for (std::size_t i = 0; i < s.count;) {
                std::size_t at = i;
                std::uint32_t u = static_cast<std::uint32_t>(s.elements[i]);
                std::int32_t lo, hi;
                if (u & mixArray::kRangeFlag) {
                    lo = static_cast<std::int32_t>(u & ~mixArray::kRangeFlag);
                    hi = s.elements[i + 1];  // present: the body was checked complete
                    if (lo >= hi) return false;  // a one-value range is a single value
                    i += 2;
                } else {
                    lo = hi = s.elements[i++];
                }
                if (at > 0 && !followsWithGap(prevHi, lo)) return false;
                prevHi = hi;
                total += pgRangeArray::spanCount(lo, hi);
            }
            return static_cast<std::int32_t>(s.mixHeader) >= 0 && total == s.mixHeader;
        }
        case Encoding::kBitField: {
            std::uint64_t n = bitCount(s.bits);
            if (n == 0) return s.bits.lower == 0 && s.bits.upper == -1;
            if (!bitField::testBit(s.bits.begin, 0) || !bitField::testBit(s.bits.begin, static_cast<std::uint32_t>(n - 1)))
                return false;
            // padding past upper: the rest of the last byte, then whole bytes
            std::uint64_t k = n;
            if (k & 7) {
                if (s.bits.begin[k >> 3] & bitField::kTailMask[k & 7]) return false;
                k = (k | 7) + 1;
            }
            return !bitField::anyByteSet(s.bits.begin + (k >> 3), s.bits.end);
        }
        case Encoding::kPacked:
            return s.lower <= s.upper;
    }
    return false;
}

// Brings ranges[0 .. n) into canonical form in place: sorted by lower
// bound, overlapping and adjacent ranges merged, ranges holding no value
// dropped.  scratch has room for n ranges.  Returns the new count.
inline std::size_t normalizeRanges(Range<int>* ranges, std::size_t n, Range<int>* scratch) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < n; ++i)
        if (ranges[i].lower <= ranges[i].upper) ranges[kept++] = ranges[i];
    pgRangeArray::sortRangesByLower(ranges, kept, scratch);
    if (kept == 0) return 0;
    std::size_t out = 0;
    for (std::size_t i = 1; i < kept; ++i) {
        if (static_cast<std::int64_t>(ranges[i].lower) <= static_cast<std::int64_t>(ranges[out].upper) + 1) {
            if (ranges[i].upper > ranges[out].upper) ranges[out].upper = ranges[i].upper;
        } else {
            ranges[++out] = ranges[i];
        }
    }
    return out + 1;
}

// --- text notation ---------------------------------------------------------
//
// {[lower;upper],[lower;upper],...}: closed intervals in the order of the
// ranges, {} for a set without ranges.  The parser takes blanks around every
// token and gives the ranges back in the order written, lower > upper
// included, so that any range array's text reads back to the same array.

// Longest text of one range with its separator: ",[-2147483648;-2147483648]".
constexpr std::size_t kMaxRangeText = 26;

// Writes v in decimal at dst; returns the end.
inline char* writeInt(char* dst, std::int32_t v) {
    std::uint32_t u = static_cast<std::uint32_t>(v);
    if (v < 0) {
        *dst++ = '-';
        u = 0u - u;
    }
    char tmp[10];
    int k = 0;
    do {
        tmp[k++] = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u);
    while (k) *dst++ = tmp[--k];
    return dst;
}

// Appends the text of the set to out, a vector of char.
template <typename CharVec>
void renderText(const SetView& s, CharVec& out) {
    out.reserve(out.size + 2 + kMaxRangeText);
    out.data[out.size++] = '{';
    bool first = true;
    forEachRange(s, [&](std::int32_t lo, std::int32_t hi) {
        if (out.size + kMaxRangeText + 1 > out.capacity) out.reserve(2 * out.capacity + kMaxRangeText + 1);
        char* p = out.data + out.size;
        if (!first) *p++ = ',';
        first = false;
        *p++ = '[';
        p = writeInt(p, lo);
        *p++ = ';';
        p = writeInt(p, hi);
        *p++ = ']';
        out.size = static_cast<decltype(out.size)>(p - out.data);
    });
    out.data[out.size++] = '}';
}

constexpr const char* kSyntax = "invalid input syntax for an int4 set at character %d";
constexpr const char* kOutOfRange = "value out of range for int4 at character %d";

// Parses the text notation in text[0 .. n) and appends its ranges to out
// (a vector of Range<int>).  Bad syntax raises 22P02, a bound outside the
// int4 range 22003, both as routine with the 1-based character position.
template <typename RangeVec>
void parseText(const char* text, std::size_t n, RangeVec& out, const char* routine) {
    std::size_t i = 0;
    auto fail = [&](const char* fmt, const char* state) {
        QV_ERROR(state, routine, fmt, static_cast<int>(i < n ? i + 1 : n + 1));
    };
    auto blanks = [&] {
        while (i < n && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r')) ++i;
    };
    auto expect = [&](char c) {
        blanks();
        if (i >= n || text[i] != c) fail(kSyntax, sqlstate::invalidTextRepresentation);
        ++i;
    };
    auto number = [&]() -> std::int32_t {
        blanks();
        std::size_t start = i;
        bool negative = false;
        if (i < n && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
        if (i >= n || text[i] < '0' || text[i] > '9') fail(kSyntax, sqlstate::invalidTextRepresentation);
        std::uint64_t v = 0;
        while (i < n && text[i] >= '0' && text[i] <= '9') {
            v = v * 10 + static_cast<unsigned>(text[i] - '0');
            if (v > 2147483648u) {
                i = start;
                fail(kOutOfRange, sqlstate::numericValueOutOfRange);
            }
            ++i;
        }
        if (!negative && v > 2147483647u) {
            i = start;
            fail(kOutOfRange, sqlstate::numericValueOutOfRange);
        }
        return negative ? static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(v))
                        : static_cast<std::int32_t>(v);
    };
    expect('{');
    blanks();
    if (i < n && text[i] == '}') {
        ++i;
    } else {
        for (;;) {
            expect('[');
            std::int32_t lo = number();
            expect(';');
            std::int32_t hi = number();
            expect(']');
            out.push_back(Range<int>{lo, hi});
            blanks();
            if (i < n && text[i] == ',') {
                ++i;
                continue;
            }
            expect('}');
            break;
        }
    }
    blanks();
    if (i != n) fail(kSyntax, sqlstate::invalidTextRepresentation);
}

}  // namespace setReading
}  // namespace qv
