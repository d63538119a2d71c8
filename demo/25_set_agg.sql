-- Collecting a set from many rows: values, ranges or whole sets, written as a
-- range ('r'), scalar ('s') or mix ('m') array.
SELECT qv_int4set_agg(v, 'r') AS ranges, qv_int4set_agg(v, 's') AS scalars,
       qv_int4set_agg(v, 'm') AS mix
FROM unnest('{5,3,4,10}'::int4[]) AS v;

-- ranges as two int4 per row: touching ranges join
SELECT qv_int4set_agg(lo, hi, 'r') AS joined
FROM (VALUES (1, 3), (4, 6), (10, 12)) AS t(lo, hi);

-- whole sets per row, per group, in any encoding
SELECT g, qv_int4set_agg('r', a, 's') AS members
FROM (VALUES (1, '{1,3}'::int4[]), (1, '{7,8}'), (2, '{100,100}')) AS t(g, a)
GROUP BY g ORDER BY g;

-- in parallel: each worker builds a partial set, the leader merges them
CREATE TABLE demo_set_agg AS SELECT i * 3 AS v FROM generate_series(1, 200000) AS i;
ANALYZE demo_set_agg;
SET parallel_setup_cost = 0;
SET parallel_tuple_cost = 0;
SET min_parallel_table_scan_size = 0;
EXPLAIN (COSTS OFF) SELECT qv_int4set_agg(v, 'r') FROM demo_set_agg;
SELECT array_length(qv_int4set_agg(v, 'r'), 1) / 2 AS ranges FROM demo_set_agg;
DROP TABLE demo_set_agg;
