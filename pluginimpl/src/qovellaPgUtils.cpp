// Result allocation helpers.
#include "qovellaPgUtils.h"

bytea* allocateBytea(std::size_t total) {
    bytea* b = nullptr;
    if (total >= VARHDRSZ && total <= MaxAllocSize) b = static_cast<bytea*>(palloc(total));
    if (!b) QV_ERROR(qv::sqlstate::outOfMemory, "allocateBytea", nullptr);
    SET_VARSIZE(b, total);
    return b;
}
