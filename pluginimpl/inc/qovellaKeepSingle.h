// The keep-single aggregate's server-free part: which types it keeps and
// how, and the serial form of its state.  Server-free, so that the reader of
// serialised states can be unit-tested and fuzzed without a server.
//
// Serial form: a bytea whose payload (the bytes after the 4-byte varlena
// header) is laid out as follows; integers in native byte order, unaligned.
//
//   payload offset  size  field
//   0               1     form: 1 = a Datum follows, 2 = varlena data bytes follow
//   1               1     isNull: 1 when the kept value is null or none was seen
//   2               4     type OID (0 = no value seen)
//   6               8     form 1: the kept Datum
//   6               n     form 2: the data bytes of the kept bytea or text value
//
// Form 2 serves bytea and text, form 1 every other type.  A bytea or text
// state that holds null is written in form 2 with isNull 1 and no data bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qv {
namespace keepSingle {

// OIDs of the types the aggregate keeps.
constexpr std::uint32_t kBoolOid = 16;
constexpr std::uint32_t kByteaOid = 17;
constexpr std::uint32_t kInt8Oid = 20;
constexpr std::uint32_t kInt2Oid = 21;
constexpr std::uint32_t kInt4Oid = 23;
constexpr std::uint32_t kTextOid = 25;
constexpr std::uint32_t kFloat4Oid = 700;
constexpr std::uint32_t kFloat8Oid = 701;

// How a kept value is held and compared.
enum class Holding {
    byValue,     // the Datum itself; agreement is equality of all 64 bits
    varlena,     // a detoasted copy; agreement is equality of the data bytes
    unsupported  // refused as soon as a non-null value must be kept
};

inline Holding holdingOf(std::uint32_t type) {
    switch (type) {
        case kBoolOid: case kInt8Oid: case kInt2Oid: case kInt4Oid:
        case kFloat4Oid: case kFloat8Oid:
            return Holding::byValue;
        case kByteaOid: case kTextOid:
            return Holding::varlena;
        default:
            return Holding::unsupported;
    }
}

constexpr std::uint8_t kFormDatum = 1;
constexpr std::uint8_t kFormBytes = 2;

// Payload bytes before the value, and the payload of form 1.
constexpr std::size_t kSerialPrefix = 6;
constexpr std::size_t kDatumPayload = kSerialPrefix + 8;

// Messages of the aggregate.
constexpr const char* kMismatch = "agg_keep_single value missmatch";
constexpr const char* kUnsupportedType = "agg_keep_singleunsuported type";
constexpr const char* kEmptySerial = "qv_agg_keep_single_deserialfn empty bytea";
constexpr const char* kBadSerialSize = "qv_agg_keep_single_deserialfn unexpected bytea size";
constexpr const char* kBadSerialForm = "qv_agg_keep_single_deserialfn not implemented bytea";

// The form a state of this type is written in.
inline std::uint8_t serialForm(std::uint32_t type) {
    return holdingOf(type) == Holding::varlena ? kFormBytes : kFormDatum;
}

// Payload size of a state of this type holding n data bytes (n is ignored
// for form 1).
inline std::size_t serialPayloadSize(std::uint32_t type, std::size_t n) {
    return serialForm(type) == kFormBytes ? kSerialPrefix + n : kDatumPayload;
}

// Writes the payload of a state that is not of type bytea or text
// (kDatumPayload bytes).
void writeDatumForm(unsigned char* payload, bool isNull, std::uint32_t type,
                    std::uint64_t datum);

// Writes the payload of a bytea or text state: kSerialPrefix + n bytes.
void writeBytesForm(unsigned char* payload, bool isNull, std::uint32_t type,
                    const void* data, std::size_t n);

// A serial form as read: isNull and type, with the Datum (form 1) or the
// data bytes, which point into the payload that was read (form 2).
struct SerialState {
    std::uint8_t form;
    bool isNull;
    std::uint32_t type;
    std::uint64_t datum;
    const unsigned char* bytes;
    std::size_t n;
};

// Reads the payload of a serial form, n bytes at payload; never reads past
// them.  Raises 22015 under "fromBytea" for an empty payload, a size that
// does not fit its form, an unknown form, or a non-null value whose form
// does not match its type (a Datum claiming to be a bytea or text value, or
// data bytes claiming to be a Datum).
SerialState readSerial(const unsigned char* payload, std::size_t n);

}  // namespace keepSingle
}  // namespace qv
