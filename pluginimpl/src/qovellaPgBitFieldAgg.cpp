// The bitfield set aggregate qv_int4set_agg_optimized: values known to lie
// in 0..maxinput, gathered as one bit per value.  States live in the
// aggregate context, which releases them; the final function leaves its
// state whole.
#include <new>

#include "qovellaPgUtils.h"
#include "qovellaPgAggregate.h"
#include "qovellaPgBitFieldAgg.h"

namespace {

namespace agg = qv::bitFieldAgg;
using qv::pgRangeArray::ArrayDataType;
typedef qv::pg::tBitField<qvPalloc, qvPfree> Bits;

// The aggregate state.
struct Int4ToSetOpDataOptimized {
    MemoryContext memoryContext;  // where the bits are allocated
    std::int32_t inputKind;
    std::int32_t outputKind;
    Bits bits;
    agg::ValueBatch<Bits>* pending;  // values of input kind 1 not yet set, or null
    void addRange(FunctionCallInfo fcinfo, bool arrayForm);
    void addValue(std::int32_t v);
};

// A fresh state (kinds 0, no bits) in the aggregate context.
Int4ToSetOpDataOptimized* newState(MemoryContext context) {
    Int4ToSetOpDataOptimized* s =
        new (MemoryContextAllocZero(context, sizeof(Int4ToSetOpDataOptimized))) Int4ToSetOpDataOptimized();
    s->memoryContext = context;
    return s;
}

// The state of argument i with every queued value set, or null.
Int4ToSetOpDataOptimized* stateArg(FunctionCallInfo fcinfo, int i) {
    if (PG_ARGISNULL(i)) return nullptr;
    Int4ToSetOpDataOptimized* s = reinterpret_cast<Int4ToSetOpDataOptimized*>(PG_GETARG_POINTER(i));
    if (s->pending) s->pending->flush(s->bits);
    return s;
}

// Makes dst (fresh) a copy of src's kinds and bits.
void copyState(Int4ToSetOpDataOptimized* dst, const Int4ToSetOpDataOptimized* src) {
    dst->inputKind = src->inputKind;
    dst->outputKind = src->outputKind;
    dst->bits.copyFrom(src->bits);
}

// Adds one row.  The first row fixes the kinds and sizes the bits for
// 0..maxinput; later rows read only their data.
void Int4ToSetOpDataOptimized::addRange(FunctionCallInfo fcinfo, bool arrayForm) {
    int nargs = PG_NARGS();
    if (inputKind == qv::pgRangeArray::kNotKnown) {
        int maxArg = nargs == 4 ? 2 : 3;
        if (PG_ARGISNULL(maxArg) || PG_GETARG_INT32(maxArg) < 1)
            QV_ERROR(qv::sqlstate::intervalFieldOverflow, agg::kAddRange,
                     "int4set_agg_optimized invalid 'maxinput' value ");
        ArrayDataType in = arrayForm ? qv::pgRangeArray::ArrayDataTypeFromChar(PG_GETARG_CHAR(1))
                                     : (nargs == 4 ? qv::pgRangeArray::kOneValue : qv::pgRangeArray::kTwoValues);
        ArrayDataType out = qv::pgRangeArray::ArrayDataTypeFromChar(PG_GETARG_CHAR(maxArg + 1));
        bits.sizeForDomain(static_cast<std::uint32_t>(PG_GETARG_INT32(maxArg)));
        inputKind = in;
        outputKind = out;
    }
    switch (inputKind) {
        case qv::pgRangeArray::kOneValue:
            if (!PG_ARGISNULL(1)) addValue(PG_GETARG_INT32(1));
            return;
        case qv::pgRangeArray::kTwoValues:
            if (!PG_ARGISNULL(1) && !PG_ARGISNULL(2))
                agg::addPair(bits, PG_GETARG_INT32(1), PG_GETARG_INT32(2));
            return;
        case qv::pgRangeArray::kScalarArray:
        case qv::pgRangeArray::kRangeArray:
        case qv::pgRangeArray::kMixArray:
            break;
        default:
            QV_ERROR(qv::sqlstate::intervalFieldOverflow, agg::kAddRange,
                     "qv_int4set_agg_optimized_transfn not implemented");
    }
    if (PG_ARGISNULL(2)) return;
    qv::pg::Int4Elements e = qv::pg::int4Elements(qv::pg::arrayArg(fcinfo, 2));
    if (inputKind == qv::pgRangeArray::kScalarArray) {
        agg::addScalars(bits, e.data, e.count);
    } else if (inputKind == qv::pgRangeArray::kRangeArray) {
        agg::addRanges(bits, e.data, e.count);
    } else if (e.count >= 2) {
        agg::addMixBody(bits, e.data + 1, e.count - 1);  // element 0 is the header
    }
}

// One transition step of either variant.
Datum transition(FunctionCallInfo fcinfo, bool arrayForm) {
    const char* routine = "qv_int4set_agg_optimized_transfn_impl";
    MemoryContext parent = qv::pg::aggregateContext(fcinfo, routine);
    Int4ToSetOpDataOptimized* s =
        PG_ARGISNULL(0) ? nullptr : reinterpret_cast<Int4ToSetOpDataOptimized*>(PG_GETARG_POINTER(0));
    if (!s) s = newState(parent);
    MemoryContext old = MemoryContextSwitchTo(s->memoryContext);
    s->addRange(fcinfo, arrayForm);
    MemoryContextSwitchTo(old);
    PG_RETURN_POINTER(s);
}

// The set as an int4[] in the state's output encoding; a state that has
// seen no row gives the empty array.
ArrayType* finalArray(const Int4ToSetOpDataOptimized* s) {
    const char* routine = "qv_int4set_agg_optimized_finalfn";
    if (!s || s->inputKind == qv::pgRangeArray::kNotKnown)
        return ::pg::allocateResultArray<std::int32_t, INT4OID>(0);
    ArrayDataType kind = static_cast<ArrayDataType>(s->outputKind);
    if (kind != qv::pgRangeArray::kRangeArray && kind != qv::pgRangeArray::kScalarArray &&
        kind != qv::pgRangeArray::kMixArray)
        QV_ERROR(qv::sqlstate::intervalFieldOverflow, routine,
                 "qv_int4set_agg_optimized_finalfn not implemented");
    agg::OutputCounts c = agg::countOutput(s->bits.data, s->bits.size);
    std::uint64_t n = kind == qv::pgRangeArray::kRangeArray
                          ? 2 * c.runs
                          : (kind == qv::pgRangeArray::kScalarArray ? c.values : c.mix);
    // past the server's array limit the server's own array functions refuse it
    if (n > MaxArraySize) QV_ERROR(qv::sqlstate::intervalFieldOverflow, routine, "array overflow ");
    ArrayType* a = ::pg::allocateResultArray<std::int32_t, INT4OID>(n);
    agg::writeOutput(kind, s->bits.data, s->bits.size, c,
                     reinterpret_cast<std::int32_t*>(ARR_DATA_PTR(a)));
    return a;
}

// Bits from which values of input kind 1 are queued and set in batches:
// smaller bits stay in the cache, where setting a value at once costs no
// miss, and a group of a few values needs no batch of its own.
constexpr std::uint32_t kBatchFromBytes = 64 * 1024;


// Input kind 1: checks v at once and sets it, through the batch when the
// bits are large (the batch is made on first use, in the current context).
void Int4ToSetOpDataOptimized::addValue(std::int32_t v) {
    if (bits.size < kBatchFromBytes) {
        agg::addValue(bits, v);
        return;
    }
    if (!pending) pending = new (palloc0(sizeof(agg::ValueBatch<Bits>))) agg::ValueBatch<Bits>();
    pending->add(bits, v);
}

}  // namespace

extern "C" {

PG_FUNCTION_INFO_V1(qv_int4set_agg_optimized_transfn_A);
PG_FUNCTION_INFO_V1(qv_int4set_agg_optimized_transfn_B);
PG_FUNCTION_INFO_V1(qv_int4set_agg_optimized_finalfn);
PG_FUNCTION_INFO_V1(qv_int4set_agg_optimized_combinefn);
PG_FUNCTION_INFO_V1(qv_int4set_agg_optimized_serialfn);
PG_FUNCTION_INFO_V1(qv_int4set_agg_optimized_deserialfn);

// (state, value, maxinput, out) or (state, lower, upper, maxinput, out).
Datum qv_int4set_agg_optimized_transfn_A(PG_FUNCTION_ARGS) {
    return transition(fcinfo, false);
}

// (state, input type, array, maxinput, out).
Datum qv_int4set_agg_optimized_transfn_B(PG_FUNCTION_ARGS) {
    return transition(fcinfo, true);
}

// Writes the set; the state stays as it was.
Datum qv_int4set_agg_optimized_finalfn(PG_FUNCTION_ARGS) {
    qv::pg::aggregateContext(fcinfo, "qv_int4set_agg_optimized_finalfn");
    PG_RETURN_ARRAYTYPE_P(finalArray(stateArg(fcinfo, 0)));
}

// A new state holding the union of both; the inputs stay unchanged.  A
// state that has seen no row contributes nothing.
Datum qv_int4set_agg_optimized_combinefn(PG_FUNCTION_ARGS) {
    const char* routine = "qv_int4set_agg_optimized_combinefn";
    MemoryContext parent = qv::pg::aggregateContext(fcinfo, routine);
    const Int4ToSetOpDataOptimized* a = stateArg(fcinfo, 0);
    const Int4ToSetOpDataOptimized* b = stateArg(fcinfo, 1);
    Int4ToSetOpDataOptimized* s = newState(parent);
    MemoryContext old = MemoryContextSwitchTo(s->memoryContext);
    if (a && a->inputKind == qv::pgRangeArray::kNotKnown) a = nullptr;
    if (b && b->inputKind == qv::pgRangeArray::kNotKnown) b = nullptr;
    if (a && b) {
        if (b->inputKind != a->inputKind || b->outputKind != a->outputKind)
            QV_ERROR(qv::sqlstate::intervalFieldOverflow, "addOtherCtx",
                     "fail to combine Int4ToSetOpDataSet");
        s->inputKind = a->inputKind;
        s->outputKind = a->outputKind;
        s->bits.assignUnion(a->bits, b->bits);  // one pass, one allocation
    } else if (a || b) {
        copyState(s, a ? a : b);
    }
    MemoryContextSwitchTo(old);
    PG_RETURN_POINTER(s);
}

// The state as a bytea (null for no state); the state is not changed.
Datum qv_int4set_agg_optimized_serialfn(PG_FUNCTION_ARGS) {
    qv::pg::aggregateContext(fcinfo, "qv_int4set_agg_optimized_serialfn");
    const Int4ToSetOpDataOptimized* s = stateArg(fcinfo, 0);
    if (!s) PG_RETURN_NULL();
    bytea* b = allocateBytea(agg::kStateHeader + s->bits.size);
    agg::writeState(reinterpret_cast<unsigned char*>(b), s->inputKind, s->outputKind, s->bits);
    PG_RETURN_BYTEA_P(b);
}

// A new state read from a bytea; corrupted values fail.  It lives in the
// current context (the server's per-input-tuple context), which the server
// resets once the combine function has read it into a state of its own.
Datum qv_int4set_agg_optimized_deserialfn(PG_FUNCTION_ARGS) {
    const char* routine = "qv_int4set_agg_optimized_deserialfn";
    qv::pg::aggregateContext(fcinfo, routine);
    Int4ToSetOpDataOptimized* s = newState(CurrentMemoryContext);
    if (PG_ARGISNULL(0)) PG_RETURN_POINTER(s);
    const bytea* b = PG_GETARG_BYTEA_P(0);  // 4-byte header, as the layout says
    agg::SerialisedState in = agg::readState(reinterpret_cast<const unsigned char*>(b), VARSIZE(b));
    MemoryContext old = MemoryContextSwitchTo(s->memoryContext);
    agg::loadBits(in, s->bits);
    s->inputKind = in.inputKind;
    s->outputKind = in.outputKind;
    MemoryContextSwitchTo(old);
    PG_RETURN_POINTER(s);
}

}
