-- The bitfield set aggregate: values of 0..maxinput gathered as one bit each.
SELECT qv_int4set_agg_optimized(v, 10, 'r') AS ranges,
       qv_int4set_agg_optimized(v, 10, 's') AS scalars,
       qv_int4set_agg_optimized(v, 10, 'm') AS mix
FROM unnest('{9,3,4,5}'::int4[]) AS v;

-- one range per row (an inverted one adds nothing), or a whole set per row
SELECT qv_int4set_agg_optimized(lo, hi, 100, 'r') AS from_ranges
FROM (VALUES (1, 3), (4, 6), (7, 2)) AS t(lo, hi);
SELECT qv_int4set_agg_optimized('r', a, 100, 's') AS from_range_arrays
FROM (VALUES ('{1,2,10,11}'::int4[]), ('{20,20}')) AS t(a);

-- per group: the days of the month on which each customer ordered
SELECT customer, qv_int4set_agg_optimized(day, 31, 'r') AS order_days
FROM (VALUES ('ada', 1), ('ada', 2), ('ada', 3), ('ada', 17), ('bob', 30), ('bob', 5)) AS o(customer, day)
GROUP BY customer ORDER BY customer;
