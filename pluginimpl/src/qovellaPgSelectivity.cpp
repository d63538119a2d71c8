// Planner support of the membership operators and their predicate functions:
// restriction and join estimators from the column's statistics, and (from
// 12 on) the support function that turns a predicate call into its operator
// for a GiST index and gives it the operator's estimate.  The arithmetic is
// the server-free core of qovellaPgSelectivity.h; this file reads the
// constant and pg_statistic.  An estimator never raises on a malformed
// constant: it falls back to a default.
#include "qovellaPgServer.h"

// Server headers with inline functions that leave parameters unused.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"
extern "C" {
#include "access/htup_details.h"
#include "catalog/pg_statistic.h"
#include "nodes/makefuncs.h"
#include "nodes/nodeFuncs.h"
#include "utils/builtins.h"
#include "utils/lsyscache.h"
#include "utils/selfuncs.h"
#if QV_PG_HAS_SUPPORT_REQUESTS
#include "nodes/supportnodes.h"
#include "optimizer/optimizer.h"
#endif
}
#pragma GCC diagnostic pop

#include <cstring>

#include "qovellaPgSelectivity.h"
#include "qovellaPgUtils.h"

namespace {

namespace sel = qv::selectivity;
using qv::pgRangeArray::Range;
using qv::pgRangeArray::RangeSpan;

// A stats slot's values read as int64 (int4 or int8 Datums).
struct DatumValues {
    const Datum* d;
    std::size_t n;
    bool int8;
    std::size_t size() const { return n; }
    std::int64_t operator[](std::size_t i) const {
        return int8 ? DatumGetInt64(d[i]) : static_cast<std::int64_t>(DatumGetInt32(d[i]));
    }
};

// The set a constant of type typid holds, or false when it is not a set of
// ours or is malformed (odd range array, bitfield of the wrong size, packed
// range with lower > upper).  one: room for a single interval.
bool readConstSet(Datum value, Oid typid, Range<int>* one, sel::ConstSet* out) {
    switch (typid) {
        case INT4OID:
            one->lower = one->upper = DatumGetInt32(value);
            *out = sel::rangeSet(RangeSpan{one, one + 1});
            return true;
        case INT8OID: {
            std::int64_t p = DatumGetInt64(value);
            one->lower = qv::packedRange::lower(p);
            one->upper = qv::packedRange::upper(p);
            *out = sel::rangeSet(RangeSpan{one, one + 1});
            return one->lower <= one->upper;
        }
        case INT4ARRAYOID: {
            const ArrayType* a = DatumGetArrayTypeP(value);
            if (ARR_ELEMTYPE(a) != INT4OID) return false;
            qv::pg::Int4Elements e = qv::pg::int4Elements(a);
            if (e.count % 2 != 0) return false;
            const Range<int>* first = reinterpret_cast<const Range<int>*>(e.data);
            *out = sel::rangeSet(RangeSpan{first, first + e.count / 2});
            return true;
        }
        case BYTEAOID: {
            const varlena* v = PG_DETOAST_DATUM(value);
            std::size_t length = VARSIZE_ANY(v);
            if (VARATT_IS_SHORT(v) || length < qv::bitField::kHeaderSize) return false;
            const unsigned char* p = reinterpret_cast<const unsigned char*>(v);
            qv::bitField::View b;
            std::memcpy(&b.lower, p + 4, 4);
            std::memcpy(&b.upper, p + 8, 4);
            std::int64_t bytes = qv::bitField::bitsBytesFor(b.lower, b.upper);
            if (bytes < 0 || static_cast<std::uint64_t>(bytes) != length - qv::bitField::kHeaderSize) return false;
            b.begin = p + qv::bitField::kHeaderSize;
            b.end = p + length;
            *out = sel::bitFieldSet(b);
            return true;
        }
        default:
            return false;
    }
}

// The column's statistics, fetched once for any number of constants.
struct ColumnEstimator {
    bool usable = false;  // an int4 or packed-range column
    bool haveStats = false;
    bool haveMcv = false, haveHist = false;
    AttStatsSlot mcvSlot, histSlot;
    DatumValues mcv{nullptr, 0, false}, hist{nullptr, 0, false};
    sel::ColumnStats<DatumValues> stats{false, 0.0, nullptr, nullptr, nullptr};
    std::int64_t* widths = nullptr;

    void open(VariableStatData* vd) {
        Oid t = vd->vartype;
        if (t != INT4OID && t != INT8OID) return;
        usable = true;
        stats.packed = t == INT8OID;
        if (!HeapTupleIsValid(vd->statsTuple)) return;
        haveStats = true;
        HeapTuple tuple = vd->statsTuple;
        stats.nullFrac = reinterpret_cast<Form_pg_statistic>(GETSTRUCT(tuple))->stanullfrac;
        std::memset(&mcvSlot, 0, sizeof mcvSlot);
        std::memset(&histSlot, 0, sizeof histSlot);
        haveMcv = get_attstatsslot(&mcvSlot, tuple, STATISTIC_KIND_MCV, InvalidOid,
                                   ATTSTATSSLOT_VALUES | ATTSTATSSLOT_NUMBERS);
        if (haveMcv && mcvSlot.nvalues == mcvSlot.nnumbers) {
            mcv = DatumValues{mcvSlot.values, static_cast<std::size_t>(mcvSlot.nvalues), stats.packed};
            stats.mcv = &mcv;
            stats.mcvFreq = mcvSlot.numbers;
        }
        haveHist = get_attstatsslot(&histSlot, tuple, STATISTIC_KIND_HISTOGRAM, InvalidOid, ATTSTATSSLOT_VALUES);
        if (haveHist && histSlot.nvalues >= 2) {
            hist = DatumValues{histSlot.values, static_cast<std::size_t>(histSlot.nvalues), stats.packed};
            stats.hist = &hist;
            if (stats.packed) widths = static_cast<std::int64_t*>(palloc(sizeof(std::int64_t) * hist.n));
        }
    }

    void close() {
        if (haveMcv) free_attstatsslot(&mcvSlot);
        if (haveHist) free_attstatsslot(&histSlot);
        if (widths) pfree(widths);
    }

    // The estimate of the column against a constant of type typid.
    double against(Datum value, Oid typid, sel::Relation rel) const {
        Range<int> one;
        sel::ConstSet set;
        if (!usable || !readConstSet(value, typid, &one, &set)) return sel::kDefaultUnknown;
        if (!haveStats) return sel::defaultSelectivity(set.width());
        return sel::estimate(stats, set, rel, widths);
    }
};

// The relation with the operands swapped.
sel::Relation commuted(sel::Relation rel) {
    return rel == sel::kIncluded ? sel::kContains : rel == sel::kContains ? sel::kIncluded : rel;
}

double setColumnAgainst(VariableStatData* vd, Datum value, Oid typid, sel::Relation rel);

// Restriction: a column (or expression with statistics) against a constant.
double restrictionSelectivity(PlannerInfo* root, List* args, int varRelid, sel::Relation rel) {
    VariableStatData vd;
    Node* other;
    bool varOnLeft;
    if (!get_restriction_variable(root, args, varRelid, &vd, &other, &varOnLeft)) return sel::kDefaultUnknown;
    double s = sel::kDefaultUnknown;
    if (IsA(other, Const)) {
        const Const* c = reinterpret_cast<const Const*>(other);
        if (c->constisnull) {
            s = 0.0;
        } else {
            sel::Relation r = varOnLeft ? rel : commuted(rel);
            if (vd.vartype == INT4ARRAYOID || vd.vartype == BYTEAOID) {
                s = setColumnAgainst(&vd, c->constvalue, c->consttype, r);
            } else {
                ColumnEstimator col;
                col.open(&vd);
                s = col.against(c->constvalue, c->consttype, r);
                col.close();
            }
        }
    }
    ReleaseVariableStats(vd);
    return s;
}

// Samples of a set column an estimate averages over, at most this many.
constexpr int kSetSamples = 200;

// The average of f over the values a column's statistics hold (its MCVs by
// frequency, its histogram bounds evenly), times the share of non-null rows;
// defaultSel when the statistics hold no value.  The server keeps no value
// wider than 1 kB in its statistics, so wide sets go unsampled.
template <typename F>
double sampleAverage(HeapTuple tuple, double defaultSel, F f) {
    if (!HeapTupleIsValid(tuple)) return defaultSel;
    double nullFrac = reinterpret_cast<Form_pg_statistic>(GETSTRUCT(tuple))->stanullfrac;
    double weighted = 0.0, weights = 0.0, mcvAll = 0.0;
    AttStatsSlot slot;
    std::memset(&slot, 0, sizeof slot);
    if (get_attstatsslot(&slot, tuple, STATISTIC_KIND_MCV, InvalidOid, ATTSTATSSLOT_VALUES | ATTSTATSSLOT_NUMBERS)) {
        int step = slot.nvalues / kSetSamples + 1;
        for (int i = 0; i < slot.nvalues && i < slot.nnumbers; ++i) {
            mcvAll += slot.numbers[i];
            if (i % step) continue;
            weighted += slot.numbers[i] * step * f(slot.values[i]);
            weights += slot.numbers[i] * step;
        }
        free_attstatsslot(&slot);
    }
    std::memset(&slot, 0, sizeof slot);
    if (get_attstatsslot(&slot, tuple, STATISTIC_KIND_HISTOGRAM, InvalidOid, ATTSTATSSLOT_VALUES)) {
        double rest = sel::clampProbability(1.0 - nullFrac - mcvAll);
        int step = slot.nvalues / kSetSamples + 1, taken = (slot.nvalues + step - 1) / step;
        for (int i = 0; i < slot.nvalues; i += step) {
            weighted += rest / taken * f(slot.values[i]);
            weights += rest / taken;
        }
        free_attstatsslot(&slot);
    }
    return weights > 0 ? sel::clampProbability(weighted / weights * (1.0 - nullFrac)) : defaultSel;
}

// A set column (range arrays or bitfields) against a constant value or packed
// range: the share of the sampled sets that pass.
double setColumnAgainst(VariableStatData* vd, Datum value, Oid typid, sel::Relation rel) {
    Range<int> one;
    sel::ConstSet c;
    if (typid != INT4OID && typid != INT8OID) return sel::kDefaultUnknown;
    if (!readConstSet(value, typid, &one, &c)) return sel::kDefaultUnknown;
    Oid setType = vd->vartype;
    return sampleAverage(vd->statsTuple, sel::kDefaultUnknown, [&](Datum sample) -> double {
        Range<int> sampleOne;
        sel::ConstSet set;
        if (!readConstSet(sample, setType, &sampleOne, &set)) return sel::kDefaultUnknown;
        return sel::passes(set, rel, one.lower, one.upper) ? 1.0 : 0.0;
    });
}

// Join: the column side's estimate averaged over the sets the other side's
// statistics hold.  The column side is the int4 operand, else the left one.
double joinSelectivity(PlannerInfo* root, List* args, sel::Relation rel) {
    if (list_length(args) != 2) return sel::kDefaultUnknown;
    VariableStatData left, right;
    examine_variable(root, static_cast<Node*>(linitial(args)), 0, &left);
    examine_variable(root, static_cast<Node*>(lsecond(args)), 0, &right);
    bool columnOnLeft = left.vartype == INT4OID || right.vartype != INT4OID;
    VariableStatData* column = columnOnLeft ? &left : &right;
    VariableStatData* sets = columnOnLeft ? &right : &left;
    if (!columnOnLeft) rel = commuted(rel);

    ColumnEstimator col;
    col.open(column);
    Oid setType = sets->vartype;
    double s = sampleAverage(sets->statsTuple, sel::kDefaultUnknown,
                             [&](Datum sample) { return col.against(sample, setType, rel); });
    col.close();
    ReleaseVariableStats(left);
    ReleaseVariableStats(right);
    return s;
}

// An estimator's call: (planner, operator, arguments, varRelid).
double restrictionCall(FunctionCallInfo fcinfo, sel::Relation rel) {
    return restrictionSelectivity(reinterpret_cast<PlannerInfo*>(PG_GETARG_POINTER(0)),
                                  reinterpret_cast<List*>(PG_GETARG_POINTER(2)), PG_GETARG_INT32(3), rel);
}

// A join estimator's call: (planner, operator, arguments, join type, join
// info); the join type does not change the estimate.
double joinCall(FunctionCallInfo fcinfo, sel::Relation rel) {
    return joinSelectivity(reinterpret_cast<PlannerInfo*>(PG_GETARG_POINTER(0)),
                           reinterpret_cast<List*>(PG_GETARG_POINTER(2)), rel);
}

#if QV_PG_HAS_SUPPORT_REQUESTS
// The relation a predicate function tests (by its fixed name).
sel::Relation relationOfFunction(Oid funcid) {
    char* name = get_func_name(funcid);
    sel::Relation rel = sel::kOverlap;
    if (name && std::strcmp(name, "qv_int4rangepacked_included_in_int4rangepacked") == 0) rel = sel::kIncluded;
    if (name && std::strcmp(name, "qv_int4rangepacked_contains_int4rangepacked") == 0) rel = sel::kContains;
    return rel;
}

// The operator of the index's family that the predicate call equals, with
// the indexed argument on its left: a member whose function is the
// predicate's own, or (indexed argument on the right) a member whose
// commutator's function is.  InvalidOid when the family has none.
Oid indexOperatorFor(Oid opfamily, Oid funcid, Oid indexedType, Oid otherType, bool commute) {
    for (int strategy = 1; strategy <= 32; ++strategy) {
        Oid op = get_opfamily_member(opfamily, indexedType, otherType, static_cast<int16>(strategy));
        if (!OidIsValid(op)) continue;
        Oid twin = commute ? get_commutator(op) : op;
        if (OidIsValid(twin) && get_opcode(twin) == funcid) return op;
    }
    return InvalidOid;
}
#endif

}  // namespace

extern "C" {

PG_FUNCTION_INFO_V1(qv_set_overlap_sel);
PG_FUNCTION_INFO_V1(qv_set_overlap_joinsel);
PG_FUNCTION_INFO_V1(qv_rangepacked_included_sel);
PG_FUNCTION_INFO_V1(qv_rangepacked_included_joinsel);
PG_FUNCTION_INFO_V1(qv_rangepacked_contains_sel);
PG_FUNCTION_INFO_V1(qv_rangepacked_contains_joinsel);
PG_FUNCTION_INFO_V1(qv_set_predicate_support);

// Restriction estimators: (planner, operator, arguments, varRelid).
Datum qv_set_overlap_sel(PG_FUNCTION_ARGS) { PG_RETURN_FLOAT8(restrictionCall(fcinfo, sel::kOverlap)); }
Datum qv_rangepacked_included_sel(PG_FUNCTION_ARGS) { PG_RETURN_FLOAT8(restrictionCall(fcinfo, sel::kIncluded)); }
Datum qv_rangepacked_contains_sel(PG_FUNCTION_ARGS) { PG_RETURN_FLOAT8(restrictionCall(fcinfo, sel::kContains)); }

// Join estimators: (planner, operator, arguments, join type, join info).
Datum qv_set_overlap_joinsel(PG_FUNCTION_ARGS) { PG_RETURN_FLOAT8(joinCall(fcinfo, sel::kOverlap)); }
Datum qv_rangepacked_included_joinsel(PG_FUNCTION_ARGS) { PG_RETURN_FLOAT8(joinCall(fcinfo, sel::kIncluded)); }
Datum qv_rangepacked_contains_joinsel(PG_FUNCTION_ARGS) { PG_RETURN_FLOAT8(joinCall(fcinfo, sel::kContains)); }

// Support of the predicate functions that have an operator twin: the
// operator's estimate, and the operator itself as a GiST index condition.
// Servers before 12 never call it.
Datum qv_set_predicate_support(PG_FUNCTION_ARGS) {
#if QV_PG_HAS_SUPPORT_REQUESTS
    Node* raw = reinterpret_cast<Node*>(PG_GETARG_POINTER(0));
    if (IsA(raw, SupportRequestSelectivity)) {
        SupportRequestSelectivity* req = reinterpret_cast<SupportRequestSelectivity*>(raw);
        sel::Relation rel = relationOfFunction(req->funcid);
        req->selectivity = req->is_join ? joinSelectivity(req->root, req->args, rel)
                                        : restrictionSelectivity(req->root, req->args, req->varRelid, rel);
        PG_RETURN_POINTER(req);
    }
    if (IsA(raw, SupportRequestIndexCondition)) {
        SupportRequestIndexCondition* req = reinterpret_cast<SupportRequestIndexCondition*>(raw);
        if (!IsA(req->node, FuncExpr)) PG_RETURN_POINTER(nullptr);
        List* args = reinterpret_cast<FuncExpr*>(req->node)->args;
        if (list_length(args) != 2 || req->indexarg > 1) PG_RETURN_POINTER(nullptr);
        Node* indexed = static_cast<Node*>(list_nth(args, req->indexarg));
        Node* other = static_cast<Node*>(list_nth(args, 1 - req->indexarg));
        if (!QV_PG_PSEUDO_CONSTANT_FOR_INDEX(req->root, other, req->index)) PG_RETURN_POINTER(nullptr);
        Oid op = indexOperatorFor(req->opfamily, req->funcid, exprType(indexed), exprType(other), req->indexarg == 1);
        if (!OidIsValid(op)) PG_RETURN_POINTER(nullptr);
        Expr* clause = make_opclause(op, BOOLOID, false, reinterpret_cast<Expr*>(indexed),
                                     reinterpret_cast<Expr*>(other), InvalidOid,
                                     reinterpret_cast<FuncExpr*>(req->node)->inputcollid);
        req->lossy = false;
        PG_RETURN_POINTER(list_make1(clause));
    }
#else
    (void) fcinfo;
#endif
    PG_RETURN_POINTER(nullptr);
}

}
