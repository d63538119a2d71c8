-- Packed ranges: qv_range_pack in both call forms and its two accessors.
\set VERBOSITY verbose

-- packing: bounds in the low and high halves, signed
SELECT qv_range_pack(5, 5) AS five,
       qv_range_pack(-1, 0) AS minus_one_zero,
       qv_range_pack(-2, -1) AS minus_two,
       qv_range_pack(1, 3) AS one_three,
       qv_range_pack(-2147483648, 2147483647) AS whole_domain,
       qv_range_pack(0, 0) AS zero;

-- the array form gives the same values; the array's lower bound is not examined
SELECT qv_range_pack('{1,3}'::int4[]) = qv_range_pack(1, 3) AS same,
       qv_range_pack('{-2147483648,2147483647}'::int4[]) AS whole_domain,
       qv_range_pack('[5:6]={7,7}'::int4[]) = qv_range_pack(7, 7) AS any_lbound;

-- accessors take the halves back, whatever the int8
SELECT p, qv_rangepacked_lower(p) AS lower, qv_rangepacked_upper(p) AS upper
FROM unnest(ARRAY[0, -1, -2, 21474836485, 12884901889, 9223372034707292160,
                  -9223372036854775808, 9223372036854775807, 4294967295]::int8[]) AS p;

-- round trip over a table of bounds, extremes included
SELECT count(*) AS round_trips
FROM (VALUES (-2147483648, -2147483648), (-2147483648, 2147483647), (-1, -1),
             (-1, 0), (0, 2147483647), (2147483647, 2147483647), (12, 4000)) AS t(lo, hi)
WHERE qv_rangepacked_lower(qv_range_pack(lo, hi)) = lo
  AND qv_rangepacked_upper(qv_range_pack(lo, hi)) = hi
  AND qv_range_pack(ARRAY[lo, hi]) = qv_range_pack(lo, hi);

-- lower > upper is not a range
SELECT qv_range_pack(3, 1);
SELECT qv_range_pack('{3,1}'::int4[]);
SELECT qv_range_pack(2147483647, -2147483648);

-- only a one-dimensional int4[] of two elements without nulls is accepted
SELECT qv_range_pack('{1,2,3}'::int4[]);
SELECT qv_range_pack('{1}'::int4[]);
SELECT qv_range_pack('{}'::int4[]);
SELECT qv_range_pack('{{1,2}}'::int4[]);
SELECT qv_range_pack('{1,NULL}'::int4[]);

-- strict: a null argument gives null
SELECT qv_range_pack(NULL, 1) IS NULL AS a, qv_range_pack(1, NULL) IS NULL AS b,
       qv_range_pack(NULL::int4[]) IS NULL AS c,
       qv_rangepacked_lower(NULL) IS NULL AS d, qv_rangepacked_upper(NULL) IS NULL AS e;

