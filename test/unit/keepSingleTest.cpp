// Serial form of keep-single states: exact bytes, round trips, corrupted
// inputs, and a random-input run of the reader (under the sanitized build an
// over-read of the exactly sized buffers fails the test).
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "qovellaKeepSingle.h"
#include "testSupport.h"

namespace {

namespace ks = qv::keepSingle;
using Bytes = std::vector<unsigned char>;

Bytes datumForm(bool isNull, std::uint32_t type, std::uint64_t datum) {
    Bytes b(ks::kDatumPayload);
    ks::writeDatumForm(b.data(), isNull, type, datum);
    return b;
}

Bytes bytesForm(bool isNull, std::uint32_t type, const std::string& data) {
    Bytes b(ks::kSerialPrefix + data.size());
    ks::writeBytesForm(b.data(), isNull, type, data.data(), data.size());
    return b;
}

// Reads from a heap copy of exactly b.size() bytes.
ks::SerialState read(const Bytes& b) {
    std::unique_ptr<unsigned char[]> copy(new unsigned char[b.size() ? b.size() : 1]);
    if (!b.empty()) std::memcpy(copy.get(), b.data(), b.size());
    ks::SerialState s = ks::readSerial(copy.get(), b.size());
    if (s.bytes) s.bytes = b.data() + (s.bytes - copy.get());  // stays valid after the copy dies
    return s;
}

void expectRefused(const Bytes& b, const char* message) {
    EXPECT_RAISES(read(b), "22015", "fromBytea", message);
}

TEST(KeepSingleSerial, Int4StateIsEighteenBytes) {
    // payload of the 18-byte value: form 1, not null, type 23, Datum 7
    Bytes b = datumForm(false, ks::kInt4Oid, 7);
    std::uint64_t seven = 7;
    Bytes expected = {1, 0, 23, 0, 0, 0};
    expected.insert(expected.end(), reinterpret_cast<unsigned char*>(&seven),
                    reinterpret_cast<unsigned char*>(&seven) + 8);
    EXPECT_EQ(expected, b);
    EXPECT_EQ(18u, 4 + b.size());
    EXPECT_EQ(b.size(), ks::serialPayloadSize(ks::kInt4Oid, 99));
    ks::SerialState s = read(b);
    EXPECT_EQ(ks::kFormDatum, s.form);
    EXPECT_FALSE(s.isNull);
    EXPECT_EQ(ks::kInt4Oid, s.type);
    EXPECT_EQ(7u, s.datum);
}

TEST(KeepSingleSerial, TextStateCarriesItsBytes) {
    Bytes b = bytesForm(false, ks::kTextOid, "abc");
    EXPECT_EQ((Bytes{2, 0, 25, 0, 0, 0, 'a', 'b', 'c'}), b);
    EXPECT_EQ(13u, 4 + b.size());
    EXPECT_EQ(b.size(), ks::serialPayloadSize(ks::kTextOid, 3));
    ks::SerialState s = read(b);
    EXPECT_EQ(ks::kFormBytes, s.form);
    EXPECT_FALSE(s.isNull);
    EXPECT_EQ(ks::kTextOid, s.type);
    EXPECT_EQ("abc", std::string(reinterpret_cast<const char*>(s.bytes), s.n));
    // the empty string is a value, not a null
    ks::SerialState e = read(bytesForm(false, ks::kByteaOid, ""));
    EXPECT_FALSE(e.isNull);
    EXPECT_EQ(0u, e.n);
}

TEST(KeepSingleSerial, NullAndFreshStates) {
    // a bytea or text state holding null: form 2, isNull 1, no bytes
    EXPECT_EQ(ks::kFormBytes, ks::serialForm(ks::kByteaOid));
    Bytes nullText = bytesForm(true, ks::kTextOid, "");
    EXPECT_EQ((Bytes{2, 1, 25, 0, 0, 0}), nullText);
    ks::SerialState s = read(nullText);
    EXPECT_TRUE(s.isNull);
    EXPECT_EQ(ks::kTextOid, s.type);
    // a state that saw nothing: form 1, type 0
    ks::SerialState fresh = read(datumForm(true, 0, 0));
    EXPECT_TRUE(fresh.isNull);
    EXPECT_EQ(0u, fresh.type);
    // a null needs no value, so either form carries it
    EXPECT_TRUE(read(datumForm(true, ks::kByteaOid, 12345)).isNull);
    EXPECT_TRUE(read(bytesForm(true, ks::kInt8Oid, "xy")).isNull);
    // any non-zero isNull byte means null
    Bytes two = datumForm(false, ks::kBoolOid, 1);
    two[1] = 2;
    EXPECT_TRUE(read(two).isNull);
}

TEST(KeepSingleSerial, TypesAndForms) {
    for (std::uint32_t t : {ks::kBoolOid, ks::kInt8Oid, ks::kInt2Oid, ks::kInt4Oid,
                            ks::kFloat4Oid, ks::kFloat8Oid})
        EXPECT_EQ(ks::Holding::byValue, ks::holdingOf(t));
    EXPECT_EQ(ks::Holding::varlena, ks::holdingOf(ks::kTextOid));
    EXPECT_EQ(ks::Holding::varlena, ks::holdingOf(ks::kByteaOid));
    for (std::uint32_t t : {0u, 1700u, 1043u, 18u, 1082u})
        EXPECT_EQ(ks::Holding::unsupported, ks::holdingOf(t));
    // a non-null value of an unsupported type travels in form 1; refusing
    // it is left to whoever must keep or return it
    ks::SerialState s = read(datumForm(false, 1700, 99));
    EXPECT_EQ(1700u, s.type);
    EXPECT_FALSE(s.isNull);
}

TEST(KeepSingleSerial, CorruptedFormsAreRefused) {
    expectRefused(Bytes{}, ks::kEmptySerial);
    Bytes int4 = datumForm(false, ks::kInt4Oid, 7);
    Bytes shorter(int4.begin(), int4.end() - 1);  // a 17-byte value
    expectRefused(shorter, ks::kBadSerialSize);
    Bytes longer = int4;
    longer.push_back(0);
    expectRefused(longer, ks::kBadSerialSize);
    expectRefused(Bytes{1}, ks::kBadSerialSize);
    // form 2 shorter than its prefix
    Bytes prefix = bytesForm(false, ks::kTextOid, "");
    for (std::size_t n = 1; n < ks::kSerialPrefix; ++n)
        expectRefused(Bytes(prefix.begin(), prefix.begin() + n), ks::kBadSerialSize);
    for (unsigned char form : {0, 3, 255}) {
        Bytes b = int4;
        b[0] = form;
        expectRefused(b, ks::kBadSerialForm);
    }
    // a Datum where a bytea or text value's bytes belong, and bytes where a
    // Datum belongs: either would be misread as a pointer or as a value
    expectRefused(datumForm(false, ks::kTextOid, 0x1000), ks::kBadSerialForm);
    expectRefused(datumForm(false, ks::kByteaOid, 0x1000), ks::kBadSerialForm);
    expectRefused(bytesForm(false, ks::kInt4Oid, "12345678"), ks::kBadSerialForm);
    expectRefused(bytesForm(false, 0, ""), ks::kBadSerialForm);
}

// Random payloads and damaged valid ones: the reader either refuses them or
// returns a state whose value lies inside the payload and suits its type.
TEST(KeepSingleSerial, RandomInputsNeverMisread) {
    std::mt19937 rng(20261207);
    std::vector<Bytes> seeds = {datumForm(false, ks::kInt4Oid, 7), datumForm(true, 0, 0),
                                bytesForm(false, ks::kTextOid, "abc"),
                                bytesForm(true, ks::kByteaOid, ""),
                                bytesForm(false, ks::kByteaOid, std::string(40, 'x'))};
    int accepted = 0;
    for (int round = 0; round < 20000; ++round) {
        Bytes b;
        if (round % 2) {
            b.resize(rng() % 24);
            for (auto& c : b) c = static_cast<unsigned char>(rng() % 4 == 0 ? rng() % 4 : rng());
        } else {
            b = seeds[rng() % seeds.size()];
            int edits = 1 + rng() % 3;
            for (int e = 0; e < edits; ++e) {
                if (rng() % 3 == 0) b.resize(rng() % (b.size() + 3));
                if (!b.empty()) b[rng() % b.size()] ^= static_cast<unsigned char>(1u << (rng() % 8));
            }
        }
        try {
            std::unique_ptr<unsigned char[]> copy(new unsigned char[b.size() ? b.size() : 1]);
            if (!b.empty()) std::memcpy(copy.get(), b.data(), b.size());
            ks::SerialState s = ks::readSerial(copy.get(), b.size());
            ++accepted;
            ASSERT_FALSE(b.empty());
            ASSERT_EQ(b[0], s.form);
            if (s.form == ks::kFormDatum) {
                ASSERT_EQ(ks::kDatumPayload, b.size());
            } else {
                ASSERT_EQ(ks::kFormBytes, s.form);
                ASSERT_EQ(copy.get() + ks::kSerialPrefix, s.bytes);
                ASSERT_EQ(b.size() - ks::kSerialPrefix, s.n);
            }
            if (!s.isNull) {
                ASSERT_EQ(ks::serialForm(s.type), s.form);
            }
        } catch (const qv::test::RaisedError& e) {
            ASSERT_EQ("22015", e.sqlstate);
            ASSERT_EQ("fromBytea", e.routine);
        }
    }
    EXPECT_GT(accepted, 1000);  // the damaged seeds exercise the accepting paths
}

}  // namespace
