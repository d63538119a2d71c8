-- range arrays

CREATE FUNCTION qv_int4_in_rangearray(int4, int4[])
RETURNS bool
AS 'MODULE_PATHNAME', 'qv_int4_in_rangearray'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 4;

COMMENT ON FUNCTION qv_int4_in_rangearray(int4, int4[]) IS
'whether the value belongs to the set given as a range array';

