-- Index of a column of stored sets: range arrays with qv_gist_rangearray_ops
-- against the same sets as int4multirange with the built-in multirange_ops
-- (servers 14 and later), side by side in one run.  Rows hold 1 to 100
-- ranges (few ranges most often), clustered around 1,000 centres over
-- [0; 10,000,000).  Measures build time (sorted build, and buffered
-- insertion build), index size, and for "contains a value" and "overlaps a
-- set of ten ranges" at three widths: time of 200 queries by each index and
-- of 5 by sequential scan, rows returned and rows the index handed over
-- (recheck rate).  Rows: psql variable rows (default 1,000,000):
--   scripts/bench bench/65_set_columns.sql             (1,000,000 rows)
--   psql -v rows=200000 -f bench/65_set_columns.sql    (a smaller run)
\if :{?rows}
\else
\set rows 1000000
\endif
SELECT setseed(0.65);

CREATE TABLE bench_set_centres AS
SELECT j, (j * 10000 + random() * 5000)::int4 AS c FROM generate_series(0, 999) AS j;
-- per row: a centre, a start near it, a count of ranges (1 to 100, small
-- ones most often), widths 1 to 50, gaps of 1 to 2,000 (short ones most often)
CREATE TABLE bench_set_spans AS
SELECT i, k, (sum(w + g) OVER (PARTITION BY i ORDER BY k))::int4 - w AS off, w
FROM (SELECT i, (1 + random() ^ 2 * 99)::int AS n FROM generate_series(1, :rows) AS i) AS r,
     LATERAL (SELECT k, (1 + random() * 49)::int AS w, (2 + random() * random() * 2000)::int AS g
              FROM generate_series(1, n) AS k) AS s;
CREATE TABLE bench_set_both AS
SELECT i, array_agg(b ORDER BY k, side) AS s,
       range_agg(int4range(start + off, start + off + w - 1, '[]')) AS mr
FROM (SELECT i, c + (random() * 20000)::int4 AS start
      FROM generate_series(1, :rows) AS i JOIN bench_set_centres ON j = (i::int8 * 7919) % 1000) AS r
JOIN bench_set_spans USING (i),
     LATERAL (VALUES (0, start + off), (1, start + off + w - 1)) AS bounds (side, b)
GROUP BY i;
DROP TABLE bench_set_spans;
CREATE TABLE bench_set_rows AS SELECT i, s FROM bench_set_both;
CREATE TABLE bench_set_multi AS SELECT i, mr FROM bench_set_both;
DROP TABLE bench_set_both;
VACUUM ANALYZE bench_set_rows, bench_set_multi;
SELECT count(*) AS rows, avg(cardinality(s) / 2)::numeric(6, 1) AS ranges_per_row,
       pg_size_pretty(pg_relation_size('bench_set_rows')) AS heap,
       pg_size_pretty(pg_relation_size('bench_set_multi')) AS multirange_heap
FROM bench_set_rows;

-- queries: 200 values near the centres; 200 sets of ten ranges each of
-- widths 1, 30 and 300 near ten centres
CREATE TABLE bench_set_values AS
SELECT q, c + (random() * 40000)::int4 AS v
FROM generate_series(1, 200) AS q JOIN bench_set_centres ON j = (q * 104729) % 1000;
CREATE TABLE bench_set_queries AS
SELECT width, q, mq, (SELECT array_agg(b ORDER BY b) FROM unnest(mq) AS r,
                      LATERAL (VALUES (lower(r)), (upper(r) - 1)) AS bounds (b)) AS qa
FROM (SELECT width, q, range_agg(int4range(lo, lo + width - 1, '[]')) AS mq
      FROM (SELECT width, q, c + (random() * 40000)::int4 AS lo
            FROM (VALUES (1), (30), (300)) AS w (width) CROSS JOIN generate_series(1, 200) AS q
                 CROSS JOIN generate_series(1, 10) AS t JOIN bench_set_centres ON j = (q * 31 + t * 101) % 1000) AS s
      GROUP BY width, q) AS m;
ANALYZE bench_set_values, bench_set_queries;

\echo '--- build (sorted where the server sorts), then buffered: range arrays, then multiranges'
CREATE INDEX bench_set_rows_idx ON bench_set_rows USING gist (s qv_gist_rangearray_ops);
CREATE INDEX bench_set_multi_idx ON bench_set_multi USING gist (mr);
CREATE INDEX bench_set_rows_buffered ON bench_set_rows USING gist (s qv_gist_rangearray_ops) WITH (buffering = on);
CREATE INDEX bench_set_multi_buffered ON bench_set_multi USING gist (mr) WITH (buffering = on);
SELECT pg_size_pretty(pg_relation_size('bench_set_rows_idx')) AS ours,
       pg_size_pretty(pg_relation_size('bench_set_multi_idx')) AS multirange,
       pg_size_pretty(pg_relation_size('bench_set_rows_buffered')) AS ours_buffered,
       pg_size_pretty(pg_relation_size('bench_set_multi_buffered')) AS multirange_buffered;
DROP INDEX bench_set_rows_buffered, bench_set_multi_buffered;

-- Rows returned, rows the index handed to the heap scan (those returned
-- plus those its recheck removed) and index pages read, over the queries of
-- a statement run by bitmap scans (a sequential scan is not an option for
-- it); the statement has one %s per query value.
CREATE FUNCTION pg_temp.recheck(statement text, queries text)
RETURNS TABLE (returned bigint, fetched bigint, index_pages bigint)
LANGUAGE plpgsql AS $$
DECLARE
    q text;
    plan json;
BEGIN
    returned := 0;
    fetched := 0;
    index_pages := 0;
    PERFORM set_config('enable_seqscan', 'off', true);
    FOR q IN EXECUTE queries LOOP
        EXECUTE 'EXPLAIN (ANALYZE, BUFFERS, TIMING OFF, FORMAT JSON) ' || format(statement, q) INTO plan;
        plan := plan -> 0 -> 'Plan';
        WHILE plan ->> 'Node Type' <> 'Bitmap Heap Scan' LOOP
            plan := plan -> 'Plans' -> 0;
        END LOOP;
        returned := returned + (plan ->> 'Actual Rows')::bigint;
        fetched := fetched + (plan ->> 'Actual Rows')::bigint + coalesce((plan ->> 'Rows Removed by Index Recheck')::bigint, 0);
        plan := plan -> 'Plans' -> 0;
        index_pages := index_pages + (plan ->> 'Shared Hit Blocks')::bigint + (plan ->> 'Shared Read Blocks')::bigint;
    END LOOP;
    RETURN NEXT;
END $$;

SET enable_indexscan = off;  -- bitmap scans for both, as the planner picks them
\echo '--- contains a value: 200 queries by each index (twice), then 5 by sequential scan'
SELECT sum((SELECT count(*) FROM bench_set_rows WHERE s @>> v)) FROM bench_set_values;
SELECT sum((SELECT count(*) FROM bench_set_multi WHERE mr @> v)) FROM bench_set_values;
SELECT sum((SELECT count(*) FROM bench_set_rows WHERE s @>> v)) FROM bench_set_values;
SELECT sum((SELECT count(*) FROM bench_set_multi WHERE mr @> v)) FROM bench_set_values;
SET enable_bitmapscan = off;
SELECT sum((SELECT count(*) FROM bench_set_rows WHERE s @>> v)) FROM bench_set_values WHERE q <= 5;
RESET enable_bitmapscan;
SELECT 'ours' AS index, * FROM pg_temp.recheck('SELECT count(*) FROM bench_set_rows WHERE s @>> %s', 'SELECT v::text FROM bench_set_values')
UNION ALL
SELECT 'multirange', * FROM pg_temp.recheck('SELECT count(*) FROM bench_set_multi WHERE mr @> %s', 'SELECT v::text FROM bench_set_values');

\echo '--- overlaps ten ranges of width 1, 30, 300: 200 queries by each index, then 5 by sequential scan'
SELECT width, sum((SELECT count(*) FROM bench_set_rows WHERE s &&& qa)) FROM bench_set_queries GROUP BY width ORDER BY width;
SELECT width, sum((SELECT count(*) FROM bench_set_multi WHERE mr && mq)) FROM bench_set_queries GROUP BY width ORDER BY width;
SELECT width, sum((SELECT count(*) FROM bench_set_rows WHERE s &&& qa)) FROM bench_set_queries GROUP BY width ORDER BY width;
SELECT width, sum((SELECT count(*) FROM bench_set_multi WHERE mr && mq)) FROM bench_set_queries GROUP BY width ORDER BY width;
SET enable_bitmapscan = off;
SELECT width, sum((SELECT count(*) FROM bench_set_rows WHERE s &&& qa)) FROM bench_set_queries WHERE q <= 5 GROUP BY width ORDER BY width;
RESET enable_bitmapscan;
SELECT width, 'ours' AS index, r.*
FROM (VALUES (1), (30), (300)) AS w (width),
     pg_temp.recheck('SELECT count(*) FROM bench_set_rows WHERE s &&& %L::int4[]',
                     format('SELECT qa::text FROM bench_set_queries WHERE width = %s', width)) AS r
UNION ALL
SELECT width, 'multirange', r.*
FROM (VALUES (1), (30), (300)) AS w (width),
     pg_temp.recheck('SELECT count(*) FROM bench_set_multi WHERE mr && %L::int4multirange',
                     format('SELECT mq::text FROM bench_set_queries WHERE width = %s', width)) AS r
ORDER BY width, index;

\echo '--- lies inside a set of ten ranges of width 300: 200 queries by our index'
SELECT sum((SELECT count(*) FROM bench_set_rows WHERE s <<@ qa)) FROM bench_set_queries WHERE width = 300;
RESET enable_indexscan;
DROP TABLE bench_set_centres, bench_set_rows, bench_set_multi, bench_set_values, bench_set_queries;
