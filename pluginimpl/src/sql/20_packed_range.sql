
-- packed ranges

CREATE FUNCTION qv_range_pack(int4[])
RETURNS int8
AS 'MODULE_PATHNAME', 'qv_range_pack'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 2;

COMMENT ON FUNCTION qv_range_pack(int4[]) IS
'packs the interval given as {lower, upper} into an int8 (lower bound in the low 32 bits)';

CREATE FUNCTION qv_range_pack(int4, int4)
RETURNS int8
AS 'MODULE_PATHNAME', 'qv_range_pack'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 1;

COMMENT ON FUNCTION qv_range_pack(int4, int4) IS
'packs the interval [lower; upper] into an int8 (lower bound in the low 32 bits)';

CREATE FUNCTION qv_rangepacked_lower(int8)
RETURNS int4
AS 'MODULE_PATHNAME', 'qv_rangepacked_lower'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 1;

COMMENT ON FUNCTION qv_rangepacked_lower(int8) IS
'lower bound of a packed range (its low 32 bits)';

CREATE FUNCTION qv_rangepacked_upper(int8)
RETURNS int4
AS 'MODULE_PATHNAME', 'qv_rangepacked_upper'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 1;

COMMENT ON FUNCTION qv_rangepacked_upper(int8) IS
'upper bound of a packed range (its high 32 bits)';
