-- The set aggregates in parallel plans against serial ones, side by side:
-- every case runs serially (max_parallel_workers_per_gather = 0) and with 2
-- workers (= 2, with parallel_setup_cost and min_parallel_table_scan_size at
-- 0, and cpu_operator_cost at 0 so that the declared costs of the partial-
-- state functions do not keep the partial aggregation out; parallel_tuple_cost
-- stays at its default so that the plan aggregates in the workers rather than
-- gathering rows), interleaved, :rounds rounds (default 3); the best of each
-- counts.  Column "forced" says whether the two plans were the ones meant.
-- count(v) gives what two workers and the leader gain on the mere scan.
-- Then the plan chosen under default planner settings, and its time against
-- the other plan's.
--
-- Three shapes of :rows rows (default 10,000,000) and of a tenth of that:
--   random     values in [0, 100,000,000), random order
--   runs       runs of 100 consecutive values from random starts, each run's
--              rows one after the other
--   clustered  the random values sorted, so each block holds close values
--
--   scripts/bench bench/35_parallel_agg.sql
--   psql -v rows=2000000 -v rounds=3 -f bench/35_parallel_agg.sql
\if :{?rows}
\else
\set rows 10000000
\endif
\if :{?rounds}
\else
\set rounds 3
\endif

SET client_min_messages = warning;
DROP SCHEMA IF EXISTS bench_parallel_agg CASCADE;
CREATE SCHEMA bench_parallel_agg;
SET search_path = bench_parallel_agg, public;

SELECT setseed(0.25);
CREATE TABLE random_big AS
SELECT (random() * 99999999)::int4 AS v FROM generate_series(1, :rows);
CREATE TABLE runs_big AS
SELECT s.start + k AS v
FROM (SELECT i, (random() * 99999899)::int4 AS start FROM generate_series(1, :rows / 100) i) s,
     generate_series(0, 99) k
ORDER BY s.i, k;
CREATE TABLE clustered_big AS SELECT v FROM random_big ORDER BY v;
CREATE TABLE random_small AS SELECT v FROM random_big LIMIT :rows / 10;
CREATE TABLE runs_small AS SELECT v FROM runs_big LIMIT :rows / 10;
CREATE TABLE clustered_small AS SELECT v FROM random_small ORDER BY v;
VACUUM ANALYZE random_big, runs_big, clustered_big, random_small, runs_small, clustered_small;

-- Plan settings: 'serial', 'parallel' (2 workers, partial aggregation
-- forced) or 'default' (the server's defaults, 2 workers allowed).
CREATE FUNCTION plan_settings(mode text) RETURNS void LANGUAGE plpgsql AS $$
BEGIN
    PERFORM set_config('max_parallel_workers_per_gather', CASE mode WHEN 'serial' THEN '0' ELSE '2' END, false);
    PERFORM set_config('parallel_setup_cost', CASE mode WHEN 'parallel' THEN '0' ELSE '1000' END, false);
    PERFORM set_config('parallel_tuple_cost', '0.1', false);
    PERFORM set_config('min_parallel_table_scan_size', CASE mode WHEN 'parallel' THEN '0' ELSE '8MB' END, false);
    PERFORM set_config('cpu_operator_cost', CASE mode WHEN 'parallel' THEN '0' ELSE '0.0025' END, false);
END $$;

-- Milliseconds of one run of q under the given plan settings.
CREATE FUNCTION run_ms(q text, mode text) RETURNS double precision LANGUAGE plpgsql AS $$
DECLARE t0 timestamptz; n bigint;
BEGIN
    PERFORM plan_settings(mode);
    t0 := clock_timestamp();
    EXECUTE q INTO n;
    RETURN extract(epoch FROM clock_timestamp() - t0) * 1000;
END $$;

-- Whether q's plan under mode aggregates partially in parallel workers.
CREATE FUNCTION is_parallel(q text, mode text) RETURNS boolean LANGUAGE plpgsql AS $$
DECLARE p text;
BEGIN
    PERFORM plan_settings(mode);
    EXECUTE 'EXPLAIN (FORMAT JSON, COSTS OFF) ' || q INTO p;
    RETURN p LIKE '%"Gather"%' AND p LIKE '%"Partial Mode": "Partial"%';
END $$;

CREATE TABLE cases (ord serial, shape text, size text, label text, q text);
INSERT INTO cases (shape, size, label, q)
SELECT shape, size, label, format(call, shape || '_' || size)
FROM (VALUES ('random'), ('runs'), ('clustered')) s(shape),
     (VALUES ('small'), ('big')) z(size),
     (VALUES ('count(v)', 'SELECT count(v) FROM %s'),
             ('qv_int4set_agg', 'SELECT cardinality(qv_int4set_agg(v, ''r'')) FROM %s'),
             ('qv_int4set_agg_optimized', 'SELECT cardinality(qv_int4set_agg_optimized(v, 100000000, ''r'')) FROM %s'))
         a(label, call)
ORDER BY size DESC, shape, label;

CREATE TABLE timings (ord int, mode text, ms double precision);
SET bench.rounds = :rounds;
-- warm the cache: every table scanned once
SELECT run_ms(q, 'serial') IS NOT NULL AS warmed FROM cases WHERE label = 'count(v)';
DO $$
DECLARE c record;
BEGIN
    FOR r IN 1 .. current_setting('bench.rounds')::int LOOP
        FOR c IN SELECT * FROM cases ORDER BY ord LOOP
            INSERT INTO timings VALUES (c.ord, 'serial', run_ms(c.q, 'serial'));
            INSERT INTO timings VALUES (c.ord, 'parallel', run_ms(c.q, 'parallel'));
        END LOOP;
    END LOOP;
END $$;
SELECT plan_settings('default');

\echo '== best of the rounds; ratio = 2 workers / serial; default = plan chosen under default settings'
SELECT c.shape, CASE c.size WHEN 'big' THEN :rows ELSE :rows / 10 END AS rows, c.label AS aggregate,
       round(s.ms) AS serial_ms, round(p.ms) AS workers2_ms, round((p.ms / s.ms)::numeric, 2) AS ratio,
       CASE WHEN is_parallel(c.q, 'default') THEN 'parallel' ELSE 'serial' END AS default_plan,
       round(((CASE WHEN is_parallel(c.q, 'default') THEN p.ms ELSE s.ms END) / least(p.ms, s.ms))::numeric, 2)
           AS chosen_vs_best,
       is_parallel(c.q, 'parallel') AND NOT is_parallel(c.q, 'serial') AS forced
FROM cases c,
     LATERAL (SELECT min(ms) AS ms FROM timings t WHERE t.ord = c.ord AND mode = 'serial') s,
     LATERAL (SELECT min(ms) AS ms FROM timings t WHERE t.ord = c.ord AND mode = 'parallel') p
ORDER BY c.ord;

SELECT plan_settings('default');
\echo '== plans under default settings, bitfield aggregate: the small table, then the big one'
EXPLAIN SELECT cardinality(qv_int4set_agg_optimized(v, 100000000, 'r')) FROM random_small;
EXPLAIN SELECT cardinality(qv_int4set_agg_optimized(v, 100000000, 'r')) FROM random_big;

RESET search_path;
DROP SCHEMA bench_parallel_agg CASCADE;
