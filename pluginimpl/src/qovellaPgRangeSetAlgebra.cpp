// Binary set functions on range arrays: union, intersection, exclusion,
// inclusion and overlap.  Arguments are read in place; results are built in
// a vector that the kernel sizes and whose buffer becomes the array.
#include "qovellaPgPredicateArgs.h"
#include "qovellaPgRangeKernels.h"
#include "qovellaPgUtils.h"

namespace {

using qv::pgRangeArray::Range;
using qv::pgRangeArray::RangeSpan;
using qv::pgRangeArray::fast::Forms;
using qv::pg::RangeArrayBody;
using RangeKernel = void (*)(const Range<int>*, const Range<int>*, const Range<int>*,
                             const Range<int>*, RangeArrayBody&, Forms*);
using RangeTest = bool (*)(const Range<int>*, const Range<int>*, const Range<int>*,
                           const Range<int>*, Forms*);

// Reads argument i as a range array (a stored one once per call site); an
// odd count fails as routine.  note: as for storedArg.
RangeSpan rangeArg(FunctionCallInfo fcinfo, int i, const char* routine,
                   unsigned char** note = nullptr) {
    return qv::pg::readRangeArray(qv::pg::storedArrayArg(fcinfo, i, note), routine);
}

// The one present argument of a function that passes it through: its
// elements copied unchanged (no check of the canonical form).
Datum passThrough(FunctionCallInfo fcinfo, int i, const char* routine) {
    RangeSpan s = rangeArg(fcinfo, i, routine);
    PG_RETURN_ARRAYTYPE_P(qv::pg::rangeArrayResult(s.begin, s.count()));
}

// Reads both arguments (both odd-count tests come first), runs the kernel
// and returns its ranges as an array made where the kernel wrote them.
Datum applyKernel(FunctionCallInfo fcinfo, RangeKernel kernel, const char* routine) {
    qv::pg::ArgForms known;
    RangeSpan a = rangeArg(fcinfo, 0, routine, &known.notes[0]);
    RangeSpan b = rangeArg(fcinfo, 1, routine, &known.notes[1]);
    RangeArrayBody out{RangeArrayBody::NoBuffer()};
    kernel(a.begin, a.end, b.begin, b.end, out, known.load());
    known.keep();
    PG_RETURN_ARRAYTYPE_P(qv::pg::adoptRangeArray(out));
}

// Reads both arguments (the first as the test's b when swapped) and returns
// the test's outcome; either null: null.
Datum applyTest(FunctionCallInfo fcinfo, RangeTest test, const char* routine, bool swapped = false) {
    if (PG_ARGISNULL(0) || PG_ARGISNULL(1)) PG_RETURN_NULL();
    qv::pg::ArgForms known;
    RangeSpan a = rangeArg(fcinfo, swapped, routine, &known.notes[0]);
    RangeSpan b = rangeArg(fcinfo, !swapped, routine, &known.notes[1]);
    bool outcome = test(a.begin, a.end, b.begin, b.end, known.load());
    known.keep();
    PG_RETURN_BOOL(outcome);
}

}  // namespace

extern "C" {

PG_FUNCTION_INFO_V1(qv_int4range_union);
PG_FUNCTION_INFO_V1(qv_int4range_intersection);
PG_FUNCTION_INFO_V1(qv_int4range_exclusion);
PG_FUNCTION_INFO_V1(qv_int4range_is_strictly_include);
PG_FUNCTION_INFO_V1(qv_int4range_is_overlap);
PG_FUNCTION_INFO_V1(qv_int4range_contains_rangearray);

// a u b; both null: null; one null: the other, unchanged.
Datum qv_int4range_union(PG_FUNCTION_ARGS) {
    const char* routine = "qv_int4range_union";
    if (PG_ARGISNULL(0) && PG_ARGISNULL(1)) PG_RETURN_NULL();
    if (PG_ARGISNULL(0)) return passThrough(fcinfo, 1, routine);
    if (PG_ARGISNULL(1)) return passThrough(fcinfo, 0, routine);
    return applyKernel(fcinfo, qv::pgRangeArray::computeUnion<int, ::pg::pallocArrayBody, ::pg::pfreeArrayBody>, routine);
}

// a n b; either null: null.
Datum qv_int4range_intersection(PG_FUNCTION_ARGS) {
    if (PG_ARGISNULL(0) || PG_ARGISNULL(1)) PG_RETURN_NULL();
    return applyKernel(fcinfo, qv::pgRangeArray::computeIntersection<int, ::pg::pallocArrayBody, ::pg::pfreeArrayBody>,
                       "qv_int4range_intersection");
}

// a \ b; a null: null; b null: a, unchanged.
Datum qv_int4range_exclusion(PG_FUNCTION_ARGS) {
    const char* routine = "qv_int4range_exclusion";
    if (PG_ARGISNULL(0)) PG_RETURN_NULL();
    if (PG_ARGISNULL(1)) return passThrough(fcinfo, 0, routine);
    return applyKernel(fcinfo, qv::pgRangeArray::computeExclusion<int, ::pg::pallocArrayBody, ::pg::pfreeArrayBody>, routine);
}

// Whether every range of a lies inside one range of b; either null: null.
Datum qv_int4range_is_strictly_include(PG_FUNCTION_ARGS) {
    return applyTest(fcinfo, qv::pgRangeArray::isStrictlyIncluded<int>,
                     "qv_int4range_is_strictly_include");
}

// Whether a and b share a value; either null: null.
Datum qv_int4range_is_overlap(PG_FUNCTION_ARGS) {
    return applyTest(fcinfo, qv::pgRangeArray::isOverlap<int>, "qv_int4range_is_overlap");
}

// Whether b is strictly included in a (the inclusion test, arguments
// swapped: b is read first, as there); either null: null.
Datum qv_int4range_contains_rangearray(PG_FUNCTION_ARGS) {
    return applyTest(fcinfo, qv::pgRangeArray::isStrictlyIncluded<int>,
                     "qv_int4range_contains_rangearray", true);
}

}
