-- Row estimates from the column's statistics and the constant set, and the
-- predicate functions served by the GiST index (servers from 12 on).

CREATE TABLE est (v int4, p int8);
INSERT INTO est SELECT i, qv_range_pack(i * 10, i * 10 + i % 50) FROM generate_series(0, 19999) i;
INSERT INTO est SELECT NULL, NULL FROM generate_series(1, 2000);
CREATE TABLE est_sets (s int4[]);
INSERT INTO est_sets SELECT ARRAY[i * 1000, i * 1000 + 99] FROM generate_series(0, 29) i;
ANALYZE est;
ANALYZE est_sets;

-- Whether the planner's row estimate of the query is within a factor of 2
-- of the rows it returns (an estimate below one row counts as one).
CREATE FUNCTION pg_temp.estimate_ok(query text) RETURNS bool LANGUAGE plpgsql AS $$
DECLARE
    plan json;
    actual bigint;
BEGIN
    EXECUTE 'EXPLAIN (FORMAT JSON) ' || query INTO plan;
    EXECUTE 'SELECT count(*) FROM (' || query || ') q' INTO actual;
    RETURN (plan -> 0 -> 'Plan' ->> 'Plan Rows')::float8 BETWEEN greatest(actual, 1) / 2.0 AND greatest(actual, 1) * 2.0;
END $$;

SELECT q, pg_temp.estimate_ok(q) FROM (VALUES
    ('SELECT * FROM est WHERE v <<@ ''{0,9999}'''),
    ('SELECT * FROM est WHERE v <<@ ''{100,199,5000,5099,19990,30000}'''),
    ('SELECT * FROM est WHERE ''{-5,3000}'' @>> v'),
    ('SELECT * FROM est WHERE v <@ qv_int4set2bitfield_int4(''r'', ''{100,299,400,799}'')'),
    ('SELECT * FROM est WHERE v <@ qv_range_pack(1000, 5999)'),
    ('SELECT * FROM est WHERE p &&& ''{0,9999,150000,199999}'''),
    ('SELECT * FROM est WHERE p && qv_range_pack(50000, 99999)'),
    ('SELECT * FROM est WHERE p <@ qv_range_pack(0, 49999)'),
    ('SELECT * FROM est WHERE p @> qv_range_pack(100000, 100005)'),
    ('SELECT * FROM est_sets WHERE s &&& qv_range_pack(0, 9999)'),
    ('SELECT * FROM est JOIN est_sets ON v <<@ s')
) t(q);

-- a malformed constant (odd range array, bitfield of the wrong size) plans
-- with a default estimate instead of failing
EXPLAIN (COSTS OFF) SELECT * FROM est WHERE v <<@ '{1,2,3}';
EXPLAIN (COSTS OFF) SELECT * FROM est WHERE v <@ '\x0000000000000000ff'::bytea;

-- the function forms estimate like their operators and use the index
-- (servers before 12 have no support functions: the forms scan)
CREATE INDEX est_v ON est USING gist (v qv_gist_range_int4_ops);
CREATE INDEX est_p ON est USING gist (p qv_gist_range_int8_ops);
SELECT pg_temp.estimate_ok('SELECT * FROM est WHERE qv_int4_in_rangearray(v, ''{0,99}'')') AS function_estimate;
SET enable_seqscan = off;
EXPLAIN (COSTS OFF) SELECT * FROM est WHERE qv_int4_in_rangearray(v, '{0,99}');
EXPLAIN (COSTS OFF) SELECT * FROM est WHERE qv_rangearray_contains_int4('{0,99}', v);
EXPLAIN (COSTS OFF) SELECT * FROM est WHERE qv_int4rangepacked_included_in_int4rangepacked(qv_range_pack(5, 5), p);
-- the set tests on a column of sets, through its own class
CREATE INDEX est_sets_s ON est_sets USING gist (s qv_gist_rangearray_ops);
EXPLAIN (COSTS OFF) SELECT * FROM est_sets WHERE qv_int4range_is_overlap(s, '{0,1500}');
EXPLAIN (COSTS OFF) SELECT * FROM est_sets WHERE qv_int4range_is_strictly_include(s, '{0,2500}');
SELECT count(*) FROM est_sets WHERE qv_int4range_is_overlap(s, '{0,1500}');
SELECT count(*) FROM est_sets WHERE qv_int4range_is_strictly_include(s, '{0,2500}');
RESET enable_seqscan;
DROP TABLE est, est_sets;
