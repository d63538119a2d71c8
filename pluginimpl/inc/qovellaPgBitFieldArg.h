// Reading bitfield arguments: the varlena glue over the server-free reader.
#pragma once

#include "qovellaPgServer.h"
#include "qovellaPgBitField.h"
#include "qovellaPgStoredArg.h"

// Validates a detoasted bitfield by the size rule and returns its bounds and
// bits area [begin; end).  Never returns false: an invalid value raises 22023
// "invalid bitfield array" under the routine name getBitFieldInfo.
inline bool getBitFieldInfo(const varlena* value, const unsigned char*& begin,
                            const unsigned char*& end, int& lower, int& upper) {
    qv::bitField::View v = qv::bitField::readBitField(
        reinterpret_cast<const unsigned char*>(value), VARSIZE(value), "getBitFieldInfo");
    begin = v.begin;
    end = v.end;
    lower = v.lower;
    upper = v.upper;
    return true;
}

namespace qv {
namespace pg {

// Validates a detoasted value as a bitfield, failing as routine.
inline bitField::View bitFieldOf(const varlena* value, const char* routine) {
    return bitField::readBitField(reinterpret_cast<const unsigned char*>(value),
                                  VARSIZE(value), routine);
}

// Detoasts argument i and validates it as a bitfield, failing as routine.
// For callers whose call site outlives a query (index support functions).
inline bitField::View bitFieldArg(FunctionCallInfo fcinfo, int i, const char* routine) {
    struct varlena* raw = reinterpret_cast<struct varlena*>(DatumGetPointer(PG_GETARG_DATUM(i)));
    return bitFieldOf(pg_detoast_datum(raw), routine);
}

// The same for a set argument of an SQL-callable function: a stored bitfield
// is read once per call site.  The routine name defaults to getBitFieldInfo,
// the shared reader's.
inline bitField::View storedBitFieldArg(FunctionCallInfo fcinfo, int i,
                                        const char* routine = "getBitFieldInfo") {
    return bitFieldOf(storedArg(fcinfo, i), routine);
}

}  // namespace pg
}  // namespace qv
