// Membership of a value or a packed range in a packed range, a range array
// or a bitfield.  All allocation-free apart from detoasting; a stored set
// is detoasted once per call site.
#include "qovellaPgPredicateArgs.h"
#include "qovellaPgBitFieldArg.h"
#include "qovellaPgPackedRange.h"
#include "qovellaPgRangeOverlap.h"

using qv::packedRange::lower;
using qv::packedRange::upper;

extern "C" {

PG_FUNCTION_INFO_V1(qv_int4_in_packedrange);
PG_FUNCTION_INFO_V1(qv_int4rangepacked_contains_int4);
PG_FUNCTION_INFO_V1(qv_int4rangepacked_in_int4rangepacked);
PG_FUNCTION_INFO_V1(qv_int4rangepacked_included_in_int4rangepacked);
PG_FUNCTION_INFO_V1(qv_int4rangepacked_contains_int4rangepacked);
PG_FUNCTION_INFO_V1(qv_int4rangepacked_in_rangearray);
PG_FUNCTION_INFO_V1(qv_int4_in_rangebitfield);
PG_FUNCTION_INFO_V1(qv_int4rangepacked_in_rangebitfield);
PG_FUNCTION_INFO_V1(qv_rangearray_overlaps_int4rangepacked);
PG_FUNCTION_INFO_V1(qv_rangebitfield_contains_int4);

// Whether lower(r) <= v <= upper(r).
Datum qv_int4_in_packedrange(PG_FUNCTION_ARGS) {
    std::int32_t v = PG_GETARG_INT32(0);
    std::int64_t r = PG_GETARG_INT64(1);
    PG_RETURN_BOOL(lower(r) <= v && v <= upper(r));
}

// The same with the arguments swapped.
Datum qv_int4rangepacked_contains_int4(PG_FUNCTION_ARGS) {
    std::int64_t r = PG_GETARG_INT64(0);
    std::int32_t v = PG_GETARG_INT32(1);
    PG_RETURN_BOOL(lower(r) <= v && v <= upper(r));
}

// Whether two packed ranges share a value.
Datum qv_int4rangepacked_in_int4rangepacked(PG_FUNCTION_ARGS) {
    std::int64_t a = PG_GETARG_INT64(0), b = PG_GETARG_INT64(1);
    PG_RETURN_BOOL(lower(a) <= upper(b) && lower(b) <= upper(a));
}

// Whether the first packed range lies within the second.
Datum qv_int4rangepacked_included_in_int4rangepacked(PG_FUNCTION_ARGS) {
    std::int64_t a = PG_GETARG_INT64(0), b = PG_GETARG_INT64(1);
    PG_RETURN_BOOL(lower(b) <= lower(a) && upper(a) <= upper(b));
}

// Whether the second packed range lies within the first.
Datum qv_int4rangepacked_contains_int4rangepacked(PG_FUNCTION_ARGS) {
    std::int64_t a = PG_GETARG_INT64(0), b = PG_GETARG_INT64(1);
    PG_RETURN_BOOL(lower(a) <= lower(b) && upper(b) <= upper(a));
}

// Whether some range of the range array overlaps the packed range.
Datum qv_int4rangepacked_in_rangearray(PG_FUNCTION_ARGS) {
    std::int64_t a = PG_GETARG_INT64(0);
    qv::pgRangeArray::RangeSpan r = qv::pg::rangeArrayArg(fcinfo, 1, "qv_int4rangepacked_in_rangearray");
    PG_RETURN_BOOL(qv::pgRangeArray::rangeOverlapsRanges(lower(a), upper(a), r));
}

// The same with the arguments swapped (the set on the left).
Datum qv_rangearray_overlaps_int4rangepacked(PG_FUNCTION_ARGS) {
    qv::pgRangeArray::RangeSpan r = qv::pg::rangeArrayArg(fcinfo, 0, "qv_rangearray_overlaps_int4rangepacked");
    std::int64_t a = PG_GETARG_INT64(1);
    PG_RETURN_BOOL(qv::pgRangeArray::rangeOverlapsRanges(lower(a), upper(a), r));
}

// Whether the value's bit is set in the bitfield.
Datum qv_int4_in_rangebitfield(PG_FUNCTION_ARGS) {
    std::int32_t v = PG_GETARG_INT32(0);
    qv::bitField::View b = qv::pg::storedBitFieldArg(fcinfo, 1);
    PG_RETURN_BOOL(qv::bitField::contains(b, v));
}

// The same with the arguments swapped.
Datum qv_rangebitfield_contains_int4(PG_FUNCTION_ARGS) {
    qv::bitField::View b = qv::pg::storedBitFieldArg(fcinfo, 0);
    std::int32_t v = PG_GETARG_INT32(1);
    PG_RETURN_BOOL(qv::bitField::contains(b, v));
}

// Whether some value of the packed range has its bit set in the bitfield.
Datum qv_int4rangepacked_in_rangebitfield(PG_FUNCTION_ARGS) {
    std::int64_t a = PG_GETARG_INT64(0);
    qv::bitField::View b = qv::pg::storedBitFieldArg(fcinfo, 1, "qv_int4rangepacked_in_rangebitfield");
    PG_RETURN_BOOL(qv::bitField::overlapsRange(b, lower(a), upper(a)));
}

}
