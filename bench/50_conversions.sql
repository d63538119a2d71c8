-- Conversions, sorting and counting against plain SQL and intarray, on the
-- same arrays in one run.  Each query returns a small figure so that only
-- the computation is timed; the arrays are stored uncompressed so that
-- reading them costs the same for every contender.

CREATE TEMP TABLE bench_sort (a int4[]);
ALTER TABLE bench_sort ALTER COLUMN a SET STORAGE EXTERNAL;
INSERT INTO bench_sort
  SELECT array_agg((random() * 4294967295 - 2147483648)::int8::int4)
  FROM generate_series(1, 1000000);

-- 1,000,000 random values: qv_sort_int4 against intarray's sort() (twice each)
SELECT cardinality(qv_sort_int4(a)) FROM bench_sort;
SELECT cardinality(sort(a)) FROM bench_sort;
SELECT cardinality(qv_sort_int4(a)) FROM bench_sort;
SELECT cardinality(sort(a)) FROM bench_sort;
SELECT qv_sort_int4(a) = sort(a) AS same_result FROM bench_sort;

-- A set of 10,000,000 values: one range, and 1,000 ranges of 10,000 values.
CREATE TEMP TABLE bench_sets (name text, r int4[], s int4[]);
ALTER TABLE bench_sets ALTER COLUMN r SET STORAGE EXTERNAL;
ALTER TABLE bench_sets ALTER COLUMN s SET STORAGE EXTERNAL;
INSERT INTO bench_sets
  SELECT 'one range', '{1,10000000}', array_agg(g) FROM generate_series(1, 10000000) AS g;
INSERT INTO bench_sets
  SELECT '1000 ranges',
         (SELECT array_agg(b ORDER BY k, b)
          FROM generate_series(0, 999) AS k, LATERAL (VALUES (k * 20000), (k * 20000 + 9999)) AS v(b)),
         array_agg(g ORDER BY g)
  FROM generate_series(0, 999) AS k, generate_series(k * 20000, k * 20000 + 9999) AS g;

-- 'r' to 's' against building the same array with generate_series
SELECT name, cardinality(qv_int4setconv_int4('r', r, 's')) FROM bench_sets WHERE name = 'one range';
SELECT cardinality(array_agg(g)) FROM generate_series(1, 10000000) AS g;
SELECT name, cardinality(qv_int4setconv_int4('r', r, 's')) FROM bench_sets WHERE name = '1000 ranges';
SELECT cardinality(array_agg(g))
FROM generate_series(0, 999) AS k, generate_series(k * 20000, k * 20000 + 9999) AS g;
SELECT name, qv_int4setconv_int4('r', r, 's') = s AS same_result FROM bench_sets;

-- 's' to 'r' against a plain copy of the same array (array_cat with an empty array)
SELECT name, cardinality(qv_int4setconv_int4('s', s, 'r')) FROM bench_sets;
SELECT name, cardinality(array_cat(s, '{}'::int4[])) FROM bench_sets;
SELECT name, cardinality(qv_int4setconv_int4('s', s, 'r')) FROM bench_sets;
SELECT name, cardinality(array_cat(s, '{}'::int4[])) FROM bench_sets;
SELECT name, cardinality(s || 0) FROM bench_sets;

-- 's' to 'r' against the usual gaps-and-islands query
SELECT name, cardinality(qv_int4setconv_int4('s', s, 'r')) FROM bench_sets WHERE name = '1000 ranges';
SELECT cardinality(array_agg(b ORDER BY grp, b))
FROM (SELECT grp, min(v) AS lo, max(v) AS hi
      FROM (SELECT v, v - row_number() OVER (ORDER BY v) AS grp
            FROM bench_sets, unnest(s) AS v WHERE name = '1000 ranges') AS runs
      GROUP BY grp) AS r, LATERAL (VALUES (lo), (hi)) AS x(b);

-- the other conversions and counting on the 10,000,000-value scalar array
SELECT name, cardinality(qv_int4setconv_int4('s', s, 'm')) FROM bench_sets;
SELECT name, cardinality(qv_int4setconv_int4('m', qv_int4setconv_int4('s', s, 'm'), 's')) FROM bench_sets;
SELECT name, qv_count_scalar_in_int4set('r', r) FROM bench_sets;
SELECT name, length(qv_int4set2bitfield_int4('s', s)) FROM bench_sets;
SELECT name, length(qv_int4set2bitfield_int4('r', r)) FROM bench_sets;
