-- A packed range: one int4 interval in an int8, lower bound in the low 32 bits.
SELECT qv_range_pack(1, 3) AS packed,
       qv_range_pack('{1,3}'::int4[]) AS from_array,
       qv_rangepacked_lower(qv_range_pack(-2, -1)) AS lower,
       qv_rangepacked_upper(qv_range_pack(-2, -1)) AS upper;
