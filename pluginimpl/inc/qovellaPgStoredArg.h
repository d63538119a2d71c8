// Set arguments stored out of line, read once per call site: a query that
// passes the same stored set row after row (a joined-in set column, a
// correlated sub-select) detoasts it on the first call only.
#pragma once

#include "qovellaPgServer.h"

namespace qv {
namespace pg {

// Argument positions a call site keeps a copy for (0, 1 and 2).
constexpr int kStoredArgSlots = 3;

// Argument i detoasted.  A pointer to a value stored on disk out of line is
// identified by the pointer itself (TOAST relation, value id and sizes: a
// new or changed stored value gets a new value id), so the call site keeps
// the last copy it read for that position in fn_extra (in fn_mcxt) and
// returns it while the next call passes an equal pointer: a compare of four
// words, never of the data.  Any other argument (in line, compressed in
// line, in memory) is read in place as before, and so is every argument of
// a call without a call site (flinfo null).  The result is read-only.
//
// note, when given, is set to a byte kept with the cached copy (zero when
// the copy is new, kept while it is reused), where the caller may remember
// what it learnt of the value (the form of a range array); null when the
// argument is not cached.
const varlena* storedArg(FunctionCallInfo fcinfo, int i, unsigned char** note = nullptr);

// The same viewed as an array.
inline const ArrayType* storedArrayArg(FunctionCallInfo fcinfo, int i, unsigned char** note = nullptr) {
    return reinterpret_cast<const ArrayType*>(storedArg(fcinfo, i, note));
}

}  // namespace pg
}  // namespace qv
