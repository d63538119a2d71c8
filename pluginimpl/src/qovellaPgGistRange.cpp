// GiST support functions of the packed-range operator classes: compress,
// decompress, fetch, union, same, penalty and picksplit.  The index key is a packed
// range held by value; leaf keys of an int4 column are one-value ranges.
#include "qovellaPgUtils.h"

#include "qovellaPgGistServer.h"

#include "qovellaPgGistPenalty.h"
#include "qovellaPgGistSplit.h"
#include "qovellaPgPackedRange.h"

namespace {

// A new leaf entry holding key, placed where entry lies.
GISTENTRY* entryWithKey(const GISTENTRY* entry, std::int64_t key) {
    GISTENTRY* fresh = static_cast<GISTENTRY*>(palloc(sizeof(GISTENTRY)));
    gistentryinit(*fresh, Int64GetDatum(key), entry->rel, entry->page, entry->offset, false);
    return fresh;
}

inline std::int64_t entryKey(const GISTENTRY* entry) { return DatumGetInt64(entry->key); }

}  // namespace

extern "C" {

PG_FUNCTION_INFO_V1(qv_gist_range_compress_int4);
PG_FUNCTION_INFO_V1(qv_gist_range_compress_int8);
PG_FUNCTION_INFO_V1(qv_gist_range_decompress);
PG_FUNCTION_INFO_V1(qv_gist_range_fetch_int4);
PG_FUNCTION_INFO_V1(qv_gist_range_union);
PG_FUNCTION_INFO_V1(qv_gist_range_same);
PG_FUNCTION_INFO_V1(qv_gist_range_penalty);
PG_FUNCTION_INFO_V1(qv_gist_range_picksplit);

// An int4 leaf value v becomes the key [v; v].
Datum qv_gist_range_compress_int4(PG_FUNCTION_ARGS) {
    GISTENTRY* entry = reinterpret_cast<GISTENTRY*>(PG_GETARG_POINTER(0));
    if (!entry->leafkey) PG_RETURN_POINTER(entry);
    const std::int32_t v = DatumGetInt32(entry->key);
    PG_RETURN_POINTER(entryWithKey(entry, qv::packedRange::pack(v, v)));
}

// An int8 leaf value is its own key, once checked to be a valid range.
Datum qv_gist_range_compress_int8(PG_FUNCTION_ARGS) {
    GISTENTRY* entry = reinterpret_cast<GISTENTRY*>(PG_GETARG_POINTER(0));
    if (!entry->leafkey) PG_RETURN_POINTER(entry);
    const std::int64_t key = entryKey(entry);
    const std::int32_t lo = qv::packedRange::lower(key), hi = qv::packedRange::upper(key);
    if (hi < lo)
        QV_ERROR(qv::sqlstate::invalidParameterValue, "qv_gist_range_compress_int8",
                 "GIST invalid input packed range [%d;%d]", lo, hi);
    PG_RETURN_POINTER(entryWithKey(entry, key));
}

// Keys are stored as they are used.
Datum qv_gist_range_decompress(PG_FUNCTION_ARGS) {
    PG_RETURN_POINTER(PG_GETARG_POINTER(0));
}

// The int4 value of a leaf key [v; v], for index-only scans.  (An int8
// column's key is its value: its class fetches with decompress.)
Datum qv_gist_range_fetch_int4(PG_FUNCTION_ARGS) {
    GISTENTRY* entry = reinterpret_cast<GISTENTRY*>(PG_GETARG_POINTER(0));
    GISTENTRY* fresh = static_cast<GISTENTRY*>(palloc(sizeof(GISTENTRY)));
    gistentryinit(*fresh, Int32GetDatum(qv::packedRange::lower(entryKey(entry))), entry->rel,
                  entry->page, entry->offset, false);
    PG_RETURN_POINTER(fresh);
}

// Bounding range of all entries of the vector.
Datum qv_gist_range_union(PG_FUNCTION_ARGS) {
    const GistEntryVector* entries = reinterpret_cast<GistEntryVector*>(PG_GETARG_POINTER(0));
    int* size = reinterpret_cast<int*>(PG_GETARG_POINTER(1));
    std::int64_t first = entryKey(&entries->vector[0]);
    std::int32_t lo = qv::packedRange::lower(first), hi = qv::packedRange::upper(first);
    for (int i = 1; i < entries->n; ++i) {
        const std::int64_t key = entryKey(&entries->vector[i]);
        lo = std::min(lo, qv::packedRange::lower(key));
        hi = std::max(hi, qv::packedRange::upper(key));
    }
    *size = sizeof(std::int64_t);
    PG_RETURN_INT64(qv::packedRange::pack(lo, hi));
}

// Whether two keys are the same range.
Datum qv_gist_range_same(PG_FUNCTION_ARGS) {
    bool* result = reinterpret_cast<bool*>(PG_GETARG_POINTER(2));
    *result = PG_GETARG_INT64(0) == PG_GETARG_INT64(1);
    PG_RETURN_POINTER(result);
}

// Cost of adding the second entry's key under the first entry's key.
Datum qv_gist_range_penalty(PG_FUNCTION_ARGS) {
    const GISTENTRY* existing = reinterpret_cast<GISTENTRY*>(PG_GETARG_POINTER(0));
    const GISTENTRY* added = reinterpret_cast<GISTENTRY*>(PG_GETARG_POINTER(1));
    float* penalty = reinterpret_cast<float*>(PG_GETARG_POINTER(2));
    *penalty = qv::gistRange::computePenalty(entryKey(existing), entryKey(added));
    PG_RETURN_POINTER(penalty);
}

// Splits an overflowing page's entries (offsets 1 to n - 1) in two groups.
Datum qv_gist_range_picksplit(PG_FUNCTION_ARGS) {
    const GistEntryVector* entries = reinterpret_cast<GistEntryVector*>(PG_GETARG_POINTER(0));
    GIST_SPLITVEC* split = reinterpret_cast<GIST_SPLITVEC*>(PG_GETARG_POINTER(1));
    const int n = entries->n - 1;
    const OffsetNumber maxoff = static_cast<OffsetNumber>(n < 0 ? 0 : n);
    const std::size_t room = (maxoff ? maxoff : 1) * sizeof(OffsetNumber);
    qv::gistRange::SplitGroup left{static_cast<OffsetNumber*>(palloc(room)), 0, 0};
    qv::gistRange::SplitGroup right{static_cast<OffsetNumber*>(palloc(room)), 0, 0};
    split->spl_left = left.offsets;
    split->spl_right = right.offsets;
    split->spl_nleft = split->spl_nright = 0;
    qv::gistRange::splitPackedRanges<qvPalloc, qvPfree>(
        maxoff, [entries](OffsetNumber i) { return entryKey(&entries->vector[i]); }, left, right);
    split->spl_nleft = left.count;
    split->spl_nright = right.count;
    split->spl_ldatum = Int64GetDatum(left.bounds);
    split->spl_rdatum = Int64GetDatum(right.bounds);
    PG_RETURN_POINTER(split);
}

}
