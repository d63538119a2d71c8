-- Aggregate time per row against input size: the set aggregates beside
-- array_agg, uniq(sort(array_agg)) (intarray) and range_agg (14+), serial,
-- over random int4 in [0, 10 x rows).  Each figure is the best of 3
-- interleaved rounds of EXPLAIN (ANALYZE, TIMING OFF) execution time,
-- divided by the rows.  Writes agg_per_row.csv for scripts/charts.
-- Run with: scripts/bench bench/27_agg_per_row.sql
\set ON_ERROR_STOP on
SET client_min_messages = warning;
SET max_parallel_workers_per_gather = 0;
DROP SCHEMA IF EXISTS bench_agg_per_row CASCADE;
CREATE SCHEMA bench_agg_per_row;
SET search_path = bench_agg_per_row, public;

SELECT setseed(0.5);
CREATE TABLE v (n int, v int4);
INSERT INTO v SELECT n, (random() * 10 * n)::int4
FROM unnest(ARRAY[100000, 1000000, 10000000]) n, generate_series(1, n);
CREATE INDEX ON v (n);
VACUUM ANALYZE v;

CREATE TABLE cases (name text, expr text, min_major int);
INSERT INTO cases VALUES
    ('count(v)', 'count(v)', 10),
    ('array_agg(v)', 'array_agg(v)', 10),
    ('uniq(sort(array_agg(v)))', 'uniq(sort(array_agg(v)))', 10),
    ('range_agg', 'range_agg(int4range(v, v, ''[]''))', 14),
    ('qv_int4set_agg', 'qv_int4set_agg(v, ''r'')', 10),
    ('qv_int4set_agg_optimized', 'qv_int4set_agg_optimized(v, {max}, ''r'')', 10);

CREATE FUNCTION run_ms(expr text, n int) RETURNS float8 LANGUAGE plpgsql AS $$
DECLARE plan json;
BEGIN
    -- {max}: the largest value the data can hold, the bitfield aggregate's bound
    EXECUTE format('EXPLAIN (ANALYZE, TIMING OFF, FORMAT JSON) SELECT %s FROM v WHERE n = %s',
                   replace(expr, '{max}', (10 * n)::text), n)
        INTO plan;
    RETURN (plan -> 0 ->> 'Execution Time')::float8;
END $$;

CREATE TABLE samples (round int, n int, name text, ms float8);
DO $$
DECLARE c record; s int; r int;
BEGIN
    FOR r IN 1..3 LOOP
        FOREACH s IN ARRAY ARRAY[100000, 1000000, 10000000] LOOP
            FOR c IN SELECT * FROM cases
                     WHERE min_major * 10000 <= current_setting('server_version_num')::int LOOP
                INSERT INTO samples VALUES (r, s, c.name, run_ms(c.expr, s));
            END LOOP;
        END LOOP;
    END LOOP;
END $$;

SELECT n AS rows, name, round(min(ms)::numeric, 1) AS ms,
       round((min(ms) * 1e6 / n)::numeric, 1) AS ns_per_row
FROM samples GROUP BY n, name ORDER BY n, min(ms);

\if :{?benchdata} \else \set benchdata . \endif
SELECT n AS rows, name, min(ms) * 1e6 / n AS ns_per_row FROM samples GROUP BY 1, 2 ORDER BY 1, 2
\g (format=csv) :benchdata/agg_per_row.csv

RESET search_path;
DROP SCHEMA bench_agg_per_row CASCADE;
