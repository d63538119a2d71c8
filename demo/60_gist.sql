-- GiST indexes over packed ranges: booked time slots as packed int8 ranges,
-- visitor ids as int4.
CREATE TEMP TABLE bookings AS
SELECT i AS id, qv_range_pack(start, start + (i % 60)) AS slot
FROM (SELECT i, (i * 7919) % 100000 AS start FROM generate_series(1, 20000) AS i) AS s;
CREATE INDEX ON bookings USING gist (slot qv_gist_range_int8_ops);
CREATE TEMP TABLE visits AS
SELECT i AS id, (i * 104729) % 50000 AS visitor FROM generate_series(1, 20000) AS i;
CREATE INDEX ON visits USING gist (visitor qv_gist_range_int4_ops);
ANALYZE bookings, visits;

-- Which bookings overlap [500; 510]?  The planner takes the index.
EXPLAIN (COSTS OFF) SELECT id FROM bookings WHERE slot && qv_range_pack(500, 510);
SELECT id, qv_rangepacked_lower(slot) AS lower, qv_rangepacked_upper(slot) AS upper
FROM bookings WHERE slot && qv_range_pack(500, 510) ORDER BY id;

-- Bookings overlapping any of [100; 105] and [90000; 90002] (a range array),
-- lying within [2000; 2100], covering [300; 330], or holding the value 777.
SELECT count(*) FILTER (WHERE slot &&& '{100,105,90000,90002}'::int4[]) AS overlap_set,
       count(*) FILTER (WHERE slot <@ qv_range_pack(2000, 2100)) AS within,
       count(*) FILTER (WHERE slot @> qv_range_pack(300, 330)) AS covering,
       count(*) FILTER (WHERE slot @> 777) AS holding_777
FROM bookings;

-- Visits of visitors 10 to 20 or 40000 to 40005, from the int4 index.
EXPLAIN (COSTS OFF) SELECT id FROM visits WHERE visitor <<@ '{10,20,40000,40005}'::int4[];
SELECT visitor, count(*) FROM visits
WHERE visitor <<@ '{10,20,40000,40005}'::int4[] GROUP BY visitor ORDER BY visitor;
-- The same question as "the packed range holds the visitor", commuted.
SELECT count(*) FROM visits WHERE qv_range_pack(10, 20) @> visitor;
