-- Conversions between the encodings of one set, {1, 2, 3, 5, 7, 8}.
SELECT qv_int4setconv_int4('s', '{1,2,3,5,7,8}', 'r') AS as_ranges,
       qv_int4setconv_int4('s', '{1,2,3,5,7,8}', 'm') AS as_mix,
       qv_int4setconv_int4('m', '{6,-2147483647,3,5,-2147483641,8}', 's') AS back_to_scalars,
       qv_int4setconv_int4('r', '{1,3,5,5,7,8}', 'm') AS ranges_to_mix;
-- The same set as a bitfield (bounds 1 and 8, then one bit per value), and
-- its number of values in each encoding.
SELECT qv_int4set2bitfield_int4('r', '{1,3,5,5,7,8}') AS bitfield,
       qv_int4_in_rangebitfield(5, qv_int4set2bitfield_int4('r', '{1,3,5,5,7,8}')) AS has_5,
       qv_count_scalar_in_int4set('r', '{1,3,5,5,7,8}') AS count_r,
       qv_count_scalar_in_int4set('m', '{6,-2147483647,3,5,-2147483641,8}') AS count_m;
-- Sorting a list of values into a scalar array, then into ranges.
SELECT qv_sort_int4('{8,3,1,7,2,5}') AS sorted,
       qv_int4setconv_int4('s', qv_sort_int4('{8,3,1,7,2,5}'), 'r') AS ranges;
-- Decoding byte payloads: two float4 values, and the element data of a mix array.
SELECT qv_bytea2floatarray('\x0000803f000000c0') AS floats,
       qv_bytea2mix2rangearray('\x060000000100008003000000050000000700008008000000') AS ranges;
