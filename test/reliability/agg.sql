-- One set aggregate over a part of a table, in a parallel plan where the
-- aggregate allows one, against its plain equivalent in the same snapshot;
-- a disagreement is recorded.
\set f random(1, 10)
\set k random(0, 15)
BEGIN;
SET LOCAL parallel_setup_cost = 0;
SET LOCAL parallel_tuple_cost = 0;
SET LOCAL min_parallel_table_scan_size = 0;
SET LOCAL max_parallel_workers_per_gather = 2;
\if :f = 1
SELECT (qv_int4setconv_int4('r', (SELECT qv_int4set_agg(v, 'r') FROM qv_pts WHERE id % 16 = :k), 's')
        IS NOT DISTINCT FROM
        (SELECT coalesce(array_agg(DISTINCT v ORDER BY v), '{}') FROM qv_pts WHERE id % 16 = :k))::int AS ok \gset
\elif :f = 2
SELECT ((SELECT qv_int4set_agg(v, 's') FROM qv_pts WHERE id % 16 = :k)
        IS NOT DISTINCT FROM
        (SELECT coalesce(array_agg(DISTINCT v ORDER BY v), '{}') FROM qv_pts WHERE id % 16 = :k))::int AS ok \gset
\elif :f = 3
SELECT (qv_int4setconv_int4('m', (SELECT qv_int4set_agg(v & 1048575, 'm') FROM qv_pts WHERE id % 16 = :k), 's')
        IS NOT DISTINCT FROM
        (SELECT coalesce(array_agg(DISTINCT v & 1048575 ORDER BY v & 1048575), '{}') FROM qv_pts WHERE id % 16 = :k))::int AS ok \gset
\elif :f = 4
SELECT ((SELECT qv_int4set_agg(qv_rangepacked_lower(span), qv_rangepacked_upper(span), 'r') FROM qv_spans WHERE id % 16 = :k)::int8[]
        IS NOT DISTINCT FROM
        (SELECT qv_rel_flat(range_agg(int8range(qv_rangepacked_lower(span), qv_rangepacked_upper(span), '[]'))) FROM qv_spans WHERE id % 16 = :k))::int AS ok \gset
\elif :f = 5
SELECT ((SELECT qv_int4set_agg('r', ARRAY[qv_rangepacked_lower(span), qv_rangepacked_upper(span)], 'r') FROM qv_spans WHERE id % 16 = :k)::int8[]
        IS NOT DISTINCT FROM
        (SELECT qv_rel_flat(range_agg(int8range(qv_rangepacked_lower(span), qv_rangepacked_upper(span), '[]'))) FROM qv_spans WHERE id % 16 = :k))::int AS ok \gset
\elif :f = 6
SELECT ((SELECT qv_int4set_agg_optimized(v & 1048575, 1048575, 's') FROM qv_pts WHERE id % 16 = :k)
        IS NOT DISTINCT FROM
        (SELECT coalesce(array_agg(DISTINCT v & 1048575 ORDER BY v & 1048575), '{}') FROM qv_pts WHERE id % 16 = :k))::int AS ok \gset
\elif :f = 7
SELECT ((SELECT qv_int4set_agg_optimized(v & 1048575, (v & 1048575) + (id % 100)::int4, 1048675, 'r') FROM qv_pts WHERE id % 16 = :k)::int8[]
        IS NOT DISTINCT FROM
        (SELECT qv_rel_flat(range_agg(int8range(v & 1048575, (v & 1048575) + id % 100, '[]'))) FROM qv_pts WHERE id % 16 = :k))::int AS ok \gset
\elif :f = 8
SELECT ((SELECT qv_int4set_agg_optimized('s', ARRAY[v & 1048575, (v >> 12) & 1048575], 1048575, 's') FROM qv_pts WHERE id % 16 = :k)
        IS NOT DISTINCT FROM
        (SELECT coalesce(array_agg(DISTINCT x ORDER BY x), '{}') FROM qv_pts, unnest(ARRAY[v & 1048575, (v >> 12) & 1048575]) x WHERE id % 16 = :k))::int AS ok \gset
\elif :f = 9
SELECT ((SELECT qv_agg_keep_single((id % 16)::text) FROM qv_pts WHERE id % 16 = :k)
        IS NOT DISTINCT FROM
        (SELECT min(id % 16)::text FROM qv_pts WHERE id % 16 = :k))::int AS ok \gset
\elif :f = 10
SELECT ((SELECT qv_int4range_op(1::int2, ARRAY[qv_rangepacked_lower(span), qv_rangepacked_upper(span)] ORDER BY id) FROM qv_spans WHERE id % 64 = :k)::int8[]
        IS NOT DISTINCT FROM
        (SELECT qv_rel_flat(range_agg(int8range(qv_rangepacked_lower(span), qv_rangepacked_upper(span), '[]'))) FROM qv_spans WHERE id % 64 = :k))::int AS ok \gset
\endif
END;
\if :ok = 0
INSERT INTO qv_mismatch VALUES ('aggregate check ' || :f, :k::text, NULL, NULL);
\endif
