// Shared by the aggregates' support functions.
#pragma once

#include "qovellaPgServer.h"

extern "C" {
#include "fmgr.h"
}

#include "qovellaError.h"

namespace qv {
namespace pg {

// The aggregate memory context of the current call; a support function
// called outside an aggregate fails instead of running without one.
inline MemoryContext aggregateContext(FunctionCallInfo fcinfo, const char* routine) {
    MemoryContext context = nullptr;
    if (!AggCheckCallContext(fcinfo, &context))
        QV_ERROR(sqlstate::intervalFieldOverflow, routine, "%s called in non-aggregate context",
                 routine);
    return context;
}

}  // namespace pg
}  // namespace qv

// Aggregate states are allocated directly in the aggregate context, as
// core's array_agg does: no memory context per state.  Hashed aggregation
// measures its memory by adding up the aggregate context and every child of
// it each time it adds a group, so a context per state would make that
// quadratic in the number of groups and cost a whole block for a state of a
// few bytes.  The context still sees every byte the states hold, so hashed
// aggregation spills once they pass its limit.  States start small and grow
// by doubling.
//
// A deserialised state is the exception: the server calls the deserialise
// function in its per-input-tuple context and hands the state only to the
// combine function, which reads it into a new state of its own.  So the
// deserialised state is allocated in that current context and goes with the
// input tuple; the next one reuses its memory instead of touching fresh
// pages, which for partial states of tens of megabytes costs as much as
// copying them.
//
// A final function never releases the state it finalises: the server may
// finalise one state more than once.  A window does so once per row and goes
// on adding rows to the state (servers before 11 know no FINALFUNC_MODIFY to
// forbid that), and servers before 11 also let two aggregates over the same
// transition and arguments share one state, each with its own final call.
// The state's memory goes with the aggregate's context, which the server
// resets after each group and partition.
