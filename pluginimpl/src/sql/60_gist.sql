
-- GiST indexing of int4 and packed-range int8 columns

CREATE FUNCTION qv_gist_range_consistent(internal, int4, int2, oid, internal)
RETURNS bool
AS 'MODULE_PATHNAME', 'qv_gist_range_consistent'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

CREATE FUNCTION qv_gist_range_consistent(internal, int8, int2, oid, internal)
RETURNS bool
AS 'MODULE_PATHNAME', 'qv_gist_range_consistent'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

CREATE FUNCTION qv_gist_range_union(internal, internal)
RETURNS int8
AS 'MODULE_PATHNAME', 'qv_gist_range_union'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

CREATE FUNCTION qv_gist_range_compress_int4(internal)
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_gist_range_compress_int4'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

CREATE FUNCTION qv_gist_range_compress_int8(internal)
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_gist_range_compress_int8'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

CREATE FUNCTION qv_gist_range_decompress(internal)
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_gist_range_decompress'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

CREATE FUNCTION qv_gist_range_fetch_int4(internal)
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_gist_range_fetch_int4'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

CREATE FUNCTION qv_gist_range_sortsupport(internal)
RETURNS void
AS 'MODULE_PATHNAME', 'qv_gist_range_sortsupport'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

CREATE FUNCTION qv_gist_range_penalty(internal, internal, internal)
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_gist_range_penalty'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

CREATE FUNCTION qv_gist_range_picksplit(internal, internal)
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_gist_range_picksplit'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

CREATE FUNCTION qv_gist_range_same(int8, int8, internal)
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_gist_range_same'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

-- Operators over the membership predicates.  They estimate from the column's
-- statistics and the constant set (the estimators of 55_estimates.sql).  An operator with an int4[] operand takes a
-- symbol that no built-in operator has for arrays, ranges or multiranges:
-- with <@ or && a query of built-in arrays that leaves one side untyped
-- ('{1,2}' <@ int4_array_column) would resolve to ours.  The commutators,
-- with the set on the left, are in the next fragment.

CREATE OPERATOR <<@ (
    LEFTARG = int4, RIGHTARG = int4[], PROCEDURE = qv_int4_in_rangearray,
    RESTRICT = qv_set_overlap_sel, JOIN = qv_set_overlap_joinsel
);
COMMENT ON OPERATOR <<@ (int4, int4[]) IS 'value is in the set given as a range array';

CREATE OPERATOR <@ (
    LEFTARG = int4, RIGHTARG = bytea, PROCEDURE = qv_int4_in_rangebitfield,
    RESTRICT = qv_set_overlap_sel, JOIN = qv_set_overlap_joinsel
);
COMMENT ON OPERATOR <@ (int4, bytea) IS 'value is in the set given as a bitfield';

CREATE OPERATOR <@ (
    LEFTARG = int4, RIGHTARG = int8, PROCEDURE = qv_int4_in_packedrange,
    COMMUTATOR = @>, RESTRICT = qv_set_overlap_sel, JOIN = qv_set_overlap_joinsel
);
COMMENT ON OPERATOR <@ (int4, int8) IS 'value is in the packed range';

CREATE OPERATOR @> (
    LEFTARG = int8, RIGHTARG = int4, PROCEDURE = qv_int4rangepacked_contains_int4,
    COMMUTATOR = <@, RESTRICT = qv_set_overlap_sel, JOIN = qv_set_overlap_joinsel
);
COMMENT ON OPERATOR @> (int8, int4) IS 'packed range holds the value';

CREATE OPERATOR &&& (
    LEFTARG = int8, RIGHTARG = int4[], PROCEDURE = qv_int4rangepacked_in_rangearray,
    RESTRICT = qv_set_overlap_sel, JOIN = qv_set_overlap_joinsel
);
COMMENT ON OPERATOR &&& (int8, int4[]) IS 'packed range overlaps the set given as a range array';

CREATE OPERATOR && (
    LEFTARG = int8, RIGHTARG = int8, PROCEDURE = qv_int4rangepacked_in_int4rangepacked,
    COMMUTATOR = &&, RESTRICT = qv_set_overlap_sel, JOIN = qv_set_overlap_joinsel
);
COMMENT ON OPERATOR && (int8, int8) IS 'packed ranges overlap';

CREATE OPERATOR <@ (
    LEFTARG = int8, RIGHTARG = int8, PROCEDURE = qv_int4rangepacked_included_in_int4rangepacked,
    COMMUTATOR = @>, RESTRICT = qv_rangepacked_included_sel, JOIN = qv_rangepacked_included_joinsel
);
COMMENT ON OPERATOR <@ (int8, int8) IS 'packed range lies within the other';

CREATE OPERATOR @> (
    LEFTARG = int8, RIGHTARG = int8, PROCEDURE = qv_int4rangepacked_contains_int4rangepacked,
    COMMUTATOR = <@, RESTRICT = qv_rangepacked_contains_sel, JOIN = qv_rangepacked_contains_joinsel
);
COMMENT ON OPERATOR @> (int8, int8) IS 'packed range contains the other';

-- The index key of both classes is a packed range; only compress and fetch
-- differ (an int8 column's key is its value, so decompress fetches it).

CREATE OPERATOR CLASS qv_gist_range_int4_ops
FOR TYPE int4 USING gist AS
    OPERATOR 1 <<@ (int4, int4[]),
    OPERATOR 2 <@ (int4, bytea),
    OPERATOR 3 <@ (int4, int8),
    FUNCTION 1 qv_gist_range_consistent(internal, int4, int2, oid, internal),
    FUNCTION 2 qv_gist_range_union(internal, internal),
    FUNCTION 3 qv_gist_range_compress_int4(internal),
    FUNCTION 4 qv_gist_range_decompress(internal),
    FUNCTION 5 qv_gist_range_penalty(internal, internal, internal),
    FUNCTION 6 qv_gist_range_picksplit(internal, internal),
    FUNCTION 7 qv_gist_range_same(int8, int8, internal),
    FUNCTION 9 qv_gist_range_fetch_int4(internal),
    STORAGE int8;
COMMENT ON OPERATOR CLASS qv_gist_range_int4_ops USING gist IS
'GiST index of int4 values searched by range array, bitfield or packed range';

CREATE OPERATOR CLASS qv_gist_range_int8_ops
FOR TYPE int8 USING gist AS
    OPERATOR 11 &&& (int8, int4[]),
    OPERATOR 13 && (int8, int8),
    OPERATOR 14 <@ (int8, int8),
    OPERATOR 15 @> (int8, int8),
    OPERATOR 16 @> (int8, int4),
    FUNCTION 1 qv_gist_range_consistent(internal, int8, int2, oid, internal),
    FUNCTION 2 qv_gist_range_union(internal, internal),
    FUNCTION 3 qv_gist_range_compress_int8(internal),
    FUNCTION 4 qv_gist_range_decompress(internal),
    FUNCTION 5 qv_gist_range_penalty(internal, internal, internal),
    FUNCTION 6 qv_gist_range_picksplit(internal, internal),
    FUNCTION 7 qv_gist_range_same(int8, int8, internal),
    FUNCTION 9 qv_gist_range_decompress(internal),
    STORAGE int8;
COMMENT ON OPERATOR CLASS qv_gist_range_int8_ops USING gist IS
'GiST index of packed ranges (int8) searched by range array, packed range or value';

