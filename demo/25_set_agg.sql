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
CREATE TEMP TABLE demo_values AS SELECT i * 3 AS v FROM generate_series(1, 200000) AS i;
SELECT array_length(qv_int4set_agg(v, 'r'), 1) / 2 AS ranges FROM demo_values;
