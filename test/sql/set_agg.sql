-- The general set aggregate qv_int4set_agg in its three forms.
\set VERBOSITY verbose

-- rows 5, 3, 4, 10 in the three output encodings
SELECT qv_int4set_agg(v, 'r') AS r, qv_int4set_agg(v, 's') AS s, qv_int4set_agg(v, 'm') AS m
FROM unnest('{5,3,4,10}'::int4[]) AS v;

-- no rows, only nulls, interleaved nulls; the empty result is a
-- one-dimensional array of length 0 (24 bytes), not null
SELECT qv_int4set_agg(v, 'r') AS r, array_dims(qv_int4set_agg(v, 's')) AS dims,
       pg_column_size(qv_int4set_agg(v, 'm')) AS bytes
FROM unnest('{}'::int4[]) AS v;
SELECT qv_int4set_agg(v, 'r') AS r, array_dims(qv_int4set_agg(v, 'r')) AS dims,
       qv_int4set_agg(v, 'm') AS m, qv_int4set_agg(v, v, 's') AS s
FROM unnest('{NULL,NULL}'::int4[]) AS v;
SELECT qv_int4set_agg(v, 'r') AS r FROM unnest('{NULL,7,NULL,8,NULL}'::int4[]) AS v;

-- groups: each group its own state
SELECT g, qv_int4set_agg(v, 'r') AS r, qv_int4set_agg(v, 'm') AS m
FROM (VALUES (1, 1), (2, 10), (1, 2), (3, NULL), (2, 12), (1, 3), (2, 11)) AS t(g, v)
GROUP BY g ORDER BY g;

-- ranges given as two int4: touching ranges join, a gap keeps them apart
SELECT qv_int4set_agg(lo, hi, 'r') AS touching
FROM (VALUES (1, 3), (4, 6)) AS t(lo, hi);
SELECT qv_int4set_agg(lo, hi, 'r') AS apart, qv_int4set_agg(lo, hi, 's') AS s,
       qv_int4set_agg(lo, hi, 'm') AS m
FROM (VALUES (5, 6), (1, 3)) AS t(lo, hi);
SELECT qv_int4set_agg(lo, hi, 'r') AS null_bound_skipped
FROM (VALUES (1, NULL), (NULL, 2), (4, 4)) AS t(lo, hi);

-- a pair with lower > upper holds no value: it is skipped and the set stays
-- sound for the rows after it (kinds 2, 4 and 5)
SELECT qv_int4set_agg(lo, hi, 'r') AS r, qv_int4set_agg(lo, hi, 's') AS s
FROM (VALUES (10, 1), (2, 3), (20, 5), (5, 6), (8, 8)) AS t(lo, hi);
SELECT qv_int4set_agg('r', a, 'r') AS r
FROM (VALUES ('{9,3,20,30}'::int4[]), ('{1,2,25,26}'), ('{40,-40}')) AS t(a);
SELECT qv_int4set_agg('m', a, 'r') AS r
FROM (VALUES ('{2,-2147483639,3,20}'::int4[]), ('{1,1}')) AS t(a);

-- the extremes of int4
SELECT qv_int4set_agg(lo, hi, 'r') AS r, qv_int4set_agg(lo, hi, 's') AS s
FROM (VALUES (2147483645, 2147483647), (2147483647, 2147483647),
             (-2147483648, -2147483647)) AS t(lo, hi);
SELECT qv_int4set_agg(lo, hi, 'r') AS far_apart
FROM (VALUES (2147483647, 2147483647), (-2147483648, -2147483648)) AS t(lo, hi);
SELECT qv_int4set_agg(lo, hi, 'm') AS m
FROM (VALUES (2147483640, 2147483647), (0, 0), (5, 6)) AS t(lo, hi);

-- arrays as rows: scalar arrays in any order with repeats, range arrays, mix arrays
SELECT qv_int4set_agg('s', a, 'r') AS r, qv_int4set_agg('s', a, 's') AS s
FROM (VALUES ('{5,1,5,3}'::int4[]), ('{2}'), ('{}'), (NULL)) AS t(a);
SELECT qv_int4set_agg('r', a, 'r') AS r, qv_int4set_agg('r', a, 'm') AS m
FROM (VALUES ('{1,3,10,12}'::int4[]), ('{4,5}'), (NULL), ('{}')) AS t(a);
SELECT qv_int4set_agg('m', a, 's') AS s
FROM (VALUES ('{6,1,-2147483644,8}'::int4[]), ('{0}'), ('{}'), (NULL)) AS t(a);
SELECT qv_int4set_agg('m', a, 'r') AS mix_round_trip
FROM (SELECT qv_int4set_agg(v, 'm') AS a FROM unnest('{1,2,3,5,7,8}'::int4[]) AS v) AS t;

-- shapes that hold nothing: two dimensions, a null element
SELECT qv_int4set_agg(k, a, 'r') AS nothing
FROM (VALUES ('s'::"char", '{{1,2},{3,4}}'::int4[]), ('r', '{1,NULL}'),
             ('m', '{{2,1,2}}')) AS t(k, a) GROUP BY k ORDER BY k;

-- a large array stored out of line
CREATE TEMP TABLE set_agg_big AS
  SELECT array_agg(v ORDER BY v DESC) AS a FROM generate_series(0, 39999) AS v;
SELECT qv_int4set_agg('s', a, 'r') AS r, array_length(qv_int4set_agg('s', a, 's'), 1) AS n
FROM set_agg_big;

-- the first row fixes the kinds; later rows' type characters are not read
SELECT qv_int4set_agg(v, (CASE WHEN v = 1 THEN 'r' ELSE 'x' END)::"char" ORDER BY v) AS r
FROM unnest('{3,1,2}'::int4[]) AS v;
SELECT qv_int4set_agg((CASE WHEN a = '{1}' THEN 's' ELSE 'x' END)::"char", a, 'r' ORDER BY a) AS r
FROM (VALUES ('{1}'::int4[]), ('{2,3}')) AS t(a);

-- failures
SELECT qv_int4set_agg(v, 'x') FROM unnest('{1}'::int4[]) AS v;
SELECT qv_int4set_agg(v, 'R') FROM unnest('{1}'::int4[]) AS v;
SELECT qv_int4set_agg('R', a, 'r') FROM (VALUES ('{1}'::int4[])) AS t(a);
SELECT qv_int4set_agg('r', a, 'r') FROM (VALUES ('{1,5,7}'::int4[])) AS t(a);
SELECT qv_int4set_agg('m', a, 'r') FROM (VALUES ('{3,1,-2147483644}'::int4[])) AS t(a);
SELECT qv_int4set_agg('m', a, 'r') FROM (VALUES ('{1,-2147483644}'::int4[])) AS t(a);

-- a mix array holds no negative value and at most 2147483647 values
SELECT qv_int4set_agg(v, 'm') FROM unnest('{3,-1}'::int4[]) AS v;
SELECT qv_int4set_agg(lo, hi, 'm') FROM (VALUES (-5, 3)) AS t(lo, hi);
SELECT qv_int4set_agg(lo, hi, 'm') FROM (VALUES (0, 2147483646)) AS t(lo, hi);
SELECT qv_int4set_agg(lo, hi, 'm') FROM (VALUES (0, 2147483647)) AS t(lo, hi);
SELECT qv_int4set_agg(lo, hi, 'm') FROM (VALUES (0, 10), (12, 2147483647)) AS t(lo, hi);
-- the same sizes as a scalar array: refused before anything is allocated
SELECT qv_int4set_agg(lo, hi, 's') FROM (VALUES (-2147483648, 2147483647)) AS t(lo, hi);
SELECT qv_int4set_agg(lo, hi, 's') FROM (VALUES (-2147483648, -1)) AS t(lo, hi);
SELECT qv_int4set_agg(lo, hi, 'r') AS whole_domain
FROM (VALUES (-2147483648, 2147483647)) AS t(lo, hi);

-- the support functions refuse to run outside an aggregate (reached here
-- through declarations that SQL can call directly)
CREATE FUNCTION pg_temp.transfn_probe(int8, int4, "char") RETURNS int8
  AS '$libdir/libTarvoxPgRangeOperators2_0', 'qv_int4set_agg_transfn_A' LANGUAGE C;
CREATE FUNCTION pg_temp.combinefn_probe(int8, int8) RETURNS int8
  AS '$libdir/libTarvoxPgRangeOperators2_0', 'qv_int4set_agg_combinefn' LANGUAGE C;
CREATE FUNCTION pg_temp.deserialfn_probe(bytea, int8) RETURNS int8
  AS '$libdir/libTarvoxPgRangeOperators2_0', 'qv_int4set_agg_deserialfn' LANGUAGE C;
SELECT pg_temp.transfn_probe(NULL, 1, 'r');
SELECT pg_temp.combinefn_probe(NULL, NULL);
SELECT pg_temp.deserialfn_probe('\x0104', NULL);

-- the serialised state, byte for byte: input kind, output kind, then each
-- range as int32 lower and upper (little-endian here)
CREATE AGGREGATE pg_temp.set_state(int4, "char") (
  SFUNC = qv_int4set_agg_transfn_A, STYPE = internal, FINALFUNC = qv_int4set_agg_serialfn);
CREATE AGGREGATE pg_temp.set_state(int4, int4, "char") (
  SFUNC = qv_int4set_agg_transfn_A, STYPE = internal, FINALFUNC = qv_int4set_agg_serialfn);
CREATE AGGREGATE pg_temp.set_state("char", int4[], "char") (
  SFUNC = qv_int4set_agg_transfn_B, STYPE = internal, FINALFUNC = qv_int4set_agg_serialfn);
SELECT pg_temp.set_state(v, 'r') AS one_value_r FROM unnest('{5,3,4,10}'::int4[]) AS v;
SELECT pg_temp.set_state(lo, hi, 'm') AS two_values_m
FROM (VALUES (-1, 1), (2147483647, 2147483647)) AS t(lo, hi);
SELECT pg_temp.set_state('s', a, 's') AS scalar_s FROM (VALUES ('{258}'::int4[])) AS t(a);
SELECT pg_temp.set_state('m', a, 'r') AS mix_r FROM (VALUES ('{0}'::int4[])) AS t(a);
SELECT pg_temp.set_state(v, 'r') AS only_nulls FROM unnest('{NULL}'::int4[]) AS v;
SELECT pg_temp.set_state(v, 'r') IS NULL AS no_rows FROM unnest('{}'::int4[]) AS v;
-- many rows in random order: the state holds the ranges in order
SELECT length(s) AS bytes, substr(s, 1, 2) AS kinds, substr(s, 3, 8) AS first_range,
       substr(s, length(s) - 7, 8) AS last_range
FROM (SELECT pg_temp.set_state(v, 'r') AS s
      FROM (SELECT v FROM generate_series(0, 19998, 2) AS v ORDER BY md5(v::text)) AS t) AS q;

-- parallel aggregation: partial states are serialised in the workers,
-- deserialised and combined in the leader
CREATE TABLE set_agg_par AS
  SELECT i, ('x' || substr(md5(i::text), 1, 7))::bit(28)::int4 % 2000000 AS v,
         CASE WHEN i = 123456 THEN 77 END AS sparse,
         NULL::int4 AS none
  FROM generate_series(1, 300000) AS i;
ANALYZE set_agg_par;
SET parallel_setup_cost = 0;
SET parallel_tuple_cost = 0;
SET min_parallel_table_scan_size = 0;
SET max_parallel_workers_per_gather = 2;
-- workers only, where the server can say so
DO $$ BEGIN PERFORM set_config(name, 'off', false) FROM pg_settings WHERE name = 'parallel_leader_participation'; END $$;

EXPLAIN (COSTS OFF) SELECT qv_int4set_agg(v, 'r') FROM set_agg_par;

-- whether a statement ran a Partial Aggregate in at least one worker
CREATE FUNCTION pg_temp.ran_in_parallel(query text) RETURNS bool LANGUAGE plpgsql AS $$
DECLARE plan json;
BEGIN
  EXECUTE 'EXPLAIN (ANALYZE, COSTS OFF, TIMING OFF, FORMAT JSON) ' || query INTO plan;
  RETURN plan::text LIKE '%"Partial Mode": "Partial"%'
     AND (plan::text ~ '"Workers Launched": [1-9]');
END $$;

-- results of one statement in a parallel and in a serial plan, as digests
CREATE FUNCTION pg_temp.parallel_matches_serial(query text) RETURNS text LANGUAGE plpgsql AS $$
DECLARE
  digest text := 'SELECT md5(string_agg(x::text, ''|'')) FROM (' || query || ') AS q(x)';
  par text;
  ser text;
BEGIN
  IF NOT pg_temp.ran_in_parallel(digest) THEN RETURN 'not parallel'; END IF;
  EXECUTE digest INTO par;
  SET LOCAL max_parallel_workers_per_gather = 0;
  IF pg_temp.ran_in_parallel(digest) THEN RETURN 'not serial'; END IF;
  EXECUTE digest INTO ser;
  SET LOCAL max_parallel_workers_per_gather = 2;
  RETURN CASE WHEN par = ser THEN 'same' ELSE 'DIFFERENT' END;
END $$;

SELECT q, pg_temp.parallel_matches_serial(q) AS result FROM (VALUES
  ($$SELECT qv_int4set_agg(v, 'r') FROM set_agg_par$$),
  ($$SELECT qv_int4set_agg(v, 's') FROM set_agg_par$$),
  ($$SELECT qv_int4set_agg(v, 'm') FROM set_agg_par$$),
  ($$SELECT qv_int4set_agg(v, v + i % 7, 'r') FROM set_agg_par$$),
  ($$SELECT qv_int4set_agg('s', ARRAY[v, v + 3], 'm') FROM set_agg_par$$),
  ($$SELECT qv_int4set_agg('r', ARRAY[v, v + 1], 'r') FROM set_agg_par$$),
  ($$SELECT qv_int4set_agg('m', ARRAY[2, v | (1 << 31), v + 1], 's') FROM set_agg_par$$)
) AS t(q);

SELECT array_length(qv_int4set_agg(v, 'r'), 1) AS r_elements,
       array_length(qv_int4set_agg(v, 's'), 1) AS values
FROM set_agg_par;

-- a worker whose rows are all null, or that sees no row, or where no row
-- matches at all: the result is that of the serial plan (i + 0 < 0 matches
-- nothing, but the planner expects a third of the rows there, so it still
-- aggregates in the workers)
SELECT pg_temp.ran_in_parallel($$SELECT qv_int4set_agg(sparse, 'r') FROM set_agg_par$$) AS par;
SELECT qv_int4set_agg(sparse, 'r') AS one_value, qv_int4set_agg(sparse, 's') AS s,
       qv_int4set_agg(sparse, 'm') AS m FROM set_agg_par;
SELECT qv_int4set_agg(none, 'r') AS only_nulls, qv_int4set_agg(none, 'm') AS m FROM set_agg_par;
SELECT qv_int4set_agg(i, 'r') AS one_row FROM set_agg_par WHERE i = 200000;
SELECT qv_int4set_agg(v, 'r') AS no_row, qv_int4set_agg(v, 's') AS s FROM set_agg_par WHERE i + 0 < 0;
SELECT qv_int4set_agg('r', ARRAY[v, v], 'r') AS arrays_no_row FROM set_agg_par WHERE i + 0 < 0;
SELECT pg_temp.ran_in_parallel($$SELECT qv_int4set_agg(v, 'r') FROM set_agg_par WHERE i + 0 < 0$$) AS par;
-- the worker that takes the first block sleeps there and ends last, without
-- rows, after the other worker has handed over the one matching row
SELECT qv_int4set_agg(i, 'r') AS last_worker_empty FROM set_agg_par
WHERE CASE WHEN i <= 3 THEN pg_sleep(0.3) IS NULL ELSE i = 300000 END;
SELECT pg_temp.ran_in_parallel($$SELECT qv_int4set_agg(i, 'r') FROM set_agg_par
  WHERE CASE WHEN i <= 3 THEN pg_sleep(0.3) IS NULL ELSE i = 300000 END$$) AS par;

DROP TABLE set_agg_par;

-- results past the server's array limit (134217727 elements) are refused
-- before they are built: the server could not print or store them
SELECT qv_int4set_agg(0, 134217727, 's');
SELECT qv_int4set_agg(-67108864, 67108863, 's');
SELECT cardinality(qv_int4set_agg(0, 134217726, 's'));
