-- Every aggregate over 200,000 groups by hashed aggregation: each must end
-- within a time limit that allows per-group costs of bytes, and hold at most
-- twice the memory array_agg holds on the same grouping.  A memory context
-- per state makes hashed aggregation sum every state's context for each new
-- group (quadratic: minutes here) and costs a block per group.
SET max_parallel_workers_per_gather = 0;
-- Servers before 13 hash only what the planner thinks fits in work_mem, and
-- it counts 8 kB for every internal state: 200,000 groups need this much.
SET work_mem = '2000MB';
SET enable_sort = off;

CREATE TEMP TABLE mg AS
SELECT i % 200000 AS k, i AS v FROM generate_series(1, 400000) i;
ANALYZE mg;

-- Runs a grouping under EXPLAIN ANALYZE and gives the peak memory (kB) of
-- its hashed aggregation; fails unless the plan hashed and gave every group.
CREATE FUNCTION mg_hashed_peak_kb(q text) RETURNS bigint LANGUAGE plpgsql AS $$
DECLARE node jsonb;
BEGIN
    EXECUTE 'EXPLAIN (ANALYZE, FORMAT JSON, TIMING OFF, SUMMARY OFF) ' || q INTO node;
    node := node -> 0 -> 'Plan';
    IF node ->> 'Strategy' <> 'Hashed' OR (node ->> 'Actual Rows')::numeric <> 200000 THEN
        RAISE EXCEPTION 'not a hashed aggregation of every group: %', node;
    END IF;
    RETURN (node ->> 'Peak Memory Usage')::bigint;
END $$;

CREATE TEMP TABLE mg_reference AS
SELECT mg_hashed_peak_kb('SELECT k, array_agg(v) FROM mg GROUP BY k') AS kb;

-- One statement per aggregate, each under the time limit.
SET statement_timeout = '20s';
SELECT format('SELECT %L AS aggregate, mg_hashed_peak_kb(%L) <= 2 * kb AS within_twice_array_agg FROM mg_reference',
              name, 'SELECT k, ' || call || ' FROM mg GROUP BY k')
FROM (VALUES
  ('qv_int4set_agg', 'qv_int4set_agg(v, ''r'')'),
  ('qv_int4set_agg_optimized', 'qv_int4set_agg_optimized(v % 64, 63, ''r'')'),
  ('qv_int4range_op', 'qv_int4range_op(1::int2, ARRAY[v, v])'),
  ('qv_agg_keep_single', 'qv_agg_keep_single(k)')
) AS t(name, call) \gexec
RESET statement_timeout;

DROP FUNCTION mg_hashed_peak_kb(text);
DROP TABLE mg, mg_reference;
