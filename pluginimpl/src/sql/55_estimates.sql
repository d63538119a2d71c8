
-- Planner estimators of the membership operators, from the column's
-- statistics and the constant set (docs/estimates.md): a value or packed
-- range column overlapping a set, and a packed range within or around one.

CREATE FUNCTION qv_set_overlap_sel(internal, oid, internal, integer)
RETURNS float8
AS 'MODULE_PATHNAME', 'qv_set_overlap_sel'
LANGUAGE C STABLE STRICT PARALLEL SAFE;

COMMENT ON FUNCTION qv_set_overlap_sel(internal, oid, internal, integer) IS
'restriction estimator: an int4 or packed-range column overlapping a constant set';

CREATE FUNCTION qv_set_overlap_joinsel(internal, oid, internal, smallint, internal)
RETURNS float8
AS 'MODULE_PATHNAME', 'qv_set_overlap_joinsel'
LANGUAGE C STABLE STRICT PARALLEL SAFE;

COMMENT ON FUNCTION qv_set_overlap_joinsel(internal, oid, internal, smallint, internal) IS
'join estimator: an int4 or packed-range column overlapping the sets of another column';

CREATE FUNCTION qv_rangepacked_included_sel(internal, oid, internal, integer)
RETURNS float8
AS 'MODULE_PATHNAME', 'qv_rangepacked_included_sel'
LANGUAGE C STABLE STRICT PARALLEL SAFE;

COMMENT ON FUNCTION qv_rangepacked_included_sel(internal, oid, internal, integer) IS
'restriction estimator: a packed range lying within another';

CREATE FUNCTION qv_rangepacked_included_joinsel(internal, oid, internal, smallint, internal)
RETURNS float8
AS 'MODULE_PATHNAME', 'qv_rangepacked_included_joinsel'
LANGUAGE C STABLE STRICT PARALLEL SAFE;

COMMENT ON FUNCTION qv_rangepacked_included_joinsel(internal, oid, internal, smallint, internal) IS
'join estimator: a packed range lying within another';

CREATE FUNCTION qv_rangepacked_contains_sel(internal, oid, internal, integer)
RETURNS float8
AS 'MODULE_PATHNAME', 'qv_rangepacked_contains_sel'
LANGUAGE C STABLE STRICT PARALLEL SAFE;

COMMENT ON FUNCTION qv_rangepacked_contains_sel(internal, oid, internal, integer) IS
'restriction estimator: a packed range containing another';

CREATE FUNCTION qv_rangepacked_contains_joinsel(internal, oid, internal, smallint, internal)
RETURNS float8
AS 'MODULE_PATHNAME', 'qv_rangepacked_contains_joinsel'
LANGUAGE C STABLE STRICT PARALLEL SAFE;

COMMENT ON FUNCTION qv_rangepacked_contains_joinsel(internal, oid, internal, smallint, internal) IS
'join estimator: a packed range containing another';
