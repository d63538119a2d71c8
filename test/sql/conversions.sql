-- Conversions between the set encodings, counting, sorting and payload decoding.
\set VERBOSITY verbose

-- 's' to 'r'
SELECT qv_int4setconv_int4('s', '{}', 'r') AS empty,
       qv_int4setconv_int4('s', '{7}', 'r') AS one,
       qv_int4setconv_int4('s', '{1,2,4}', 'r') AS runs,
       qv_int4setconv_int4('s', '{5,5,6,9}', 'r') AS duplicates,
       qv_int4setconv_int4('s', '{-2147483648,2147483647}', 'r') AS extremes;
SELECT qv_int4setconv_int4('s', '{3,1}', 'r');

-- 's' to 'm'
SELECT qv_int4setconv_int4('s', '{7}', 'm') AS one,
       qv_int4setconv_int4('s', '{1,2}', 'm') AS pair,
       qv_int4setconv_int4('s', '{1,2,3,5,7,8}', 'm') AS mixed,
       qv_int4setconv_int4('s', '{5,5,7}', 'm') AS duplicates,
       qv_int4setconv_int4('s', '{}', 'm') AS empty;
SELECT qv_int4setconv_int4('s', '{3,1}', 'm');
-- negative values have no mix form
SELECT qv_int4setconv_int4('s', '{-1,2}', 'm');

-- 'r' to 's'
SELECT qv_int4setconv_int4('r', '{1,3,7,7}', 's') AS ranges,
       qv_int4setconv_int4('r', '{5,4}', 's') AS reversed,
       qv_int4setconv_int4('r', '{2147483646,2147483647}', 's') AS top;
SELECT qv_int4setconv_int4('r', '{1,2,3}', 's');
-- more values than an array holds: refused before anything is allocated
SELECT qv_int4setconv_int4('r', '{-2147483648,2147483647}', 's');
SELECT qv_int4setconv_int4('r', '{1,134217728}', 's');
SELECT qv_int4setconv_int4('m', '{134217728,-2147483647,134217728}', 's');

-- 'r' to 'm'
SELECT qv_int4setconv_int4('r', '{1,3,7,7}', 'm') AS ranges,
       qv_int4setconv_int4('r', '{}', 'm') AS empty,
       qv_int4setconv_int4('r', '{5,3,9,9}', 'm') AS without_inverted,
       qv_int4setconv_int4('r', '{0,0,2147483647,2147483647}', 'm') AS extremes;
SELECT qv_int4setconv_int4('r', '{1,2,3}', 'm');
SELECT qv_int4setconv_int4('r', '{-5,-1}', 'm');
-- a header of 2^31 values does not fit an int4
SELECT qv_int4setconv_int4('r', '{0,2147483647}', 'm');

-- 'm' to 's': the body must yield exactly the header's count
SELECT qv_int4setconv_int4('m', '{4,-2147483647,3,7}', 's') AS agrees,
       qv_int4setconv_int4('m', '{5,-2147483647,3,7}', 's') AS header_too_big,
       qv_int4setconv_int4('m', '{2147483647,1}', 's') AS header_huge,
       qv_int4setconv_int4('m', '{0}', 's') AS header_only;
-- a last element opening a range
SELECT qv_int4setconv_int4('m', '{2,1,-2147483647}', 's');

-- 'm' to 'r': the header is skipped, nothing merged
SELECT qv_int4setconv_int4('m', '{4,-2147483647,3,7}', 'r') AS ranges,
       qv_int4setconv_int4('m', '{2,1,2}', 'r') AS singles,
       qv_int4setconv_int4('m', '{9}', 'r') AS header_only;
SELECT qv_int4setconv_int4('m', '{2,1,-2147483647}', 'r');

-- identities, unknown type characters, wrong element type
SELECT qv_int4setconv_int4('s', '{1}', 's');
SELECT qv_int4setconv_int4('r', '{1,1}', 'r');
SELECT qv_int4setconv_int4('m', '{1,1}', 'm');
SELECT qv_int4setconv_int4('x', '{1}', 'r');
SELECT qv_int4setconv_int4('s', '{1}', 'R');

-- shapes that read as empty; nulls
SELECT qv_int4setconv_int4('s', '{{1,2}}', 'm') AS two_dims,
       qv_int4setconv_int4('s', '{1,NULL}', 'r') AS with_null,
       qv_int4setconv_int4('s', '[5:6]={1,2}', 'r') AS lower_bound_5,
       qv_int4setconv_int4(NULL, '{1}', 'r') IS NULL AS null_source,
       qv_int4setconv_int4('s', NULL, 'r') IS NULL AS null_values;
-- empty results are one-dimensional arrays of length 0
SELECT array_ndims(r), array_length(r, 1), array_lower(r, 1)
FROM (VALUES (qv_int4setconv_int4('s', '{}', 'r')),
             (qv_int4setconv_int4('r', '{5,4}', 's'))) AS t(r);

-- round trips on a large random canonical set
CREATE TEMP TABLE sets AS
  SELECT array_agg(v ORDER BY v) AS s
  FROM (SELECT DISTINCT (random() * 100000)::int4 AS v
        FROM generate_series(1, 50000)) AS d;
SELECT qv_int4setconv_int4('r', qv_int4setconv_int4('s', s, 'r'), 's') = s AS s_r_s,
       qv_int4setconv_int4('m', qv_int4setconv_int4('s', s, 'm'), 's') = s AS s_m_s,
       qv_int4setconv_int4('m', qv_int4setconv_int4('r', qv_int4setconv_int4('s', s, 'r'), 'm'), 'r')
         = qv_int4setconv_int4('s', s, 'r') AS r_m_r,
       qv_count_scalar_in_int4set('r', qv_int4setconv_int4('s', s, 'r')) = cardinality(s) AS counted
FROM sets;

-- counting
SELECT qv_count_scalar_in_int4set('r', '{1,3,10,10}') AS r,
       qv_count_scalar_in_int4set('s', '{1,9}') AS s,
       qv_count_scalar_in_int4set('m', '{4,-2147483647,3,7}') AS m,
       qv_count_scalar_in_int4set('r', '{}') AS r_empty,
       qv_count_scalar_in_int4set('s', '{{1,2}}') AS s_two_dims,
       qv_count_scalar_in_int4set('m', '{}') AS m_empty,
       qv_count_scalar_in_int4set('r', '{1,2147483646}') AS r_largest,
       qv_count_scalar_in_int4set('r', '{5,3}') AS r_reversed;
SELECT qv_count_scalar_in_int4set('r', '{1,2,3}');
SELECT qv_count_scalar_in_int4set('r', '{-2147483648,2147483647}');
SELECT qv_count_scalar_in_int4set('x', '{1}');

-- sorting
SELECT qv_sort_int4('{3,-1,3,2}') AS sorted,
       qv_sort_int4('{}') AS empty,
       qv_sort_int4('{{2,1}}') AS two_dims,
       qv_sort_int4('{2,NULL,1}') AS with_null,
       qv_sort_int4('{2147483647,-2147483648,0}') AS extremes;
SELECT array_lower(qv_sort_int4('[5:7]={9,8,7}'), 1) AS lower_bound,
       qv_sort_int4('[5:7]={9,8,7}') AS sorted;
SELECT qv_sort_int4(a) = (SELECT array_agg(x ORDER BY x) FROM unnest(a) AS x) AS ok, kind
FROM (SELECT array_agg(v ORDER BY v) AS a, 'ascending' AS kind FROM generate_series(1, 20000) AS v
      UNION ALL
      SELECT array_agg(v ORDER BY v DESC), 'descending' FROM generate_series(1, 20000) AS v
      UNION ALL
      SELECT array_agg(v % 7), 'repeated' FROM generate_series(1, 20000) AS v
      UNION ALL
      SELECT array_agg((random() * 4e9 - 2e9)::int8::int4), 'random'
      FROM generate_series(1, 20000)) AS t;

-- float payloads (little-endian server)
SELECT qv_bytea2floatarray('') AS empty,
       qv_bytea2floatarray('\x0000803f000000c0') AS pair,
       array_length(qv_bytea2floatarray('\x0000803f'), 1) AS one;
SELECT qv_bytea2floatarray('\x0000803f00');

-- mix payloads: a count, then the body
SELECT qv_bytea2mix2rangearray('\x04000000') AS header_only,
       qv_bytea2mix2rangearray('') AS empty,
       qv_bytea2mix2rangearray('\x04000000010000800300000007000000') AS decoded;
-- the payload is the element data of a mix array
SELECT qv_bytea2mix2rangearray('\x060000000100008003000000050000000700008008000000')
         AS worked_example;
SELECT qv_bytea2mix2rangearray('\x040000000100');
-- a body ending inside a range
SELECT qv_bytea2mix2rangearray('\x0200000001000000ffffff80');

-- sets as bitfields: lower and upper bound, then the bits (value payload shown)
SELECT qv_int4set2bitfield_int4('r', '{3,5}') AS r_3_5,
       qv_int4set2bitfield_int4('s', '{1,9}') AS s_1_9,
       qv_int4set2bitfield_int4('m', '{4,-2147483647,3,7}') AS m_1_3_7;
SELECT length(qv_int4set2bitfield_int4('r', '{0,63}')) AS r_0_63,
       qv_int4set2bitfield_int4('r', '{0,64}') AS r_0_64;
-- every empty set is the one 12-byte empty bitfield
SELECT t, a, qv_int4set2bitfield_int4(t, a) AS bitfield,
       qv_int4_in_rangebitfield(0, qv_int4set2bitfield_int4(t, a)) AS has_0
FROM (VALUES ('r'::"char", '{}'::int4[]), ('s', '{}'), ('m', '{}'), ('m', '{0}'), ('m', '{5}'),
             ('m', '{0,1,2}'), ('s', '{{1,2}}'), ('r', '{1,NULL}'), ('r', '{5,3}')) AS c(t, a);
-- input out of order: the bounds are the true least and greatest values
SELECT qv_int4set2bitfield_int4('s', '{9,1,5}') AS s_unordered,
       qv_int4set2bitfield_int4('r', '{10,12,1,2}') AS r_unordered,
       qv_int4set2bitfield_int4('m', '{3,100,-2147483643,6,2}') AS m_unordered;
SELECT qv_int4set2bitfield_int4('r', '{1,2,3}');
SELECT qv_int4set2bitfield_int4('m', '{2,1,-2147483647}');
SELECT qv_int4set2bitfield_int4('q', '{1}');
SELECT qv_int4set2bitfield_int4(NULL, '{1}') IS NULL AS null_type,
       qv_int4set2bitfield_int4('s', NULL) IS NULL AS null_set;
-- the extremes of int4
SELECT qv_int4set2bitfield_int4('s', '{-2147483648,-2147483647}') AS bottom,
       qv_int4set2bitfield_int4('r', '{2147483640,2147483647}') AS top;

-- round trip writer -> bitfield readers, for every encoding
CREATE TEMP TABLE written AS
  SELECT t, a, qv_int4set2bitfield_int4(t, a) AS b
  FROM (SELECT t, CASE t WHEN 's' THEN s ELSE qv_int4setconv_int4('s', s, t) END AS a
        FROM sets, (VALUES ('s'::"char"), ('r'), ('m')) AS e(t)) AS encoded;
CREATE TEMP TABLE members AS SELECT unnest(s) AS v FROM sets;
SELECT t, count(*) FILTER (WHERE qv_int4_in_rangebitfield(g, b) <> (m.v IS NOT NULL)) AS wrong,
       count(*) FILTER (WHERE m.v IS NOT NULL) = (SELECT count(*) FROM members) AS all_seen
FROM written, generate_series(-3, 100003) AS g LEFT JOIN members AS m ON m.v = g
GROUP BY t ORDER BY t;
SELECT t, bool_and(qv_int4_in_rangebitfield(v, b)) AS all_members,
       bool_and(qv_int4rangepacked_in_rangebitfield(qv_range_pack(lo, hi), b) = (lo <= 5 AND hi >= 3
                OR lo <= 20 AND hi >= 20)) AS ranges_agree
FROM (SELECT t, qv_int4set2bitfield_int4(t, a) AS b
      FROM (VALUES ('s'::"char", '{3,4,5,20}'::int4[]), ('r', '{3,5,20,20}'),
                   ('m', '{4,-2147483645,5,20}')) AS c(t, a)) AS w,
     unnest(ARRAY[3, 4, 5, 20]) AS v, generate_series(0, 24, 3) AS lo, generate_series(0, 24, 2) AS hi
WHERE lo <= hi
GROUP BY t ORDER BY t;
-- the set-versus-bitfield tests accept what the writer gives, empty sets included
SELECT t, a, qv_int4set_included_in_bitfield(t, a, qv_int4set2bitfield_int4(t, a)) AS included,
       qv_int4set_overlap_bitfield(t, a, qv_int4set2bitfield_int4(t, a)) AS overlaps,
       qv_int4set_overlap_bitfield('s', '{0,1,2,3,4,5,6,7,8,9,10,11,12}',
                                   qv_int4set2bitfield_int4(t, a)) AS overlaps_0_12
FROM (VALUES ('s'::"char", '{}'::int4[]), ('r', '{}'), ('m', '{}'), ('m', '{0}'), ('m', '{0,4,5}'),
             ('s', '{2,3,11}'), ('r', '{2,3,11,11}'), ('m', '{3,-2147483646,3,11}')) AS c(t, a);
-- each encoding of the large set is included in the bitfield written from every other
SELECT w.t AS written_from, e.t AS tested_as, qv_int4set_included_in_bitfield(e.t, e.a, w.b) AS included,
       qv_int4set_overlap_bitfield('r', '{-100,-1,100001,200000}', w.b) AS outside_overlaps
FROM written AS w, written AS e ORDER BY 1, 2;
