// Reading bitfield arguments: the varlena glue over the server-free reader.
#pragma once

#include "qovellaPgServer.h"
#include "qovellaPgBitField.h"

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

// Detoasts argument i and validates it as a bitfield, failing as routine.
inline bitField::View bitFieldArg(FunctionCallInfo fcinfo, int i, const char* routine) {
    const varlena* value = pg_detoast_datum(
        reinterpret_cast<struct varlena*>(DatumGetPointer(PG_GETARG_DATUM(i))));
    return bitField::readBitField(reinterpret_cast<const unsigned char*>(value),
                                  VARSIZE(value), routine);
}

// The same under getBitFieldInfo, the shared reader's routine name.
inline bitField::View bitFieldArg(FunctionCallInfo fcinfo, int i) {
    return bitFieldArg(fcinfo, i, "getBitFieldInfo");
}

}  // namespace pg
}  // namespace qv
