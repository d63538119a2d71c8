// Server headers for the C++ glue, included first in every server source.
#pragma once

extern "C" {
#include "postgres.h"
#include "fmgr.h"
#include "catalog/pg_type.h"
#include "utils/array.h"
#include "utils/memutils.h"
}

#include "qovellaPgCompat.h"

// C++ wrappers of palloc/pfree for the allocation template parameters.
// Requests past the server's single-allocation limit yield no memory, so
// the caller reports them as out of memory instead of palloc's internal error.
inline void* qvPalloc(std::size_t bytes) {
    if (bytes > MaxAllocSize) return nullptr;
    return palloc(bytes);
}
inline void qvPfree(void* p) { pfree(p); }
