-- Read-only searches of the reliability load's tables (qv_pts, qv_spans),
-- one per operator of the three GiST classes, run alike on a primary and on its
-- replicas: "index K|count|sum" with the index forced, the plans, then
-- "seq K|count|sum" by sequential scan.
WITH s (k, tbl, cond) AS (VALUES
    (1, 'qv_pts', 'v <<@ ''{-300000,-200000,100000,150000}''::int4[]'),
    (2, 'qv_pts', 'v <@ qv_int4set2bitfield_int4(''r'', ''{-50000,50000}'')'),
    (3, 'qv_pts', 'v <@ qv_range_pack(0, 400000)'),
    (4, 'qv_spans', 'span &&& ''{-300000,-200000,100000,150000}''::int4[]'),
    (5, 'qv_spans', 'span && qv_range_pack(0, 400000)'),
    (6, 'qv_spans', 'span <@ qv_range_pack(-500000, 500000)'),
    (7, 'qv_spans', 'span @> qv_range_pack(42, 43)'),
    (8, 'qv_spans', 'span @> 42'),
    (9, 'qv_spans', 's @>> 42'),
    (10, 'qv_spans', 's &&& qv_range_pack(0, 400000)'),
    (11, 'qv_spans', 's &&& ''{-300000,-200000,100000,150000}''::int4[]'),
    (12, 'qv_spans', 's @>> ''{42,43}''::int4[]'),
    (13, 'qv_spans', 's <<@ ''{-500000,500000}''::int4[]'))
SELECT q FROM (
    SELECT 0 AS phase, 0 AS k, 'SET enable_seqscan = off' AS q
    UNION ALL
    SELECT 1, k, format('SELECT %L, count(*), sum(id) FROM %s WHERE %s', 'index ' || k, tbl, cond) FROM s
    UNION ALL
    SELECT 2, k, format('EXPLAIN (COSTS OFF) SELECT id FROM %s WHERE %s', tbl, cond) FROM s
    UNION ALL
    SELECT 3, 0, 'SET enable_seqscan = on; SET enable_indexscan = off; SET enable_bitmapscan = off'
    UNION ALL
    SELECT 4, k, format('SELECT %L, count(*), sum(id) FROM %s WHERE %s', 'seq ' || k, tbl, cond) FROM s
) AS statements ORDER BY phase, k
\gexec
