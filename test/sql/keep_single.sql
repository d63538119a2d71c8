-- The keep-single aggregate: the one value of a group, or an error.
\set VERBOSITY verbose

-- Runs a query of one value and gives its result as text, or the error.
CREATE FUNCTION ks_try(q text) RETURNS text LANGUAGE plpgsql AS $$
DECLARE r text;
BEGIN
    EXECUTE q INTO r;
    RETURN coalesce(r, '<null>');
EXCEPTION WHEN others THEN
    RETURN SQLSTATE || ': ' || SQLERRM;
END $$;

-- Runs a query under EXPLAIN ANALYZE and gives the first value of a plan key.
CREATE FUNCTION ks_plan_value(q text, key text) RETURNS text LANGUAGE plpgsql AS $$
DECLARE plan jsonb;
BEGIN
    EXECUTE 'EXPLAIN (ANALYZE, FORMAT JSON, TIMING OFF, SUMMARY OFF) ' || q INTO plan;
    RETURN substring(plan::text FROM to_json(key)::text || ': "?([^",}]*)');
END $$;

-- Every type: agreement, disagreement, null against a value in both orders,
-- and the result type.  ORDER BY fixes the order in which rows arrive.
CREATE TEMP TABLE ks_case(t text, a text, b text);
INSERT INTO ks_case VALUES
  ('bool', 'true', 'true'), ('bool', 'true', 'false'),
  ('int2', '5', '5'), ('int2', '-5', '5'),
  ('int4', '5', '5'), ('int4', '5', '6'), ('int4', '-1', '-1'),
  ('int8', '1099511627776', '1099511627776'), ('int8', '1', '4294967297'),
  ('float4', '1.5', '1.5'), ('float4', '0.0', '-0.0'), ('float4', 'NaN', 'NaN'),
  ('float8', '1.5', '1.5'), ('float8', '0.0', '-0.0'), ('float8', '-0.0', '-0.0'),
  ('bytea', '\x0102', '\x0102'), ('bytea', '\x01', '\x0100'), ('bytea', '', ''),
  ('text', 'a', 'a'), ('text', 'a', 'a '), ('text', 'A', 'a'), ('text', '', '');
SELECT t, a, b, ks_try(format(
    'SELECT qv_agg_keep_single(x ORDER BY o)::text FROM (VALUES (1, %L::%s), (2, %L), (3, %L)) v(o, x)',
    a, t, b, a)) AS result
FROM ks_case;
SELECT t, ks_try(format(
         'SELECT qv_agg_keep_single(x ORDER BY o)::text FROM (VALUES (1, NULL::%s), (2, NULL)) v(o, x)', t)) AS nulls,
       ks_try(format(
         'SELECT qv_agg_keep_single(x ORDER BY o)::text FROM (VALUES (1, NULL::%s), (2, %L)) v(o, x)', t, a)) AS null_first,
       ks_try(format(
         'SELECT qv_agg_keep_single(x ORDER BY o)::text FROM (VALUES (1, %L::%s), (2, NULL)) v(o, x)', a, t)) AS null_last,
       ks_try(format(
         'SELECT pg_typeof(qv_agg_keep_single(x))::text FROM (VALUES (%L::%s)) v(x)', a, t)) AS type
FROM (SELECT DISTINCT ON (t) t, a FROM ks_case ORDER BY t, a) c;

-- The same cases with the error's routine: addValue for a disagreement in
-- either direction
SELECT qv_agg_keep_single(x ORDER BY o) FROM (VALUES (1, 5), (2, 6)) v(o, x);
SELECT qv_agg_keep_single(x ORDER BY o) FROM (VALUES (1, NULL), (2, 'a'::text)) v(o, x);

-- No rows: null; a single row: its value
SELECT qv_agg_keep_single(x) IS NULL AS empty FROM (VALUES (1)) v(x) WHERE false;
SELECT qv_agg_keep_single(x) FROM (VALUES ('\xdeadbeef'::bytea)) v(x);

-- Typical use: a column functionally dependent on the grouping key
CREATE TEMP TABLE ks_orders(id int, customer int, region text, amount int);
INSERT INTO ks_orders VALUES (1, 10, 'north', 5), (2, 10, 'north', 7), (3, 20, 'south', 1),
                             (4, 20, 'south', 2), (5, 30, NULL, 9);
SELECT customer, qv_agg_keep_single(region) AS region, sum(amount)
FROM ks_orders GROUP BY customer ORDER BY customer;
INSERT INTO ks_orders VALUES (6, 20, 'east', 3);
SELECT customer, qv_agg_keep_single(region) AS region, sum(amount)
FROM ks_orders GROUP BY customer ORDER BY customer;

-- Unsupported types: a value is refused, a group of nulls is null
SELECT qv_agg_keep_single(x) FROM (VALUES (1::numeric), (1)) v(x);
SELECT qv_agg_keep_single(x) IS NULL AS only_nulls, pg_typeof(qv_agg_keep_single(x))
FROM (VALUES (NULL::numeric), (NULL)) v(x);
SELECT ks_try('SELECT qv_agg_keep_single(x)::text FROM (VALUES (''a''::varchar)) v(x)') AS varchar,
       ks_try('SELECT qv_agg_keep_single(x)::text FROM (VALUES (now()::date)) v(x)') AS date,
       ks_try('SELECT qv_agg_keep_single(x)::text FROM (VALUES (''a''::varchar::text)) v(x)') AS cast_to_text;

-- Values computed row by row live in memory the executor reuses for the next
-- row: the kept value must be a copy, or these disagreements go unseen
SELECT qv_agg_keep_single(md5(i::text)) FROM generate_series(1, 3) i;
SELECT qv_agg_keep_single(lpad(i::text, 3)::bytea) FROM generate_series(1, 3) i;
SELECT qv_agg_keep_single(repeat('ab', 50) || (i % 1)::text) FROM generate_series(1, 1000) i;

-- Long values stored compressed, out of line, or both agree with the same
-- bytes given plainly, and disagree with bytes that differ in the last byte
CREATE TEMP TABLE ks_long(kind text, t text, b bytea);
ALTER TABLE ks_long ALTER COLUMN t SET STORAGE EXTERNAL, ALTER COLUMN b SET STORAGE EXTERNAL;
INSERT INTO ks_long
  SELECT 'external', v, v::bytea FROM (SELECT string_agg(md5(i::text), '') v FROM generate_series(1, 200) i) s;
CREATE TEMP TABLE ks_long2(kind text, t text, b bytea);
INSERT INTO ks_long2 SELECT 'compressed inline', repeat('abc', 1000), repeat('abc', 1000)::bytea;
INSERT INTO ks_long2
  SELECT 'compressed external', v, v::bytea FROM (SELECT string_agg(md5(i::text) || repeat('-', 32), '') v FROM generate_series(1, 2000) i) s;
INSERT INTO ks_long SELECT * FROM ks_long2;
SELECT kind, octet_length(t), pg_column_size(t) < octet_length(t) AS t_compressed,
       pg_column_size(b) < octet_length(b) AS b_compressed
FROM ks_long ORDER BY kind;
-- values stored out of line: those of 'external' and 'compressed external'
CREATE FUNCTION ks_out_of_line(rel regclass) RETURNS bigint LANGUAGE plpgsql AS $$
DECLARE n bigint;
BEGIN
    EXECUTE format('SELECT count(DISTINCT chunk_id) FROM %s',
                   (SELECT reltoastrelid::regclass FROM pg_class WHERE oid = rel)) INTO n;
    RETURN n;
END $$;
SELECT ks_out_of_line('ks_long') AS ks_long, ks_out_of_line('ks_long2') AS ks_long2;
-- each stored value (read from the table as stored) with its plain twin
-- (computed, so never toasted), in both orders
SELECT kind, count(*) AS values,
       md5(qv_agg_keep_single(t)) = min(md5(t)) AS text_agrees,
       md5(qv_agg_keep_single(b)) = min(md5(b)) AS bytea_agrees
FROM (SELECT kind, t, b FROM ks_long
      UNION ALL SELECT kind, t || '', b || ''::bytea FROM ks_long
      UNION ALL SELECT kind, t, b FROM ks_long) x
GROUP BY kind ORDER BY kind;
SELECT kind, ks_try(format('SELECT qv_agg_keep_single(x)::text FROM (SELECT t FROM ks_long WHERE kind = %L
                            UNION ALL SELECT left(t, -1) || ''#'' FROM ks_long WHERE kind = %L) v(x)', kind, kind))
FROM ks_long ORDER BY kind;
SELECT kind, ks_try(format('SELECT md5(qv_agg_keep_single(x)) FROM (SELECT b FROM ks_long WHERE kind = %L
                            UNION ALL SELECT b || ''\x00''::bytea FROM ks_long WHERE kind = %L) v(x)', kind, kind))
FROM ks_long ORDER BY kind;

-- Serial form, written by the serial function of a state built here
CREATE AGGREGATE ks_serial(anyelement) (
    SFUNC = qv_agg_keep_single_transfn, STYPE = internal,
    FINALFUNC = qv_agg_keep_single_serialfn);
SELECT ks_serial(x) FROM (VALUES (7)) v(x);
SELECT ks_serial(x) FROM (VALUES ('abc'::text)) v(x);
SELECT ks_serial(x) FROM (VALUES (NULL::text)) v(x);
SELECT ks_serial(x) FROM (VALUES (''::bytea)) v(x);
SELECT ks_serial(x) FROM (VALUES (true)) v(x);
SELECT ks_serial(x) FROM (VALUES (-1::int2)) v(x);
SELECT ks_serial(x) FROM (VALUES (NULL::int8)) v(x);
SELECT octet_length(ks_serial(t)) - octet_length(t) AS text_overhead FROM ks_long WHERE kind = 'external' GROUP BY t;

-- Outside an aggregate every support function refuses to run.  SQL cannot
-- pass internal values, so the symbols are declared here with plain types.
CREATE FUNCTION ks_outside_transfn(int4, int4) RETURNS int4
    AS 'libTarvoxPgRangeOperators2_0', 'qv_agg_keep_single_transfn' LANGUAGE C;
CREATE FUNCTION ks_outside_finalfn(int4) RETURNS int4
    AS 'libTarvoxPgRangeOperators2_0', 'qv_agg_keep_single_finalfn' LANGUAGE C;
CREATE FUNCTION ks_outside_combinefn(int4, int4) RETURNS int4
    AS 'libTarvoxPgRangeOperators2_0', 'qv_agg_keep_single_combinefn' LANGUAGE C;
CREATE FUNCTION ks_outside_serialfn(int4) RETURNS bytea
    AS 'libTarvoxPgRangeOperators2_0', 'qv_agg_keep_single_serialfn' LANGUAGE C;
CREATE FUNCTION ks_outside_deserialfn(bytea, int4) RETURNS int4
    AS 'libTarvoxPgRangeOperators2_0', 'qv_agg_keep_single_deserialfn' LANGUAGE C;
SELECT ks_outside_transfn(NULL, 5);
SELECT ks_outside_finalfn(NULL);
SELECT ks_outside_combinefn(NULL, NULL);
SELECT ks_outside_serialfn(NULL);
SELECT ks_outside_deserialfn('\x01', NULL);

-- Two equal calls give the same value (a server before 11 hands both one
-- state, finalised twice), and servers from 11 on refuse the aggregate as a
-- window function (before 11 it gives the value of the rows so far)
SELECT qv_agg_keep_single(x), qv_agg_keep_single(x) FROM (VALUES ('same'::text), ('same')) v(x);
SELECT ks_try('SELECT qv_agg_keep_single(region) OVER (PARTITION BY customer) FROM ks_orders LIMIT 1');

-- A table of a few hundred thousand rows: every type dependent on g, some
-- groups all null, long text values in some groups
CREATE TABLE ks_big AS
SELECT i, i % 500 AS g,
       (i % 500) % 3 = 0 AS vbool, ((i % 500) - 250)::int2 AS vint2,
       (i % 500) * 1000003 AS vint4, (i % 500)::int8 << 40 AS vint8,
       ((i % 500) / 7.0)::float4 AS vfloat4, CASE WHEN i % 500 = 0 THEN '-0'::float8 ELSE (i % 500) / 3.0 END AS vfloat8,
       CASE WHEN i % 500 % 50 = 7 THEN NULL ELSE decode(md5((i % 500)::text), 'hex') END AS vbytea,
       CASE WHEN i % 500 % 50 = 9 THEN NULL
            WHEN i % 500 % 50 = 11 THEN repeat(md5((i % 500)::text), 80)
            ELSE 'g' || (i % 500) END AS vtext
FROM generate_series(1, 300000) i;
ALTER TABLE ks_big SET (parallel_workers = 2);
ANALYZE ks_big;

CREATE VIEW ks_big_result AS
SELECT count(*) AS groups,
       md5(string_agg(concat_ws('|', g, b, i2, i4, i8, f4, f8, encode(ba, 'hex'), md5(t)), ',' ORDER BY g)) AS digest
FROM (SELECT g, qv_agg_keep_single(vbool) b, qv_agg_keep_single(vint2) i2, qv_agg_keep_single(vint4) i4,
             qv_agg_keep_single(vint8) i8, qv_agg_keep_single(vfloat4) f4, qv_agg_keep_single(vfloat8) f8,
             qv_agg_keep_single(vbytea) ba, qv_agg_keep_single(vtext) t
      FROM ks_big GROUP BY g) r;

-- the expected result, computed without the aggregate
SELECT count(*) AS groups,
       md5(string_agg(concat_ws('|', g, vbool, vint2, vint4, vint8, vfloat4, vfloat8, encode(vbytea, 'hex'), md5(vtext)),
                      ',' ORDER BY g)) AS digest
FROM (SELECT DISTINCT ON (g) * FROM ks_big ORDER BY g, i) d \gset ref_
SELECT :ref_groups AS groups;

SET max_parallel_workers_per_gather = 0;
SELECT groups, digest = :'ref_digest' AS serial_matches FROM ks_big_result;

SET parallel_setup_cost = 0;
SET parallel_tuple_cost = 0;
SET min_parallel_table_scan_size = 0;
SET max_parallel_workers_per_gather = 2;
-- workers only, where the server can say so
DO $$ BEGIN PERFORM set_config(name, 'off', false) FROM pg_settings WHERE name = 'parallel_leader_participation'; END $$;
EXPLAIN (COSTS OFF)
SELECT g, qv_agg_keep_single(vtext) FROM ks_big GROUP BY g;
SELECT ks_plan_value('SELECT g, qv_agg_keep_single(vtext) FROM ks_big GROUP BY g', 'Workers Launched') AS launched;
SELECT groups, digest = :'ref_digest' AS parallel_matches FROM ks_big_result;
SET enable_hashagg = off;
EXPLAIN (COSTS OFF)
SELECT g, qv_agg_keep_single(vtext) FROM ks_big GROUP BY g;
SELECT groups, digest = :'ref_digest' AS parallel_sorted_matches FROM ks_big_result;
RESET enable_hashagg;
-- one aggregate over the whole table: each worker holds one state per column
EXPLAIN (COSTS OFF)
SELECT qv_agg_keep_single(vint4 - g * 1000003) FROM ks_big;
SELECT qv_agg_keep_single(vint4 - g * 1000003) AS zero, qv_agg_keep_single(vtext IS NULL AND vbytea IS NULL) AS neither,
       qv_agg_keep_single(NULL::text) AS all_null, qv_agg_keep_single(NULL::numeric) AS unsupported_nulls
FROM ks_big;
-- disagreement within one group, wherever the rows land
SELECT ks_try('SELECT qv_agg_keep_single(vint4 % 2)::text FROM ks_big WHERE g IN (1, 2)');
SELECT ks_try('SELECT qv_agg_keep_single(vtext)::text FROM ks_big WHERE g IN (9, 11)');
SELECT ks_try('SELECT qv_agg_keep_single(vfloat8)::text FROM ks_big WHERE g = 0 OR i = 299999');
UPDATE ks_big SET vtext = vtext || ' ' WHERE i = 150011;
SELECT ks_try('SELECT count(t) FROM (SELECT qv_agg_keep_single(vtext) FROM ks_big GROUP BY g) s(t)');
RESET ALL;

-- Hash aggregation that spills to disk keeps every state intact
UPDATE ks_big SET vtext = rtrim(vtext) WHERE i = 150011;
SET work_mem = '64kB';
SET enable_sort = off;
SET max_parallel_workers_per_gather = 0;
EXPLAIN (COSTS OFF)
SELECT g, qv_agg_keep_single(vtext) FROM ks_big GROUP BY g;
SELECT ks_plan_value('SELECT g, qv_agg_keep_single(vtext) FROM ks_big GROUP BY g', 'HashAgg Batches')::int > 1 AS spilled;
SELECT groups, digest = :'ref_digest' AS spilled_matches FROM ks_big_result;
RESET ALL;
DROP VIEW ks_big_result;
DROP TABLE ks_big;
