// Core of the bitfield set aggregate: rows into bits, bits into the three
// output encodings, and the serialised state.
#include <climits>
#include <cstring>
#include <random>
#include <vector>

#include "qovellaPgBitFieldAgg.h"
#include "testSupport.h"

namespace {

using namespace qv::bitFieldAgg;
using Bits = qv::pg::tBitField<qv::test::testMalloc, qv::test::testFree>;
using qv::pgRangeArray::ArrayDataType;

// A builder sized for 0..m that releases its buffer at scope end.
struct Domain {
    Bits bits;
    explicit Domain(std::uint32_t m) { bits.sizeForDomain(m); }
    ~Domain() { bits.release(); }
};

std::vector<int> output(ArrayDataType kind, const Bits& b) {
    OutputCounts c = countOutput(b.data, b.size);
    std::uint64_t n = kind == qv::pgRangeArray::kRangeArray ? 2 * c.runs
                      : kind == qv::pgRangeArray::kScalarArray ? c.values : c.mix;
    std::vector<int> out(n);
    writeOutput(kind, b.data, b.size, c, out.data());
    return out;
}

TEST(BitFieldAgg, ValuesOfTheDomain) {
    Domain d(10);
    for (int v : {3, 4, 5, 9}) addValue(d.bits, v);
    EXPECT_EQ((std::vector<int>{3, 5, 9, 9}), output(qv::pgRangeArray::kRangeArray, d.bits));
    EXPECT_EQ((std::vector<int>{3, 4, 5, 9}), output(qv::pgRangeArray::kScalarArray, d.bits));
    EXPECT_EQ((std::vector<int>{4, -2147483645, 5, 9}), output(qv::pgRangeArray::kMixArray, d.bits));
    addValue(d.bits, 15);  // the domain ends with the byte of maxinput
    EXPECT_RAISES(addValue(d.bits, 16), "22015", "addRange",
                  "int4set_agg_optimized value 16 is out of range [0;15]");
    EXPECT_RAISES(addValue(d.bits, -1), "22015", "addRange",
                  "int4set_agg_optimized value -1 is out of range [0;15]");
    Domain empty(10);
    for (ArrayDataType k : {qv::pgRangeArray::kRangeArray, qv::pgRangeArray::kScalarArray,
                            qv::pgRangeArray::kMixArray})
        EXPECT_TRUE(output(k, empty.bits).empty());
}

// Values queued in batches end up as the bits set one at a time.
TEST(BitFieldAgg, BatchedValues) {
    std::mt19937 rng(23);
    Domain batched(100000), direct(100000);
    ValueBatch<Bits> batch{};
    for (int i = 0; i < 1000; ++i) {
        int v = static_cast<int>(rng() % 100008);
        batch.add(batched.bits, v);
        addValue(direct.bits, v);
    }
    EXPECT_EQ(1000u % ValueBatch<Bits>::kCapacity, batch.count);
    batch.flush(batched.bits);
    EXPECT_EQ(0u, batch.count);
    EXPECT_EQ(0, std::memcmp(batched.bits.data, direct.bits.data, direct.bits.size));
    EXPECT_RAISES(batch.add(batched.bits, 100008), "22015", "addRange",
                  "int4set_agg_optimized value 100008 is out of range [0;100007]");
    EXPECT_EQ(0u, batch.count);
}

TEST(BitFieldAgg, RangesAndArrays) {
    Domain d(10);
    addPair(d.bits, 7, 2);  // inverted: nothing
    EXPECT_TRUE(output(qv::pgRangeArray::kRangeArray, d.bits).empty());
    addPair(d.bits, 0, 2);
    std::vector<int> ranges = {4, 4, 6, 5, 7, 8};
    addRanges(d.bits, ranges.data(), ranges.size());
    std::vector<int> mix = {3, -2147483638, 11};  // header, [10; 11]
    addMixBody(d.bits, mix.data() + 1, mix.size() - 1);
    std::vector<int> scalars = {15, 13};
    addScalars(d.bits, scalars.data(), scalars.size());
    EXPECT_EQ((std::vector<int>{0, 2, 4, 4, 7, 8, 10, 11, 13, 13, 15, 15}),
              output(qv::pgRangeArray::kRangeArray, d.bits));
    EXPECT_EQ((std::vector<int>{10, -2147483648, 2, 4, -2147483641, 8, -2147483638, 11, 13, 15}),
              output(qv::pgRangeArray::kMixArray, d.bits));

    std::vector<int> outside = {2, 4, 20, 30};
    EXPECT_RAISES(addRanges(d.bits, outside.data(), outside.size()), "22015", "addRange",
                  "int4set_agg_optimized input scalar is out of range [0;15]");
    std::vector<int> odd = {1, 2, 3};
    EXPECT_RAISES(addRanges(d.bits, odd.data(), odd.size()), "22015", "addRange",
                  "int4set_agg_optimized input is not a range array");
    std::vector<int> negative = {1, -1};
    EXPECT_RAISES(addScalars(d.bits, negative.data(), negative.size()), "22015", "addRange",
                  "int4set_agg_optimized input scalar is out of range [0;15]");
    std::vector<int> dangling = {1, -2147483647};
    EXPECT_RAISES(addMixBody(d.bits, dangling.data(), dangling.size()), "22P03", "addRange",
                  "invalid mix array: range without upper bound");
    EXPECT_RAISES(addPair(d.bits, 12, 16), "22015", "addRange",
                  "int4set_agg_optimized value is out of range [0;15]");
}

// Huge spans are checked against the domain first: bounded work, and the
// values up to the end of the domain set as the ascending visit would.
TEST(BitFieldAgg, HugeSpansAreBoundedWork) {
    Domain d(10);
    std::vector<int> toTheTop = {14, INT_MAX};
    EXPECT_RAISES(addRanges(d.bits, toTheTop.data(), toTheTop.size()), "22015", "addRange",
                  "int4set_agg_optimized input scalar is out of range [0;15]");
    EXPECT_EQ((std::vector<int>{14, 15}), output(qv::pgRangeArray::kRangeArray, d.bits));
    EXPECT_RAISES(addPair(d.bits, INT_MIN, INT_MAX), "22015", "addRange",
                  "int4set_agg_optimized value is out of range [0;15]");
    EXPECT_EQ((std::vector<int>{14, 15}), output(qv::pgRangeArray::kRangeArray, d.bits));
    EXPECT_FALSE(addSpan(d.bits, 16, INT_MAX));
    EXPECT_TRUE(addSpan(d.bits, 0, 15));
}

// Run enumeration a word at a time against a bit-by-bit reference.
TEST(BitFieldAgg, RunsMatchBitByBitReference) {
    std::mt19937 rng(9);
    for (int round = 0; round < 300; ++round) {
        std::uint32_t m = rng() % 700;
        Domain d(m);
        unsigned style = rng() % 4;
        for (std::uint32_t i = 0; i < d.bits.size; ++i) {
            unsigned char byte = static_cast<unsigned char>(rng());
            if (style == 0) byte = rng() % 8 ? 0 : byte;          // sparse words
            if (style == 1) byte = rng() % 8 ? 0xFF : byte;       // long runs
            d.bits.data[i] = byte;
        }
        std::vector<int> ranges, scalars;
        int lastBit = static_cast<int>(d.bits.lastBit());
        for (int v = 0; v <= lastBit; ++v) {
            if (!d.bits.testBit(static_cast<std::uint32_t>(v))) continue;
            scalars.push_back(v);
            if (!ranges.empty() && ranges.back() == v - 1) {
                ranges.back() = v;
            } else {
                ranges.push_back(v);
                ranges.push_back(v);
            }
        }
        EXPECT_EQ(ranges, output(qv::pgRangeArray::kRangeArray, d.bits));
        EXPECT_EQ(scalars, output(qv::pgRangeArray::kScalarArray, d.bits));
        std::vector<int> mix;
        if (!scalars.empty()) mix.push_back(static_cast<int>(scalars.size()));
        for (std::size_t i = 0; i < ranges.size(); i += 2) {
            if (ranges[i] == ranges[i + 1]) {
                mix.push_back(ranges[i]);
            } else {
                mix.push_back(static_cast<int>(static_cast<unsigned>(ranges[i]) | 0x80000000u));
                mix.push_back(ranges[i + 1]);
            }
        }
        EXPECT_EQ(mix, output(qv::pgRangeArray::kMixArray, d.bits));
    }
}

std::vector<unsigned char> serialised(int inKind, int outKind, std::int32_t capacity,
                                      const std::vector<unsigned char>& bits) {
    std::vector<unsigned char> v(kStateHeader + bits.size());
    std::uint32_t header = static_cast<std::uint32_t>(v.size()) << 2;
    std::memcpy(v.data(), &header, 4);
    v[4] = static_cast<unsigned char>(inKind);
    v[5] = static_cast<unsigned char>(outKind);
    std::memcpy(v.data() + 6, &capacity, 4);
    if (!bits.empty()) std::memcpy(v.data() + kStateHeader, bits.data(), bits.size());
    return v;
}

void load(const std::vector<unsigned char>& v, std::size_t length) {
    SerialisedState s = readState(v.data(), length);
    Bits b;
    loadBits(s, b);
    b.release();
}

TEST(BitFieldAggState, RoundTrip) {
    Domain d(100);
    addValue(d.bits, 3);
    addValue(d.bits, 99);
    std::vector<unsigned char> out(kStateHeader + d.bits.size);
    writeState(out.data(), 1, 4, d.bits);
    // all but the varlena header, which the server's allocator writes
    std::vector<unsigned char> expected =
        serialised(1, 4, 16, std::vector<unsigned char>(d.bits.data, d.bits.data + d.bits.size));
    EXPECT_EQ(std::vector<unsigned char>(expected.begin() + 4, expected.end()),
              std::vector<unsigned char>(out.begin() + 4, out.end()));
    SerialisedState s = readState(out.data(), out.size());
    EXPECT_EQ(1, s.inputKind);
    EXPECT_EQ(4, s.outputKind);
    EXPECT_EQ(16u, s.capacity);
    EXPECT_EQ(13u, s.size);
    Bits back;
    loadBits(s, back);
    EXPECT_EQ(16u, back.capacity);
    EXPECT_EQ(0, std::memcmp(back.data, d.bits.data, 13));
    back.release();

    Bits none;  // a state that has seen no row: kinds 0, no bits
    std::vector<unsigned char> fresh(kStateHeader);
    writeState(fresh.data(), 0, 0, none);
    SerialisedState f = readState(fresh.data(), fresh.size());
    EXPECT_EQ(0, f.inputKind);
    EXPECT_EQ(0u, f.capacity);
    EXPECT_EQ(0u, f.size);
}

TEST(BitFieldAggState, CorruptedStatesFail) {
    const char* empty = "qv_int4set_agg_optimized_deserialfn empty bytea";
    const char* bad = "qv_int4set_agg_optimized_deserialfn corrupted";
    std::vector<unsigned char> ok = serialised(1, 4, 8, {0x10, 0x20});
    load(ok, ok.size());
    EXPECT_RAISES(load(ok, 9), "22015", "fromBytea", empty);
    EXPECT_RAISES(load(serialised(1, 4, 8, std::vector<unsigned char>(9)), 19), "22015", "fromBytea", bad);
    EXPECT_RAISES(load(serialised(1, 4, 12, {1, 2}), 12), "22015", "reserve", "bitfield invalid capacity");
    // a fixed input kind with capacity 0 has nothing to grow from
    EXPECT_RAISES(load(serialised(1, 4, 0, {}), 10), "22015", "fromBytea", bad);
    EXPECT_RAISES(load(serialised(0, 0, 8, {}), 10), "22015", "fromBytea", bad);
    EXPECT_RAISES(load(serialised(0, 4, 0, {}), 10), "22015", "fromBytea", bad);
    EXPECT_RAISES(load(serialised(6, 4, 8, {}), 10), "22015", "fromBytea", bad);
    EXPECT_RAISES(load(serialised(1, 2, 8, {}), 10), "22015", "fromBytea", bad);
    EXPECT_RAISES(load(serialised(1, 4, -8, {}), 10), "22015", "fromBytea", bad);
    EXPECT_RAISES(load(serialised(1, 4, 1 << 30, {}), 10), "22015", "fromBytea", bad);
    load(serialised(0, 0, 0, {}), 10);
    load(serialised(5, 5, 8, {}), 10);  // rows seen, no byte in use yet
}

// Random bytes, truncated at random: each either loads or raises one of
// the reader's errors; nothing is read past the given length (ASan).
TEST(BitFieldAggState, FuzzedStates) {
    std::mt19937 rng(17);
    for (int round = 0; round < 5000; ++round) {
        std::size_t length = rng() % 40;
        std::vector<unsigned char> v(length);
        for (auto& byte : v) byte = static_cast<unsigned char>(rng());
        if (length >= 10 && rng() % 2) {
            v[4] = static_cast<unsigned char>(rng() % 7);
            v[5] = static_cast<unsigned char>(rng() % 7);
            std::int32_t c = static_cast<std::int32_t>(rng() % 48);
            std::memcpy(v.data() + 6, &c, 4);
        }
        std::vector<unsigned char> exact(v.begin(), v.end());  // heap block of exactly length
        try {
            load(exact, exact.size());
        } catch (const qv::test::RaisedError& e) {
            EXPECT_EQ("22015", e.sqlstate);
        }
    }
}

}  // namespace
