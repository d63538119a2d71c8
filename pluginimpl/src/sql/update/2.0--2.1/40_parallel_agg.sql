
-- bitfield set aggregate: measured costs of the partial-state functions
ALTER FUNCTION qv_int4set_agg_optimized_combinefn(internal, internal) COST 1300000;
ALTER FUNCTION qv_int4set_agg_optimized_serialfn(internal) COST 1300000;
ALTER FUNCTION qv_int4set_agg_optimized_deserialfn(bytea, internal) COST 110000;
