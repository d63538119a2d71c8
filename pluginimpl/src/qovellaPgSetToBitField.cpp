// qv_int4set2bitfield_int4: a set given as a scalar, range or mix array,
// written as a bitfield of exactly the size its bounds demand.
#include "qovellaPgUtils.h"
#include "qovellaPgSetToBitField.h"

extern "C" {

PG_FUNCTION_INFO_V1(qv_int4set2bitfield_int4);

// Bounds from a scan of the set, then the value at its exact size, zeroed,
// then the bits: one allocation.
Datum qv_int4set2bitfield_int4(PG_FUNCTION_ARGS) {
    constexpr const char* routine = "qv_int4set2bitfield_int4";
    qv::pgRangeArray::ArrayDataType type = qv::pgRangeArray::ArrayDataTypeFromChar(PG_GETARG_CHAR(0));
    ArrayType* a = qv::pg::arrayArg(fcinfo, 1);
    qv::pg::requireInt4Array(a, routine);
    qv::pg::Int4Elements e = qv::pg::int4Elements(a);
    if (type == qv::pgRangeArray::kRangeArray)
        qv::pgRangeArray::rangesOfSet(e.data, e.count, routine);  // only the even count is checked
    qv::bitField::SetElements set{type, e.data, e.count};
    qv::bitField::SetBounds bounds = qv::bitField::setBounds(set, routine);
    bytea* result = allocateBytea(qv::bitField::bitFieldSize(bounds));
    qv::bitField::writeBitField(reinterpret_cast<unsigned char*>(result), set, bounds, routine);
    PG_RETURN_BYTEA_P(result);
}

}
