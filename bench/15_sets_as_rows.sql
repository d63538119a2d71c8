-- Reading sets against the built-ins, side by side in one run: streaming
-- values, converting to and from int4multirange, text out and in, and the
-- normaliser.  Each figure is the best of 7 runs of one query, timed in the
-- server (clock_timestamp around EXECUTE); every query returns one small
-- figure so that only the computation is timed.  The sets are stored out of
-- line and uncompressed (STORAGE EXTERNAL), so reading them costs the same
-- for every contender.  The closing table gives each ratio and its target.
SET client_min_messages = warning;
DROP SCHEMA IF EXISTS bench_sets_as_rows CASCADE;
CREATE SCHEMA bench_sets_as_rows;
SET search_path = bench_sets_as_rows, public;
SELECT setseed(0.15);

-- 10,000 ranges of 100 values (1,000,000 values), as range array and as the
-- int4[] of its values; 100,000 canonical ranges, their multirange and their
-- text; 100,000 unsorted overlapping ranges and 200,000 random int4 values.
CREATE TABLE sets (name text PRIMARY KEY, r int4[], s int4[], m int4multirange, t text, a text);
ALTER TABLE sets ALTER COLUMN r SET STORAGE EXTERNAL, ALTER COLUMN s SET STORAGE EXTERNAL,
                 ALTER COLUMN m SET STORAGE EXTERNAL, ALTER COLUMN t SET STORAGE EXTERNAL,
                 ALTER COLUMN a SET STORAGE EXTERNAL;
INSERT INTO sets (name, r, s)
SELECT '10k ranges', (SELECT array_agg(b ORDER BY k, b) FROM generate_series(0, 9999) AS k,
                      LATERAL (VALUES (k * 200), (k * 200 + 99)) AS v(b)),
       array_agg(g ORDER BY g)
FROM generate_series(0, 9999) AS k, generate_series(k * 200, k * 200 + 99) AS g;
INSERT INTO sets (name, r)
SELECT '100k ranges', array_agg(b ORDER BY k, b)
FROM (SELECT k, k * 40 + floor(random() * 10)::int AS lo FROM generate_series(0, 99999) AS k) AS q,
     LATERAL (VALUES (lo), (lo + floor(random() * 20)::int)) AS v(b);
UPDATE sets SET m = qv_int4set_multirange('r', r), t = qv_int4set_text('r', r), a = r::text
WHERE name = '100k ranges';
INSERT INTO sets (name, r)
SELECT 'unsorted', array_agg(b ORDER BY o, j)
FROM (SELECT random() AS o, lo, lo + floor(random() * 60)::int AS hi
      FROM (SELECT floor(random() * 4000000)::int AS lo FROM generate_series(1, 100000)) AS q) AS p,
     LATERAL (VALUES (1, lo), (2, hi)) AS v(j, b)
GROUP BY ();
INSERT INTO sets (name, s)
SELECT 'random', array_agg((random() * 4294967295 - 2147483648)::int8::int4) FROM generate_series(1, 200000);

-- The helper of bench/10_set_algebra.sql: a range array as int4multirange in SQL.
CREATE FUNCTION to_multirange(ra int4[]) RETURNS int4multirange
LANGUAGE sql IMMUTABLE AS $$
    SELECT coalesce(range_agg(int4range(lo, hi, '[]')), '{}'::int4multirange)
    FROM (SELECT o, v AS lo, lead(v) OVER (ORDER BY o) AS hi
          FROM unnest(ra) WITH ORDINALITY AS u(v, o)) AS t
    WHERE o % 2 = 1
$$;

-- And back, in SQL.
CREATE FUNCTION from_multirange(mr int4multirange) RETURNS int4[]
LANGUAGE sql IMMUTABLE AS $$
    SELECT coalesce(array_agg(b ORDER BY o, j), '{}')
    FROM unnest(mr) WITH ORDINALITY AS u(x, o),
         LATERAL (VALUES (1, lower(x)), (2, coalesce(upper(x) - 1, 2147483647))) AS v(j, b)
$$;

-- Best of n runs of a query, in milliseconds.
CREATE FUNCTION best(q text, n int DEFAULT 7) RETURNS numeric LANGUAGE plpgsql AS $$
DECLARE
    t0 timestamptz;
    ms float8;
    least float8;
BEGIN
    FOR i IN 1 .. n LOOP
        t0 := clock_timestamp();
        EXECUTE q;
        ms := extract(epoch FROM clock_timestamp() - t0) * 1000;
        least := CASE WHEN least IS NULL OR ms < least THEN ms ELSE least END;
    END LOOP;
    RETURN round(least::numeric, 3);
END $$;

CREATE TABLE timings (item text, contender text, ms numeric);
INSERT INTO timings VALUES
('stream 1M values of 10k ranges', 'qv_int4set_values (select list)',
 best($$SELECT count(*) FROM (SELECT qv_int4set_values('r', r) FROM sets WHERE name = '10k ranges') AS x$$)),
('stream 1M values of 10k ranges', 'unnest(int4[])',
 best($$SELECT count(*) FROM (SELECT unnest(s) FROM sets WHERE name = '10k ranges') AS x$$)),
('stream 1M values of 10k ranges', 'generate_series over the ranges',
 best($$SELECT count(*) FROM (SELECT generate_series(lo, hi)
        FROM (SELECT o, v AS lo, lead(v) OVER (ORDER BY o) AS hi
              FROM sets, unnest(r) WITH ORDINALITY AS u(v, o) WHERE name = '10k ranges') AS p
        WHERE o % 2 = 1) AS x$$)),
('stream 1M values of 10k ranges', 'generate_series over the ranges, in FROM',
 best($$SELECT count(*) FROM (SELECT o, v AS lo, lead(v) OVER (ORDER BY o) AS hi
        FROM sets, unnest(r) WITH ORDINALITY AS u(v, o) WHERE name = '10k ranges') AS p,
        LATERAL generate_series(lo, hi) AS g WHERE o % 2 = 1$$)),
('stream 1M values of 10k ranges', 'qv_int4set_values in FROM',
 best($$SELECT count(*) FROM sets, qv_int4set_values('r', r) AS v WHERE name = '10k ranges'$$)),
('range array -> multirange, 100k ranges', 'qv_int4set_multirange',
 best($$SELECT pg_column_size(qv_int4set_multirange('r', r)) FROM sets WHERE name = '100k ranges'$$)),
('range array -> multirange, 100k ranges', 'SQL helper',
 best($$SELECT pg_column_size(to_multirange(r)) FROM sets WHERE name = '100k ranges'$$, 2)),
('multirange -> range array, 100k ranges', 'qv_int4multirange2rangearray',
 best($$SELECT pg_column_size(qv_int4multirange2rangearray(m)) FROM sets WHERE name = '100k ranges'$$)),
('multirange -> range array, 100k ranges', 'SQL helper',
 best($$SELECT pg_column_size(from_multirange(m)) FROM sets WHERE name = '100k ranges'$$, 2)),
('copy floor, 100k ranges', 'r || ''{}''',
 best($$SELECT pg_column_size(r || '{}'::int4[]) FROM sets WHERE name = '100k ranges'$$)),
('text out, 100k ranges', 'qv_int4set_text',
 best($$SELECT length(qv_int4set_text('r', r)) FROM sets WHERE name = '100k ranges'$$)),
('text out, 100k ranges', 'int4[] output',
 best($$SELECT length(r::text) FROM sets WHERE name = '100k ranges'$$)),
('text in, 100k ranges', 'qv_int4set_from_text',
 best($$SELECT cardinality(qv_int4set_from_text(t)) FROM sets WHERE name = '100k ranges'$$)),
('text in, 100k ranges', 'int4[] input',
 best($$SELECT cardinality(a::int4[]) FROM sets WHERE name = '100k ranges'$$)),
('normalise 100k unsorted overlapping ranges', 'qv_int4set_normalize',
 best($$SELECT cardinality(qv_int4set_normalize('r', r)) FROM sets WHERE name = 'unsorted'$$)),
('normalise 100k unsorted overlapping ranges', 'qv_sort_int4 of 200k values',
 best($$SELECT cardinality(qv_sort_int4(s)) FROM sets WHERE name = 'random'$$)),
('first 10 of 4,294,967,296 values', 'qv_int4set_values LIMIT 10',
 best($$SELECT qv_int4set_values('r', '{-2147483648,2147483647}') LIMIT 10$$));

-- the results agree with the built-ins
SELECT (SELECT qv_int4set_multirange('r', r) = to_multirange(r) FROM sets WHERE name = '100k ranges') AS multirange,
       (SELECT qv_int4multirange2rangearray(m) = r AND from_multirange(m) = r FROM sets WHERE name = '100k ranges') AS back,
       (SELECT qv_int4set_from_text(t) = r FROM sets WHERE name = '100k ranges') AS parsed,
       (SELECT array(SELECT qv_int4set_values('r', r)) = s FROM sets WHERE name = '10k ranges') AS values,
       (SELECT qv_int4set_normalize('r', r) = qv_int4multirange2rangearray(to_multirange(r))
        FROM sets WHERE name = 'unsorted') AS normalised;

SELECT item, contender, ms FROM timings ORDER BY item, ms;

WITH t AS (SELECT item || ' / ' || contender AS k, ms FROM timings)
SELECT what, round(ratio, 2) AS ratio, target
FROM (VALUES
  ('values / unnest', (SELECT ms FROM t WHERE k LIKE 'stream%qv_int4set_values (select list)') / (SELECT ms FROM t WHERE k LIKE 'stream%unnest%'), '<= 1.2'),
  ('values / generate_series', (SELECT ms FROM t WHERE k LIKE 'stream%qv_int4set_values (select list)') / (SELECT ms FROM t WHERE k LIKE 'stream%generate_series over the ranges'), '<= 0.5'),
  ('values / generate_series, both in FROM', (SELECT ms FROM t WHERE k LIKE 'stream%qv_int4set_values in FROM') / (SELECT ms FROM t WHERE k LIKE 'stream%generate_series%in FROM'), '<= 0.5'),
  ('to multirange / copy floor', (SELECT ms FROM t WHERE k LIKE 'range array -> multirange%qv_%') / (SELECT ms FROM t WHERE k LIKE 'copy floor%'), '<= 2'),
  ('SQL helper / to multirange', (SELECT ms FROM t WHERE k LIKE 'range array -> multirange%SQL helper') / (SELECT ms FROM t WHERE k LIKE 'range array -> multirange%qv_%'), '>= 20'),
  ('from multirange / copy floor', (SELECT ms FROM t WHERE k LIKE 'multirange -> range array%qv_%') / (SELECT ms FROM t WHERE k LIKE 'copy floor%'), '<= 2'),
  ('SQL helper / from multirange', (SELECT ms FROM t WHERE k LIKE 'multirange -> range array%SQL helper') / (SELECT ms FROM t WHERE k LIKE 'multirange -> range array%qv_%'), '>= 20'),
  ('text out / int4[] out', (SELECT ms FROM t WHERE k LIKE 'text out%qv_%') / (SELECT ms FROM t WHERE k LIKE 'text out%int4[]%'), '<= 2'),
  ('text in / int4[] in', (SELECT ms FROM t WHERE k LIKE 'text in%qv_%') / (SELECT ms FROM t WHERE k LIKE 'text in%int4[]%'), '<= 2'),
  ('normalise / qv_sort_int4', (SELECT ms FROM t WHERE k LIKE 'normalise%qv_int4set_normalize') / (SELECT ms FROM t WHERE k LIKE 'normalise%qv_sort_int4%'), '<= 1.5'),
  ('LIMIT 10 over the int4 domain, ms', (SELECT ms FROM t WHERE k LIKE 'first 10%'), '< 1')) AS r(what, ratio, target);

-- The COSTs of the install script: each function on 20,000 stored sets of
-- 100 ranges, less a scan that reads the same column, in units of one
-- int4larger call on the same rows (for the set-returning functions per
-- call: divide by its rows).  Small differences of noisy times: read them
-- to an order of magnitude.
CREATE TABLE costs AS
SELECT k, r, qv_int4set2bitfield_int4('r', r) AS b, qv_range_pack(k, k + 50) AS p,
       qv_int4set_text('r', r) AS t, qv_int4set_multirange('r', r) AS m
FROM generate_series(1, 20000) AS k,
     LATERAL (SELECT array_agg(v ORDER BY i, j) AS r
              FROM generate_series(0, 99) AS i,
                   LATERAL (VALUES (1, k + i * 20), (2, k + i * 20 + 9)) AS x(j, v)) AS q;
WITH b AS (SELECT best('SELECT count(int4larger(k, k)) FROM costs', 9) - best('SELECT count(k) FROM costs', 9) AS base)
SELECT f, round((best(q, 9) - best(scan, 9)) / nullif(base, 0), 1) AS cost_units
FROM b, (VALUES
  ('qv_int4set_text r', 'SELECT count(qv_int4set_text(''r'', r)) FROM costs',
   'SELECT count(array_length(r, 1)) FROM costs'),
  ('qv_int4set_text bitfield', 'SELECT count(qv_int4set_text(b)) FROM costs',
   'SELECT count(length(b)) FROM costs'),
  ('qv_int4set_cardinality r', 'SELECT count(qv_int4set_cardinality(''r'', r)) FROM costs',
   'SELECT count(array_length(r, 1)) FROM costs'),
  ('qv_int4set_cardinality bitfield', 'SELECT count(qv_int4set_cardinality(b)) FROM costs',
   'SELECT count(length(b)) FROM costs'),
  ('qv_int4set_min r', 'SELECT count(qv_int4set_min(''r'', r)) FROM costs',
   'SELECT count(array_length(r, 1)) FROM costs'),
  ('qv_int4set_max bitfield', 'SELECT count(qv_int4set_max(b)) FROM costs',
   'SELECT count(length(b)) FROM costs'),
  ('qv_int4set_is_canonical r', 'SELECT count(qv_int4set_is_canonical(''r'', r)) FROM costs',
   'SELECT count(array_length(r, 1)) FROM costs'),
  ('qv_int4set_is_canonical bitfield', 'SELECT count(qv_int4set_is_canonical(b)) FROM costs',
   'SELECT count(length(b)) FROM costs'),
  ('qv_int4set_multirange r', 'SELECT count(qv_int4set_multirange(''r'', r)) FROM costs',
   'SELECT count(array_length(r, 1)) FROM costs'),
  ('qv_int4set_multirange bitfield', 'SELECT count(qv_int4set_multirange(b)) FROM costs',
   'SELECT count(length(b)) FROM costs'),
  ('qv_int4multirange2rangearray', 'SELECT count(qv_int4multirange2rangearray(m)) FROM costs',
   'SELECT count(isempty(m)) FROM costs'),
  ('qv_int4set_from_text', 'SELECT count(qv_int4set_from_text(t)) FROM costs',
   'SELECT count(length(t)) FROM costs'),
  ('qv_int4set_normalize r', 'SELECT count(qv_int4set_normalize(''r'', r)) FROM costs',
   'SELECT count(array_length(r, 1)) FROM costs'),
  ('qv_bitfield2rangearray_int4', 'SELECT count(qv_bitfield2rangearray_int4(b)) FROM costs',
   'SELECT count(length(b)) FROM costs'),
  ('qv_int4set_ranges r (100 rows)', 'SELECT count(*) FROM (SELECT qv_int4set_ranges(''r'', r) FROM costs) AS s',
   'SELECT count(array_length(r, 1)) FROM costs'),
  ('qv_int4set_values packed (51 rows)', 'SELECT count(*) FROM (SELECT qv_int4set_values(p) FROM costs) AS s',
   'SELECT count(p) FROM costs')) AS v(f, q, scan);

RESET search_path;
DROP SCHEMA bench_sets_as_rows CASCADE;
