
-- bitfield set aggregate

CREATE FUNCTION qv_int4set_agg_optimized_transfn_A(internal, int4, int4, "char")
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_int4set_agg_optimized_transfn_A'
LANGUAGE C CALLED ON NULL INPUT PARALLEL SAFE COST 16;

CREATE FUNCTION qv_int4set_agg_optimized_transfn_A(internal, int4, int4, int4, "char")
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_int4set_agg_optimized_transfn_A'
LANGUAGE C CALLED ON NULL INPUT PARALLEL SAFE COST 23;

CREATE FUNCTION qv_int4set_agg_optimized_transfn_B(internal, "char", int4[], int4, "char")
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_int4set_agg_optimized_transfn_B'
LANGUAGE C CALLED ON NULL INPUT PARALLEL SAFE COST 870;

CREATE FUNCTION qv_int4set_agg_optimized_finalfn(internal)
RETURNS int4[]
AS 'MODULE_PATHNAME', 'qv_int4set_agg_optimized_finalfn'
LANGUAGE C CALLED ON NULL INPUT PARALLEL SAFE COST 1600;

-- The partial-state functions move and merge whole bit buffers (maxinput / 8
-- bytes per state, however few rows the state saw); their costs, measured on
-- 12.5 MB states in units of cpu_operator_cost, let the planner weigh a
-- parallel plan's three states against the serial plan's one.
CREATE FUNCTION qv_int4set_agg_optimized_combinefn(internal, internal)
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_int4set_agg_optimized_combinefn'
LANGUAGE C CALLED ON NULL INPUT PARALLEL SAFE COST 1300000;

CREATE FUNCTION qv_int4set_agg_optimized_serialfn(internal)
RETURNS bytea
AS 'MODULE_PATHNAME', 'qv_int4set_agg_optimized_serialfn'
LANGUAGE C CALLED ON NULL INPUT PARALLEL SAFE COST 1300000;

CREATE FUNCTION qv_int4set_agg_optimized_deserialfn(bytea, internal)
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_int4set_agg_optimized_deserialfn'
LANGUAGE C CALLED ON NULL INPUT PARALLEL SAFE COST 110000;

CREATE AGGREGATE qv_int4set_agg_optimized(int4, int4, "char") (
    SFUNC = qv_int4set_agg_optimized_transfn_A,
    STYPE = internal,
    FINALFUNC = qv_int4set_agg_optimized_finalfn,
    FINALFUNC_MODIFY = READ_WRITE,
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
    FINALFUNC_MODIFY = READ_WRITE,
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
    FINALFUNC_MODIFY = READ_WRITE,
    COMBINEFUNC = qv_int4set_agg_optimized_combinefn,
    SERIALFUNC = qv_int4set_agg_optimized_serialfn,
    DESERIALFUNC = qv_int4set_agg_optimized_deserialfn,
    PARALLEL = SAFE
);

COMMENT ON AGGREGATE qv_int4set_agg_optimized("char", int4[], int4, "char") IS
'union of the sets (input type, array, maxinput, output type) of the group, values in 0..maxinput';
