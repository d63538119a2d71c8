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
