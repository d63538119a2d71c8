// Point lookup in a range array.
#include "qovellaPgStoredArg.h"
#include "qovellaPgUtils.h"

namespace {

// Whether x belongs to the set of argument i, as qv_int4_in_rangearray.
bool setHolds(FunctionCallInfo fcinfo, int i, std::int32_t x) {
    qv::pg::Int4Elements e = qv::pg::int4Elements(qv::pg::storedArrayArg(fcinfo, i));
    const auto* ranges = reinterpret_cast<const qv::pgRangeArray::Range<int>*>(e.data);
    return qv::pgRangeArray::rangesContain(ranges, e.count / 2, x);
}

}  // namespace

extern "C" {

PG_FUNCTION_INFO_V1(qv_int4_in_rangearray);
PG_FUNCTION_INFO_V1(qv_rangearray_contains_int4);

// Whether x belongs to the set (a stored one read once per call site); an
// odd count ignores the unpaired element.
Datum qv_int4_in_rangearray(PG_FUNCTION_ARGS) {
    PG_RETURN_BOOL(setHolds(fcinfo, 1, PG_GETARG_INT32(0)));
}

// The same with the arguments swapped (the set on the left).
Datum qv_rangearray_contains_int4(PG_FUNCTION_ARGS) {
    PG_RETURN_BOOL(setHolds(fcinfo, 0, PG_GETARG_INT32(1)));
}

}
