// The consistent method of the packed-range GiST operator classes: reads the
// query by strategy number and applies the key test.  Leaf answers are exact;
// inner answers only prune, so they ask for a recheck.
#include "qovellaPgUtils.h"

#include "qovellaPgGistServer.h"

#include "qovellaPgBitFieldArg.h"
#include "qovellaPgGistConsistent.h"

namespace {

const char* const kRoutine = "qv_gist_range_consistent";

// The query of strategies 1 and 11: an int4[] of sorted, disjoint pairs.  An
// array of another element type or a plain array of odd length is refused;
// any other shape (no dimension, several, nulls) holds no pairs.
qv::pgRangeArray::RangeSpan rangeArrayQuery(FunctionCallInfo fcinfo) {
    const ArrayType* a = qv::pg::arrayArg(fcinfo, 1);
    qv::pg::Int4Elements e = qv::pg::int4Elements(a);
    if (ARR_ELEMTYPE(a) != INT4OID || e.count % 2 != 0)
        QV_ERROR(qv::sqlstate::invalidParameterValue, kRoutine, "accept only int4[] with an even size");
    return qv::pgRangeArray::rangesFromElements(e.data, e.count, kRoutine);
}

}  // namespace

extern "C" {

PG_FUNCTION_INFO_V1(qv_gist_range_consistent);

// Whether the entry's subtree (inner) or row (leaf) can satisfy the query.
Datum qv_gist_range_consistent(PG_FUNCTION_ARGS) {
    namespace gr = qv::gistRange;
    const GISTENTRY* entry = reinterpret_cast<GISTENTRY*>(PG_GETARG_POINTER(0));
    const StrategyNumber strategy = PG_GETARG_UINT16(2);
    bool* recheck = reinterpret_cast<bool*>(PG_GETARG_POINTER(4));
    *recheck = true;

    const std::int64_t key = DatumGetInt64(entry->key);
    const bool leaf = GIST_LEAF(entry);
    bool result;
    switch (strategy) {
        case gr::kValueInRangeArray:
        case gr::kOverlapsRangeArray:
            result = gr::keyOverlapsRanges(key, rangeArrayQuery(fcinfo));
            break;
        case gr::kValueInBitField:
            // the bitfield is validated by its size rule
            result = gr::keyMatchesBitField(key, qv::pg::bitFieldArg(fcinfo, 1, kRoutine), leaf);
            break;
        case gr::kValueInPackedRange:
        case gr::kOverlapsPackedRange:
        case gr::kIncludedInPackedRange:
        case gr::kContainsPackedRange:
            result = gr::keyMatchesPackedRange(strategy, key, PG_GETARG_INT64(1), leaf);
            break;
        case gr::kContainsValue:
            result = gr::keyHoldsValue(key, PG_GETARG_INT32(1));
            break;
        default:
            QV_ERROR(qv::sqlstate::invalidParameterValue, kRoutine, "GIST consistent unimplemented strategy");
    }
    *recheck = !leaf;
    PG_RETURN_BOOL(result);
}

}
