
-- set-versus-set tests

CREATE FUNCTION qv_int4range_overlap_rangearray(int4[], int4[])
RETURNS bool
AS 'MODULE_PATHNAME', 'qv_int4range_overlap_rangearray'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 610;

COMMENT ON FUNCTION qv_int4range_overlap_rangearray(int4[], int4[]) IS
'whether two range arrays share a value';

CREATE FUNCTION qv_int4set_overlap_bitfield("char", int4[], bytea)
RETURNS bool
AS 'MODULE_PATHNAME', 'qv_int4set_overlap_bitfield'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 10;

COMMENT ON FUNCTION qv_int4set_overlap_bitfield("char", int4[], bytea) IS
'whether the set (''s'', ''r'' or ''m'' array) shares a value with the bitfield';

CREATE FUNCTION qv_int4set_included_in_bitfield("char", int4[], bytea)
RETURNS bool
AS 'MODULE_PATHNAME', 'qv_int4set_included_in_bitfield'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 10;

COMMENT ON FUNCTION qv_int4set_included_in_bitfield("char", int4[], bytea) IS
'whether every value of the set (''s'', ''r'' or ''m'' array) belongs to the bitfield';
