-- Membership of values and packed ranges.
SELECT qv_int4_in_packedrange(5, qv_range_pack(5, 5)) AS five_in_5_5,
       qv_int4rangepacked_contains_int4(qv_range_pack(1, 3), 4) AS range_1_3_holds_4,
       qv_int4rangepacked_in_int4rangepacked(qv_range_pack(1, 3), qv_range_pack(3, 9)) AS overlap,
       qv_int4rangepacked_included_in_int4rangepacked(qv_range_pack(2, 3), qv_range_pack(1, 3)) AS included,
       qv_int4rangepacked_contains_int4rangepacked(qv_range_pack(1, 3), qv_range_pack(2, 3)) AS contains;
SELECT qv_int4rangepacked_in_rangearray(qv_range_pack(3, 5), '{1,3,7,9}') AS meets_range_array;

-- A bitfield: lower, upper (little-endian int4), then one bit per value,
-- the lowest value first.  [10; 20] holding 10, 12 and 20:
SELECT v, qv_int4_in_rangebitfield(v, '\x0a00000014000000a020000000000000') AS member
FROM unnest('{10,11,12,20}'::int4[]) AS v;
-- [3; 10] holding 5
SELECT qv_int4_in_rangebitfield(5, '\x030000000a0000002000000000000000') AS five,
       qv_int4rangepacked_in_rangebitfield(qv_range_pack(6, 10),
                                           '\x030000000a0000002000000000000000') AS six_to_ten;

-- Whole sets against range arrays and bitfields.
SELECT qv_int4range_overlap_rangearray('{1,2,10,20}', '{5,8,15,15}') AS arrays_overlap,
       qv_int4set_overlap_bitfield('s', '{4,5}', '\x030000000a0000002000000000000000') AS set_overlaps,
       qv_int4set_included_in_bitfield('s', '{4,5}', '\x030000000a0000002000000000000000') AS set_included;
