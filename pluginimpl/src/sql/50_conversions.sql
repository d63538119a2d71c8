
-- conversions, counting, sorting and payload decoding

CREATE FUNCTION qv_int4setconv_int4("char", int4[], "char")
RETURNS int4[]
AS 'MODULE_PATHNAME', 'qv_int4setconv_int4'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 220;

COMMENT ON FUNCTION qv_int4setconv_int4("char", int4[], "char") IS
'the set given in the source encoding (''s'', ''r'' or ''m'') written in the target encoding';

CREATE FUNCTION qv_count_scalar_in_int4set("char", int4[])
RETURNS int4
AS 'MODULE_PATHNAME', 'qv_count_scalar_in_int4set'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 90;

COMMENT ON FUNCTION qv_count_scalar_in_int4set("char", int4[]) IS
'the number of values of a set given as a scalar, range or mix array';

CREATE FUNCTION qv_sort_int4(int4[])
RETURNS int4[]
AS 'MODULE_PATHNAME', 'qv_sort_int4'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 2500;

COMMENT ON FUNCTION qv_sort_int4(int4[]) IS
'the elements in ascending order, duplicates kept';

CREATE FUNCTION qv_bytea2floatarray(bytea)
RETURNS float4[]
AS 'MODULE_PATHNAME', 'qv_bytea2floatarray'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 33;

COMMENT ON FUNCTION qv_bytea2floatarray(bytea) IS
'the packed 4-byte floats of the payload as a float4 array';

CREATE FUNCTION qv_bytea2mix2rangearray(bytea)
RETURNS int4[]
AS 'MODULE_PATHNAME', 'qv_bytea2mix2rangearray'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 89;

COMMENT ON FUNCTION qv_bytea2mix2rangearray(bytea) IS
'the mix-array element data held in the payload, as a range array (one range per entry)';

CREATE FUNCTION qv_int4set2bitfield_int4("char", int4[])
RETURNS bytea
AS 'MODULE_PATHNAME', 'qv_int4set2bitfield_int4'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 620;

COMMENT ON FUNCTION qv_int4set2bitfield_int4("char", int4[]) IS
'the bitfield of a set given as a scalar, range or mix array';
