// The general set aggregate qv_int4set_agg: values, ranges or whole sets
// from many rows into one set, written as a range, scalar or mix array.
// States live in the aggregate context, which releases them; the final
// function leaves its state whole (see qovellaPgAggregate.h).
#include <climits>
#include <new>

#include "qovellaPgUtils.h"
#include "qovellaPgAggregate.h"
#include "qovellaPgMixArray.h"
#include "qovellaPgMixArrayWriter.h"
#include "qovellaPgSetAggState.h"

namespace {

using qv::pgRangeArray::Range;
typedef qv::setAgg::Int4ToSetOpDataSet<qvPalloc, qvPfree> Int4ToSetOpDataSet;

constexpr const char* kFinalRoutine = "qv_int4set_agg_finalfn";

// A fresh state (kinds 0, no ranges) in the aggregate context, with room
// for one range in each buffer; the buffers double as they fill.
Int4ToSetOpDataSet* newState(MemoryContext context) {
    MemoryContext old = MemoryContextSwitchTo(context);
    Int4ToSetOpDataSet* s = new (palloc0(sizeof(Int4ToSetOpDataSet))) Int4ToSetOpDataSet(context, 1);
    MemoryContextSwitchTo(old);
    return s;
}

MemoryContext contextOf(const Int4ToSetOpDataSet* s) {
    return static_cast<MemoryContext>(s->memoryContext);
}

Int4ToSetOpDataSet* stateArg(FunctionCallInfo fcinfo, int i) {
    return PG_ARGISNULL(i) ? nullptr : reinterpret_cast<Int4ToSetOpDataSet*>(PG_GETARG_POINTER(i));
}

// Merges the state's pending rows, allocating in the state's context.
void settle(Int4ToSetOpDataSet* s) {
    MemoryContext old = MemoryContextSwitchTo(contextOf(s));
    s->settle();
    MemoryContextSwitchTo(old);
}

// Adds the set given by one array row of input kind 3, 4 or 5.
void addArray(Int4ToSetOpDataSet* s, const ArrayType* a) {
    qv::pg::Int4Elements e = qv::pg::int4Elements(a);
    switch (s->inputKind) {
        case qv::pgRangeArray::kScalarArray:
            for (std::size_t i = 0; i < e.count; ++i) s->addRange(e.data[i], e.data[i]);
            break;
        case qv::pgRangeArray::kRangeArray: {
            qv::pgRangeArray::RangeSpan r = qv::pgRangeArray::rangesFromElements(
                e.data, e.count, "addRange", "qv_int4set_agg_transfn input is not a range array",
                qv::sqlstate::intervalFieldOverflow);
            for (const Range<int>* p = r.begin; p != r.end; ++p) s->addRange(p->lower, p->upper);
            break;
        }
        case qv::pgRangeArray::kMixArray:
            if (e.count == 0) break;
            // element 0 is the header (the value count)
            qv::mixArray::forEachMixItem(e.data + 1, e.count - 1, "addRange",
                                         [s](int lower, int upper) { s->addRange(lower, upper); });
            break;
        default:
            QV_ERROR(qv::sqlstate::intervalFieldOverflow, "addRange",
                     "qv_int4set_agg_transfn not implemented");
    }
}

// One transition step.  Variant A takes (value, out) or (lower, upper, out);
// variant B takes (input type, array, out).  The first row fixes the kinds.
Datum setAggTransition(FunctionCallInfo fcinfo, bool arrayForm) {
    MemoryContext agg = qv::pg::aggregateContext(fcinfo, "qv_int4set_agg_transfn");
    Int4ToSetOpDataSet* s = stateArg(fcinfo, 0);
    // Rows reach the set through the pending batch, which starts small and
    // doubles, so a group of a few rows costs a few small allocations.
    if (!s) s = newState(agg);
    if (s->inputKind == qv::pgRangeArray::kNotKnown) {
        int outArg = arrayForm ? 3 : (PG_NARGS() == 3 ? 2 : 3);
        std::int32_t in = arrayForm ? qv::pgRangeArray::ArrayDataTypeFromChar(PG_GETARG_CHAR(1))
                          : PG_NARGS() == 3 ? qv::pgRangeArray::kOneValue
                                            : qv::pgRangeArray::kTwoValues;
        s->outputKind = qv::pgRangeArray::ArrayDataTypeFromChar(PG_GETARG_CHAR(outArg));
        s->inputKind = in;
    }

    // Array rows are detoasted in the per-row context, not the state's.
    const ArrayType* a = nullptr;
    if (s->inputKind >= qv::pgRangeArray::kScalarArray && !PG_ARGISNULL(2))
        a = qv::pg::arrayArg(fcinfo, 2);

    MemoryContext old = MemoryContextSwitchTo(contextOf(s));
    switch (s->inputKind) {
        case qv::pgRangeArray::kOneValue:
            if (!PG_ARGISNULL(1)) s->addRange(PG_GETARG_INT32(1), PG_GETARG_INT32(1));
            break;
        case qv::pgRangeArray::kTwoValues:
            if (!PG_ARGISNULL(1) && !PG_ARGISNULL(2))
                s->addRange(PG_GETARG_INT32(1), PG_GETARG_INT32(2));
            break;
        default:
            if (a) addArray(s, a);
    }
    MemoryContextSwitchTo(old);
    PG_RETURN_POINTER(s);
}

// The set as a range array.
ArrayType* rangeOutput(const Range<int>* r, std::size_t n) {
    if (2 * static_cast<std::uint64_t>(n) > MaxArraySize)
        QV_ERROR(qv::sqlstate::intervalFieldOverflow, kFinalRoutine, "array overflow ");
    return qv::pg::rangeArrayResult(r, n);
}

// The set as a mix array; the empty set has no header.
ArrayType* mixOutput(const Range<int>* r, std::size_t n) {
    qv::mixArray::MixLayout m = qv::mixArray::measureMix(r, n, kFinalRoutine);
    if (m.values > INT_MAX || m.elements > MaxArraySize)
        QV_ERROR(qv::sqlstate::intervalFieldOverflow, kFinalRoutine, "array overflow");
    ArrayType* a = ::pg::allocateResultArray<int, INT4OID>(m.elements);
    if (m.elements) {
        std::int32_t* d = reinterpret_cast<std::int32_t*>(ARR_DATA_PTR(a));
        d[0] = static_cast<std::int32_t>(m.values);
        qv::mixArray::ElementCursor c{d + 1};
        qv::mixArray::writeMixBody(c, r, n);
    }
    return a;
}

// The set as a scalar array: every value, ascending.
ArrayType* scalarOutput(const Range<int>* r, std::size_t n) {
    qv::pgRangeArray::RangeSpan set{r, r + n};
    std::uint64_t values = qv::pgRangeArray::spanValueCount(set);
    if (values > MaxArraySize)
        QV_ERROR(qv::sqlstate::intervalFieldOverflow, kFinalRoutine, "array overflow");
    ArrayType* a = ::pg::allocateResultArray<int, INT4OID>(values);
    qv::pgRangeArray::writeSpanValues(set, reinterpret_cast<std::int32_t*>(ARR_DATA_PTR(a)));
    return a;
}

// The state's set (merged first) in its output encoding; no state, or one
// that never saw a row, gives the empty array.
ArrayType* setResult(Int4ToSetOpDataSet* s) {
    if (!s || s->inputKind == qv::pgRangeArray::kNotKnown)
        return ::pg::allocateResultArray<int, INT4OID>(0);
    settle(s);
    const Range<int>* r = s->ranges.begin();
    std::size_t n = static_cast<std::size_t>(s->ranges.size);
    switch (s->outputKind) {
        case qv::pgRangeArray::kRangeArray: return rangeOutput(r, n);
        case qv::pgRangeArray::kMixArray: return mixOutput(r, n);
        case qv::pgRangeArray::kScalarArray: return scalarOutput(r, n);
        default:
            QV_ERROR(qv::sqlstate::intervalFieldOverflow, kFinalRoutine,
                     "qv_int4set_agg_finalfn not implemented");
    }
}

}  // namespace

extern "C" {

PG_FUNCTION_INFO_V1(qv_int4set_agg_transfn_A);
PG_FUNCTION_INFO_V1(qv_int4set_agg_transfn_B);
PG_FUNCTION_INFO_V1(qv_int4set_agg_finalfn);
PG_FUNCTION_INFO_V1(qv_int4set_agg_combinefn);
PG_FUNCTION_INFO_V1(qv_int4set_agg_serialfn);
PG_FUNCTION_INFO_V1(qv_int4set_agg_deserialfn);

// Transition for one value or one range per row.
Datum qv_int4set_agg_transfn_A(PG_FUNCTION_ARGS) { return setAggTransition(fcinfo, false); }

// Transition for one array per row, in the encoding its type character names.
Datum qv_int4set_agg_transfn_B(PG_FUNCTION_ARGS) { return setAggTransition(fcinfo, true); }

// Writes the set in the output encoding; the state stays valid.  A group
// without rows, or whose state never saw one, gives the empty array.
Datum qv_int4set_agg_finalfn(PG_FUNCTION_ARGS) {
    Int4ToSetOpDataSet* s = stateArg(fcinfo, 0);
    ArrayType* result = setResult(s);
    if (!result)
        QV_ERROR(qv::sqlstate::intervalFieldOverflow, kFinalRoutine,
                 "qv_int4set_agg_finalfn internal error");
    PG_RETURN_POINTER(result);
}

// A new state holding the union of the two; the inputs are left unchanged.
Datum qv_int4set_agg_combinefn(PG_FUNCTION_ARGS) {
    MemoryContext agg = qv::pg::aggregateContext(fcinfo, "qv_int4set_agg_combinefn");
    Int4ToSetOpDataSet* s = newState(agg);
    MemoryContext old = MemoryContextSwitchTo(contextOf(s));
    s->combine(stateArg(fcinfo, 0), stateArg(fcinfo, 1));
    MemoryContextSwitchTo(old);
    PG_RETURN_POINTER(s);
}

// The state as bytea: input kind, output kind, then the ranges.
Datum qv_int4set_agg_serialfn(PG_FUNCTION_ARGS) {
    Int4ToSetOpDataSet* s = stateArg(fcinfo, 0);
    if (!s) PG_RETURN_NULL();
    settle(s);
    bytea* b = allocateBytea(VARHDRSZ + s->serialSize());
    s->serializeTo(reinterpret_cast<unsigned char*>(VARDATA(b)));
    PG_RETURN_BYTEA_P(b);
}

// A new state read from a serialised one; a null bytea gives a state
// without rows.  It is allocated in the current context (the server's
// per-input-tuple context): the combine function reads it and builds its
// own state, so its memory is freed, and reused, with the input tuple.
Datum qv_int4set_agg_deserialfn(PG_FUNCTION_ARGS) {
    qv::pg::aggregateContext(fcinfo, "qv_int4set_agg_deserialfn");
    Int4ToSetOpDataSet* s = newState(CurrentMemoryContext);
    if (PG_ARGISNULL(0)) PG_RETURN_POINTER(s);
    const bytea* b = PG_GETARG_BYTEA_PP(0);
    MemoryContext old = MemoryContextSwitchTo(contextOf(s));
    s->fromBytea(reinterpret_cast<const unsigned char*>(VARDATA_ANY(b)), VARSIZE_ANY_EXHDR(b));
    MemoryContextSwitchTo(old);
    PG_RETURN_POINTER(s);
}

}
