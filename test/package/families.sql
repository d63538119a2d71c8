-- One query per family of the extension, each a row (family, passed), for
-- checking an installed copy of the extension (package, distribution).
-- The GiST row reads a packed-range index: sequential scans are off.
CREATE TEMP TABLE qv_slots AS
SELECT qv_range_pack(i, i + 2) AS slot FROM generate_series(1, 1000, 10) AS i;
CREATE INDEX ON qv_slots USING gist (slot qv_gist_range_int8_ops);
SET enable_seqscan = off;
SELECT 'range array', qv_int4_in_rangearray(8, '{1,3,7,9}')
                      AND NOT qv_int4_in_rangearray(5, '{1,3,7,9}')
UNION ALL
SELECT 'set algebra', qv_int4range_union('{1,3}', '{4,6,10,12}') = '{1,6,10,12}'
UNION ALL
SELECT 'set expression', (SELECT qv_int4range_op(word, operand ORDER BY step)
        FROM (VALUES (1, 1::int2, '{1,10}'::int4[]), (2, 3::int2, '{4,5}')) AS t(step, word, operand))
        = '{1,3,6,10}'
UNION ALL
SELECT 'packed range', qv_rangepacked_upper(qv_range_pack(-2, 7)) = 7
UNION ALL
SELECT 'set aggregate', (SELECT qv_int4set_agg(v, 'r') FROM unnest('{5,3,4,10}'::int4[]) AS v)
        = '{3,5,10,10}'
UNION ALL
SELECT 'bitfield aggregate', (SELECT qv_int4set_agg_optimized(v, 10, 's')
        FROM unnest('{9,3,4,5}'::int4[]) AS v) = '{3,4,5,9}'
UNION ALL
SELECT 'membership', qv_int4_in_rangebitfield(5, '\x030000000a0000002000000000000000')
UNION ALL
SELECT 'set tests', qv_int4set_included_in_bitfield('s', '{5}', '\x030000000a0000002000000000000000')
UNION ALL
SELECT 'conversions', qv_int4setconv_int4('s', '{1,2,3,5,7,8}', 'r') = '{1,3,5,5,7,8}'
UNION ALL
SELECT 'gist', (SELECT count(*) FROM qv_slots WHERE slot && qv_range_pack(10, 22)) = 2
UNION ALL
SELECT 'keep single', (SELECT qv_agg_keep_single(x) FROM (VALUES ('a'::text), ('a')) AS v(x)) = 'a';
