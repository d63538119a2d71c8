// Building and taking apart packed ranges (one int4 interval in an int8).
#include "qovellaPgUtils.h"
#include "qovellaPgPackedRange.h"

namespace {

constexpr const char* kRoutine = "qv_range_pack";

// The two bounds held by a one-argument call: a one-dimensional int4[] of
// exactly two elements without null bitmap.
void boundsFromArray(const ArrayType* a, std::int32_t& lower, std::int32_t& upper) {
    if (ARR_ELEMTYPE(a) != INT4OID || ARR_NDIM(a) != 1 || ARR_HASNULL(a) || ARR_DIMS(a)[0] != 2)
        QV_ERROR(qv::sqlstate::invalidParameterValue, kRoutine,
                 "accept only int4[] with a size of 2 ");
    const std::int32_t* e = reinterpret_cast<const std::int32_t*>(ARR_DATA_PTR(a));
    lower = e[0];
    upper = e[1];
}

}  // namespace

extern "C" {

PG_FUNCTION_INFO_V1(qv_range_pack);
PG_FUNCTION_INFO_V1(qv_rangepacked_lower);
PG_FUNCTION_INFO_V1(qv_rangepacked_upper);

// Packs [lower; upper], given as an int4[2] or as two int4, into an int8.
Datum qv_range_pack(PG_FUNCTION_ARGS) {
    std::int32_t lower = 0, upper = 0;
    if (PG_NARGS() == 1) {
        boundsFromArray(qv::pg::arrayArg(fcinfo, 0), lower, upper);
    } else if (PG_NARGS() == 2) {
        lower = PG_GETARG_INT32(0);
        upper = PG_GETARG_INT32(1);
    } else {
        QV_ERROR(qv::sqlstate::invalidParameterValue, kRoutine,
                 "accept only int4[] with a size of 2 or 2 int4");
    }
    if (lower > upper) QV_ERROR(qv::sqlstate::invalidParameterValue, kRoutine, "invalid range");
    PG_RETURN_INT64(qv::packedRange::pack(lower, upper));
}

// The lower bound of a packed range: its low 32 bits.
Datum qv_rangepacked_lower(PG_FUNCTION_ARGS) {
    PG_RETURN_INT32(qv::packedRange::lower(PG_GETARG_INT64(0)));
}

// The upper bound of a packed range: its high 32 bits.
Datum qv_rangepacked_upper(PG_FUNCTION_ARGS) {
    PG_RETURN_INT32(qv::packedRange::upper(PG_GETARG_INT64(0)));
}

}
