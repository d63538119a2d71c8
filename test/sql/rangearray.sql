-- Point lookup in range arrays and the reading rule for array shapes.
\set VERBOSITY verbose

SELECT x, qv_int4_in_rangearray(x, '{1,3,7,9,20,20}') AS member
FROM unnest(ARRAY[0, 1, 2, 3, 4, 6, 7, 9, 10, 19, 20, 21]) AS x;

-- int4 extremes
SELECT qv_int4_in_rangearray(-2147483648, '{-2147483648,-2147483648}'),
       qv_int4_in_rangearray(-2147483647, '{-2147483648,-2147483648}'),
       qv_int4_in_rangearray(2147483647, '{0,2147483647}'),
       qv_int4_in_rangearray(0, '{-2147483648,-1,1,2147483647}');

-- shapes that read as the empty set: no error
SELECT qv_int4_in_rangearray(1, '{}'),
       qv_int4_in_rangearray(1, '{{1,2},{3,4}}'),
       qv_int4_in_rangearray(1, '{1,2,NULL,4}'),
       qv_int4_in_rangearray(1, '[5:6]={1,2}');

-- an odd count ignores the unpaired element
SELECT qv_int4_in_rangearray(3, '{1,5,9}'), qv_int4_in_rangearray(9, '{1,5,9}');

-- strict: null arguments give null
SELECT qv_int4_in_rangearray(NULL, '{1,2}') IS NULL,
       qv_int4_in_rangearray(1, NULL) IS NULL;

-- an argument stored out of line is read like a plain one
CREATE TEMP TABLE big AS
  SELECT array_agg(v ORDER BY v) AS r FROM generate_series(0, 39999) AS v;
SELECT qv_int4_in_rangearray(5000, r), qv_int4_in_rangearray(39999, r),
       qv_int4_in_rangearray(40000, r)
FROM big;
