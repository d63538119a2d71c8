// Decoding of bytea payloads: packed float4 values, and the element data of
// a mix array.  Payloads are read in place, in the server's byte order.
#include "qovellaPgUtils.h"
#include "qovellaPgSetConversions.h"

namespace {

// Payload bytes after the 4-byte varlena header of a detoasted bytea.
std::size_t payloadSize(const bytea* b) { return VARSIZE(b) - VARHDRSZ; }

}  // namespace

extern "C" {

PG_FUNCTION_INFO_V1(qv_bytea2floatarray);
PG_FUNCTION_INFO_V1(qv_bytea2mix2rangearray);

// The payload's 4-byte floats as a float4[]: one allocation, one copy.
Datum qv_bytea2floatarray(PG_FUNCTION_ARGS) {
    bytea* b = PG_GETARG_BYTEA_P(0);
    std::size_t bytes = payloadSize(b);
    if (bytes % sizeof(float) != 0)
        QV_ERROR(qv::sqlstate::invalidBinaryRepresentation, "qv_bytea2floatarray",
                 "invalid byte count to represent a float array");
    ArrayType* r = pg::allocateResultArray<float, FLOAT4OID>(bytes / sizeof(float));
    if (bytes) std::memcpy(ARR_DATA_PTR(r), VARDATA(b), bytes);
    PG_RETURN_POINTER(r);
}

// The entries of a mix-array body (after its 4-byte count) as a range array.
Datum qv_bytea2mix2rangearray(PG_FUNCTION_ARGS) {
    constexpr const char* routine = "qv_bytea2mix2rangearray";
    bytea* b = PG_GETARG_BYTEA_P(0);
    std::size_t bytes = payloadSize(b);
    if (bytes % sizeof(std::int32_t) != 0)
        QV_ERROR(qv::sqlstate::invalidBinaryRepresentation, routine,
                 "invalid byte count to represent an int4 mixarray");
    std::size_t n = bytes / sizeof(std::int32_t);
    qv::pg::PgVector<qv::pgRangeArray::Range<int>> out(1024);
    if (n > 1) {
        // A detoasted bytea is int-aligned, so its payload is read as int4 in place.
        const std::int32_t* payload = reinterpret_cast<const std::int32_t*>(VARDATA(b));
        qv::conversions::convertMixBodyToRangeArray(payload + 1, n - 1, out, routine);
    }
    PG_RETURN_POINTER(qv::pg::rangeArrayResult(out.data, out.size));
}

}
