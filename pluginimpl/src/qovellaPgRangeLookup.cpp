// Point lookup in a range array.
#include "qovellaPgStoredArg.h"
#include "qovellaPgUtils.h"

extern "C" {

PG_FUNCTION_INFO_V1(qv_int4_in_rangearray);
PG_FUNCTION_INFO_V1(qv_rangearray_contains_int4);

// Whether x belongs to the set (a stored one read once per call site); an
// odd count ignores the unpaired element.
Datum qv_int4_in_rangearray(PG_FUNCTION_ARGS) {
    std::int32_t x = PG_GETARG_INT32(0);
    qv::pg::Int4Elements e = qv::pg::int4Elements(qv::pg::storedArrayArg(fcinfo, 1));
    const auto* ranges = reinterpret_cast<const qv::pgRangeArray::Range<int>*>(e.data);
    PG_RETURN_BOOL(qv::pgRangeArray::rangesContain(ranges, e.count / 2, x));
}

// The same with the arguments swapped (the set on the left).
Datum qv_rangearray_contains_int4(PG_FUNCTION_ARGS) {
    qv::pg::Int4Elements e = qv::pg::int4Elements(qv::pg::storedArrayArg(fcinfo, 0));
    std::int32_t x = PG_GETARG_INT32(1);
    const auto* ranges = reinterpret_cast<const qv::pgRangeArray::Range<int>*>(e.data);
    PG_RETURN_BOOL(qv::pgRangeArray::rangesContain(ranges, e.count / 2, x));
}

}
