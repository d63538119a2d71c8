-- The bitfield set aggregate: values in 0..maxinput gathered as bits.
\set VERBOSITY verbose

-- one value per row, the three output encodings
SELECT qv_int4set_agg_optimized(v, 10, 'r') AS r, qv_int4set_agg_optimized(v, 10, 's') AS s,
       qv_int4set_agg_optimized(v, 10, 'm') AS m
FROM unnest(ARRAY[9, 3, 4, 5, 4]) AS v;

-- no rows, only null rows, and the empty set in mix form: zero elements
SELECT qv_int4set_agg_optimized(v, 10, 'r') AS no_rows, array_length(qv_int4set_agg_optimized(v, 10, 'm'), 1)
FROM unnest('{}'::int4[]) AS v;
SELECT qv_int4set_agg_optimized(v, 10, 'm') AS null_rows, qv_int4set_agg_optimized(v, v, 10, 'r') AS null_ranges
FROM unnest('{NULL,NULL}'::int4[]) AS v;
SELECT qv_int4set_agg_optimized('r', a, 10, 's') AS null_arrays FROM (VALUES (NULL::int4[])) AS t(a);

-- the domain ends with the byte of maxinput: 10 accepts 0..15
SELECT qv_int4set_agg_optimized(v, 10, 's') FROM unnest(ARRAY[0, 15, NULL]) AS v;
SELECT qv_int4set_agg_optimized(v, 10, 's') FROM unnest(ARRAY[0, 16]) AS v;
SELECT qv_int4set_agg_optimized(v, 10, 's') FROM unnest(ARRAY[0, -1]) AS v;
SELECT qv_int4set_agg_optimized(v, 2147483647, 'r') FROM unnest(ARRAY[0, 2147483647]) AS v;

-- maxinput and the output type are read from the first row only
SELECT qv_int4set_agg_optimized(v, m, o) FROM (VALUES (1, 10, 'r'::"char"), (15, 30, 'x')) AS t(v, m, o);
SELECT qv_int4set_agg_optimized(v, m, o) FROM (VALUES (1, 10, 'r'::"char"), (20, 30, 'x')) AS t(v, m, o);
SELECT qv_int4set_agg_optimized(v, 0, 'r') FROM unnest(ARRAY[1]) AS v;
SELECT qv_int4set_agg_optimized(v, -5, 'r') FROM unnest(ARRAY[1]) AS v;
SELECT qv_int4set_agg_optimized(v, NULL, 'r') FROM unnest(ARRAY[1]) AS v;
SELECT qv_int4set_agg_optimized(v, 10, 'x') FROM unnest(ARRAY[1]) AS v;

-- one range per row: inverted ranges add nothing
SELECT qv_int4set_agg_optimized(lo, hi, 100, 'r')
FROM (VALUES (1, 3), (7, 2), (4, 6), (NULL, 50), (50, NULL), (90, 103)) AS t(lo, hi);
SELECT qv_int4set_agg_optimized(lo, hi, 100, 'r') FROM (VALUES (90, 104)) AS t(lo, hi);
-- a span over the whole int4 domain fails after bounded work
SELECT qv_int4set_agg_optimized(lo, hi, 100, 'r') FROM (VALUES (-2147483648, 2147483647)) AS t(lo, hi);

-- whole sets per row
SELECT qv_int4set_agg_optimized(k, a, 100, 'r') AS r
FROM (VALUES ('r'::"char", '{1,3,10,12}'::int4[]), ('r', '{5,4}'), ('r', '{{1,2},{3,4}}'),
             ('r', '{20,21,NULL,22}'), ('r', '{}'), ('r', '{13,13}')) AS t(k, a);
SELECT qv_int4set_agg_optimized('s', a, 100, 'm') AS m
FROM (VALUES ('{1,2,3}'::int4[]), ('{7}'), ('{}'), ('{{40}}')) AS t(a);
SELECT qv_int4set_agg_optimized('m', a, 100, 's') AS s
FROM (VALUES ('{6,1,-2147483644,8}'::int4[]), ('{0}'), ('{2,20,-2147483628,10}'), ('{1,100}')) AS t(a);
SELECT qv_int4set_agg_optimized('r', a, 10, 'r') FROM (VALUES ('{2,4,20,30}'::int4[])) AS t(a);
SELECT qv_int4set_agg_optimized('r', a, 10, 'r') FROM (VALUES ('{2,2147483647}'::int4[])) AS t(a);
SELECT qv_int4set_agg_optimized('r', a, 10, 'r') FROM (VALUES ('{1,5,7}'::int4[])) AS t(a);
SELECT qv_int4set_agg_optimized('s', a, 10, 'r') FROM (VALUES ('{1,5,-7}'::int4[])) AS t(a);
SELECT qv_int4set_agg_optimized('m', a, 10, 'r') FROM (VALUES ('{2,1,-2147483645}'::int4[])) AS t(a);
SELECT qv_int4set_agg_optimized('x', a, 10, 'r') FROM (VALUES ('{1}'::int4[])) AS t(a);

-- groups
SELECT g, qv_int4set_agg_optimized(v, 1000, 'r')
FROM (SELECT v % 3 AS g, v FROM generate_series(1, 30) AS v) AS t
GROUP BY g ORDER BY g;

-- the support functions refuse to run outside an aggregate
CREATE FUNCTION outside_deserialfn(bytea, bytea) RETURNS bytea
AS 'libTarvoxPgRangeOperators2_0', 'qv_int4set_agg_optimized_deserialfn' LANGUAGE C;
CREATE FUNCTION outside_transfn(bytea, int4, int4, "char") RETURNS bytea
AS 'libTarvoxPgRangeOperators2_0', 'qv_int4set_agg_optimized_transfn_A' LANGUAGE C;
SELECT outside_deserialfn('\x00', NULL);
SELECT outside_transfn(NULL, 1, 10, 'r');

-- parallel plans give the serial result
CREATE TABLE pv AS
SELECT v, (v::int8 * 7919 % 400000)::int4 AS w, CASE WHEN v % 5 = 0 THEN NULL ELSE v % 1000 END AS sparse
FROM generate_series(1, 300000) AS v;
ANALYZE pv;
-- every form at once; the planner picks the plan when the view is read
CREATE VIEW all_forms AS SELECT
  qv_int4set_agg_optimized(w, 400000, 'r') AS r,
  qv_int4set_agg_optimized(w, 400000, 's') AS s,
  qv_int4set_agg_optimized(sparse, 1000, 'm') AS m,
  -- the domain follows the first row each worker sees: states of different sizes
  qv_int4set_agg_optimized(w % 100000, 100000 + v % 2 * 300000, 'r') AS sizes,
  qv_int4set_agg_optimized(w, w + 10, 500000, 'r') AS ranges,
  qv_int4set_agg_optimized('s', ARRAY[w, w + 1], 500000, 'r') AS arrays,
  qv_int4set_agg_optimized(CASE WHEN v = 123456 THEN w END, 400000, 'r') AS one_row,
  qv_int4set_agg_optimized(CASE WHEN v < 0 THEN w END, 400000, 'r') AS all_null
FROM pv;
-- under the default settings the scan alone goes parallel, while the
-- aggregate, whose partial states are whole bit buffers, stays serial
EXPLAIN (COSTS OFF) SELECT count(w) FROM pv;
EXPLAIN (COSTS OFF) SELECT qv_int4set_agg_optimized(w, 400000, 'r') FROM pv;
SET parallel_setup_cost = 0;
SET min_parallel_table_scan_size = 0;
SET max_parallel_workers_per_gather = 2;
-- the partial-state functions' costs set aside, so that the parallel plans
-- checked here are chosen (gathering the rows themselves keeps its cost)
SET cpu_operator_cost = 0;
-- the parallel results as digests, kept for the comparison below: a plain
-- SELECT runs in parallel on every major, CREATE TABLE AS only from 11 on
CREATE VIEW all_digests AS SELECT
  md5(r::text) AS r, md5(s::text) AS s, md5(m::text) AS m, md5(sizes::text) AS sizes,
  md5(ranges::text) AS ranges, md5(arrays::text) AS arrays,
  md5(coalesce(one_row::text, '-')) AS one_row, md5(coalesce(all_null::text, '-')) AS all_null
FROM all_forms;
EXPLAIN (COSTS OFF) SELECT * FROM all_digests;
SELECT * FROM all_digests \gset par_
-- workers where no row matches the filter, or only one worker's does
EXPLAIN (COSTS OFF) SELECT qv_int4set_agg_optimized(w, 400000, 'r') FROM pv WHERE v % 1000 = 1001;
SELECT qv_int4set_agg_optimized(w, 400000, 'r') AS none,
       qv_int4set_agg_optimized(w, 400000, 'm') AS none_m FROM pv WHERE v % 1000 = 1001;
SELECT qv_int4set_agg_optimized(w, 400000, 'r') AS one FROM pv WHERE v % 300000 = 77;
SET max_parallel_workers_per_gather = 0;
EXPLAIN (COSTS OFF) CREATE TEMP TABLE ser AS SELECT * FROM all_forms;
CREATE TEMP TABLE ser AS SELECT * FROM all_forms;
SELECT :'par_r' = d.r AS r, :'par_s' = d.s AS s, :'par_m' = d.m AS m, :'par_sizes' = d.sizes AS sizes,
       :'par_ranges' = d.ranges AS ranges, :'par_arrays' = d.arrays AS arrays,
       :'par_one_row' = d.one_row AS one_row, :'par_all_null' = d.all_null AS all_null,
       array_length(s.s, 1) AS values, array_length(s.r, 1) AS range_bounds, s.m[1:6] AS m_head,
       s.one_row, s.all_null
FROM ser AS s, all_digests AS d;
-- the serial result against a plain computation
SELECT (SELECT array_agg(DISTINCT w ORDER BY w) FROM pv) = s AS s_matches FROM ser;
RESET max_parallel_workers_per_gather;
RESET cpu_operator_cost;

-- results past the server's array limit (134217727 elements) are refused
-- before they are built: the server could not print or store them
SELECT qv_int4set_agg_optimized(0, 134217727, 134217727, 's');
