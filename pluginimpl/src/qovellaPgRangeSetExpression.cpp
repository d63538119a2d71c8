// The set-expression aggregate qv_int4range_op(int2 word, int4[] operand):
// transition and final functions around qv::pgRangeArray::SetExpression.
//
// The state lives in the aggregate context; every call that allocates makes
// it current and restores the caller's context.  The final function closes
// the open groups of the state, so the aggregate is declared so that no
// further rows reach the state after it.
#include <new>

#include "qovellaPgSetExpression.h"
#include "qovellaPgUtils.h"
#include "qovellaPgAggregate.h"

namespace {

typedef qv::pgRangeArray::SetExpression<qvPalloc, qvPfree> Expression;

// The aggregate state: the expression, whose buffers are allocated in the
// aggregate context that every call obtains (256 bytes: one small chunk).
struct Int4RangeOpData {
    Expression expression;
};

// The final function destroys the state, so it must not run where the server
// may finalise one state more than once: as a window function (possible on
// servers without FINALFUNC_MODIFY, or through another aggregate declared
// over these support functions).
void refuseWindowContext(FunctionCallInfo fcinfo, const char* routine) {
    if (AggCheckCallContext(fcinfo, nullptr) == AGG_CONTEXT_WINDOW)
        QV_ERROR(qv::sqlstate::invalidParameterValue, routine,
                 "%s cannot be used as a window function", routine);
}

// A new state in the aggregate context.
Int4RangeOpData* createState(MemoryContext aggContext) {
    MemoryContext previous = MemoryContextSwitchTo(aggContext);
    Int4RangeOpData* state = static_cast<Int4RangeOpData*>(palloc0(sizeof(Int4RangeOpData)));
    new (&state->expression) Expression();
    MemoryContextSwitchTo(previous);
    return state;
}


Int4RangeOpData* stateArg(FunctionCallInfo fcinfo) {
    if (PG_ARGISNULL(0)) return nullptr;
    return reinterpret_cast<Int4RangeOpData*>(PG_GETARG_POINTER(0));
}

}  // namespace

extern "C" {

PG_FUNCTION_INFO_V1(qv_int4range_op_transfn);
PG_FUNCTION_INFO_V1(qv_int4range_op_finalfn);

// Folds one row (operation word, operand) into the state; a null operand
// leaves the state unchanged, parentheses included.
Datum qv_int4range_op_transfn(PG_FUNCTION_ARGS) {
    const char* routine = "qv_int4range_op_transfn";
    if (PG_ARGISNULL(1))
        QV_ERROR(qv::sqlstate::noData, routine, "null operation is not now allowed");
    MemoryContext aggContext = qv::pg::aggregateContext(fcinfo, routine);
    Int4RangeOpData* state = stateArg(fcinfo);
    if (!state) state = createState(aggContext);
    if (PG_ARGISNULL(2)) PG_RETURN_POINTER(state);

    MemoryContext previous = MemoryContextSwitchTo(aggContext);
    std::uint16_t word = static_cast<std::uint16_t>(PG_GETARG_DATUM(1) & 0xFFFF);
    qv::pg::Int4Elements operand = qv::pg::int4Elements(qv::pg::arrayArg(fcinfo, 2));
    state->expression.addValue(word, operand.data, operand.count);
    MemoryContextSwitchTo(previous);
    PG_RETURN_POINTER(state);
}

// Closes the groups left open and returns the root set as a range array;
// a second call on the same state gives the same set.  No rows at all give
// the empty array.
Datum qv_int4range_op_finalfn(PG_FUNCTION_ARGS) {
    const char* routine = "qv_int4range_op_finalfn";
    MemoryContext aggContext = qv::pg::aggregateContext(fcinfo, routine);
    refuseWindowContext(fcinfo, routine);
    Int4RangeOpData* state = stateArg(fcinfo);
    if (!state) PG_RETURN_ARRAYTYPE_P(qv::pg::rangeArrayResult(nullptr, 0));

    MemoryContext previous = MemoryContextSwitchTo(aggContext);
    state->expression.closeAllGroups();
    MemoryContextSwitchTo(previous);

    const Expression::Vector& root = state->expression.root();
    if (root.size > static_cast<qv::pg::tSize>(PG_INT32_MAX / 2))
        QV_ERROR(qv::sqlstate::intervalFieldOverflow, routine, "array overflow ");
    PG_RETURN_ARRAYTYPE_P(qv::pg::rangeArrayResult(root.data, root.size));
}

}
