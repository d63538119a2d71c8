// Argument readers of the membership and set-versus-set predicates.
#pragma once

#include "qovellaPgStoredArg.h"
#include "qovellaPgUtils.h"

namespace qv {
namespace pg {

// Reads a range-array argument by the shape rule (a stored one once per call
// site); a plain array of odd length fails with 22023 "invalid range array"
// as routine.
inline pgRangeArray::RangeSpan rangeArrayArg(FunctionCallInfo fcinfo, int i, const char* routine) {
    Int4Elements e = int4Elements(storedArrayArg(fcinfo, i));
    return pgRangeArray::rangesFromElements(e.data, e.count, routine, "invalid range array",
                                            sqlstate::invalidParameterValue);
}

}  // namespace pg
}  // namespace qv
