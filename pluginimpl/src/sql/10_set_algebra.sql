
-- set algebra on range arrays

CREATE FUNCTION qv_int4range_union(int4[], int4[])
RETURNS int4[]
AS 'MODULE_PATHNAME', 'qv_int4range_union'
LANGUAGE C IMMUTABLE CALLED ON NULL INPUT PARALLEL SAFE COST 970;

COMMENT ON FUNCTION qv_int4range_union(int4[], int4[]) IS
'union of two range arrays; a null argument yields the other one';

CREATE FUNCTION qv_int4range_intersection(int4[], int4[])
RETURNS int4[]
AS 'MODULE_PATHNAME', 'qv_int4range_intersection'
LANGUAGE C IMMUTABLE CALLED ON NULL INPUT PARALLEL SAFE COST 940;

COMMENT ON FUNCTION qv_int4range_intersection(int4[], int4[]) IS
'intersection of two range arrays; null when either is null';

CREATE FUNCTION qv_int4range_exclusion(int4[], int4[])
RETURNS int4[]
AS 'MODULE_PATHNAME', 'qv_int4range_exclusion'
LANGUAGE C IMMUTABLE CALLED ON NULL INPUT PARALLEL SAFE COST 940;

COMMENT ON FUNCTION qv_int4range_exclusion(int4[], int4[]) IS
'values of the first range array that are not in the second; a null second argument removes nothing';

CREATE FUNCTION qv_int4range_is_strictly_include(int4[], int4[])
RETURNS bool
AS 'MODULE_PATHNAME', 'qv_int4range_is_strictly_include'
LANGUAGE C IMMUTABLE CALLED ON NULL INPUT PARALLEL SAFE COST 780;

COMMENT ON FUNCTION qv_int4range_is_strictly_include(int4[], int4[]) IS
'whether the first range array is non-empty and lies within the second';

CREATE FUNCTION qv_int4range_is_overlap(int4[], int4[])
RETURNS bool
AS 'MODULE_PATHNAME', 'qv_int4range_is_overlap'
LANGUAGE C IMMUTABLE CALLED ON NULL INPUT PARALLEL SAFE COST 270;

COMMENT ON FUNCTION qv_int4range_is_overlap(int4[], int4[]) IS
'whether two range arrays share a value';
