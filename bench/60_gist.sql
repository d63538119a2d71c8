-- GiST over packed ranges against the built-in GiST on int4range (with
-- int4range and int4multirange queries), and GiST over int4 against
-- btree_gist: build time, index size, 1,000 selective queries, and 100,000
-- inserts into the built index.  Each index has a table of its own.
SELECT setseed(0.25);

-- Each timed step also lands in bench_gist_results (case, metric, side,
-- value), written out as gist.csv for scripts/charts at the end.
CREATE TABLE bench_gist_results (kase text, metric text, side text, value float8);
CREATE FUNCTION bench_gist_timed(kase text, metric text, side text, q text) RETURNS void
LANGUAGE plpgsql AS $$
DECLARE t timestamptz := clock_timestamp();
BEGIN
    EXECUTE q;
    INSERT INTO bench_gist_results
    VALUES (kase, metric, side, extract(epoch FROM clock_timestamp() - t) * 1000);
END $$;
CREATE FUNCTION bench_gist_size(kase text, side text, idx regclass) RETURNS void
LANGUAGE sql AS $$
    INSERT INTO bench_gist_results VALUES (kase, 'size MB', side, pg_relation_size(idx) / 1048576.0)
$$;

-- 1,000,000 random intervals of widths 1 to 1,000 in [0; 10,000,000)
CREATE TABLE bench_gist_source AS
SELECT (random() * 10000000)::int4 AS lo, 1 + (random() * 999)::int4 AS w
FROM generate_series(1, 1100000);
CREATE TABLE bench_gist_packed AS
SELECT qv_range_pack(lo, lo + w - 1) AS r FROM bench_gist_source LIMIT 1000000;
CREATE TABLE bench_gist_int4range AS
SELECT int4range(lo, lo + w - 1, '[]') AS ir FROM bench_gist_source LIMIT 1000000;
-- 1,000 query intervals of width 100, and 1,000 sets of ten such intervals
CREATE TABLE bench_gist_queries AS
SELECT i, qv_range_pack(lo, lo + 99) AS q, int4range(lo, lo + 99, '[]') AS iq
FROM (SELECT i, (random() * 10000000)::int4 AS lo FROM generate_series(1, 1000) AS i) AS s;
CREATE TABLE bench_gist_sets AS
SELECT i, array_agg(b ORDER BY b) AS qa, range_agg(DISTINCT int4range(lo, lo + 99, '[]')) AS mq
FROM (SELECT i, j, (j * 1000000 + random() * 999000)::int4 AS lo
      FROM generate_series(1, 1000) AS i, generate_series(0, 9) AS j) AS s,
     LATERAL (VALUES (lo), (lo + 99)) AS bounds (b)
GROUP BY i;
VACUUM ANALYZE bench_gist_packed, bench_gist_int4range, bench_gist_queries, bench_gist_sets;

\echo '--- build: packed ranges, then built-in int4range'
SELECT bench_gist_timed('packed int8', 'build ms', 'ours',
    'CREATE INDEX bench_gist_r ON bench_gist_packed USING gist (r qv_gist_range_int8_ops)');
SELECT bench_gist_timed('packed int8', 'build ms', 'peer',
    'CREATE INDEX bench_gist_ir ON bench_gist_int4range USING gist (ir)');
SELECT bench_gist_size('packed int8', 'ours', 'bench_gist_r'), bench_gist_size('packed int8', 'peer', 'bench_gist_ir');
SELECT pg_size_pretty(pg_relation_size('bench_gist_r')) AS packed_size,
       pg_size_pretty(pg_relation_size('bench_gist_ir')) AS int4range_size;

SET enable_seqscan = off;
\echo '--- 1,000 overlap queries of width 100: packed ranges, then int4range (twice)'
EXPLAIN (COSTS OFF) SELECT count(*) FROM bench_gist_packed WHERE r && qv_range_pack(5, 104);
EXPLAIN (COSTS OFF) SELECT count(*) FROM bench_gist_int4range WHERE ir && int4range(5, 104, '[]');
SELECT bench_gist_timed('packed int8', '1000 searches ms', 'ours',
    'SELECT sum((SELECT count(*) FROM bench_gist_packed WHERE r && q)) FROM bench_gist_queries'),
       bench_gist_timed('packed int8', '1000 searches ms', 'peer',
    'SELECT sum((SELECT count(*) FROM bench_gist_int4range WHERE ir && iq)) FROM bench_gist_queries')
FROM generate_series(1, 2);

\echo '--- 1,000 overlap queries with sets of ten ranges: range array, then int4multirange'
SELECT sum((SELECT count(*) FROM bench_gist_packed WHERE r &&& qa)) FROM bench_gist_sets;
SELECT sum((SELECT count(*) FROM bench_gist_int4range WHERE ir && mq)) FROM bench_gist_sets;

\echo '--- 1,000 queries for the ranges holding a value: packed ranges, then int4range'
SELECT sum((SELECT count(*) FROM bench_gist_packed WHERE r @> qv_rangepacked_lower(q))) FROM bench_gist_queries;
SELECT sum((SELECT count(*) FROM bench_gist_int4range WHERE ir @> lower(iq))) FROM bench_gist_queries;
RESET enable_seqscan;

\echo '--- 100,000 inserts into the built index: packed ranges, then int4range'
SELECT bench_gist_timed('packed int8', '100k inserts ms', 'ours',
    'INSERT INTO bench_gist_packed SELECT qv_range_pack(lo, lo + w - 1) FROM bench_gist_source OFFSET 1000000');
SELECT bench_gist_timed('packed int8', '100k inserts ms', 'peer',
    $$INSERT INTO bench_gist_int4range SELECT int4range(lo, lo + w - 1, '[]') FROM bench_gist_source OFFSET 1000000$$);
DROP TABLE bench_gist_source, bench_gist_packed, bench_gist_int4range, bench_gist_queries, bench_gist_sets;

-- 1,000,000 random int4 values in [0; 10,000,000), twice
CREATE TABLE bench_gist_values AS
SELECT (random() * 10000000)::int4 AS v FROM generate_series(1, 1100000);
CREATE TABLE bench_gist_ours AS SELECT v FROM bench_gist_values LIMIT 1000000;
CREATE TABLE bench_gist_btree AS SELECT v FROM bench_gist_values LIMIT 1000000;
CREATE TABLE bench_gist_points AS
SELECT lo, lo + 99 AS hi, qv_range_pack(lo, lo + 99) AS q
FROM (SELECT (random() * 10000000)::int4 AS lo FROM generate_series(1, 1000)) AS s;
VACUUM ANALYZE bench_gist_ours, bench_gist_btree, bench_gist_points;

\echo '--- build on int4: ours, then btree_gist'
SELECT bench_gist_timed('int4', 'build ms', 'ours',
    'CREATE INDEX bench_gist_v ON bench_gist_ours USING gist (v qv_gist_range_int4_ops)');
SELECT bench_gist_timed('int4', 'build ms', 'peer',
    'CREATE INDEX bench_gist_bv ON bench_gist_btree USING gist (v gist_int4_ops)');
SELECT bench_gist_size('int4', 'ours', 'bench_gist_v'), bench_gist_size('int4', 'peer', 'bench_gist_bv');
SELECT pg_size_pretty(pg_relation_size('bench_gist_v')) AS ours_size,
       pg_size_pretty(pg_relation_size('bench_gist_bv')) AS btree_gist_size;

SET enable_seqscan = off;
\echo '--- 1,000 queries for values in an interval of width 100: ours, then btree_gist (twice)'
EXPLAIN (COSTS OFF) SELECT count(*) FROM bench_gist_ours WHERE v <@ qv_range_pack(5, 104);
EXPLAIN (COSTS OFF) SELECT count(*) FROM bench_gist_btree WHERE v BETWEEN 5 AND 104;
SELECT bench_gist_timed('int4', '1000 searches ms', 'ours',
    'SELECT sum((SELECT count(*) FROM bench_gist_ours WHERE v <@ q)) FROM bench_gist_points'),
       bench_gist_timed('int4', '1000 searches ms', 'peer',
    'SELECT sum((SELECT count(*) FROM bench_gist_btree WHERE v BETWEEN lo AND hi)) FROM bench_gist_points')
FROM generate_series(1, 2);
RESET enable_seqscan;

\echo '--- 100,000 inserts into the built index: ours, then btree_gist'
SELECT bench_gist_timed('int4', '100k inserts ms', 'ours',
    'INSERT INTO bench_gist_ours SELECT v FROM bench_gist_values OFFSET 1000000');
SELECT bench_gist_timed('int4', '100k inserts ms', 'peer',
    'INSERT INTO bench_gist_btree SELECT v FROM bench_gist_values OFFSET 1000000');
DROP TABLE bench_gist_values, bench_gist_ours, bench_gist_btree, bench_gist_points;

-- Best of the repeated steps: the figures, and gist.csv for scripts/charts.
SELECT kase AS "case", metric,
       round(min(value) FILTER (WHERE side = 'ours')::numeric, 1) AS ours,
       round(min(value) FILTER (WHERE side = 'peer')::numeric, 1) AS peer
FROM bench_gist_results GROUP BY 1, 2 ORDER BY 1 DESC, 2;
\if :{?benchdata} \else \set benchdata . \endif
SELECT kase AS "case", metric, min(value) FILTER (WHERE side = 'ours') AS ours,
       min(value) FILTER (WHERE side = 'peer') AS peer
FROM bench_gist_results GROUP BY 1, 2 ORDER BY 1 DESC, 2
\g (format=csv) :benchdata/gist.csv
DROP TABLE bench_gist_results;
DROP FUNCTION bench_gist_timed(text, text, text, text), bench_gist_size(text, text, regclass);
