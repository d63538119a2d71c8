// qv_count_scalar_in_int4set: the number of values a set holds.
#include "qovellaPgUtils.h"
#include "qovellaPgSetConversions.h"

extern "C" {

PG_FUNCTION_INFO_V1(qv_count_scalar_in_int4set);

// 's': the element count; 'r': the values of the ranges, one pass; 'm': the
// header as stored.  A set that is not an int4[] gives null.
Datum qv_count_scalar_in_int4set(PG_FUNCTION_ARGS) {
    constexpr const char* routine = "qv_count_scalar_in_int4set";
    ArrayType* a = qv::pg::arrayArg(fcinfo, 1);
    if (!qv::pg::isInt4Array(a)) PG_RETURN_NULL();
    qv::pgRangeArray::ArrayDataType type = qv::pgRangeArray::ArrayDataTypeFromChar(PG_GETARG_CHAR(0));
    qv::pg::Int4Elements e = qv::pg::int4Elements(a);
    switch (type) {
        case qv::pgRangeArray::kRangeArray:
            PG_RETURN_INT32(qv::conversions::countRangeValues(
                qv::pgRangeArray::rangesOfSet(e.data, e.count, routine), routine));
        case qv::pgRangeArray::kMixArray:
            PG_RETURN_INT32(e.count ? e.data[0] : 0);
        default:
            PG_RETURN_INT32(static_cast<std::int32_t>(e.count));
    }
}

}
