
-- membership of values and packed ranges

CREATE FUNCTION qv_int4_in_packedrange(int4, int8)
RETURNS bool
AS 'MODULE_PATHNAME', 'qv_int4_in_packedrange'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 1;

COMMENT ON FUNCTION qv_int4_in_packedrange(int4, int8) IS
'whether the value lies in the packed range';

CREATE FUNCTION qv_int4rangepacked_contains_int4(int8, int4)
RETURNS bool
AS 'MODULE_PATHNAME', 'qv_int4rangepacked_contains_int4'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 1;

COMMENT ON FUNCTION qv_int4rangepacked_contains_int4(int8, int4) IS
'whether the packed range contains the value';

CREATE FUNCTION qv_int4rangepacked_in_int4rangepacked(int8, int8)
RETURNS bool
AS 'MODULE_PATHNAME', 'qv_int4rangepacked_in_int4rangepacked'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 1;

COMMENT ON FUNCTION qv_int4rangepacked_in_int4rangepacked(int8, int8) IS
'whether two packed ranges share a value';

CREATE FUNCTION qv_int4rangepacked_included_in_int4rangepacked(int8, int8)
RETURNS bool
AS 'MODULE_PATHNAME', 'qv_int4rangepacked_included_in_int4rangepacked'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 1;

COMMENT ON FUNCTION qv_int4rangepacked_included_in_int4rangepacked(int8, int8) IS
'whether the first packed range lies within the second';

CREATE FUNCTION qv_int4rangepacked_contains_int4rangepacked(int8, int8)
RETURNS bool
AS 'MODULE_PATHNAME', 'qv_int4rangepacked_contains_int4rangepacked'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 1;

COMMENT ON FUNCTION qv_int4rangepacked_contains_int4rangepacked(int8, int8) IS
'whether the first packed range contains the second';

CREATE FUNCTION qv_int4rangepacked_in_rangearray(int8, int4[])
RETURNS bool
AS 'MODULE_PATHNAME', 'qv_int4rangepacked_in_rangearray'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 5;

COMMENT ON FUNCTION qv_int4rangepacked_in_rangearray(int8, int4[]) IS
'whether the packed range overlaps some range of the range array';

CREATE FUNCTION qv_int4_in_rangebitfield(int4, bytea)
RETURNS bool
AS 'MODULE_PATHNAME', 'qv_int4_in_rangebitfield'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 2;

COMMENT ON FUNCTION qv_int4_in_rangebitfield(int4, bytea) IS
'whether the value belongs to the set given as a bitfield';

CREATE FUNCTION qv_int4rangepacked_in_rangebitfield(int8, bytea)
RETURNS bool
AS 'MODULE_PATHNAME', 'qv_int4rangepacked_in_rangebitfield'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 3;

COMMENT ON FUNCTION qv_int4rangepacked_in_rangebitfield(int8, bytea) IS
'whether some value of the packed range belongs to the set given as a bitfield';
