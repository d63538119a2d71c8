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

ArrayType* toInt4Array(ArrayDataType source, ArrayDataType target, const qv::pg::Int4Elements& e) {
    qv::pg::PgVector<std::int32_t> out(kWorkCapacity);
    if (source == qv::pgRangeArray::kScalarArray)
        conv::convertScalarToMixArrayInt4(e.data, e.count, out, kRoutine);
    else if (source == qv::pgRangeArray::kMixArray)
        conv::convertMixArrayToScalar(e.data, e.count, out, kRoutine);
    else if (target == qv::pgRangeArray::kScalarArray)
        conv::convertRangeArrayToScalar(rangesOf(e), out, kRoutine);
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
    if (target == qv::pgRangeArray::kRangeArray) PG_RETURN_POINTER(toRangeArray(source, e));
    PG_RETURN_POINTER(toInt4Array(source, target, e));
}

}
