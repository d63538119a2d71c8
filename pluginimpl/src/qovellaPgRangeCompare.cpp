// Set-versus-set predicates: range array against range array, and a set in
// any array encoding against a bitfield.
#include "qovellaPgPredicateArgs.h"
#include "qovellaPgBitFieldArg.h"
#include "qovellaPgBitFieldSetCompare.h"
#include "qovellaPgRangeOverlap.h"

namespace {

// Shared body of the two bitfield predicates: ('s'|'r'|'m', int4[], bytea).
bool int4setTestBitfield(FunctionCallInfo fcinfo, bool included) {
    const char* routine = "int4set_test_bitfield";
    qv::pgRangeArray::ArrayDataType kind =
        qv::pgRangeArray::ArrayDataTypeFromChar(PG_GETARG_CHAR(0));
    const ArrayType* set = qv::pg::storedArrayArg(fcinfo, 1);
    qv::pg::requireInt4Array(set, routine);
    qv::pg::Int4Elements e = qv::pg::int4Elements(set);
    if (e.count == 0) return false;
    qv::bitField::View b = qv::pg::storedBitFieldArg(fcinfo, 2);
    return qv::bitField::setTest(kind, e.data, e.count, b, included, routine);
}

}  // namespace

extern "C" {

PG_FUNCTION_INFO_V1(qv_int4range_overlap_rangearray);
PG_FUNCTION_INFO_V1(qv_int4set_overlap_bitfield);
PG_FUNCTION_INFO_V1(qv_int4set_included_in_bitfield);

// Whether two range arrays share a value; both are validated first.
Datum qv_int4range_overlap_rangearray(PG_FUNCTION_ARGS) {
    const char* routine = "qv_int4range_overlap_rangearray";
    qv::pg::ArgForms known;
    qv::pgRangeArray::RangeSpan a = qv::pg::rangeArrayArg(fcinfo, 0, routine, &known.notes[0]);
    qv::pgRangeArray::RangeSpan b = qv::pg::rangeArrayArg(fcinfo, 1, routine, &known.notes[1]);
    bool overlap = qv::pgRangeArray::rangeSpansOverlap(a, b, known.load());
    known.keep();
    PG_RETURN_BOOL(overlap);
}

// Whether some value of the set has its bit set in the bitfield.
Datum qv_int4set_overlap_bitfield(PG_FUNCTION_ARGS) {
    PG_RETURN_BOOL(int4setTestBitfield(fcinfo, false));
}

// Whether every value of the set lies in the bitfield with its bit set.
Datum qv_int4set_included_in_bitfield(PG_FUNCTION_ARGS) {
    PG_RETURN_BOOL(int4setTestBitfield(fcinfo, true));
}

}
