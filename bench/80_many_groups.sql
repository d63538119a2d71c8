-- The four aggregates over many groups, hashed and sorted, against array_agg
-- (and uniq(sort(array_agg)) from intarray for the set aggregates) on the
-- same grouping; the set-expression aggregate, whose operand is an array
-- built per row, also against array_agg of that same operand.  10,000,000 rows of values in 0..999, grouped two ways:
-- 1,000,000 groups of 10 rows and 100,000 groups of 100 rows.
--
-- Each figure is EXPLAIN (ANALYZE, TIMING OFF) of SELECT k, <aggregate>
-- FROM mgb GROUP BY k: the execution time, and the memory the plan reports:
-- for hashed aggregation its peak memory (and what it spilled to disk), for
-- sorted aggregation that of the sort.  Hashed runs with enable_sort off,
-- sorted with enable_hashagg off.  Cases run interleaved; the best of
-- :rounds rounds (default 1) counts.  Smaller runs:
--   psql -v rows=1000000 -v rounds=3 -f bench/80_many_groups.sql
-- (groups scale with rows: rows / 10 and rows / 100).
\if :{?rows}
\else
\set rows 10000000
\endif
\if :{?rounds}
\else
\set rounds 1
\endif

SET client_min_messages = warning;
SET max_parallel_workers_per_gather = 0;
DROP SCHEMA IF EXISTS bench_many_groups CASCADE;
CREATE SCHEMA bench_many_groups;
SET search_path = bench_many_groups, public;

SELECT setseed(0.4211);
CREATE TABLE mgb AS
SELECT i % (:rows / 10) AS k10, i % (:rows / 100) AS k100, (random() * 999)::int4 AS v
FROM generate_series(1, :rows) i;
VACUUM ANALYZE mgb;

-- (grouping column, label, aggregate call); keep-single keeps the key itself
CREATE TABLE cases (grouping text, label text, call text, ord int);
INSERT INTO cases
SELECT g, label, format(call, g), ord
FROM (VALUES ('k10'), ('k100')) AS gs(g),
     (VALUES (1, 'array_agg', 'array_agg(v)'),
             (2, 'uniq(sort(array_agg))', 'uniq(sort(array_agg(v)))'),
             (3, 'qv_int4set_agg', 'qv_int4set_agg(v, ''r'')'),
             (4, 'qv_int4set_agg_optimized', 'qv_int4set_agg_optimized(v, 999, ''r'')'),
             (5, 'array_agg(ARRAY[v, v])', 'array_agg(ARRAY[v, v])'),
             (6, 'qv_int4range_op', 'qv_int4range_op(1::int2, ARRAY[v, v])'),
             (7, 'qv_agg_keep_single', 'qv_agg_keep_single(%s)')) AS c(ord, label, call);

CREATE TABLE results (grouping text, label text, strategy text, ms float8, mem_kb bigint, disk_kb bigint);

-- Runs one grouping under EXPLAIN ANALYZE with the strategy forced; records
-- its time and the memory and disk of its aggregation (hashed) or sort.
CREATE FUNCTION run_case(c cases, hashed bool) RETURNS void LANGUAGE plpgsql AS $$
DECLARE plan jsonb; node jsonb; mem bigint; disk bigint;
BEGIN
    PERFORM set_config('enable_hashagg', CASE WHEN hashed THEN 'on' ELSE 'off' END, true);
    PERFORM set_config('enable_sort', CASE WHEN hashed THEN 'off' ELSE 'on' END, true);
    EXECUTE format('EXPLAIN (ANALYZE, TIMING OFF, FORMAT JSON) SELECT %I, %s FROM mgb GROUP BY %I',
                   c.grouping, c.call, c.grouping) INTO plan;
    node := plan -> 0 -> 'Plan';
    IF hashed THEN
        mem := (node ->> 'Peak Memory Usage')::bigint;
        disk := coalesce((node ->> 'Disk Usage')::bigint, 0);
    ELSE
        node := node -> 'Plans' -> 0;
        mem := CASE WHEN node ->> 'Sort Space Type' = 'Memory' THEN (node ->> 'Sort Space Used')::bigint END;
        disk := CASE WHEN node ->> 'Sort Space Type' = 'Disk' THEN (node ->> 'Sort Space Used')::bigint ELSE 0 END;
    END IF;
    INSERT INTO results VALUES (c.grouping, c.label,
        CASE WHEN hashed THEN 'hashed' ELSE 'sorted' END,
        (plan -> 0 ->> 'Execution Time')::float8, mem, disk);
END $$;

SELECT format('SELECT run_case(c, %L) FROM cases c WHERE grouping = %L AND label = %L',
              h, grouping, label)
FROM generate_series(1, :rounds) r, cases, (VALUES (true), (false)) AS hs(h)
ORDER BY r, grouping, h, ord \gexec

-- Best time per case; time and memory against array_agg on the same grouping
-- and strategy, and hashed time against sorted.
WITH best AS (
    SELECT grouping, label, strategy, min(ms) AS ms, max(mem_kb) AS mem_kb, max(disk_kb) AS disk_kb
    FROM results GROUP BY 1, 2, 3)
SELECT CASE b.grouping WHEN 'k10' THEN (:rows / 10) || ' x 10' ELSE (:rows / 100) || ' x 100' END AS groups,
       b.label AS aggregate, b.strategy,
       round(b.ms::numeric, 0) AS ms,
       round((b.ms / a.ms)::numeric, 2) AS time_vs_array_agg,
       round((b.ms / s.ms)::numeric, 2) AS hashed_vs_sorted,
       b.mem_kb, b.disk_kb,
       round((b.mem_kb::numeric / nullif(a.mem_kb, 0)), 2) AS mem_vs_array_agg
FROM best b
JOIN best a ON a.grouping = b.grouping AND a.strategy = b.strategy AND a.label = 'array_agg'
JOIN best s ON s.grouping = b.grouping AND s.label = b.label AND s.strategy = 'sorted'
JOIN cases c ON c.grouping = b.grouping AND c.label = b.label
ORDER BY b.grouping DESC, b.strategy, c.ord;

RESET search_path;
DROP SCHEMA bench_many_groups CASCADE;
