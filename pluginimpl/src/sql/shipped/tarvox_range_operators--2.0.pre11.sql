-- complain if script is sourced in psql, rather than via CREATE EXTENSION
\echo Use "CREATE EXTENSION tarvox_range_operators" to load this file. \quit

-- range arrays

CREATE FUNCTION qv_int4_in_rangearray(int4, int4[])
RETURNS bool
AS 'MODULE_PATHNAME', 'qv_int4_in_rangearray'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

COMMENT ON FUNCTION qv_int4_in_rangearray(int4, int4[]) IS
'whether the value belongs to the set given as a range array';


-- set algebra on range arrays

CREATE FUNCTION qv_int4range_union(int4[], int4[])
RETURNS int4[]
AS 'MODULE_PATHNAME', 'qv_int4range_union'
LANGUAGE C IMMUTABLE CALLED ON NULL INPUT PARALLEL SAFE;

COMMENT ON FUNCTION qv_int4range_union(int4[], int4[]) IS
'union of two range arrays; a null argument yields the other one';

CREATE FUNCTION qv_int4range_intersection(int4[], int4[])
RETURNS int4[]
AS 'MODULE_PATHNAME', 'qv_int4range_intersection'
LANGUAGE C IMMUTABLE CALLED ON NULL INPUT PARALLEL SAFE;

COMMENT ON FUNCTION qv_int4range_intersection(int4[], int4[]) IS
'intersection of two range arrays; null when either is null';

CREATE FUNCTION qv_int4range_exclusion(int4[], int4[])
RETURNS int4[]
AS 'MODULE_PATHNAME', 'qv_int4range_exclusion'
LANGUAGE C IMMUTABLE CALLED ON NULL INPUT PARALLEL SAFE;

COMMENT ON FUNCTION qv_int4range_exclusion(int4[], int4[]) IS
'values of the first range array that are not in the second; a null second argument removes nothing';

CREATE FUNCTION qv_int4range_is_strictly_include(int4[], int4[])
RETURNS bool
AS 'MODULE_PATHNAME', 'qv_int4range_is_strictly_include'
LANGUAGE C IMMUTABLE CALLED ON NULL INPUT PARALLEL SAFE;

COMMENT ON FUNCTION qv_int4range_is_strictly_include(int4[], int4[]) IS
'whether the first range array is non-empty and lies within the second';

CREATE FUNCTION qv_int4range_is_overlap(int4[], int4[])
RETURNS bool
AS 'MODULE_PATHNAME', 'qv_int4range_is_overlap'
LANGUAGE C IMMUTABLE CALLED ON NULL INPUT PARALLEL SAFE;

COMMENT ON FUNCTION qv_int4range_is_overlap(int4[], int4[]) IS
'whether two range arrays share a value';

-- set-expression aggregate

CREATE FUNCTION qv_int4range_op_transfn(internal, int2, int4[])
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_int4range_op_transfn'
LANGUAGE C IMMUTABLE CALLED ON NULL INPUT PARALLEL SAFE;

CREATE FUNCTION qv_int4range_op_finalfn(internal)
RETURNS int4[]
AS 'MODULE_PATHNAME', 'qv_int4range_op_finalfn'
LANGUAGE C IMMUTABLE CALLED ON NULL INPUT PARALLEL SAFE;

-- The final function destroys the state: READ_WRITE keeps the server from
-- sharing a state between calls or finalising it twice (window use).
CREATE AGGREGATE qv_int4range_op(int2, int4[]) (
    SFUNC = qv_int4range_op_transfn,
    STYPE = internal,
    FINALFUNC = qv_int4range_op_finalfn,
    PARALLEL = SAFE
);

COMMENT ON AGGREGATE qv_int4range_op(int2, int4[]) IS
'evaluates a set expression given row by row: each operation word (bits 0-1 operation 1 union, 2 intersection, 3 exclusion; bits 2-8 groups closed before, bits 9-15 groups opened before) joins its range-array operand; order the rows with ORDER BY inside the call';

-- packed ranges

CREATE FUNCTION qv_range_pack(int4[])
RETURNS int8
AS 'MODULE_PATHNAME', 'qv_range_pack'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

COMMENT ON FUNCTION qv_range_pack(int4[]) IS
'packs the interval given as {lower, upper} into an int8 (lower bound in the low 32 bits)';

CREATE FUNCTION qv_range_pack(int4, int4)
RETURNS int8
AS 'MODULE_PATHNAME', 'qv_range_pack'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

COMMENT ON FUNCTION qv_range_pack(int4, int4) IS
'packs the interval [lower; upper] into an int8 (lower bound in the low 32 bits)';

CREATE FUNCTION qv_rangepacked_lower(int8)
RETURNS int4
AS 'MODULE_PATHNAME', 'qv_rangepacked_lower'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

COMMENT ON FUNCTION qv_rangepacked_lower(int8) IS
'lower bound of a packed range (its low 32 bits)';

CREATE FUNCTION qv_rangepacked_upper(int8)
RETURNS int4
AS 'MODULE_PATHNAME', 'qv_rangepacked_upper'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

COMMENT ON FUNCTION qv_rangepacked_upper(int8) IS
'upper bound of a packed range (its high 32 bits)';

-- general set aggregate

CREATE FUNCTION qv_int4set_agg_transfn_A(internal, int4, "char")
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_int4set_agg_transfn_A'
LANGUAGE C CALLED ON NULL INPUT PARALLEL SAFE;

CREATE FUNCTION qv_int4set_agg_transfn_A(internal, int4, int4, "char")
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_int4set_agg_transfn_A'
LANGUAGE C CALLED ON NULL INPUT PARALLEL SAFE;

CREATE FUNCTION qv_int4set_agg_transfn_B(internal, "char", int4[], "char")
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_int4set_agg_transfn_B'
LANGUAGE C CALLED ON NULL INPUT PARALLEL SAFE;

CREATE FUNCTION qv_int4set_agg_finalfn(internal)
RETURNS int4[]
AS 'MODULE_PATHNAME', 'qv_int4set_agg_finalfn'
LANGUAGE C CALLED ON NULL INPUT PARALLEL SAFE;

CREATE FUNCTION qv_int4set_agg_combinefn(internal, internal)
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_int4set_agg_combinefn'
LANGUAGE C CALLED ON NULL INPUT PARALLEL SAFE;

CREATE FUNCTION qv_int4set_agg_serialfn(internal)
RETURNS bytea
AS 'MODULE_PATHNAME', 'qv_int4set_agg_serialfn'
LANGUAGE C CALLED ON NULL INPUT PARALLEL SAFE;

CREATE FUNCTION qv_int4set_agg_deserialfn(bytea, internal)
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_int4set_agg_deserialfn'
LANGUAGE C CALLED ON NULL INPUT PARALLEL SAFE;

CREATE AGGREGATE qv_int4set_agg(int4, "char") (
    SFUNC = qv_int4set_agg_transfn_A,
    STYPE = internal,
    FINALFUNC = qv_int4set_agg_finalfn,
    COMBINEFUNC = qv_int4set_agg_combinefn,
    SERIALFUNC = qv_int4set_agg_serialfn,
    DESERIALFUNC = qv_int4set_agg_deserialfn,
    PARALLEL = SAFE
);

COMMENT ON AGGREGATE qv_int4set_agg(int4, "char") IS
'set of the values of the group, as a range (''r''), scalar (''s'') or mix (''m'') array';

CREATE AGGREGATE qv_int4set_agg(int4, int4, "char") (
    SFUNC = qv_int4set_agg_transfn_A,
    STYPE = internal,
    FINALFUNC = qv_int4set_agg_finalfn,
    COMBINEFUNC = qv_int4set_agg_combinefn,
    SERIALFUNC = qv_int4set_agg_serialfn,
    DESERIALFUNC = qv_int4set_agg_deserialfn,
    PARALLEL = SAFE
);

COMMENT ON AGGREGATE qv_int4set_agg(int4, int4, "char") IS
'union of the ranges [lower; upper] of the group, as a range (''r''), scalar (''s'') or mix (''m'') array';

CREATE AGGREGATE qv_int4set_agg("char", int4[], "char") (
    SFUNC = qv_int4set_agg_transfn_B,
    STYPE = internal,
    FINALFUNC = qv_int4set_agg_finalfn,
    COMBINEFUNC = qv_int4set_agg_combinefn,
    SERIALFUNC = qv_int4set_agg_serialfn,
    DESERIALFUNC = qv_int4set_agg_deserialfn,
    PARALLEL = SAFE
);

COMMENT ON AGGREGATE qv_int4set_agg("char", int4[], "char") IS
'union of the sets of the group, given as range (''r''), scalar (''s'') or mix (''m'') arrays, as an array of the last argument''s type';

-- bitfield set aggregate

CREATE FUNCTION qv_int4set_agg_optimized_transfn_A(internal, int4, int4, "char")
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_int4set_agg_optimized_transfn_A'
LANGUAGE C CALLED ON NULL INPUT PARALLEL SAFE;

CREATE FUNCTION qv_int4set_agg_optimized_transfn_A(internal, int4, int4, int4, "char")
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_int4set_agg_optimized_transfn_A'
LANGUAGE C CALLED ON NULL INPUT PARALLEL SAFE;

CREATE FUNCTION qv_int4set_agg_optimized_transfn_B(internal, "char", int4[], int4, "char")
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_int4set_agg_optimized_transfn_B'
LANGUAGE C CALLED ON NULL INPUT PARALLEL SAFE;

CREATE FUNCTION qv_int4set_agg_optimized_finalfn(internal)
RETURNS int4[]
AS 'MODULE_PATHNAME', 'qv_int4set_agg_optimized_finalfn'
LANGUAGE C CALLED ON NULL INPUT PARALLEL SAFE;

CREATE FUNCTION qv_int4set_agg_optimized_combinefn(internal, internal)
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_int4set_agg_optimized_combinefn'
LANGUAGE C CALLED ON NULL INPUT PARALLEL SAFE;

CREATE FUNCTION qv_int4set_agg_optimized_serialfn(internal)
RETURNS bytea
AS 'MODULE_PATHNAME', 'qv_int4set_agg_optimized_serialfn'
LANGUAGE C CALLED ON NULL INPUT PARALLEL SAFE;

CREATE FUNCTION qv_int4set_agg_optimized_deserialfn(bytea, internal)
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_int4set_agg_optimized_deserialfn'
LANGUAGE C CALLED ON NULL INPUT PARALLEL SAFE;

CREATE AGGREGATE qv_int4set_agg_optimized(int4, int4, "char") (
    SFUNC = qv_int4set_agg_optimized_transfn_A,
    STYPE = internal,
    FINALFUNC = qv_int4set_agg_optimized_finalfn,
    COMBINEFUNC = qv_int4set_agg_optimized_combinefn,
    SERIALFUNC = qv_int4set_agg_optimized_serialfn,
    DESERIALFUNC = qv_int4set_agg_optimized_deserialfn,
    PARALLEL = SAFE
);

COMMENT ON AGGREGATE qv_int4set_agg_optimized(int4, int4, "char") IS
'set of the values (value, maxinput, output type) of the group, values in 0..maxinput';

CREATE AGGREGATE qv_int4set_agg_optimized(int4, int4, int4, "char") (
    SFUNC = qv_int4set_agg_optimized_transfn_A,
    STYPE = internal,
    FINALFUNC = qv_int4set_agg_optimized_finalfn,
    COMBINEFUNC = qv_int4set_agg_optimized_combinefn,
    SERIALFUNC = qv_int4set_agg_optimized_serialfn,
    DESERIALFUNC = qv_int4set_agg_optimized_deserialfn,
    PARALLEL = SAFE
);

COMMENT ON AGGREGATE qv_int4set_agg_optimized(int4, int4, int4, "char") IS
'set of the ranges (lower, upper, maxinput, output type) of the group, values in 0..maxinput';

CREATE AGGREGATE qv_int4set_agg_optimized("char", int4[], int4, "char") (
    SFUNC = qv_int4set_agg_optimized_transfn_B,
    STYPE = internal,
    FINALFUNC = qv_int4set_agg_optimized_finalfn,
    COMBINEFUNC = qv_int4set_agg_optimized_combinefn,
    SERIALFUNC = qv_int4set_agg_optimized_serialfn,
    DESERIALFUNC = qv_int4set_agg_optimized_deserialfn,
    PARALLEL = SAFE
);

COMMENT ON AGGREGATE qv_int4set_agg_optimized("char", int4[], int4, "char") IS
'union of the sets (input type, array, maxinput, output type) of the group, values in 0..maxinput';

-- membership of values and packed ranges

CREATE FUNCTION qv_int4_in_packedrange(int4, int8)
RETURNS bool
AS 'MODULE_PATHNAME', 'qv_int4_in_packedrange'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

COMMENT ON FUNCTION qv_int4_in_packedrange(int4, int8) IS
'whether the value lies in the packed range';

CREATE FUNCTION qv_int4rangepacked_contains_int4(int8, int4)
RETURNS bool
AS 'MODULE_PATHNAME', 'qv_int4rangepacked_contains_int4'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

COMMENT ON FUNCTION qv_int4rangepacked_contains_int4(int8, int4) IS
'whether the packed range contains the value';

CREATE FUNCTION qv_int4rangepacked_in_int4rangepacked(int8, int8)
RETURNS bool
AS 'MODULE_PATHNAME', 'qv_int4rangepacked_in_int4rangepacked'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

COMMENT ON FUNCTION qv_int4rangepacked_in_int4rangepacked(int8, int8) IS
'whether two packed ranges share a value';

CREATE FUNCTION qv_int4rangepacked_included_in_int4rangepacked(int8, int8)
RETURNS bool
AS 'MODULE_PATHNAME', 'qv_int4rangepacked_included_in_int4rangepacked'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

COMMENT ON FUNCTION qv_int4rangepacked_included_in_int4rangepacked(int8, int8) IS
'whether the first packed range lies within the second';

CREATE FUNCTION qv_int4rangepacked_contains_int4rangepacked(int8, int8)
RETURNS bool
AS 'MODULE_PATHNAME', 'qv_int4rangepacked_contains_int4rangepacked'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

COMMENT ON FUNCTION qv_int4rangepacked_contains_int4rangepacked(int8, int8) IS
'whether the first packed range contains the second';

CREATE FUNCTION qv_int4rangepacked_in_rangearray(int8, int4[])
RETURNS bool
AS 'MODULE_PATHNAME', 'qv_int4rangepacked_in_rangearray'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

COMMENT ON FUNCTION qv_int4rangepacked_in_rangearray(int8, int4[]) IS
'whether the packed range overlaps some range of the range array';

CREATE FUNCTION qv_int4_in_rangebitfield(int4, bytea)
RETURNS bool
AS 'MODULE_PATHNAME', 'qv_int4_in_rangebitfield'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

COMMENT ON FUNCTION qv_int4_in_rangebitfield(int4, bytea) IS
'whether the value belongs to the set given as a bitfield';

CREATE FUNCTION qv_int4rangepacked_in_rangebitfield(int8, bytea)
RETURNS bool
AS 'MODULE_PATHNAME', 'qv_int4rangepacked_in_rangebitfield'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

COMMENT ON FUNCTION qv_int4rangepacked_in_rangebitfield(int8, bytea) IS
'whether some value of the packed range belongs to the set given as a bitfield';

-- set-versus-set tests

CREATE FUNCTION qv_int4range_overlap_rangearray(int4[], int4[])
RETURNS bool
AS 'MODULE_PATHNAME', 'qv_int4range_overlap_rangearray'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

COMMENT ON FUNCTION qv_int4range_overlap_rangearray(int4[], int4[]) IS
'whether two range arrays share a value';

CREATE FUNCTION qv_int4set_overlap_bitfield("char", int4[], bytea)
RETURNS bool
AS 'MODULE_PATHNAME', 'qv_int4set_overlap_bitfield'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

COMMENT ON FUNCTION qv_int4set_overlap_bitfield("char", int4[], bytea) IS
'whether the set (''s'', ''r'' or ''m'' array) shares a value with the bitfield';

CREATE FUNCTION qv_int4set_included_in_bitfield("char", int4[], bytea)
RETURNS bool
AS 'MODULE_PATHNAME', 'qv_int4set_included_in_bitfield'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

COMMENT ON FUNCTION qv_int4set_included_in_bitfield("char", int4[], bytea) IS
'whether every value of the set (''s'', ''r'' or ''m'' array) belongs to the bitfield';

-- conversions, counting, sorting and payload decoding

CREATE FUNCTION qv_int4setconv_int4("char", int4[], "char")
RETURNS int4[]
AS 'MODULE_PATHNAME', 'qv_int4setconv_int4'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

COMMENT ON FUNCTION qv_int4setconv_int4("char", int4[], "char") IS
'the set given in the source encoding (''s'', ''r'' or ''m'') written in the target encoding';

CREATE FUNCTION qv_count_scalar_in_int4set("char", int4[])
RETURNS int4
AS 'MODULE_PATHNAME', 'qv_count_scalar_in_int4set'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

COMMENT ON FUNCTION qv_count_scalar_in_int4set("char", int4[]) IS
'the number of values of a set given as a scalar, range or mix array';

CREATE FUNCTION qv_sort_int4(int4[])
RETURNS int4[]
AS 'MODULE_PATHNAME', 'qv_sort_int4'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

COMMENT ON FUNCTION qv_sort_int4(int4[]) IS
'the elements in ascending order, duplicates kept';

CREATE FUNCTION qv_bytea2floatarray(bytea)
RETURNS float4[]
AS 'MODULE_PATHNAME', 'qv_bytea2floatarray'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

COMMENT ON FUNCTION qv_bytea2floatarray(bytea) IS
'the packed 4-byte floats of the payload as a float4 array';

CREATE FUNCTION qv_bytea2mix2rangearray(bytea)
RETURNS int4[]
AS 'MODULE_PATHNAME', 'qv_bytea2mix2rangearray'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

COMMENT ON FUNCTION qv_bytea2mix2rangearray(bytea) IS
'the mix-array element data held in the payload, as a range array (one range per entry)';

CREATE FUNCTION qv_int4set2bitfield_int4("char", int4[])
RETURNS bytea
AS 'MODULE_PATHNAME', 'qv_int4set2bitfield_int4'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;

COMMENT ON FUNCTION qv_int4set2bitfield_int4("char", int4[]) IS
'the bitfield of a set given as a scalar, range or mix array';

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

-- Operators over the membership predicates.  Overlaps estimate like areas,
-- memberships and inclusions like containment; both are selective enough for
-- the planner to prefer an index.

CREATE OPERATOR <@ (
    LEFTARG = int4, RIGHTARG = int4[], PROCEDURE = qv_int4_in_rangearray,
    RESTRICT = contsel, JOIN = contjoinsel
);
COMMENT ON OPERATOR <@ (int4, int4[]) IS 'value is in the set given as a range array';

CREATE OPERATOR <@ (
    LEFTARG = int4, RIGHTARG = bytea, PROCEDURE = qv_int4_in_rangebitfield,
    RESTRICT = contsel, JOIN = contjoinsel
);
COMMENT ON OPERATOR <@ (int4, bytea) IS 'value is in the set given as a bitfield';

CREATE OPERATOR <@ (
    LEFTARG = int4, RIGHTARG = int8, PROCEDURE = qv_int4_in_packedrange,
    COMMUTATOR = @>, RESTRICT = contsel, JOIN = contjoinsel
);
COMMENT ON OPERATOR <@ (int4, int8) IS 'value is in the packed range';

CREATE OPERATOR @> (
    LEFTARG = int8, RIGHTARG = int4, PROCEDURE = qv_int4rangepacked_contains_int4,
    COMMUTATOR = <@, RESTRICT = contsel, JOIN = contjoinsel
);
COMMENT ON OPERATOR @> (int8, int4) IS 'packed range holds the value';

CREATE OPERATOR && (
    LEFTARG = int8, RIGHTARG = int4[], PROCEDURE = qv_int4rangepacked_in_rangearray,
    RESTRICT = areasel, JOIN = areajoinsel
);
COMMENT ON OPERATOR && (int8, int4[]) IS 'packed range overlaps the set given as a range array';

CREATE OPERATOR && (
    LEFTARG = int8, RIGHTARG = int8, PROCEDURE = qv_int4rangepacked_in_int4rangepacked,
    COMMUTATOR = &&, RESTRICT = areasel, JOIN = areajoinsel
);
COMMENT ON OPERATOR && (int8, int8) IS 'packed ranges overlap';

CREATE OPERATOR <@ (
    LEFTARG = int8, RIGHTARG = int8, PROCEDURE = qv_int4rangepacked_included_in_int4rangepacked,
    COMMUTATOR = @>, RESTRICT = contsel, JOIN = contjoinsel
);
COMMENT ON OPERATOR <@ (int8, int8) IS 'packed range lies within the other';

CREATE OPERATOR @> (
    LEFTARG = int8, RIGHTARG = int8, PROCEDURE = qv_int4rangepacked_contains_int4rangepacked,
    COMMUTATOR = <@, RESTRICT = contsel, JOIN = contjoinsel
);
COMMENT ON OPERATOR @> (int8, int8) IS 'packed range contains the other';

-- The index key of both classes is a packed range; only compress and fetch
-- differ (an int8 column's key is its value, so decompress fetches it).

CREATE OPERATOR CLASS qv_gist_range_int4_ops
FOR TYPE int4 USING gist AS
    OPERATOR 1 <@ (int4, int4[]),
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
    OPERATOR 11 && (int8, int4[]),
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

-- Servers from 14 on build a GiST index bottom up from sorted keys when its
-- classes can sort them; older servers know no sort support for GiST.
DO $$
BEGIN
    IF current_setting('server_version_num')::int >= 140000 THEN
        ALTER OPERATOR FAMILY qv_gist_range_int4_ops USING gist
            ADD FUNCTION 11 (int4, int4) qv_gist_range_sortsupport(internal);
        ALTER OPERATOR FAMILY qv_gist_range_int8_ops USING gist
            ADD FUNCTION 11 (int8, int8) qv_gist_range_sortsupport(internal);
    END IF;
END $$;

-- keep-single aggregate

CREATE FUNCTION qv_agg_keep_single_transfn(internal, anyelement)
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_agg_keep_single_transfn'
LANGUAGE C IMMUTABLE CALLED ON NULL INPUT PARALLEL SAFE;

CREATE FUNCTION qv_agg_keep_single_finalfn(internal, anyelement)
RETURNS anyelement
AS 'MODULE_PATHNAME', 'qv_agg_keep_single_finalfn'
LANGUAGE C IMMUTABLE CALLED ON NULL INPUT PARALLEL SAFE;

CREATE FUNCTION qv_agg_keep_single_combinefn(internal, internal)
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_agg_keep_single_combinefn'
LANGUAGE C IMMUTABLE CALLED ON NULL INPUT PARALLEL SAFE;

CREATE FUNCTION qv_agg_keep_single_serialfn(internal)
RETURNS bytea
AS 'MODULE_PATHNAME', 'qv_agg_keep_single_serialfn'
LANGUAGE C IMMUTABLE CALLED ON NULL INPUT PARALLEL SAFE;

CREATE FUNCTION qv_agg_keep_single_deserialfn(bytea, internal)
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_agg_keep_single_deserialfn'
LANGUAGE C IMMUTABLE CALLED ON NULL INPUT PARALLEL SAFE;

-- The input's type reaches the final function as its extra argument, so the
-- aggregate returns the type it was given.  READ_WRITE: one final call per
-- state, and no use as a window function, where the server knows it.
CREATE AGGREGATE qv_agg_keep_single(anyelement) (
    SFUNC = qv_agg_keep_single_transfn,
    STYPE = internal,
    FINALFUNC = qv_agg_keep_single_finalfn,
    FINALFUNC_EXTRA,
    COMBINEFUNC = qv_agg_keep_single_combinefn,
    SERIALFUNC = qv_agg_keep_single_serialfn,
    DESERIALFUNC = qv_agg_keep_single_deserialfn,
    PARALLEL = SAFE
);

COMMENT ON AGGREGATE qv_agg_keep_single(anyelement) IS
'the one value shared by all rows of the group (nulls included); fails when two rows disagree';
