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
// by doubling; the final function frees a state's buffers itself.
