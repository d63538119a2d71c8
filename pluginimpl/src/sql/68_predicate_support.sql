
-- From 12 on, the predicate functions that have an operator twin get a
-- support function: it gives a call the operator's estimate and, where a
-- GiST index of ours can answer the operator, rewrites the call into it.
DO $$
BEGIN
    IF current_setting('server_version_num')::int >= 120000 THEN
        CREATE FUNCTION qv_set_predicate_support(internal)
        RETURNS internal
        AS 'MODULE_PATHNAME', 'qv_set_predicate_support'
        LANGUAGE C STABLE STRICT PARALLEL SAFE;
        COMMENT ON FUNCTION qv_set_predicate_support(internal) IS
        'planner support of the membership predicates: their operator''s estimate and index condition';
        ALTER FUNCTION qv_int4_in_rangearray(int4, int4[]) SUPPORT qv_set_predicate_support;
        ALTER FUNCTION qv_int4_in_rangebitfield(int4, bytea) SUPPORT qv_set_predicate_support;
        ALTER FUNCTION qv_int4_in_packedrange(int4, int8) SUPPORT qv_set_predicate_support;
        ALTER FUNCTION qv_int4rangepacked_contains_int4(int8, int4) SUPPORT qv_set_predicate_support;
        ALTER FUNCTION qv_int4rangepacked_in_rangearray(int8, int4[]) SUPPORT qv_set_predicate_support;
        ALTER FUNCTION qv_int4rangepacked_in_int4rangepacked(int8, int8) SUPPORT qv_set_predicate_support;
        ALTER FUNCTION qv_int4rangepacked_included_in_int4rangepacked(int8, int8) SUPPORT qv_set_predicate_support;
        ALTER FUNCTION qv_int4rangepacked_contains_int4rangepacked(int8, int8) SUPPORT qv_set_predicate_support;
        ALTER FUNCTION qv_rangearray_contains_int4(int4[], int4) SUPPORT qv_set_predicate_support;
        ALTER FUNCTION qv_rangebitfield_contains_int4(bytea, int4) SUPPORT qv_set_predicate_support;
        ALTER FUNCTION qv_rangearray_overlaps_int4rangepacked(int4[], int8) SUPPORT qv_set_predicate_support;
    END IF;
END $$;
