// Reading stored sets: ranges and values as rows, text notation and its
// parser, cardinality and bounds, the canonical check and normaliser, and
// conversions from bitfields and to and from int4multirange.  Every function
// takes a set in each encoding: ("char", int4[]) for the three array
// encodings, bytea for the bitfield, int8 for the packed range; the work is
// done by the server-free qovellaPgSetReading.h.
#include <new>

#include "qovellaPgUtils.h"
#include "qovellaPgBitFieldArg.h"
#include "qovellaPgPackedRange.h"
#include "qovellaPgSetConversions.h"
#include "qovellaPgSetReading.h"

// Inline functions of bufpage.h and ilist.h have parameters read only by
// assertions; the warnings are the server's, not ours.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"
extern "C" {
#include "access/htup_details.h"
#include "funcapi.h"
#include "utils/lsyscache.h"
#if QV_PG_HAS_SUPPORT_REQUESTS
#include "nodes/nodeFuncs.h"
#include "nodes/supportnodes.h"
#endif
#if QV_PG_HAS_MULTIRANGE
#include "utils/multirangetypes.h"
#include "utils/rangetypes.h"
#include "utils/typcache.h"
#endif
}
#pragma GCC diagnostic pop

namespace {

namespace si = qv::setReading;
using qv::pgRangeArray::Range;

// How a function's set argument is given.
enum class Form { kArray, kBitField, kPacked };

// The set of an array argument: ("char", int4[]) at positions 0 and 1.  An
// array of another shape than one dimension without nulls holds nothing.
si::SetView arraySetOf(char kind, const ArrayType* a, const char* routine) {
    qv::pg::requireInt4Array(a, routine);
    qv::pg::Int4Elements e = qv::pg::int4Elements(a);
    return si::arraySet(kind, e.data, e.count, routine);
}

// The set argument of a function called once per row: stored values are
// read once per call site.
si::SetView setArg(FunctionCallInfo fcinfo, Form form, const char* routine) {
    switch (form) {
        case Form::kArray:
            return arraySetOf(PG_GETARG_CHAR(0), qv::pg::storedArrayArg(fcinfo, 1), routine);
        case Form::kBitField:
            return si::bitFieldSet(qv::pg::storedBitFieldArg(fcinfo, 0, routine));
        default: {
            std::int64_t p = PG_GETARG_INT64(0);
            return si::packedSet(qv::packedRange::lower(p), qv::packedRange::upper(p));
        }
    }
}

// The same for a set-returning function, whose fn_extra belongs to the
// function-call machinery: the argument is detoasted in the current context
// (the caller's multi-call context), where it lives until the last row.
si::SetView setArgDetoasted(FunctionCallInfo fcinfo, Form form, const char* routine) {
    switch (form) {
        case Form::kArray:
            return arraySetOf(PG_GETARG_CHAR(0), qv::pg::arrayArg(fcinfo, 1), routine);
        case Form::kBitField:
            return si::bitFieldSet(qv::pg::bitFieldArg(fcinfo, 0, routine));
        default:
            return setArg(fcinfo, form, routine);
    }
}

// Allocation of a text result's body with room for its varlena header, so
// that the rendered text becomes the result where it lies.
void* pallocTextBody(std::size_t bytes) {
    if (bytes > MaxAllocSize - VARHDRSZ) return nullptr;
    return static_cast<char*>(palloc(VARHDRSZ + bytes)) + VARHDRSZ;
}
void pfreeTextBody(void* body) { pfree(static_cast<char*>(body) - VARHDRSZ); }
using TextBody = qv::pg::tVector<char, pallocTextBody, pfreeTextBody>;

// --- rows ------------------------------------------------------------------

// State of the two set-returning functions between calls.
struct RowState {
    si::RangeCursor ranges;
    si::ValueCursor values;
};

// One call of qv_int4set_ranges (values false) or qv_int4set_values: the
// first call reads the set into a cursor, each call returns one row.
Datum setRows(FunctionCallInfo fcinfo, Form form, bool values) {
    const char* routine = values ? "qv_int4set_values" : "qv_int4set_ranges";
    FuncCallContext* funcctx;
    if (SRF_IS_FIRSTCALL()) {
        funcctx = SRF_FIRSTCALL_INIT();
        MemoryContext old = MemoryContextSwitchTo(funcctx->multi_call_memory_ctx);
        si::SetView s = setArgDetoasted(fcinfo, form, routine);
        RowState* state = static_cast<RowState*>(palloc(sizeof(RowState)));
        new (&state->ranges) si::RangeCursor(s);
        new (&state->values) si::ValueCursor(s);
        funcctx->user_fctx = state;
        if (!values) {
            TupleDesc desc;
            if (get_call_result_type(fcinfo, nullptr, &desc) != TYPEFUNC_COMPOSITE)
                QV_ERROR(qv::sqlstate::datatypeMismatch, routine, "function returning record called in context that cannot accept type record");
            funcctx->tuple_desc = BlessTupleDesc(desc);
        }
        MemoryContextSwitchTo(old);
    }
    funcctx = SRF_PERCALL_SETUP();
    RowState* state = static_cast<RowState*>(funcctx->user_fctx);
    if (values) {
        std::int32_t v;
        if (state->values.next(v)) SRF_RETURN_NEXT(funcctx, Int32GetDatum(v));
    } else {
        std::int32_t lo, hi;
        if (state->ranges.next(lo, hi)) {
            Datum columns[2] = {Int32GetDatum(lo), Int32GetDatum(hi)};
            bool nulls[2] = {false, false};
            SRF_RETURN_NEXT(funcctx, HeapTupleGetDatum(heap_form_tuple(funcctx->tuple_desc, columns, nulls)));
        }
    }
    SRF_RETURN_DONE(funcctx);
}

// --- scalar results --------------------------------------------------------

Datum setText(FunctionCallInfo fcinfo, Form form) {
    si::SetView s = setArg(fcinfo, form, "qv_int4set_text");
    TextBody out(256);
    si::renderText(s, out);
    text* t = reinterpret_cast<text*>(out.data - VARHDRSZ);
    SET_VARSIZE(t, VARHDRSZ + out.size);
    out.abandon();
    PG_RETURN_TEXT_P(t);
}

Datum setCardinality(FunctionCallInfo fcinfo, Form form) {
    PG_RETURN_INT64(static_cast<std::int64_t>(si::cardinality(setArg(fcinfo, form, "qv_int4set_cardinality"))));
}

Datum setBound(FunctionCallInfo fcinfo, Form form, bool greatest) {
    std::int32_t least, most;
    if (!si::bounds(setArg(fcinfo, form, greatest ? "qv_int4set_max" : "qv_int4set_min"), least, most))
        PG_RETURN_NULL();
    PG_RETURN_INT32(greatest ? most : least);
}

Datum setIsCanonical(FunctionCallInfo fcinfo, Form form) {
    constexpr const char* routine = "qv_int4set_is_canonical";
    if (form == Form::kArray) {
        qv::pgRangeArray::ArrayDataTypeFromChar(PG_GETARG_CHAR(0));  // a bad kind fails first
        const ArrayType* a = qv::pg::storedArrayArg(fcinfo, 1);
        qv::pg::requireInt4Array(a, routine);
        if (ARR_NDIM(a) > 1 || ARR_HASNULL(a)) PG_RETURN_BOOL(false);  // no writer makes these
    }
    PG_RETURN_BOOL(si::isCanonical(setArg(fcinfo, form, routine)));
}

#if QV_PG_HAS_MULTIRANGE
// Layout constants of the stored multirange (private to the server's
// multirange code, fixed by the on-disk format): after the header come
// rangeCount - 1 items, every fourth the offset of its range's bounds with
// the top bit set, the others the length of the range before; then one
// flag byte per range; then, aligned, each range's bounds.
constexpr std::uint32_t kItemOffsetBit = 0x80000000u;
constexpr std::uint32_t kItemOffsetStride = 4;

// Offset of the bounds area of a stored multirange of n ranges of int4.
std::size_t multirangeBoundsOffset(std::size_t n) {
    return INTALIGN(sizeof(MultirangeType) + (n > 0 ? (n - 1) * 4 : 0) + n);
}

// The int4multirange of canonical ranges, written in its stored layout:
// [lo; hi] is the int4range [lo, hi + 1), or [lo,) when hi is the int4
// maximum, which no int4range holds as an included upper bound.  In
// canonical order only the last range can end there, so every other range
// has both bounds (8 bytes) and the items follow a fixed pattern.  With
// check, the ranges are verified canonical on the way (one pass instead of
// two); when they are not, the result is dropped and null returned.
MultirangeType* multirangeOf(const Range<int>* r, std::size_t n, bool check) {
    bool openEnd = n > 0 && r[n - 1].upper == PG_INT32_MAX;
    std::size_t head = multirangeBoundsOffset(n);
    std::size_t bounds = 8 * n - (openEnd ? 4 : 0);
    if (bounds > MaxAllocSize - head) QV_ERROR(qv::sqlstate::outOfMemory, "qv_int4set_multirange", nullptr);
    MultirangeType* mr = static_cast<MultirangeType*>(palloc(head + bounds));
    SET_VARSIZE(mr, head + bounds);
    mr->multirangetypid = INT4MULTIRANGEOID;
    mr->rangeCount = static_cast<std::uint32_t>(n);
    std::uint32_t* items = reinterpret_cast<std::uint32_t*>(mr + 1);
    std::uint8_t* flags = reinterpret_cast<std::uint8_t*>(items + (n > 0 ? n - 1 : 0));
    for (std::size_t i = 1; i < n; ++i)
        items[i - 1] = (i % kItemOffsetStride) != 0 ? 8 : static_cast<std::uint32_t>(8 * i) | kItemOffsetBit;
    std::memset(flags, RANGE_LB_INC, n);
    std::memset(flags + n, 0, head - (reinterpret_cast<char*>(flags + n) - reinterpret_cast<char*>(mr)));
    std::int32_t* out = reinterpret_cast<std::int32_t*>(reinterpret_cast<char*>(mr) + head);
    std::size_t closed = openEnd ? n - 1 : n;
    std::int64_t previousEnd = INT64_MIN;  // upper + 1 of the range before
    bool disorder = false;
    for (std::size_t i = 0; i < closed; ++i) {
        out[2 * i] = r[i].lower;
        out[2 * i + 1] = static_cast<std::int32_t>(static_cast<std::uint32_t>(r[i].upper) + 1u);
        disorder |= (r[i].lower > r[i].upper) | (r[i].lower <= previousEnd);
        previousEnd = static_cast<std::int64_t>(r[i].upper) + 1;
    }
    if (openEnd) {
        out[2 * closed] = r[closed].lower;
        flags[closed] = RANGE_LB_INC | RANGE_UB_INF;
        disorder |= r[closed].lower <= previousEnd;
    }
    if (check && disorder) {
        pfree(mr);
        return nullptr;
    }
    return mr;
}

// Any set as int4multirange: canonical ranges are written as they are read,
// others normalised first (sorted, merged, empty ranges dropped).
Datum setMultirange(FunctionCallInfo fcinfo, Form form) {
    constexpr const char* routine = "qv_int4set_multirange";
    si::SetView s = setArg(fcinfo, form, routine);
    if (s.encoding == si::Encoding::kRange) {
        MultirangeType* mr = multirangeOf(reinterpret_cast<const Range<int>*>(s.elements), s.count / 2, true);
        if (mr) PG_RETURN_POINTER(mr);
    }
    qv::pg::PgVector<Range<int>> ranges(64);
    si::forEachRange(s, [&](std::int32_t lo, std::int32_t hi) { ranges.push_back(Range<int>{lo, hi}); });
    if (!si::isCanonical(s)) {
        qv::pg::PgVector<Range<int>> scratch(ranges.size ? ranges.size : 1);
        ranges.size = si::normalizeRanges(ranges.data, ranges.size, scratch.data);
    }
    PG_RETURN_POINTER(multirangeOf(ranges.data, ranges.size, false));
}
#endif

}  // namespace

// The three entry points of one function: ("char", int4[]), bitfield and
// packed range.
#define QV_SET_ENTRY_POINTS(name, call)                                      \
    PG_FUNCTION_INFO_V1(qv_int4set_##name);                                  \
    Datum qv_int4set_##name(PG_FUNCTION_ARGS) { return call(Form::kArray); } \
    PG_FUNCTION_INFO_V1(qv_bitfield_##name);                                 \
    Datum qv_bitfield_##name(PG_FUNCTION_ARGS) { return call(Form::kBitField); } \
    PG_FUNCTION_INFO_V1(qv_rangepacked_##name);                              \
    Datum qv_rangepacked_##name(PG_FUNCTION_ARGS) { return call(Form::kPacked); }

extern "C" {

#define QV_CALL(f, ...) [&](Form form) { return f(fcinfo, form, ##__VA_ARGS__); }
QV_SET_ENTRY_POINTS(ranges, QV_CALL(setRows, false))
QV_SET_ENTRY_POINTS(values, QV_CALL(setRows, true))
QV_SET_ENTRY_POINTS(text, QV_CALL(setText))
QV_SET_ENTRY_POINTS(cardinality, QV_CALL(setCardinality))
QV_SET_ENTRY_POINTS(min, QV_CALL(setBound, false))
QV_SET_ENTRY_POINTS(max, QV_CALL(setBound, true))
QV_SET_ENTRY_POINTS(is_canonical, QV_CALL(setIsCanonical))
#if QV_PG_HAS_MULTIRANGE
QV_SET_ENTRY_POINTS(multirange, QV_CALL(setMultirange))
#endif

PG_FUNCTION_INFO_V1(qv_int4set_from_text);
PG_FUNCTION_INFO_V1(qv_int4set_normalize);
PG_FUNCTION_INFO_V1(qv_bitfield2rangearray_int4);

// The range array written in the text notation, ranges in the order given.
Datum qv_int4set_from_text(PG_FUNCTION_ARGS) {
    text* t = PG_GETARG_TEXT_PP(0);
    qv::pg::RangeArrayBody out(16);
    si::parseText(VARDATA_ANY(t), VARSIZE_ANY_EXHDR(t), out, "qv_int4set_from_text");
    PG_RETURN_POINTER(qv::pg::adoptRangeArray(out));
}

// The canonical form of a set in the same array encoding.
Datum qv_int4set_normalize(PG_FUNCTION_ARGS) {
    constexpr const char* routine = "qv_int4set_normalize";
    char kind = PG_GETARG_CHAR(0);
    const ArrayType* a = qv::pg::storedArrayArg(fcinfo, 1);
    si::SetView s = arraySetOf(kind, a, routine);
    qv::pg::RangeArrayBody ranges(s.encoding == si::Encoding::kRange ? (s.count / 2 ? s.count / 2 : 1) : 16);
    if (s.encoding == si::Encoding::kRange) {
        if (s.count) std::memcpy(ranges.data, s.elements, s.count * sizeof(std::int32_t));
        ranges.size = s.count / 2;
    } else {
        si::forEachRange(s, [&](std::int32_t lo, std::int32_t hi) { ranges.push_back(Range<int>{lo, hi}); });
    }
    if (!si::isCanonical(s) || s.encoding != si::Encoding::kRange) {
        qv::pg::PgVector<Range<int>> scratch(ranges.size ? ranges.size : 1);
        ranges.size = si::normalizeRanges(ranges.data, ranges.size, scratch.data);
    }
    switch (s.encoding) {
        case si::Encoding::kScalar: {
            qv::pgRangeArray::RangeSpan span{ranges.data, ranges.data + ranges.size};
            ArrayType* r = pg::allocateResultArray<int, INT4OID>(qv::conversions::rangeScalarCount(span, routine));
            qv::pgRangeArray::writeSpanValues(span, reinterpret_cast<std::int32_t*>(ARR_DATA_PTR(r)));
            PG_RETURN_POINTER(r);
        }
        case si::Encoding::kMix: {
            qv::pg::PgVector<std::int32_t> out(16);
            qv::conversions::convertRangeArrayToMixArray(
                qv::pgRangeArray::RangeSpan{ranges.data, ranges.data + ranges.size}, out, routine);
            PG_RETURN_POINTER(qv::pg::int4ArrayResult(out.data, out.size));
        }
        default:
            PG_RETURN_POINTER(qv::pg::adoptRangeArray(ranges));
    }
}

// The maximal runs of a bitfield as a range array.
Datum qv_bitfield2rangearray_int4(PG_FUNCTION_ARGS) {
    si::SetView s = si::bitFieldSet(qv::pg::storedBitFieldArg(fcinfo, 0, "qv_bitfield2rangearray_int4"));
    qv::pg::RangeArrayBody out(16);
    si::forEachRange(s, [&](std::int32_t lo, std::int32_t hi) { out.push_back(Range<int>{lo, hi}); });
    PG_RETURN_POINTER(qv::pg::adoptRangeArray(out));
}

#if QV_PG_HAS_MULTIRANGE
PG_FUNCTION_INFO_V1(qv_int4multirange2rangearray);

// The ranges of an int4multirange as a range array: [a, b) is [a; b - 1],
// an unbounded end the int4 extreme on its side.  The bounds are read in
// the stored layout (the one multirangeOf writes): after the flags, each
// range's present bounds, four bytes each, one range after the other.
Datum qv_int4multirange2rangearray(PG_FUNCTION_ARGS) {
    const MultirangeType* mr = PG_GETARG_MULTIRANGE_P(0);
    std::size_t n = mr->rangeCount;
    qv::conversions::requireArraySize(2 * static_cast<std::uint64_t>(n), "qv_int4multirange2rangearray");
    // every element is written below: no zeroing
    ArrayType* result = static_cast<ArrayType*>(palloc(pg::kResultArrayHeader + 8 * n));
    pg::setResultArrayHeader<int, INT4OID>(result, 2 * n);
    std::int32_t* out = reinterpret_cast<std::int32_t*>(ARR_DATA_PTR(result));
    const std::uint8_t* flags =
        reinterpret_cast<const std::uint8_t*>(reinterpret_cast<const std::uint32_t*>(mr + 1) + (n > 0 ? n - 1 : 0));
    const char* p = reinterpret_cast<const char*>(mr) + multirangeBoundsOffset(n);
    for (std::size_t i = 0; i < n; ++i) {
        std::uint8_t f = flags[i];
        std::int32_t v;
        if (f & RANGE_LB_INF) {
            out[2 * i] = PG_INT32_MIN;
        } else {
            std::memcpy(&v, p, 4);
            p += 4;
            out[2 * i] = (f & RANGE_LB_INC) ? v : v + 1;
        }
        if (f & RANGE_UB_INF) {
            out[2 * i + 1] = PG_INT32_MAX;
        } else {
            std::memcpy(&v, p, 4);
            p += 4;
            out[2 * i + 1] = (f & RANGE_UB_INC) ? v : v - 1;
        }
    }
    PG_RETURN_POINTER(result);
}
#endif

PG_FUNCTION_INFO_V1(qv_int4set_rows_support);

// Planner support of the two set-returning functions: over a constant set
// the row estimate is the exact number of ranges or values.  A constant
// that the function would refuse gets no estimate (its error belongs to
// the execution).  Declared on every major, so that one install script
// serves all; servers before 12 never call it.
Datum qv_int4set_rows_support(PG_FUNCTION_ARGS) {
#if !QV_PG_HAS_SUPPORT_REQUESTS
    (void) fcinfo;
    PG_RETURN_POINTER(nullptr);
#else
    Node* raw = reinterpret_cast<Node*>(PG_GETARG_POINTER(0));
    if (!IsA(raw, SupportRequestRows)) PG_RETURN_POINTER(nullptr);
    SupportRequestRows* req = reinterpret_cast<SupportRequestRows*>(raw);
    if (!req->node || !IsA(req->node, FuncExpr)) PG_RETURN_POINTER(nullptr);
    List* args = reinterpret_cast<FuncExpr*>(req->node)->args;
    Const* c[2] = {nullptr, nullptr};
    int nargs = list_length(args);
    for (int i = 0; i < nargs && i < 2; ++i) {
        Node* arg = static_cast<Node*>(list_nth(args, i));
        if (!IsA(arg, Const) || reinterpret_cast<Const*>(arg)->constisnull) PG_RETURN_POINTER(nullptr);
        c[i] = reinterpret_cast<Const*>(arg);
    }
    si::SetView s;
    if (nargs == 2) {
        char kind = DatumGetChar(c[0]->constvalue);
        const ArrayType* a = DatumGetArrayTypeP(c[1]->constvalue);
        if ((kind != 'r' && kind != 's' && kind != 'm') || !qv::pg::isInt4Array(a)) PG_RETURN_POINTER(nullptr);
        qv::pg::Int4Elements e = qv::pg::int4Elements(a);
        if (kind == 'r' && e.count % 2 != 0) PG_RETURN_POINTER(nullptr);
        if (kind == 'm' && e.count > 0 && !qv::mixArray::mixBodyIsComplete(e.data + 1, e.count - 1))
            PG_RETURN_POINTER(nullptr);
        s = si::arraySet(kind, e.data, e.count, "qv_int4set_rows_support");
    } else if (nargs == 1 && c[0]->consttype == BYTEAOID) {
        const varlena* v = pg_detoast_datum(reinterpret_cast<varlena*>(DatumGetPointer(c[0]->constvalue)));
        std::int32_t bounds[2];
        if (VARSIZE(v) < qv::bitField::kHeaderSize) PG_RETURN_POINTER(nullptr);
        std::memcpy(bounds, reinterpret_cast<const char*>(v) + 4, 8);
        std::int64_t bytes = qv::bitField::bitsBytesFor(bounds[0], bounds[1]);
        if (bytes < 0 || static_cast<std::uint64_t>(bytes) != VARSIZE(v) - qv::bitField::kHeaderSize)
            PG_RETURN_POINTER(nullptr);
        s = si::bitFieldSet(qv::pg::bitFieldOf(v, "qv_int4set_rows_support"));
    } else if (nargs == 1) {
        std::int64_t p = DatumGetInt64(c[0]->constvalue);
        s = si::packedSet(qv::packedRange::lower(p), qv::packedRange::upper(p));
    } else {
        PG_RETURN_POINTER(nullptr);
    }
    bool values = get_func_rettype(req->funcid) == INT4OID;
    double rows = static_cast<double>(values ? si::cardinality(s) : si::rangeCount(s));
    req->rows = rows < 1 ? 1 : rows;
    PG_RETURN_POINTER(req);
#endif
}

}
