// The keep-single aggregate: the one value shared by every row of a group,
// an error when two rows disagree.  A null is a value of its own that agrees
// only with a null.
//
// States live in the aggregate context, which releases them; the final
// function leaves its state whole.  A bytea or text value is always kept as a private
// detoasted copy: a plain value points into the row it came from, which the
// executor may free or reuse before the final function runs.
#include <cstring>

#include "qovellaPgUtils.h"
#include "qovellaPgAggregate.h"
#include "qovellaKeepSingle.h"

namespace ks = qv::keepSingle;

namespace {

struct KeepSingleState {
    MemoryContext context;  // where the kept value is allocated
    bool isNull;      // true when fresh or when the kept value is null
    Datum value;      // by-value types: the value; bytea, text: a private copy
    std::uint32_t type;  // 0 until a first value (or null) is recorded
};

// A fresh state allocated in the aggregate context, which becomes current;
// the previous current context is returned through previous.
KeepSingleState* newState(MemoryContext context, MemoryContext* previous) {
    *previous = MemoryContextSwitchTo(context);
    auto* s = static_cast<KeepSingleState*>(palloc0(sizeof(KeepSingleState)));
    s->context = context;
    s->isNull = true;
    return s;
}

KeepSingleState* stateArg(FunctionCallInfo fcinfo, int i) {
    if (PG_ARGISNULL(i)) return nullptr;
    return reinterpret_cast<KeepSingleState*>(PG_GETARG_POINTER(i));
}

[[noreturn]] void mismatch() {
    QV_ERROR(qv::sqlstate::intervalFieldOverflow, "addValue", "%s", ks::kMismatch);
}

// Whether a detoasted kept value and an incoming one hold the same bytes.
// The incoming value is read in place unless it is compressed or out of
// line; a detoasted copy is freed at once.
bool bytesAgree(Datum kept, Datum incoming) {
    auto* k = reinterpret_cast<struct varlena*>(DatumGetPointer(kept));
    auto* raw = reinterpret_cast<struct varlena*>(DatumGetPointer(incoming));
    struct varlena* v = pg_detoast_datum_packed(raw);
    std::size_t n = VARSIZE_ANY_EXHDR(v);
    bool same = n == VARSIZE_ANY_EXHDR(k) &&
                (n == 0 || std::memcmp(VARDATA_ANY(v), VARDATA_ANY(k), n) == 0);
    if (v != raw) pfree(v);
    return same;
}

// Offers one value to the state (whose context is current): the first
// recorded value or null is kept, every later one must agree with it.
void addValue(KeepSingleState* s, std::uint32_t type, Datum value, bool isNull) {
    if (s->type == 0) {
        s->type = type;
        s->isNull = isNull;
        if (isNull) return;
        switch (ks::holdingOf(type)) {
            case ks::Holding::byValue:
                s->value = value;
                return;
            case ks::Holding::varlena:
                s->value = PointerGetDatum(pg_detoast_datum_copy(
                    reinterpret_cast<struct varlena*>(DatumGetPointer(value))));
                return;
            case ks::Holding::unsupported:
                break;
        }
        QV_ERROR(qv::sqlstate::intervalFieldOverflow, "addValue", "%s", ks::kUnsupportedType);
    }
    if (s->isNull || isNull) {
        if (s->isNull != isNull) mismatch();
        return;
    }
    switch (ks::holdingOf(s->type)) {
        case ks::Holding::byValue:
            if (s->value != value) mismatch();
            return;
        case ks::Holding::varlena:
            if (!bytesAgree(s->value, value)) mismatch();
            return;
        case ks::Holding::unsupported:
            break;
    }
    QV_ERROR(qv::sqlstate::intervalFieldOverflow, "addValue", "%s", ks::kUnsupportedType);
}

// The state's non-null kept value, as a copy that outlives the state.
Datum keptValueCopy(const KeepSingleState* s) {
    switch (ks::holdingOf(s->type)) {
        case ks::Holding::byValue:
            return s->value;
        case ks::Holding::varlena:
            return PointerGetDatum(pg_detoast_datum_copy(
                reinterpret_cast<struct varlena*>(DatumGetPointer(s->value))));
        case ks::Holding::unsupported:
            break;
    }
    QV_ERROR(qv::sqlstate::intervalFieldOverflow, "qv_agg_keep_single_finalfn", "%s",
             ks::kUnsupportedType);
}

}  // namespace

extern "C" {

PG_FUNCTION_INFO_V1(qv_agg_keep_single_transfn);
PG_FUNCTION_INFO_V1(qv_agg_keep_single_finalfn);
PG_FUNCTION_INFO_V1(qv_agg_keep_single_combinefn);
PG_FUNCTION_INFO_V1(qv_agg_keep_single_serialfn);
PG_FUNCTION_INFO_V1(qv_agg_keep_single_deserialfn);

// Offers the row's value, whose type comes from the call expression.
Datum qv_agg_keep_single_transfn(PG_FUNCTION_ARGS) {
    MemoryContext aggContext = qv::pg::aggregateContext(fcinfo, "qv_agg_keep_single_transfn");
    KeepSingleState* s = stateArg(fcinfo, 0);
    MemoryContext previous;
    if (s) {
        previous = MemoryContextSwitchTo(s->context);
    } else {
        s = newState(aggContext, &previous);
    }
    // The incoming type matters only until one is recorded.
    std::uint32_t type = s->type ? s->type : get_fn_expr_argtype(fcinfo->flinfo, 1);
    addValue(s, type, PG_GETARG_DATUM(1), PG_ARGISNULL(1));
    MemoryContextSwitchTo(previous);
    PG_RETURN_POINTER(s);
}

// The kept value, copied into the caller's context.
Datum qv_agg_keep_single_finalfn(PG_FUNCTION_ARGS) {
    qv::pg::aggregateContext(fcinfo, "qv_agg_keep_single_finalfn");
    KeepSingleState* s = stateArg(fcinfo, 0);
    if (!s) PG_RETURN_NULL();
    if (s->isNull) PG_RETURN_NULL();
    PG_RETURN_DATUM(keptValueCopy(s));
}

// A new state agreeing with both inputs, which stay unchanged.
Datum qv_agg_keep_single_combinefn(PG_FUNCTION_ARGS) {
    MemoryContext aggContext = qv::pg::aggregateContext(fcinfo, "qv_agg_keep_single_combinefn");
    const KeepSingleState* a = stateArg(fcinfo, 0);
    const KeepSingleState* b = stateArg(fcinfo, 1);
    MemoryContext previous;
    KeepSingleState* s =
        newState(aggContext, &previous);
    if (a) addValue(s, a->type, a->value, a->isNull);
    if (b && b->type != 0) addValue(s, b->type, b->value, b->isNull);
    MemoryContextSwitchTo(previous);
    PG_RETURN_POINTER(s);
}

// The state as bytes: form 2 for bytea and text (null included), else form 1.
Datum qv_agg_keep_single_serialfn(PG_FUNCTION_ARGS) {
    qv::pg::aggregateContext(fcinfo, "qv_agg_keep_single_serialfn");
    const KeepSingleState* s = stateArg(fcinfo, 0);
    if (!s) PG_RETURN_NULL();
    bytea* out;
    if (ks::serialForm(s->type) == ks::kFormBytes) {
        const void* data = nullptr;
        std::size_t n = 0;
        if (!s->isNull) {
            const auto* v = reinterpret_cast<const struct varlena*>(DatumGetPointer(s->value));
            data = VARDATA_ANY(v);
            n = VARSIZE_ANY_EXHDR(v);
        }
        out = allocateBytea(VARHDRSZ + ks::serialPayloadSize(s->type, n));
        ks::writeBytesForm(reinterpret_cast<unsigned char*>(VARDATA(out)), s->isNull, s->type,
                           data, n);
    } else {
        out = allocateBytea(VARHDRSZ + ks::kDatumPayload);
        ks::writeDatumForm(reinterpret_cast<unsigned char*>(VARDATA(out)), s->isNull, s->type,
                           s->value);
    }
    PG_RETURN_BYTEA_P(out);
}

// A new state restored from its serial form; a null gives a fresh state.
Datum qv_agg_keep_single_deserialfn(PG_FUNCTION_ARGS) {
    MemoryContext aggContext = qv::pg::aggregateContext(fcinfo, "qv_agg_keep_single_deserialfn");
    MemoryContext previous;
    KeepSingleState* s =
        newState(aggContext, &previous);
    if (!PG_ARGISNULL(0)) {
        // Read in place unless compressed or out of line.
        MemoryContextSwitchTo(previous);
        bytea* in = PG_GETARG_BYTEA_PP(0);
        MemoryContextSwitchTo(s->context);
        ks::SerialState r = ks::readSerial(reinterpret_cast<const unsigned char*>(VARDATA_ANY(in)),
                                           VARSIZE_ANY_EXHDR(in));
        s->isNull = r.isNull;
        s->type = r.type;
        if (r.isNull) {
            // a null keeps no value, whatever bytes follow
        } else if (r.form == ks::kFormDatum) {
            s->value = static_cast<Datum>(r.datum);
        } else {
            bytea* v = allocateBytea(VARHDRSZ + r.n);
            if (r.n) std::memcpy(VARDATA(v), r.bytes, r.n);
            s->value = PointerGetDatum(v);
        }
    }
    MemoryContextSwitchTo(previous);
    PG_RETURN_POINTER(s);
}

}
