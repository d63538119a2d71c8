-- A set of int4 as a range array: sorted, disjoint [lower; upper] pairs.
-- Is 8 in {1..3, 7..9}?  Is 5?
SELECT qv_int4_in_rangearray(8, '{1,3,7,9}') AS eight,
       qv_int4_in_rangearray(5, '{1,3,7,9}') AS five;
