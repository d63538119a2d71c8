// Bitfield encoding: mask tables, size rule, reader, span tests and builder.
#include <algorithm>
#include <climits>
#include <cstring>
#include <random>
#include <vector>

#include "qovellaPgBitField.h"
#include "testSupport.h"

namespace {

using namespace qv::bitField;
using Bits = qv::pg::tBitField<qv::test::testMalloc, qv::test::testFree>;

void* noMemory(std::size_t) { return nullptr; }

// A stored bitfield with the given bounds, bits bytes and members.
std::vector<unsigned char> stored(int lower, int upper, std::size_t bitsBytes,
                                  const std::vector<int>& members = {}) {
    std::vector<unsigned char> v(kHeaderSize + bitsBytes, 0);
    std::uint32_t size = static_cast<std::uint32_t>(v.size()) << 2;  // 4-byte varlena header
    std::memcpy(v.data(), &size, 4);
    std::memcpy(v.data() + 4, &lower, 4);
    std::memcpy(v.data() + 8, &upper, 4);
    for (int m : members) {
        std::uint32_t k = static_cast<std::uint32_t>(m) - static_cast<std::uint32_t>(lower);
        v[kHeaderSize + (k >> 3)] |= static_cast<unsigned char>(0x80 >> (k & 7));
    }
    return v;
}

View read(const std::vector<unsigned char>& v) {
    return readBitField(v.data(), v.size(), "reader");
}

TEST(BitFieldMasks, TablesFollowTheBitOrder) {
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(0x80 >> i, kBitMask[i]);
        EXPECT_EQ(0xFF >> i, kTailMask[i]);
        EXPECT_EQ((0xFF << (7 - i)) & 0xFF, kHeadMask[i]);
        for (int j = 0; j < 8; ++j) {
            int expected = 0;
            for (int k = i; k <= j; ++k) expected |= 0x80 >> k;
            EXPECT_EQ(expected, kSpanMask[i][j]) << i << "," << j;
        }
    }
}

TEST(BitFieldSizeRule, ExamplesAndLimits) {
    EXPECT_EQ(0, bitsBytesFor(0, -1));
    EXPECT_EQ(8, bitsBytesFor(10, 10));
    EXPECT_EQ(8, bitsBytesFor(0, 63));
    EXPECT_EQ(16, bitsBytesFor(0, 64));
    EXPECT_EQ(0, bitsBytesFor(5, 4));
    // computed in 64 bits: the whole domain needs 2^32 bits
    EXPECT_EQ(std::int64_t(1) << 29, bitsBytesFor(INT_MIN, INT_MAX));
    EXPECT_EQ(std::int64_t(1) << 29, bitsBytesFor(INT_MIN + 1, INT_MAX));
    EXPECT_EQ((std::int64_t(1) << 28), bitsBytesFor(0, INT_MAX));
    // upper below lower - 1 has no size
    EXPECT_EQ(-1, bitsBytesFor(5, 3));
    EXPECT_EQ(-1, bitsBytesFor(INT_MAX, INT_MIN));
}

TEST(BitFieldReader, AcceptsTheSizeRuleOnly) {
    std::vector<unsigned char> empty = stored(0, -1, 0);
    View e = read(empty);
    EXPECT_EQ(0, e.lower);
    EXPECT_EQ(-1, e.upper);
    EXPECT_EQ(e.begin, e.end);
    for (int v : {INT_MIN, -1, 0, 1, INT_MAX}) EXPECT_FALSE(contains(e, v));
    EXPECT_FALSE(overlapsRange(e, INT_MIN, INT_MAX));
    EXPECT_FALSE(overlapsRange(e, -1, 0));
    EXPECT_FALSE(includesRange(e, 0, 0));
    EXPECT_TRUE(includesRange(e, 1, 0));  // nothing to include
    std::vector<unsigned char> emptyElsewhere = stored(5, 4, 0);  // n = 0 too
    EXPECT_FALSE(overlapsRange(read(emptyElsewhere), INT_MIN, INT_MAX));

    std::vector<unsigned char> oneValue = stored(10, 10, 8, {10});
    View one = read(oneValue);
    EXPECT_EQ(0x80, one.begin[0]);
    EXPECT_TRUE(contains(one, 10));
    EXPECT_FALSE(contains(one, 9));
    EXPECT_FALSE(contains(one, 11));
    read(stored(0, 63, 8));
    read(stored(0, 64, 16));

    std::vector<unsigned char> shortValue = stored(0, -1, 0);
    EXPECT_RAISES(readBitField(shortValue.data(), 11, "reader"), "22023", "reader",
                  "invalid bitfield array");
    EXPECT_RAISES(read(stored(10, 10, 16)), "22023", "reader", "invalid bitfield array");
    EXPECT_RAISES(read(stored(10, 10, 0)), "22023", "reader", "invalid bitfield array");
    EXPECT_RAISES(read(stored(0, -1, 1)), "22023", "reader", "invalid bitfield array");
    // n = 2^32 wraps to 0 in 32 bits; an empty bits area must not pass
    EXPECT_RAISES(read(stored(INT_MIN, INT_MAX, 0)), "22023", "reader", "invalid bitfield array");
    EXPECT_RAISES(read(stored(5, 3, 0)), "22023", "reader", "invalid bitfield array");
}

TEST(BitFieldReader, BoundsAreSignedAndBitsOutsideAreIgnored) {
    std::vector<unsigned char> v = stored(-5, 58, 8);
    std::memset(v.data() + kHeaderSize, 0xFF, 8);
    View b = read(v);
    EXPECT_TRUE(contains(b, -5));
    EXPECT_TRUE(contains(b, 58));
    EXPECT_FALSE(contains(b, -6));
    EXPECT_FALSE(contains(b, 59));
    EXPECT_FALSE(contains(b, INT_MIN));
    EXPECT_FALSE(overlapsRange(b, INT_MIN, -6));
    EXPECT_FALSE(overlapsRange(b, 59, INT_MAX));
    EXPECT_TRUE(overlapsRange(b, INT_MIN, INT_MAX));
    EXPECT_FALSE(includesRange(b, -6, 0));
    EXPECT_TRUE(includesRange(b, -5, 58));
}

// Span tests and range tests against a bit-by-bit reference.
TEST(BitFieldSpans, MatchBitByBitReference) {
    std::mt19937 rng(42);
    for (int round = 0; round < 400; ++round) {
        int lower = static_cast<int>(rng() % 64) - 32;
        int upper = lower + static_cast<int>(rng() % 200);
        std::vector<unsigned char> v = stored(lower, upper, bitsBytesFor(lower, upper));
        unsigned density = rng() % 4;  // sparse to full
        for (int x = lower; x <= upper; ++x)
            if (density == 3 || rng() % 4 < density) {
                std::uint32_t k = static_cast<std::uint32_t>(x - lower);
                v[kHeaderSize + (k >> 3)] |= static_cast<unsigned char>(0x80 >> (k & 7));
            }
        View b = read(v);
        for (int t = 0; t < 50; ++t) {
            int lo = lower - 20 + static_cast<int>(rng() % (upper - lower + 41));
            int hi = lo + static_cast<int>(rng() % 90) - 10;
            bool any = false, all = lo <= hi;
            for (int x = lo; x <= hi; ++x) {
                bool m = x >= lower && x <= upper &&
                         (v[kHeaderSize + ((x - lower) >> 3)] & (0x80 >> ((x - lower) & 7)));
                any = any || m;
                all = all && m;
            }
            if (lo > hi) all = true;
            EXPECT_EQ(any, overlapsRange(b, lo, hi)) << lo << ".." << hi;
            EXPECT_EQ(all, includesRange(b, lo, hi)) << lo << ".." << hi;
            if (lo >= lower && hi <= upper && lo <= hi) {
                std::uint32_t s = bitIndex(lo, lower), e = bitIndex(hi, lower);
                EXPECT_EQ(any, anyBitInSpan(b.begin, s, e));
                EXPECT_EQ(all, allBitsInSpan(b.begin, s, e));
            }
        }
    }
}

TEST(BitFieldBuilder, SizedForADomain) {
    Bits b;
    EXPECT_EQ(0u, b.capacity);
    EXPECT_EQ(nullptr, b.data);
    b.sizeForDomain(10);
    EXPECT_EQ(8u, b.capacity);
    EXPECT_EQ(2u, b.size);
    EXPECT_EQ(15, b.lastBit());
    EXPECT_TRUE(b.holds(0));
    EXPECT_TRUE(b.holds(15));
    EXPECT_FALSE(b.holds(16));
    EXPECT_FALSE(b.holds(-1));
    EXPECT_FALSE(b.holds(INT_MIN));
    b.setBit(3);
    b.setBit(15);
    EXPECT_EQ(0x10, b.data[0]);
    EXPECT_EQ(0x01, b.data[1]);
    EXPECT_TRUE(b.testBit(3));
    EXPECT_FALSE(b.testBit(4));
    b.release();

    Bits c;
    c.sizeForDomain(63);
    EXPECT_EQ(8u, c.capacity);
    EXPECT_EQ(8u, c.size);
    c.release();
    c.sizeForDomain(64);
    EXPECT_EQ(16u, c.capacity);
    EXPECT_EQ(9u, c.size);
    c.release();
}

TEST(BitFieldBuilder, SetSpanMatchesSetBit) {
    std::mt19937 rng(7);
    for (int round = 0; round < 300; ++round) {
        Bits a, b;
        a.sizeForDomain(255);
        b.sizeForDomain(255);
        std::uint32_t s = rng() % 256, e = s + rng() % (256 - s);
        a.setSpan(s, e);
        for (std::uint32_t i = s; i <= e; ++i) b.setBit(i);
        EXPECT_EQ(0, std::memcmp(a.data, b.data, a.size)) << s << ".." << e;
        a.release();
        b.release();
    }
}

TEST(BitFieldBuilder, ReserveAndResize) {
    Bits b;
    EXPECT_RAISES(b.reserve(12), "22015", "reserve", "bitfield invalid capacity");
    b.reserve(8);
    b.resize(3);
    EXPECT_EQ(3u, b.size);
    b.data[0] = 0xAB;
    b.fill = 0x5A;
    b.resize(20);  // doubles 8 -> 16 -> 32
    EXPECT_EQ(32u, b.capacity);
    EXPECT_EQ(20u, b.size);
    EXPECT_EQ(0xAB, b.data[0]);
    EXPECT_EQ(0x5A, b.data[3]);
    EXPECT_EQ(0x5A, b.data[19]);
    b.resize(4);  // never shrinks
    EXPECT_EQ(20u, b.size);
    b.reserve(16);  // nothing to do
    EXPECT_EQ(32u, b.capacity);
    b.release();

    // without a reservation, growth starts from 8
    Bits fresh;
    fresh.resize(9);
    EXPECT_EQ(16u, fresh.capacity);
    EXPECT_EQ(0, fresh.data[8]);
    fresh.release();

    Bits huge;  // doubling past 32 bits fails before anything is allocated
    huge.capacity = 0x80000000u;
    EXPECT_RAISES(huge.resize(0xFFFFFFF8u), "22015", "resize", "tSize overflow ");

    qv::pg::tBitField<noMemory, qv::test::testFree> starved;
    EXPECT_RAISES(starved.reserve(8), "53200", "reserve", "");
}

TEST(BitFieldBuilder, CopyAndOrMerge) {
    Bits empty, copyOfEmpty;
    copyOfEmpty.copyFrom(empty);
    EXPECT_EQ(0u, copyOfEmpty.capacity);
    EXPECT_EQ(nullptr, copyOfEmpty.data);

    Bits small, big;
    small.sizeForDomain(10);  // size 2
    big.sizeForDomain(100);   // size 13
    small.setBit(1);
    small.setBit(15);
    big.setBit(15);
    big.setBit(100);
    Bits merged;
    merged.copyFrom(small);
    EXPECT_EQ(small.capacity, merged.capacity);
    merged.orMerge(big);
    EXPECT_EQ(13u, merged.size);
    for (std::uint32_t i = 0; i < 104; ++i)
        EXPECT_EQ(i == 1 || i == 15 || i == 100, merged.testBit(i)) << i;
    EXPECT_EQ(2u, small.size);  // the inputs stay as they were
    EXPECT_FALSE(small.holds(100));

    // size 2 into size 1: the target grows (new byte zero) before the OR
    Bits one, two;
    one.reserve(8);
    one.resize(1);
    one.data[0] = 0x81;
    two.reserve(8);
    two.resize(2);
    two.data[0] = 0x18;
    two.data[1] = 0x42;
    one.orMerge(two);
    EXPECT_EQ(2u, one.size);
    EXPECT_EQ(0x99, one.data[0]);
    EXPECT_EQ(0x42, one.data[1]);

    // the 8-byte groups and the byte tail give the bytewise OR
    std::mt19937 rng(3);
    Bits x, y, expected;
    x.sizeForDomain(8 * 37 - 1);
    y.sizeForDomain(8 * 23 - 1);
    for (std::uint32_t i = 0; i < x.size; ++i) x.data[i] = static_cast<unsigned char>(rng());
    for (std::uint32_t i = 0; i < y.size; ++i) y.data[i] = static_cast<unsigned char>(rng());
    expected.copyFrom(x);
    for (std::uint32_t i = 0; i < y.size; ++i) expected.data[i] |= y.data[i];
    x.orMerge(y);
    EXPECT_EQ(0, std::memcmp(expected.data, x.data, x.size));

    for (Bits* p : {&small, &big, &merged, &one, &two, &x, &y, &expected}) p->release();
}

// assignUnion leaves what copyFrom then orMerge leaves: capacity, size,
// bytes (the fill byte under the other's longer tail), for every order of
// sizes, empty builders and ragged tails included.
TEST(BitFieldBuilder, AssignUnionIsCopyThenOrMerge) {
    std::mt19937 rng(5);
    const std::uint32_t sizes[][2] = {{0, 0}, {0, 9}, {9, 0}, {2, 13}, {13, 2}, {37, 23},
                                      {23, 37}, {8, 8}, {1, 1}, {16, 17}, {64, 200}};
    for (const auto& sz : sizes) {
        for (std::uint8_t fill : {0x00, 0x5A}) {
            Bits a, b, once, twice;
            if (sz[0]) a.resize(sz[0]);
            if (sz[1]) b.resize(sz[1]);
            a.fill = fill;
            for (std::uint32_t i = 0; i < a.size; ++i) a.data[i] = static_cast<unsigned char>(rng());
            for (std::uint32_t i = 0; i < b.size; ++i) b.data[i] = static_cast<unsigned char>(rng());
            once.assignUnion(a, b);
            twice.copyFrom(a);
            twice.orMerge(b);
            EXPECT_EQ(twice.capacity, once.capacity) << sz[0] << "|" << sz[1];
            ASSERT_EQ(twice.size, once.size) << sz[0] << "|" << sz[1];
            if (once.size) {
                EXPECT_EQ(0, std::memcmp(twice.data, once.data, once.size)) << sz[0] << "|" << sz[1];
            }
            for (Bits* p : {&a, &b, &once, &twice}) p->release();
        }
    }
}

}  // namespace

namespace {

// Random headers and lengths: the reader either raises its one error or
// returns a bits area of exactly the size the bounds demand, inside the
// value; the span tests on what it accepts stay inside it (ASan).
TEST(BitFieldReader, FuzzedValues) {
    std::mt19937 rng(29);
    for (int round = 0; round < 20000; ++round) {
        int lower = static_cast<int>(rng() % 200) - 100;
        int upper = rng() % 8 == 0 ? static_cast<int>(rng()) : lower + static_cast<int>(rng() % 300) - 2;
        std::int64_t demanded = bitsBytesFor(lower, upper);
        std::size_t length = rng() % 3 == 0 || demanded < 0 || demanded > 4096
                                 ? rng() % 60
                                 : kHeaderSize + static_cast<std::size_t>(demanded);
        std::vector<unsigned char> v(std::max<std::size_t>(length, 12));
        for (auto& byte : v) byte = static_cast<unsigned char>(rng());
        std::memcpy(v.data() + 4, &lower, 4);
        std::memcpy(v.data() + 8, &upper, 4);
        std::vector<unsigned char> exact(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(length));
        try {
            View b = readBitField(exact.data(), exact.size(), "reader");
            EXPECT_EQ(bitsBytesFor(lower, upper), b.end - b.begin);
            int lo = lower - 5 + static_cast<int>(rng() % 400), hi = lo + static_cast<int>(rng() % 100);
            overlapsRange(b, lo, hi);
            includesRange(b, lo, hi);
            contains(b, lo);
        } catch (const qv::test::RaisedError& e) {
            EXPECT_EQ("invalid bitfield array", e.message);
        }
    }
}

}  // namespace
