-- Membership of values and packed ranges in packed ranges, range arrays and
-- bitfields.
\set VERBOSITY verbose

-- packed range [lo; hi]: hi in the high 32 bits, lo in the low 32 bits
CREATE FUNCTION pk(lo int4, hi int4) RETURNS int8 LANGUAGE sql IMMUTABLE
AS $$ SELECT (hi::int8 << 32) | (lo::int8 & 4294967295) $$;

-- value against packed range, both argument orders, signed bounds
SELECT v, r, qv_int4_in_packedrange(v, pk(r[1], r[2])) AS v_in_r,
       qv_int4rangepacked_contains_int4(pk(r[1], r[2]), v) AS r_contains_v
FROM (VALUES (5, '{5,5}'::int4[]), (4, '{5,5}'), (6, '{5,5}'), (-1, '{-5,0}'),
             (-6, '{-5,0}'), (-2147483648, '{-2147483648,2147483647}'),
             (2147483647, '{-2147483648,2147483647}'), (0, '{1,-1}')) AS t(v, r);

-- packed range against packed range
SELECT a, b,
       qv_int4rangepacked_in_int4rangepacked(pk(a[1], a[2]), pk(b[1], b[2])) AS overlap,
       qv_int4rangepacked_in_int4rangepacked(pk(b[1], b[2]), pk(a[1], a[2])) AS overlap_swapped,
       qv_int4rangepacked_included_in_int4rangepacked(pk(a[1], a[2]), pk(b[1], b[2])) AS a_in_b,
       qv_int4rangepacked_contains_int4rangepacked(pk(a[1], a[2]), pk(b[1], b[2])) AS a_contains_b
FROM (VALUES ('{1,3}'::int4[], '{3,9}'::int4[]), ('{1,3}', '{4,9}'), ('{2,3}', '{1,3}'),
             ('{1,3}', '{2,3}'), ('{1,3}', '{1,3}'), ('{-5,-1}', '{-1,0}'),
             ('{-2147483648,2147483647}', '{0,0}')) AS t(a, b);

-- packed range against range array
SELECT a, arr, qv_int4rangepacked_in_rangearray(pk(a[1], a[2]), arr) AS overlap
FROM (VALUES ('{4,4}'::int4[], '{1,3,5,9}'::int4[]), ('{3,5}', '{1,3,7,9}'),
             ('{5,6}', '{1,3,7,9}'), ('{0,0}', '{1,3,7,9}'), ('{10,20}', '{1,3,7,9}'),
             ('{9,20}', '{1,3,7,9}'), ('{-10,1}', '{1,3,7,9}'), ('{4,6}', '{1,3,7,9,20,30}'),
             ('{4,8}', '{1,3,7,9,20,30}'), ('{1,2}', '{}'), ('{1,2}', '{{1,2},{3,4}}'),
             ('{1,2}', '{1,2,NULL,4}'), ('{-2147483648,2147483647}', '{2147483647,2147483647}'))
     AS t(a, arr);
SELECT qv_int4rangepacked_in_rangearray(pk(1, 2), '{1,3,5}');
SELECT qv_int4rangepacked_in_rangearray(pk(100, 200), '{1,3,5}');

-- bitfields: bytes 0-3 lower, 4-7 upper (little-endian), then 8-byte words
-- of bits, the lowest value in the most significant bit of the first byte.
-- [10; 10] holding 10
SELECT v, qv_int4_in_rangebitfield(v, '\x0a0000000a0000008000000000000000') AS member
FROM unnest(ARRAY[9, 10, 11]) AS v;
-- [-5; 58] with bits 0 (value -5), 7 (2), 8 (3) and 63 (58)
SELECT v, qv_int4_in_rangebitfield(v, '\xfbffffff3a0000008180000000000001') AS member
FROM unnest(ARRAY[-6, -5, -4, 1, 2, 3, 4, 57, 58, 59, -2147483648, 2147483647]) AS v;
-- [0; 64]: two words, value 64 is the first bit of the second word
SELECT v, qv_int4_in_rangebitfield(v, '\x00000000400000000000000000000000' ||
                                      '\x8000000000000000'::bytea) AS member
FROM unnest(ARRAY[0, 63, 64, 65]) AS v;
-- the empty bitfield: lower 0, upper -1, no bits
SELECT qv_int4_in_rangebitfield(0, '\x00000000ffffffff'),
       qv_int4_in_rangebitfield(-1, '\x00000000ffffffff'),
       qv_int4rangepacked_in_rangebitfield(pk(-2147483648, 2147483647), '\x00000000ffffffff');

-- packed range against bitfield [-5; 58] (bits of -5, 2, 3, 58)
SELECT a, qv_int4rangepacked_in_rangebitfield(pk(a[1], a[2]),
                                              '\xfbffffff3a0000008180000000000001') AS overlap
FROM (VALUES ('{-15,-5}'::int4[]), ('{-15,-6}'), ('{-4,1}'), ('{-4,2}'), ('{2,2}'), ('{4,57}'),
             ('{4,58}'), ('{58,100}'), ('{59,100}'), ('{-2147483648,2147483647}'),
             ('{3,-5}'), ('{57,4}')) AS t(a);
-- [0; 127] with only value 100: spans crossing whole zero bytes
SELECT a, qv_int4rangepacked_in_rangebitfield(pk(a[1], a[2]),
    '\x000000007f000000' || '\x00000000000000000000000008000000'::bytea) AS overlap
FROM (VALUES ('{0,99}'::int4[]), ('{0,100}'), ('{100,127}'), ('{101,127}'), ('{1,126}')) AS t(a);

-- sizes that break the size rule
SELECT qv_int4_in_rangebitfield(1, '\x0000000000000000');                  -- 11 bytes
SELECT qv_int4_in_rangebitfield(1, '\x0a0000000a000000');                  -- no bits
SELECT qv_int4_in_rangebitfield(1, '\x0a0000000a000000' ||
                                   '\x80000000000000000000000000000000'::bytea);  -- a word too many
SELECT qv_int4_in_rangebitfield(1, '\x00000000ffffffff00');                -- empty with a byte
SELECT qv_int4_in_rangebitfield(1, '\x05000000030000000000000000000000');  -- upper < lower - 1
-- the whole int4 domain needs 2^32 bits: no empty bits area
SELECT qv_int4_in_rangebitfield(1, '\x00000080ffffff7f');
SELECT qv_int4rangepacked_in_rangebitfield(pk(1, 2), '\x00000080ffffff7f');
SELECT qv_int4rangepacked_in_rangebitfield(pk(1, 2), '\x0000000000000000');
SELECT qv_int4rangepacked_in_rangebitfield(pk(1, 2), '\x0a0000000a000000' ||
    '\x80000000000000000000000000000000'::bytea);
-- bounds outside do not excuse an invalid value
SELECT qv_int4_in_rangebitfield(-100, '\x0a0000000a000000');

-- strict: null arguments give null
SELECT qv_int4_in_packedrange(NULL, 1) IS NULL AS a, qv_int4rangepacked_in_rangearray(1, NULL) IS NULL AS b,
       qv_int4_in_rangebitfield(1, NULL) IS NULL AS c, qv_int4rangepacked_in_rangebitfield(NULL, '\x00') IS NULL AS d;

-- a bitfield stored compressed reads like a plain one: [0; 799999] with
-- every multiple of 3
CREATE TEMP TABLE bf AS
SELECT '\x00000000ff340c00'::bytea ||
       decode(repeat('924924', 33333) || '92', 'hex') AS b;
SELECT octet_length(b), qv_int4_in_rangebitfield(599997, b), qv_int4_in_rangebitfield(599998, b),
       qv_int4rangepacked_in_rangebitfield(pk(700000, 700001), b),
       qv_int4rangepacked_in_rangebitfield(pk(700000, 700002), b)
FROM bf;
