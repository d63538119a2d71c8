-- Bitfield set aggregate on 10,000,000 random values in [0, 100,000,000):
-- against count(v), the scan floor, and against the other ways to build
-- the set.  Each query returns a number so that printing costs nothing.
SET max_parallel_workers_per_gather = 0;
CREATE TABLE ba_bench AS
SELECT (random() * 99999999)::int4 AS v FROM generate_series(1, 10000000);
VACUUM ANALYZE ba_bench;

-- the scan floor (twice: the first run warms the cache)
SELECT count(v) FROM ba_bench;
SELECT count(v) FROM ba_bench;

-- the three output encodings
SELECT cardinality(qv_int4set_agg_optimized(v, 100000000, 'r')) FROM ba_bench;
SELECT cardinality(qv_int4set_agg_optimized(v, 100000000, 's')) FROM ba_bench;
SELECT cardinality(qv_int4set_agg_optimized(v, 100000000, 'm')) FROM ba_bench;

-- other ways to the same set
SELECT cardinality(uniq(sort(array_agg(v)))) FROM ba_bench;
SELECT to_regproc('qv_int4set_agg_finalfn') IS NOT NULL AS have_general_agg \gset
\if :have_general_agg
SELECT cardinality(qv_int4set_agg(v, 'r')) FROM ba_bench;
\endif

-- two parallel workers
SET max_parallel_workers_per_gather = 2;
SET parallel_setup_cost = 0;
SET parallel_tuple_cost = 0;
EXPLAIN (COSTS OFF) SELECT cardinality(qv_int4set_agg_optimized(v, 100000000, 'r')) FROM ba_bench;
SELECT count(v) FROM ba_bench;
SELECT cardinality(qv_int4set_agg_optimized(v, 100000000, 'r')) FROM ba_bench;
SELECT cardinality(qv_int4set_agg_optimized(v, 100000000, 's')) FROM ba_bench;

DROP TABLE ba_bench;
