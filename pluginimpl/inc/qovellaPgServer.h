// Server headers for the C++ glue, included first in every server source.
//
// The error contract.  Raising an error (ereport, elog, and every server
// call that can fail, palloc included) longjmps to the nearest PG_TRY or
// to the top of the backend: no destructor of the frames it crosses runs
// and no exception is thrown.  So nothing that needs a destructor to run
// may be live across such a call: only memory from the server's allocator
// (palloc, owned by a memory context that is reset on error), plain values
// and pointers into it.  The core takes its allocation and error policies
// as template parameters; the server instantiates them with palloc and
// ereport, the unit tests with malloc and a policy that throws where the
// server would jump.  The library is built without exceptions or RTTI, and
// this header refuses to compile otherwise.
#pragma once

#if defined(__cpp_exceptions) || defined(__EXCEPTIONS)
#error "the server glue must be compiled with -fno-exceptions: errors longjmp past C++ frames"
#endif

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
