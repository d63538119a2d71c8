
-- The predicate functions that have an operator twin get a support
-- function: it gives a call the operator's estimate and, where a GiST index
-- of ours can answer the operator, rewrites the call into it.  Declared on
-- every major; qv_repair_catalog() attaches it where the server has planner
-- support functions (12 on).
CREATE FUNCTION qv_set_predicate_support(internal)
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_set_predicate_support'
LANGUAGE C STABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION qv_set_predicate_support(internal) IS
'planner support of the membership predicates: their operator''s estimate and index condition';
