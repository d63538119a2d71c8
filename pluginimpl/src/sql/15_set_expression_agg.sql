
-- set-expression aggregate

CREATE FUNCTION qv_int4range_op_transfn(internal, int2, int4[])
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_int4range_op_transfn'
LANGUAGE C IMMUTABLE CALLED ON NULL INPUT PARALLEL SAFE COST 760;

CREATE FUNCTION qv_int4range_op_finalfn(internal)
RETURNS int4[]
AS 'MODULE_PATHNAME', 'qv_int4range_op_finalfn'
LANGUAGE C IMMUTABLE CALLED ON NULL INPUT PARALLEL SAFE COST 61;

-- The final function destroys the state: READ_WRITE keeps the server from
-- sharing a state between calls or finalising it twice (window use).
CREATE AGGREGATE qv_int4range_op(int2, int4[]) (
    SFUNC = qv_int4range_op_transfn,
    STYPE = internal,
    FINALFUNC = qv_int4range_op_finalfn,
    FINALFUNC_MODIFY = READ_WRITE,
    PARALLEL = SAFE
);

COMMENT ON AGGREGATE qv_int4range_op(int2, int4[]) IS
'evaluates a set expression given row by row: each operation word (bits 0-1 operation 1 union, 2 intersection, 3 exclusion; bits 2-8 groups closed before, bits 9-15 groups opened before) joins its range-array operand; order the rows with ORDER BY inside the call';
