-- Whole sets against range arrays and bitfields.
\set VERBOSITY verbose

-- range array against range array
SELECT a, b, qv_int4range_overlap_rangearray(a, b) AS ab, qv_int4range_overlap_rangearray(b, a) AS ba
FROM (VALUES ('{1,3}'::int4[], '{3,5}'::int4[]), ('{1,3}', '{4,5}'),
             ('{1,2,10,20}', '{5,8,15,15}'), ('{1,2,10,20}', '{3,9,21,30}'),
             ('{1,2,10,20}', '{-5,0,21,30}'), ('{}', '{1,2}'), ('{}', '{}'),
             ('{{1,2},{3,4}}', '{1,2}'), ('{1,2,NULL,4}', '{1,2}'),
             ('{-2147483648,-2147483648,2147483647,2147483647}', '{2147483647,2147483647}'),
             ('{-2147483648,0,5,6}', '{-1,-1,7,9}')) AS t(a, b);
-- both arrays are validated before anything is compared
SELECT qv_int4range_overlap_rangearray('{1,2,3}', '{}');
SELECT qv_int4range_overlap_rangearray('{}', '{1,2,3}');
SELECT qv_int4range_overlap_rangearray('{1,2}', '{100,200,300}');

-- bitfields: bytes 0-3 lower, 4-7 upper (little-endian), then 8-byte words,
-- the lowest value in the most significant bit of the first byte.
-- [0; 15] with every bit set, and the same with bit 8 cleared
CREATE TEMP TABLE bf(name text, b bytea);
INSERT INTO bf VALUES
  ('full 0..15', '\x000000000f000000ffff000000000000'),
  ('no 8', '\x000000000f000000ff7f000000000000'),
  ('3..10 holding 5', '\x030000000a0000002000000000000000'),
  ('3..10 empty', '\x030000000a0000000000000000000000'),
  ('empty', '\x00000000ffffffff');

SELECT name, k, s, qv_int4set_overlap_bitfield(k, s, b) AS overlap,
       qv_int4set_included_in_bitfield(k, s, b) AS included
FROM bf, (VALUES ('r'::"char", '{3,12}'::int4[]), ('s', '{5}'), ('s', '{3,4,5}'),
                 ('s', '{5,11}'), ('m', '{1,5}'), ('m', '{3,-2147483644,6}'),
                 ('r', '{4,6}'), ('m', '{0}'), ('r', '{}'), ('s', '{{5}}'),
                 ('m', '{1,NULL}'), ('r', '{-5,-1,12,20}')) AS t(k, s)
ORDER BY name, k, s::text;

-- a bare mix header is included exactly when the bounds contain 0
SELECT qv_int4set_included_in_bitfield('m', '{0}', '\x01000000400000000000000000000000') AS from_1,
       qv_int4set_included_in_bitfield('m', '{0}', '\xffffffff000000000000000000000000') AS from_minus_1;

-- an odd range array fails only once the bounds do not reject it
SELECT qv_int4set_overlap_bitfield('r', '{1,2,3}', '\x0a0000000a0000008000000000000000');
SELECT qv_int4set_overlap_bitfield('r', '{1,2,3}', '\x000000003f0000000000000000000000');
SELECT qv_int4set_included_in_bitfield('r', '{1,2,3}', '\x000000003f000000ffffffffffffffff');
-- a bad type character, invalid bitfields
SELECT qv_int4set_overlap_bitfield('x', '{1}', '\x00000000ffffffff');
SELECT qv_int4set_overlap_bitfield('s', '{1}', '\x0000000000000000');
SELECT qv_int4set_included_in_bitfield('s', '{1}', '\x00000080ffffff7f');
-- a set of another element type, through a declaration that lets one in
CREATE FUNCTION overlap_any("char", anyarray, bytea) RETURNS bool
AS 'libTarvoxPgRangeOperators2_0', 'qv_int4set_overlap_bitfield' LANGUAGE C STRICT;
SELECT overlap_any('s', '{1}'::int8[], '\x00000000ffffffff');
SELECT overlap_any('s', '{1}'::int4[], '\x000000003f0000004000000000000000') AS int4_passes;
-- the empty set is decided before the bitfield is read
SELECT qv_int4set_overlap_bitfield('s', '{}', '\x00');
SELECT qv_int4set_overlap_bitfield('s', '{1}', NULL) IS NULL AS strict;

-- long spans: [0; 799999] with every value but 500000
CREATE TEMP TABLE big AS
SELECT '\x00000000ff340c00'::bytea || decode(repeat('ff', 62500) || '7fff' || repeat('ff', 37498), 'hex') AS b;
SELECT qv_int4set_included_in_bitfield('r', '{0,499999,500001,799999}', b) AS around,
       qv_int4set_included_in_bitfield('r', '{0,799999}', b) AS whole,
       qv_int4set_overlap_bitfield('m', '{1,500000}', b) AS hole,
       qv_int4set_overlap_bitfield('r', '{500000,500000,799999,800005}', b) AS tail
FROM big;
