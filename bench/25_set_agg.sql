-- General set aggregate against built-in ways of collecting a set of int4:
-- count(v) (the cost of scanning alone), uniq(sort(array_agg(v))) (intarray),
-- and range_agg into an int4multirange.  10,000,000 random values in
-- [0, 100,000,000), in random order and sorted, serial and with 2 workers.
-- Run with: scripts/bench bench/25_set_agg.sql
\set ON_ERROR_STOP on
SELECT setseed(0.25);
CREATE TABLE bench_set_agg AS
  SELECT (random() * 100000000)::int4 AS v FROM generate_series(1, 10000000);
CREATE TABLE bench_set_agg_sorted AS SELECT v FROM bench_set_agg ORDER BY v;
VACUUM ANALYZE bench_set_agg;
VACUUM ANALYZE bench_set_agg_sorted;
SELECT pg_size_pretty(pg_table_size('bench_set_agg')) AS table_size;

SET max_parallel_workers_per_gather = 0;
\echo '== serial, random order'
SELECT count(v) FROM bench_set_agg;
SELECT array_length(qv_int4set_agg(v, 'r'), 1) AS r_elements FROM bench_set_agg;
SELECT array_length(uniq(sort(array_agg(v))), 1) AS distinct_values FROM bench_set_agg;
SELECT array_length(qv_int4set_agg(v, 's'), 1) AS distinct_values FROM bench_set_agg;
SELECT array_length(qv_int4set_agg(v, 'm'), 1) AS m_elements FROM bench_set_agg;

\echo '== serial, sorted'
SELECT count(v) FROM bench_set_agg_sorted;
SELECT array_length(qv_int4set_agg(v, 'r'), 1) AS r_elements FROM bench_set_agg_sorted;
SELECT array_length(uniq(sort(array_agg(v))), 1) AS distinct_values FROM bench_set_agg_sorted;

\echo '== 2 parallel workers, random order'
SET max_parallel_workers_per_gather = 2;
SET parallel_setup_cost = 0;
SET parallel_tuple_cost = 0;
EXPLAIN (COSTS OFF) SELECT qv_int4set_agg(v, 'r') FROM bench_set_agg;
SELECT count(v) FROM bench_set_agg;
SELECT array_length(qv_int4set_agg(v, 'r'), 1) AS r_elements FROM bench_set_agg;
SELECT array_length(qv_int4set_agg(v, 'r'), 1) AS r_elements FROM bench_set_agg_sorted;
\echo '== 2 parallel workers, the leader only merging'
SET parallel_leader_participation = off;
SELECT count(v) FROM bench_set_agg;
SELECT array_length(qv_int4set_agg(v, 'r'), 1) AS r_elements FROM bench_set_agg;
RESET parallel_leader_participation;

\echo '== range_agg into int4multirange (serial, random order)'
SET max_parallel_workers_per_gather = 0;
SELECT upper(range_agg(int4range(v, v, '[]'))) AS upper_bound FROM bench_set_agg;

\echo '== ranges as two int4 and range arrays as rows (serial)'
SELECT array_length(qv_int4set_agg(v, v + 50, 'r'), 1) AS r_elements FROM bench_set_agg;
SELECT array_length(qv_int4set_agg('r', ARRAY[v, v + 50], 'r'), 1) AS r_elements FROM bench_set_agg;

DROP TABLE bench_set_agg, bench_set_agg_sorted;
