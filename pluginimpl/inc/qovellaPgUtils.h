// Result allocation and argument readers shared by all SQL-callable functions.
#pragma once

#include <cstddef>

#include "qovellaPgServer.h"
#include "qovellaPgVector.h"
#include "qovellaPgRangeArray.h"

namespace qv {
namespace pg {
// The vector the server code uses.
template <typename T>
using PgVector = tVector<T, qvPalloc, qvPfree>;
}  // namespace pg
}  // namespace qv

// A bytea of total bytes (header included); the payload is left to the caller.
bytea* allocateBytea(std::size_t total);

namespace pg {

// Header of the one-dimensional array results: 24 bytes, no null bitmap.
constexpr std::size_t kResultArrayHeader = 24;

// Fills the header of a one-dimensional array of n elements (lower bound 1,
// no nulls) whose elements follow it.
template <typename T, Oid typeOid>
void setResultArrayHeader(ArrayType* a, std::size_t n) {
    SET_VARSIZE(a, kResultArrayHeader + n * sizeof(T));
    a->ndim = 1;
    a->dataoffset = 0;
    a->elemtype = typeOid;
    ARR_DIMS(a)[0] = static_cast<int>(n);
    ARR_LBOUND(a)[0] = 1;
}

// A zeroed one-dimensional array of n elements (lower bound 1, no nulls).
template <typename T, Oid typeOid>
ArrayType* allocateResultArray(std::size_t n) {
    ArrayType* a = nullptr;
    if (n <= (MaxAllocSize - kResultArrayHeader) / sizeof(T))
        a = static_cast<ArrayType*>(palloc0(kResultArrayHeader + n * sizeof(T)));
    if (!a) QV_ERROR(::qv::sqlstate::outOfMemory, "allocateResultArray", nullptr);
    setResultArrayHeader<T, typeOid>(a, n);
    return a;
}

// Allocation functions for a vector whose elements become an array result
// where they lie: every buffer has room for the array header before it.
inline void* pallocArrayBody(std::size_t bytes) {
    if (bytes > MaxAllocSize - kResultArrayHeader) return nullptr;
    return static_cast<char*>(palloc(kResultArrayHeader + bytes)) + kResultArrayHeader;
}
inline void pfreeArrayBody(void* body) { pfree(static_cast<char*>(body) - kResultArrayHeader); }

}  // namespace pg

namespace qv {
namespace pg {

// Elements of an int4[] read in place by the shape rule: a one-dimensional
// array without null bitmap yields its elements, any other shape none.
struct Int4Elements {
    const std::int32_t* data;
    std::size_t count;
};

inline Int4Elements int4Elements(const ArrayType* a) {
    if (ARR_NDIM(a) != 1 || ARR_HASNULL(a)) return Int4Elements{nullptr, 0};
    return Int4Elements{reinterpret_cast<const std::int32_t*>(ARR_DATA_PTR(a)),
                        static_cast<std::size_t>(ARR_DIMS(a)[0])};
}

// Reads a detoasted range-array argument; an odd count fails as routine.
inline pgRangeArray::RangeSpan readRangeArray(const ArrayType* a, const char* routine) {
    Int4Elements e = int4Elements(a);
    return pgRangeArray::rangesFromElements(e.data, e.count, routine);
}

// Whether the array's elements are int4.
inline bool isInt4Array(const ArrayType* a) { return ARR_ELEMTYPE(a) == INT4OID; }

// Fails with 22023 "accept only int4[]" unless the elements are int4.
inline void requireInt4Array(const ArrayType* a, const char* routine) {
    if (!isInt4Array(a))
        QV_ERROR(::qv::sqlstate::invalidParameterValue, routine, "accept only int4[]");
}

// Detoasts argument i as an array (possibly the caller's own datum).
inline ArrayType* arrayArg(FunctionCallInfo fcinfo, int i) {
    return reinterpret_cast<ArrayType*>(pg_detoast_datum(
        reinterpret_cast<struct varlena*>(DatumGetPointer(PG_GETARG_DATUM(i)))));
}

// A new int4[] holding the n values at data, copied in one block.
inline ArrayType* int4ArrayResult(const std::int32_t* data, std::size_t n) {
    ArrayType* r = ::pg::allocateResultArray<int, INT4OID>(n);
    if (n) std::memcpy(ARR_DATA_PTR(r), data, n * sizeof(*data));
    return r;
}

// A vector of ranges that becomes an int4[] result without a copy.
using RangeArrayBody = tVector<pgRangeArray::Range<int>, ::pg::pallocArrayBody, ::pg::pfreeArrayBody>;

// The int4[] of the ranges in v, made in v's own buffer (given one if it
// has none, for an empty result); v is left empty.
inline ArrayType* adoptRangeArray(RangeArrayBody& v) {
    if (!v.data) v.reserve(1);
    ArrayType* r = reinterpret_cast<ArrayType*>(reinterpret_cast<char*>(v.data) - ::pg::kResultArrayHeader);
    ::pg::setResultArrayHeader<int, INT4OID>(r, 2 * v.size);
    v.abandon();
    return r;
}

// A new int4[] holding the ranges of [begin; end), copied in one block.
inline ArrayType* rangeArrayResult(const pgRangeArray::Range<int>* begin, std::size_t n) {
    ArrayType* r = ::pg::allocateResultArray<int, INT4OID>(2 * n);
    if (n) std::memcpy(ARR_DATA_PTR(r), begin, n * sizeof(*begin));
    return r;
}

}  // namespace pg
}  // namespace qv
