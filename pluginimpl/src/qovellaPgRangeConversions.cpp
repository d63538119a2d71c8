// qv_int4setconv_int4: conversion of a set between the scalar, range and
// mix array encodings.  The conversions themselves are server-free
// (qovellaPgSetConversions.h); this reads the arguments and builds the result.
#include "qovellaPgUtils.h"
#include "qovellaPgSetConversions.h"

static_assert(qv::conversions::kMaxArrayElements == MaxArraySize,
              "result sizes are checked against the server's array limit");

namespace {

constexpr const char* kRoutine = "qv_int4setconv_int4";
// Work vectors start with room for this many entries and double.
constexpr qv::pg::tSize kWorkCapacity = 1024;

using qv::pgRangeArray::ArrayDataType;
using qv::pgRangeArray::Range;
namespace conv = qv::conversions;

// Reads the elements as a range array; an odd count fails with 22P03.
qv::pgRangeArray::RangeSpan rangesOf(const qv::pg::Int4Elements& e) {
    return conv::rangesOfSet(e.data, e.count, kRoutine);
}

ArrayType* toRangeArray(ArrayDataType source, const qv::pg::Int4Elements& e) {
    qv::pg::PgVector<Range<int>> out(kWorkCapacity);
    if (source == qv::pgRangeArray::kScalarArray)
        conv::convertScalarToRangeArray(e.data, e.count, out, kRoutine);
    else if (e.count > 1)  // the mix header is skipped
        conv::convertMixBodyToRangeArray(e.data + 1, e.count - 1, out, kRoutine);
    return qv::pg::rangeArrayResult(out.data, out.size);
}

// The expansions to scalars are sized first and written into the result.
ArrayType* toScalarArray(ArrayDataType source, const qv::pg::Int4Elements& e) {
    ArrayType* result;
    if (source == qv::pgRangeArray::kRangeArray) {
        qv::pgRangeArray::RangeSpan ranges = rangesOf(e);
        result = pg::allocateResultArray<int, INT4OID>(conv::rangeScalarCount(ranges, kRoutine));
        qv::pgRangeArray::writeSpanValues(ranges, reinterpret_cast<std::int32_t*>(ARR_DATA_PTR(result)));
    } else {
        std::uint64_t total;
        conv::mixScalarCount(e.data, e.count, kRoutine, total);
        result = pg::allocateResultArray<int, INT4OID>(total);
        if (total)
            conv::writeMixScalars(e.data, e.count, kRoutine,
                                  reinterpret_cast<std::int32_t*>(ARR_DATA_PTR(result)));
    }
    return result;
}

ArrayType* toMixArray(ArrayDataType source, const qv::pg::Int4Elements& e) {
    qv::pg::PgVector<std::int32_t> out(kWorkCapacity);
    if (source == qv::pgRangeArray::kScalarArray)
        conv::convertScalarToMixArrayInt4(e.data, e.count, out, kRoutine);
    else
        conv::convertRangeArrayToMixArray(rangesOf(e), out, kRoutine);
    return qv::pg::int4ArrayResult(out.data, out.size);
}

}  // namespace

extern "C" {

PG_FUNCTION_INFO_V1(qv_int4setconv_int4);

// The set given in the source encoding, written in the target encoding.
Datum qv_int4setconv_int4(PG_FUNCTION_ARGS) {
    ArrayDataType source = qv::pgRangeArray::ArrayDataTypeFromChar(PG_GETARG_CHAR(0));
    ArrayDataType target = qv::pgRangeArray::ArrayDataTypeFromChar(PG_GETARG_CHAR(2));
    ArrayType* values = qv::pg::arrayArg(fcinfo, 1);
    qv::pg::requireInt4Array(values, kRoutine);
    if (source == target)
        QV_ERROR(qv::sqlstate::invalidBinaryRepresentation, kRoutine, "unsuported conversion");
    qv::pg::Int4Elements e = qv::pg::int4Elements(values);
    switch (target) {
        case qv::pgRangeArray::kRangeArray: PG_RETURN_POINTER(toRangeArray(source, e));
        case qv::pgRangeArray::kScalarArray: PG_RETURN_POINTER(toScalarArray(source, e));
        default: PG_RETURN_POINTER(toMixArray(source, e));
    }
}

}
