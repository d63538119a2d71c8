
-- GiST indexing of range-array (int4[]) columns

CREATE FUNCTION qv_int4range_contains_rangearray(int4[], int4[])
RETURNS bool
AS 'MODULE_PATHNAME', 'qv_int4range_contains_rangearray'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 2;

COMMENT ON FUNCTION qv_int4range_contains_rangearray(int4[], int4[]) IS
'whether the second range array is non-empty and lies within the first';

CREATE FUNCTION qv_gist_rangearray_consistent(internal, int4[], int2, oid, internal)
RETURNS bool
AS 'MODULE_PATHNAME', 'qv_gist_rangearray_consistent'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

CREATE FUNCTION qv_gist_rangearray_union(internal, internal)
RETURNS bytea
AS 'MODULE_PATHNAME', 'qv_gist_rangearray_union'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

CREATE FUNCTION qv_gist_rangearray_compress(internal)
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_gist_rangearray_compress'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

CREATE FUNCTION qv_gist_rangearray_penalty(internal, internal, internal)
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_gist_rangearray_penalty'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

CREATE FUNCTION qv_gist_rangearray_picksplit(internal, internal)
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_gist_rangearray_picksplit'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

CREATE FUNCTION qv_gist_rangearray_same(bytea, bytea, internal)
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_gist_rangearray_same'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

CREATE FUNCTION qv_gist_rangearray_sortsupport(internal)
RETURNS void
AS 'MODULE_PATHNAME', 'qv_gist_rangearray_sortsupport'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

-- Operators of the range-array column.  None takes a symbol that a built-in
-- or contrib operator uses with an array operand.  Estimates of the set
-- against a set: the overlaps like areas, the containments like containment.

-- The column against a value and against a packed range: @>> (int4[], int4)
-- and &&& (int4[], int8), the commutators of the membership operators.

-- Set-versus-set operators over the set tests.
CREATE OPERATOR &&& (
    LEFTARG = int4[], RIGHTARG = int4[], PROCEDURE = qv_int4range_is_overlap,
    RESTRICT = areasel, JOIN = areajoinsel
);
COMMENT ON OPERATOR &&& (int4[], int4[]) IS 'range arrays share a value';

CREATE OPERATOR @>> (
    LEFTARG = int4[], RIGHTARG = int4[], PROCEDURE = qv_int4range_contains_rangearray,
    RESTRICT = contsel, JOIN = contjoinsel
);
COMMENT ON OPERATOR @>> (int4[], int4[]) IS 'range array contains the other, non-empty one';

CREATE OPERATOR <<@ (
    LEFTARG = int4[], RIGHTARG = int4[], PROCEDURE = qv_int4range_is_strictly_include,
    RESTRICT = contsel, JOIN = contjoinsel
);
COMMENT ON OPERATOR <<@ (int4[], int4[]) IS 'range array is non-empty and lies within the other';

-- The key: a few disjoint ranges covering the row's set, as a bytea of its
-- own layout.  Not the default class of int4[].
CREATE OPERATOR CLASS qv_gist_rangearray_ops
FOR TYPE int4[] USING gist AS
    OPERATOR 1 @>> (int4[], int4),
    OPERATOR 2 &&& (int4[], int8),
    OPERATOR 3 &&& (int4[], int4[]),
    OPERATOR 4 @>> (int4[], int4[]),
    OPERATOR 5 <<@ (int4[], int4[]),
    FUNCTION 1 qv_gist_rangearray_consistent(internal, int4[], int2, oid, internal),
    FUNCTION 2 qv_gist_rangearray_union(internal, internal),
    FUNCTION 3 qv_gist_rangearray_compress(internal),
    FUNCTION 4 qv_gist_range_decompress(internal),
    FUNCTION 5 qv_gist_rangearray_penalty(internal, internal, internal),
    FUNCTION 6 qv_gist_rangearray_picksplit(internal, internal),
    FUNCTION 7 qv_gist_rangearray_same(bytea, bytea, internal),
    STORAGE bytea;
COMMENT ON OPERATOR CLASS qv_gist_rangearray_ops USING gist IS
'GiST index of range-array columns searched by value, packed range or range array';
-- Its sort support (function 11, from 14 on) is added by qv_repair_catalog().
