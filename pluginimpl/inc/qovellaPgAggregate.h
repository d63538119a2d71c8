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

// A new memory context under parent for one aggregate state, named after the
// function that creates the state.  A macro: the server takes context names
// as string literals only.
#define QV_STATE_CONTEXT(parent, name) AllocSetContextCreate((parent), name, ALLOCSET_DEFAULT_SIZES)

// A final function never releases the state it finalises: the server may
// finalise one state more than once.  A window does so once per row and goes
// on adding rows to the state (servers before 11 know no FINALFUNC_MODIFY to
// forbid that), and servers before 11 also let two aggregates over the same
// transition and arguments share one state, each with its own final call.
// The state's memory goes with the aggregate's context, which the server
// resets after each group and partition.
