// qv_sort_int4: a sorted copy of an int4[].
#include <algorithm>

#include "qovellaPgUtils.h"

extern "C" {

PG_FUNCTION_INFO_V1(qv_sort_int4);

// The elements in ascending order, duplicates kept, lower bound 1.  The
// result is allocated at its final size and sorted in place: no other buffer.
Datum qv_sort_int4(PG_FUNCTION_ARGS) {
    ArrayType* a = qv::pg::arrayArg(fcinfo, 0);
    qv::pg::requireInt4Array(a, "qv_sort_int4");
    qv::pg::Int4Elements e = qv::pg::int4Elements(a);
    ArrayType* r = qv::pg::int4ArrayResult(e.data, e.count);
    std::int32_t* first = reinterpret_cast<std::int32_t*>(ARR_DATA_PTR(r));
    std::sort(first, first + e.count);
    PG_RETURN_POINTER(r);
}

}
