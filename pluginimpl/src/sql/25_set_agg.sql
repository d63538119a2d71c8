
-- general set aggregate

CREATE FUNCTION qv_int4set_agg_transfn_A(internal, int4, "char")
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_int4set_agg_transfn_A'
LANGUAGE C CALLED ON NULL INPUT PARALLEL SAFE COST 2;

CREATE FUNCTION qv_int4set_agg_transfn_A(internal, int4, int4, "char")
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_int4set_agg_transfn_A'
LANGUAGE C CALLED ON NULL INPUT PARALLEL SAFE COST 1;

CREATE FUNCTION qv_int4set_agg_transfn_B(internal, "char", int4[], "char")
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_int4set_agg_transfn_B'
LANGUAGE C CALLED ON NULL INPUT PARALLEL SAFE COST 2000;

CREATE FUNCTION qv_int4set_agg_finalfn(internal)
RETURNS int4[]
AS 'MODULE_PATHNAME', 'qv_int4set_agg_finalfn'
LANGUAGE C CALLED ON NULL INPUT PARALLEL SAFE COST 98;

CREATE FUNCTION qv_int4set_agg_combinefn(internal, internal)
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_int4set_agg_combinefn'
LANGUAGE C CALLED ON NULL INPUT PARALLEL SAFE COST 2000;

CREATE FUNCTION qv_int4set_agg_serialfn(internal)
RETURNS bytea
AS 'MODULE_PATHNAME', 'qv_int4set_agg_serialfn'
LANGUAGE C CALLED ON NULL INPUT PARALLEL SAFE COST 220;

CREATE FUNCTION qv_int4set_agg_deserialfn(bytea, internal)
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_int4set_agg_deserialfn'
LANGUAGE C CALLED ON NULL INPUT PARALLEL SAFE COST 220;

CREATE AGGREGATE qv_int4set_agg(int4, "char") (
    SFUNC = qv_int4set_agg_transfn_A,
    STYPE = internal,
    FINALFUNC = qv_int4set_agg_finalfn,
    FINALFUNC_MODIFY = READ_WRITE,
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
    FINALFUNC_MODIFY = READ_WRITE,
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
    FINALFUNC_MODIFY = READ_WRITE,
    COMBINEFUNC = qv_int4set_agg_combinefn,
    SERIALFUNC = qv_int4set_agg_serialfn,
    DESERIALFUNC = qv_int4set_agg_deserialfn,
    PARALLEL = SAFE
);

COMMENT ON AGGREGATE qv_int4set_agg("char", int4[], "char") IS
'union of the sets of the group, given as range (''r''), scalar (''s'') or mix (''m'') arrays, as an array of the last argument''s type';
