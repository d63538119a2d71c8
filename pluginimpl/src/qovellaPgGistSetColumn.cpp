// GiST operator class of range-array columns: compress, consistent, union,
// penalty, picksplit, same and sort support over the key of
// qovellaPgSetKey.h, stored as a bytea of its own layout (at most
// kMaxRanges ranges: never large enough for the server to compress it).
// Leaf keys hold up to kLeafRanges ranges, or a row's signature; inner keys
// up to kInnerRanges ranges.
#include "qovellaPgUtils.h"

#include "qovellaPgGistServer.h"

extern "C" {
#include "utils/sortsupport.h"
}

#include "qovellaPgSetKey.h"
#include "qovellaPgStoredArg.h"

namespace {

namespace sk = qv::setKey;

constexpr std::size_t kLeafRanges = 4;
constexpr std::size_t kInnerRanges = 16;
static_assert(kLeafRanges <= sk::kMaxRanges && kInnerRanges <= sk::kMaxRanges, "keys hold kMaxRanges at most");

// Reads a stored key (short header or not; never compressed).
void readKey(Datum d, sk::Key& key, const char* routine) {
    const varlena* v = pg_detoast_datum_packed(reinterpret_cast<varlena*>(DatumGetPointer(d)));
    if (!sk::load(VARDATA_ANY(v), VARSIZE_ANY_EXHDR(v), key))
        QV_ERROR(qv::sqlstate::indexCorrupted, routine, "invalid range array index key");
}

// A new bytea holding the key.
bytea* keyDatum(const sk::Key& key) {
    const std::size_t n = sk::storedSize(key);
    bytea* b = allocateBytea(VARHDRSZ + n);
    sk::store(key, VARDATA(b));
    return b;
}

// The ranges of an int4[] by the shape rule (an odd trailing element is
// left out here: such a row is not well formed, see rowKey).
void rowKey(Datum d, sk::Key& key) {
    const ArrayType* a = reinterpret_cast<const ArrayType*>(pg_detoast_datum(reinterpret_cast<varlena*>(DatumGetPointer(d))));
    qv::pg::Int4Elements e = qv::pg::int4Elements(a);
    const auto* r = reinterpret_cast<const sk::Range<int>*>(e.data);
    if (e.count % 2 != 0) {
        key.universal = true;  // the set tests fail on it, or read it their own way
        key.signature = false;
        key.count = 0;
        return;
    }
    sk::leafKey(r, e.count / 2, kLeafRanges, key);
}

// What a consistent call site keeps of its range-array query: the bytes of
// the datum it was given (an on-disk pointer to a stored value, or the
// value in line) and what was read of it.  The server keeps a scan key's
// call site across rescans with other arguments, so the query is known by
// its bytes, never by its address.
struct QueryCache {
    varlena* raw;
    varlena* value;  // detoasted: the query's ranges lie in it
    sk::Query query;
};

// The query of a range-array strategy, read and classified once per call
// site and query (an expanded in-memory array is read at every call).
const sk::Query& setQuery(FunctionCallInfo fcinfo, sk::Query& local) {
    FmgrInfo* site = fcinfo->flinfo;
    varlena* raw = reinterpret_cast<varlena*>(DatumGetPointer(PG_GETARG_DATUM(1)));
    const bool keep = !VARATT_IS_EXTERNAL(raw) || VARATT_IS_EXTERNAL_ONDISK(raw);
    auto* cache = static_cast<QueryCache*>(site->fn_extra);
    if (keep && cache && VARSIZE_ANY(cache->raw) == VARSIZE_ANY(raw) &&
        std::memcmp(cache->raw, raw, VARSIZE_ANY(raw)) == 0)
        return cache->query;
    sk::Query* q = &local;
    MemoryContext previous = CurrentMemoryContext;
    if (keep) {
        if (!cache) {
            cache = static_cast<QueryCache*>(MemoryContextAllocZero(site->fn_mcxt, sizeof(QueryCache)));
            site->fn_extra = cache;
        }
        if (cache->raw) {
            pfree(cache->raw);
            pfree(cache->value);
            cache->raw = cache->value = nullptr;
        }
        previous = MemoryContextSwitchTo(site->fn_mcxt);
        q = &cache->query;
    }
    const ArrayType* a = reinterpret_cast<const ArrayType*>(pg_detoast_datum_copy(raw));
    if (keep) {
        cache->value = reinterpret_cast<varlena*>(const_cast<ArrayType*>(a));
        cache->raw = static_cast<varlena*>(palloc(VARSIZE_ANY(raw)));
        std::memcpy(cache->raw, raw, VARSIZE_ANY(raw));
    }
    MemoryContextSwitchTo(previous);
    qv::pg::Int4Elements e = qv::pg::int4Elements(a);
    const auto* r = reinterpret_cast<const sk::Range<int>*>(e.data);
    q->form = sk::formOf(e.data, e.count);
    q->set = sk::RangeSpan{r, r + e.count / 2};
    return *q;
}

int compareKeyDatums(Datum a, Datum b, SortSupport) {
    sk::Key x, y;
    readKey(a, x, "qv_gist_rangearray_sortsupport");
    readKey(b, y, "qv_gist_rangearray_sortsupport");
    return sk::compare(x, y);
}

}  // namespace

extern "C" {

PG_FUNCTION_INFO_V1(qv_gist_rangearray_compress);
PG_FUNCTION_INFO_V1(qv_gist_rangearray_consistent);
PG_FUNCTION_INFO_V1(qv_gist_rangearray_union);
PG_FUNCTION_INFO_V1(qv_gist_rangearray_penalty);
PG_FUNCTION_INFO_V1(qv_gist_rangearray_picksplit);
PG_FUNCTION_INFO_V1(qv_gist_rangearray_same);
PG_FUNCTION_INFO_V1(qv_gist_rangearray_sortsupport);

// A row's range array becomes its leaf key; inner keys are kept as made.
Datum qv_gist_rangearray_compress(PG_FUNCTION_ARGS) {
    GISTENTRY* entry = reinterpret_cast<GISTENTRY*>(PG_GETARG_POINTER(0));
    if (!entry->leafkey) PG_RETURN_POINTER(entry);
    GISTENTRY* fresh = static_cast<GISTENTRY*>(palloc(sizeof(GISTENTRY)));
    sk::Key key;
    rowKey(entry->key, key);
    gistentryinit(*fresh, PointerGetDatum(keyDatum(key)), entry->rel, entry->page, entry->offset, false);
    PG_RETURN_POINTER(fresh);
}

// Whether the entry's row (leaf) or subtree (inner) may satisfy the query;
// every match is rechecked by the operator.
Datum qv_gist_rangearray_consistent(PG_FUNCTION_ARGS) {
    const char* routine = "qv_gist_rangearray_consistent";
    const GISTENTRY* entry = reinterpret_cast<GISTENTRY*>(PG_GETARG_POINTER(0));
    const StrategyNumber strategy = PG_GETARG_UINT16(2);
    bool* recheck = reinterpret_cast<bool*>(PG_GETARG_POINTER(4));
    *recheck = true;
    sk::Query local{};
    const sk::Query* q = &local;
    switch (strategy) {
        case sk::kContainsValue: local.value = PG_GETARG_INT32(1); break;
        case sk::kOverlapsPacked: {
            const std::int64_t packed = PG_GETARG_INT64(1);
            local.lo = static_cast<std::int32_t>(packed & 0xFFFFFFFF);
            local.hi = static_cast<std::int32_t>(packed >> 32);
            break;
        }
        case sk::kOverlapsSet:
        case sk::kContainsSet:
        case sk::kContainedInSet: q = &setQuery(fcinfo, local); break;
        default: QV_ERROR(qv::sqlstate::invalidParameterValue, routine, "GIST consistent unimplemented strategy");
    }
    sk::Key key;
    readKey(entry->key, key, routine);
    PG_RETURN_BOOL(sk::consistent(strategy, key, GIST_LEAF(entry), *q));
}

// The key covering every entry of the vector.
Datum qv_gist_rangearray_union(PG_FUNCTION_ARGS) {
    const GistEntryVector* entries = reinterpret_cast<GistEntryVector*>(PG_GETARG_POINTER(0));
    int* size = reinterpret_cast<int*>(PG_GETARG_POINTER(1));
    sk::Key all, next;
    readKey(entries->vector[0].key, all, "qv_gist_rangearray_union");
    for (int i = 1; i < entries->n; ++i) {
        readKey(entries->vector[i].key, next, "qv_gist_rangearray_union");
        sk::unite(all, next, kInnerRanges, all);
    }
    all.signature = false;  // inner keys are ranges: a signature's is its bounding range
    bytea* result = keyDatum(all);
    *size = VARSIZE(result);
    PG_RETURN_POINTER(result);
}

// Values the first entry's key must take on to cover the second's.
Datum qv_gist_rangearray_penalty(PG_FUNCTION_ARGS) {
    const GISTENTRY* existing = reinterpret_cast<GISTENTRY*>(PG_GETARG_POINTER(0));
    const GISTENTRY* added = reinterpret_cast<GISTENTRY*>(PG_GETARG_POINTER(1));
    float* penalty = reinterpret_cast<float*>(PG_GETARG_POINTER(2));
    sk::Key a, b;
    readKey(existing->key, a, "qv_gist_rangearray_penalty");
    readKey(added->key, b, "qv_gist_rangearray_penalty");
    *penalty = static_cast<float>(sk::penalty(a, b, kInnerRanges));
    PG_RETURN_POINTER(penalty);
}

// Splits an overflowing page's entries (offsets 1 to n - 1) in two groups
// by the core's ordered cut.
Datum qv_gist_rangearray_picksplit(PG_FUNCTION_ARGS) {
    const char* routine = "qv_gist_rangearray_picksplit";
    const GistEntryVector* entries = reinterpret_cast<GistEntryVector*>(PG_GETARG_POINTER(0));
    GIST_SPLITVEC* split = reinterpret_cast<GIST_SPLITVEC*>(PG_GETARG_POINTER(1));
    const std::size_t n = entries->n > 1 ? std::size_t(entries->n - 1) : 0;
    if (n < 2) QV_ERROR(qv::sqlstate::indexCorrupted, routine, "GIST picksplit needs two entries at least");
    sk::Key* keys = static_cast<sk::Key*>(palloc(2 * n * sizeof(sk::Key)));
    std::uint32_t* order = static_cast<std::uint32_t*>(palloc(n * sizeof(std::uint32_t)));
    for (std::size_t i = 0; i < n; ++i) readKey(entries->vector[i + 1].key, keys[i], routine);
    sk::Key left, right;
    const std::size_t cut = sk::split(keys, n, kInnerRanges, order, keys + n, left, right);
    split->spl_left = static_cast<OffsetNumber*>(palloc(n * sizeof(OffsetNumber)));
    split->spl_right = static_cast<OffsetNumber*>(palloc(n * sizeof(OffsetNumber)));
    split->spl_nleft = split->spl_nright = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const OffsetNumber off = static_cast<OffsetNumber>(order[i] + 1);
        if (i < cut) split->spl_left[split->spl_nleft++] = off;
        else split->spl_right[split->spl_nright++] = off;
    }
    split->spl_ldatum = PointerGetDatum(keyDatum(left));
    split->spl_rdatum = PointerGetDatum(keyDatum(right));
    pfree(keys);
    pfree(order);
    PG_RETURN_POINTER(split);
}

// Whether two keys are equal.
Datum qv_gist_rangearray_same(PG_FUNCTION_ARGS) {
    const varlena* a = PG_DETOAST_DATUM_PACKED(PG_GETARG_DATUM(0));
    const varlena* b = PG_DETOAST_DATUM_PACKED(PG_GETARG_DATUM(1));
    bool* result = reinterpret_cast<bool*>(PG_GETARG_POINTER(2));
    *result = VARSIZE_ANY_EXHDR(a) == VARSIZE_ANY_EXHDR(b) &&
              std::memcmp(VARDATA_ANY(a), VARDATA_ANY(b), VARSIZE_ANY_EXHDR(a)) == 0;
    PG_RETURN_POINTER(result);
}

// Installs the key comparator for a sorted build.
Datum qv_gist_rangearray_sortsupport(PG_FUNCTION_ARGS) {
    SortSupport ssup = reinterpret_cast<SortSupport>(PG_GETARG_POINTER(0));
    ssup->comparator = compareKeyDatums;
    PG_RETURN_VOID();
}

}
