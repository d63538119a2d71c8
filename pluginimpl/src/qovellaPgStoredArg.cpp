// The call-site cache of stored set arguments.
#include <cstring>

#include "qovellaPgStoredArg.h"

namespace {

// One argument position: the on-disk pointer the copy was read from and
// the detoasted copy (null until the first stored value comes), and the
// caller's note on the copy.
struct StoredSlot {
    varatt_external id;
    varlena* value;
    unsigned char note;
};

struct StoredArgCache {
    StoredSlot slots[qv::pg::kStoredArgSlots];
};

// The pointer's identity; its four fields are compared as one block, which
// holds whatever the server version names them.
static_assert(sizeof(varatt_external) == 16, "an on-disk pointer holds four 4-byte fields");

}  // namespace

namespace qv {
namespace pg {

const varlena* storedArg(FunctionCallInfo fcinfo, int i, unsigned char** note) {
    varlena* raw = reinterpret_cast<varlena*>(DatumGetPointer(PG_GETARG_DATUM(i)));
    FmgrInfo* site = fcinfo->flinfo;
    if (note) *note = nullptr;
    if (!VARATT_IS_EXTERNAL_ONDISK(raw) || !site || i < 0 || i >= kStoredArgSlots)
        return pg_detoast_datum(raw);

    varatt_external id;
    std::memcpy(&id, VARDATA_EXTERNAL(raw), sizeof(id));
    auto* cache = static_cast<StoredArgCache*>(site->fn_extra);
    if (!cache) {
        cache = static_cast<StoredArgCache*>(
            MemoryContextAllocZero(site->fn_mcxt, sizeof(StoredArgCache)));
        site->fn_extra = cache;
    }
    StoredSlot& slot = cache->slots[i];
    if (note) *note = &slot.note;
    if (slot.value && std::memcmp(&slot.id, &id, sizeof(id)) == 0) return slot.value;

    // The new copy is read before the old one goes: a failed read leaves
    // the slot as it was, still matching its own pointer.
    MemoryContext previous = MemoryContextSwitchTo(site->fn_mcxt);
    varlena* value = pg_detoast_datum(raw);
    MemoryContextSwitchTo(previous);
    if (slot.value) pfree(slot.value);
    slot.value = value;
    slot.id = id;
    slot.note = 0;
    return value;
}

}  // namespace pg
}  // namespace qv
