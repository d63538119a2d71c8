
-- keep-single aggregate

CREATE FUNCTION qv_agg_keep_single_transfn(internal, anyelement)
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_agg_keep_single_transfn'
LANGUAGE C IMMUTABLE CALLED ON NULL INPUT PARALLEL SAFE COST 2;

CREATE FUNCTION qv_agg_keep_single_finalfn(internal, anyelement)
RETURNS anyelement
AS 'MODULE_PATHNAME', 'qv_agg_keep_single_finalfn'
LANGUAGE C IMMUTABLE CALLED ON NULL INPUT PARALLEL SAFE COST 1;

CREATE FUNCTION qv_agg_keep_single_combinefn(internal, internal)
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_agg_keep_single_combinefn'
LANGUAGE C IMMUTABLE CALLED ON NULL INPUT PARALLEL SAFE COST 2;

CREATE FUNCTION qv_agg_keep_single_serialfn(internal)
RETURNS bytea
AS 'MODULE_PATHNAME', 'qv_agg_keep_single_serialfn'
LANGUAGE C IMMUTABLE CALLED ON NULL INPUT PARALLEL SAFE COST 2;

CREATE FUNCTION qv_agg_keep_single_deserialfn(bytea, internal)
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_agg_keep_single_deserialfn'
LANGUAGE C IMMUTABLE CALLED ON NULL INPUT PARALLEL SAFE COST 2;

-- The input's type reaches the final function as its extra argument, so the
-- aggregate returns the type it was given.  READ_WRITE: one final call per
-- state, and no use as a window function, where the server knows it.
CREATE AGGREGATE qv_agg_keep_single(anyelement) (
    SFUNC = qv_agg_keep_single_transfn,
    STYPE = internal,
    FINALFUNC = qv_agg_keep_single_finalfn,
    FINALFUNC_EXTRA,
    FINALFUNC_MODIFY = READ_WRITE,
    COMBINEFUNC = qv_agg_keep_single_combinefn,
    SERIALFUNC = qv_agg_keep_single_serialfn,
    DESERIALFUNC = qv_agg_keep_single_deserialfn,
    PARALLEL = SAFE
);

COMMENT ON AGGREGATE qv_agg_keep_single(anyelement) IS
'the one value shared by all rows of the group (nulls included); fails when two rows disagree';
