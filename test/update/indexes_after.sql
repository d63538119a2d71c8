-- Run after the update: the indexes built before it serve the operators of
-- the current release, either way round, and find the rows a sequential
-- scan finds.  One line per predicate: "ok" or what went wrong.
CREATE FUNCTION pg_temp.served(pred text, idx text) RETURNS text
LANGUAGE plpgsql AS $$
DECLARE
    query text := 'SELECT array_agg(id ORDER BY id) FROM qv_upd WHERE ' || pred;
    line text;
    plan text := '';
    indexed int[];
    scanned int[];
BEGIN
    -- the previous call left index scans off for its reference scan
    PERFORM set_config('enable_bitmapscan', 'on', true);
    PERFORM set_config('enable_indexscan', 'on', true);
    PERFORM set_config('enable_seqscan', 'off', true);
    FOR line IN EXECUTE 'EXPLAIN (COSTS OFF) ' || query LOOP
        plan := plan || line || ' ';
    END LOOP;
    EXECUTE query INTO indexed;
    PERFORM set_config('enable_seqscan', 'on', true);
    PERFORM set_config('enable_bitmapscan', 'off', true);
    PERFORM set_config('enable_indexscan', 'off', true);
    EXECUTE query INTO scanned;
    RETURN CASE
        WHEN plan NOT LIKE '%Index Cond%' OR plan NOT LIKE '% ' || idx || ' %' THEN 'FAILED, plan: ' || plan
        WHEN cardinality(indexed) IS NULL THEN 'FAILED, no rows'
        WHEN indexed IS DISTINCT FROM scanned THEN 'FAILED, rows differ from a sequential scan'
        ELSE 'ok' END;
END $$;

SELECT pred || ': ' || pg_temp.served(pred, idx) FROM (VALUES
    ('v <<@ ''{10,20,4000,4100}''::int4[]', 'qv_upd_v'),
    ('''{10,20,4000,4100}''::int4[] @>> v', 'qv_upd_v'),
    ('v <@ qv_int4set2bitfield_int4(''r'', ''{10,20,4000,4100}'')', 'qv_upd_v'),
    ('qv_int4set2bitfield_int4(''r'', ''{10,20,4000,4100}'') @> v', 'qv_upd_v'),
    ('r &&& ''{10,20,4000,4100}''::int4[]', 'qv_upd_r'),
    ('''{10,20,4000,4100}''::int4[] &&& r', 'qv_upd_r')
) AS q (pred, idx);
