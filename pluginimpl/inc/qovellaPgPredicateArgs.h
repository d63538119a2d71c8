// Argument readers of the membership and set-versus-set predicates.
#pragma once

#include "qovellaPgRangeFastPaths.h"
#include "qovellaPgStoredArg.h"
#include "qovellaPgUtils.h"

namespace qv {
namespace pg {

// Reads a range-array argument by the shape rule (a stored one once per call
// site); a plain array of odd length fails with 22023 "invalid range array"
// as routine.  note: as for storedArg.
inline pgRangeArray::RangeSpan rangeArrayArg(FunctionCallInfo fcinfo, int i, const char* routine,
                                             unsigned char** note = nullptr) {
    Int4Elements e = int4Elements(storedArrayArg(fcinfo, i, note));
    return pgRangeArray::rangesFromElements(e.data, e.count, routine, "invalid range array",
                                            sqlstate::invalidParameterValue);
}

// What a call site knows of the form of its two range-array arguments: the
// notes kept with their cached copies (null for one read in place), so that
// a stored set's form is checked once, when a kernel first needs it.
struct ArgForms {
    unsigned char* notes[2] = {nullptr, nullptr};
    pgRangeArray::fast::Forms forms;

    // The notes' knowledge, for a kernel; call after both arguments are read.
    pgRangeArray::fast::Forms* load() {
        forms.a = notes[0] ? pgRangeArray::fast::Form(*notes[0]) : pgRangeArray::fast::kFormUnknown;
        forms.b = notes[1] ? pgRangeArray::fast::Form(*notes[1]) : pgRangeArray::fast::kFormUnknown;
        return &forms;
    }
    // Keeps what the kernel learnt with the cached copies.
    void keep() const {
        if (notes[0]) *notes[0] = forms.a;
        if (notes[1]) *notes[1] = forms.b;
    }
};

}  // namespace pg
}  // namespace qv
