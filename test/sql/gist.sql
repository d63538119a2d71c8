-- GiST indexes on int4 and packed-range int8 columns: every operator of both
-- classes through a real index, compared with a sequential scan.

-- the operator classes pass the access method's own validation
SELECT opcname, amvalidate(oid) FROM pg_opclass
WHERE opcname IN ('qv_gist_range_int4_ops', 'qv_gist_range_int8_ops') ORDER BY opcname;

-- Runs SELECT id FROM tbl WHERE pred once with the index forced and once by
-- sequential scan; reports whether the first plan used an index, the number
-- of rows and whether both scans returned the same rows.
CREATE FUNCTION pg_temp.by_index(tbl text, pred text,
                                 OUT uses_index bool, OUT matches int, OUT same_rows bool)
LANGUAGE plpgsql AS $$
DECLARE
    line text;
    plan text := '';
    indexed int[];
    scanned int[];
    query text := format('SELECT array_agg(id ORDER BY id) FROM %s WHERE %s', tbl, pred);
BEGIN
    PERFORM set_config('enable_seqscan', 'off', true);
    FOR line IN EXECUTE 'EXPLAIN (COSTS OFF) ' || query LOOP
        plan := plan || line;
    END LOOP;
    uses_index := plan LIKE '%Index%Cond%';
    EXECUTE query INTO indexed;
    PERFORM set_config('enable_seqscan', 'on', true);
    PERFORM set_config('enable_indexscan', 'off', true);
    PERFORM set_config('enable_bitmapscan', 'off', true);
    EXECUTE query INTO scanned;
    PERFORM set_config('enable_indexscan', 'on', true);
    PERFORM set_config('enable_bitmapscan', 'on', true);
    matches := coalesce(cardinality(scanned), 0);
    same_rows := indexed IS NOT DISTINCT FROM scanned;
END $$;

-- Runs a statement and shows the SQLSTATE and message of its error.
CREATE FUNCTION pg_temp.error_of(statement text) RETURNS text
LANGUAGE plpgsql AS $$
DECLARE
    state text;
    message text;
BEGIN
    EXECUTE statement;
    RETURN 'no error';
EXCEPTION WHEN OTHERS THEN
    GET STACKED DIAGNOSTICS state = RETURNED_SQLSTATE, message = MESSAGE_TEXT;
    RETURN state || ': ' || message;
END $$;

-- A bitfield over [lo; hi] with the given members: lower and upper bound
-- (host byte order), then one bit per value, most significant bit first.
CREATE FUNCTION pg_temp.bitfield(lo int4, hi int4, members int4[]) RETURNS bytea
LANGUAGE plpgsql IMMUTABLE AS $$
DECLARE
    b bytea := decode(repeat('00', (8 + 8 * ((hi::int8 - lo + 1 + 63) / 64))::int), 'hex');
    m int4;
BEGIN
    FOR i IN 0..3 LOOP
        b := set_byte(b, i, ((lo::int8 & 4294967295) >> (8 * i) & 255)::int);
        b := set_byte(b, 4 + i, ((hi::int8 & 4294967295) >> (8 * i) & 255)::int);
    END LOOP;
    FOREACH m IN ARRAY members LOOP
        b := set_bit(b, 64 + (m - lo) / 8 * 8 + 7 - (m - lo) % 8, 1);
    END LOOP;
    RETURN b;
END $$;

------------------------------------------------------------------------
-- int4 column
-- an index created on the empty table grows by page splits, row by row
CREATE TABLE gist_i4 (id serial PRIMARY KEY, v int4);
CREATE INDEX gist_i4_v ON gist_i4 USING gist (v qv_gist_range_int4_ops);
INSERT INTO gist_i4 (v)
SELECT ((i::int8 * 7919) % 60001 - 30000)::int4 FROM generate_series(1, 30000) AS i;
INSERT INTO gist_i4 (v)
SELECT ((i::int8 * 104729) % 80001 - 40000)::int4 FROM generate_series(1, 20000) AS i;
INSERT INTO gist_i4 (v) VALUES (NULL), (-2147483648), (2147483647), (0), (0), (0);
SELECT pg_relation_size('gist_i4_v') / current_setting('block_size')::int > 100 AS many_pages;

SET enable_seqscan = off;
EXPLAIN (COSTS OFF) SELECT id FROM gist_i4 WHERE v <<@ '{1,5,100,200}'::int4[];
EXPLAIN (COSTS OFF) SELECT id FROM gist_i4 WHERE v <@ pg_temp.bitfield(0, 9, '{1}');
EXPLAIN (COSTS OFF) SELECT id FROM gist_i4 WHERE v <@ qv_range_pack(-10, 10);
-- the commuted form is served by the same index
EXPLAIN (COSTS OFF) SELECT id FROM gist_i4 WHERE qv_range_pack(-10, 10) @> v;
RESET enable_seqscan;

-- strategy 1: value in a range array, also commuted
SELECT pred, (pg_temp.by_index('gist_i4', pred)).* FROM (VALUES
    ('v <<@ ''{1,5,100,200}''::int4[]'),
    ('v <<@ ''{-30000,-29000,-5,5,29990,40000}''::int4[]'),
    ('v <<@ ''{-2147483648,-2147483648,2147483647,2147483647}''::int4[]'),
    ('v <<@ ''{-2147483648,2147483647}''::int4[]'),
    ('v <<@ ''{100000,200000}''::int4[]'),
    ('v <<@ ''{}''::int4[]'),
    ('v <<@ ''{1,NULL}''::int4[]'),
    ('v <<@ ''{{1,2},{3,4}}''::int4[]'),
    ('v <<@ (SELECT array_agg(y ORDER BY y) FROM generate_series(-40000, 40000, 250) AS x, LATERAL (VALUES (x), (x + 9)) AS b (y))'),
    ('''{-30000,-29000,-5,5,29990,40000}''::int4[] @>> v')
) AS q (pred);

-- strategy 2: value in a bitfield, also commuted; inner keys spanning only unset
-- bits are pruned
SELECT pred, (pg_temp.by_index('gist_i4', pred)).* FROM (VALUES
    ('v <@ pg_temp.bitfield(-100, 100, ''{-100,-7,0,63,64,100}'')'),
    ('v <@ (SELECT pg_temp.bitfield(-40000, 40000, ARRAY(SELECT generate_series(-40000, 40000, 997))))'),
    ('v <@ pg_temp.bitfield(2147483600, 2147483647, ''{2147483647}'')'),
    ('v <@ pg_temp.bitfield(5, 5, ''{}'')'),
    ('v <@ pg_temp.bitfield(0, -1, ''{}'')'),
    ('pg_temp.bitfield(-100, 100, ''{-100,-7,0,63,64,100}'') @> v')
) AS q (pred);

-- strategy 3: value in a packed range, also commuted
SELECT pred, (pg_temp.by_index('gist_i4', pred)).* FROM (VALUES
    ('v <@ qv_range_pack(-10, 10)'),
    ('v <@ qv_range_pack(0, 0)'),
    ('v <@ qv_range_pack(-2147483648, -30000)'),
    ('v <@ qv_range_pack(-2147483648, 2147483647)'),
    ('qv_range_pack(30000, 50000) @> v')
) AS q (pred);

------------------------------------------------------------------------
-- int8 column of packed ranges
CREATE TABLE gist_r8 (id serial PRIMARY KEY, r int8);
INSERT INTO gist_r8 (r)
SELECT qv_range_pack(lo, lo + (i * 37) % 1000)
FROM (SELECT i, ((i::int8 * 7919) % 1000003 - 500000)::int4 AS lo
      FROM generate_series(1, 30000) AS i) AS s;
-- an index created on a filled table is built from sorted keys (the server
-- permitting); the inserts that follow split its full pages
CREATE INDEX gist_r8_r ON gist_r8 USING gist (r qv_gist_range_int8_ops);
INSERT INTO gist_r8 (r)
SELECT qv_range_pack(lo, lo + (i * 13) % 100)
FROM (SELECT i, ((i::int8 * 104729) % 2000003 - 1000000)::int4 AS lo
      FROM generate_series(1, 20000) AS i) AS s;
-- identical entries
INSERT INTO gist_r8 (r) SELECT qv_range_pack(7, 70) FROM generate_series(1, 1000);
-- wide ranges inserted into the built index: their sizes pass 2^31 values,
-- and the pages they land on split with them
INSERT INTO gist_r8 (r) VALUES
    (qv_range_pack(-2147483648, 0)), (qv_range_pack(1, 2147483647)),
    (qv_range_pack(-2147483648, 2147483647)), (qv_range_pack(-1000000000, 1000000000)),
    (qv_range_pack(2147483647, 2147483647)), (qv_range_pack(-2147483648, -2147483648));
INSERT INTO gist_r8 (r)
SELECT qv_range_pack(lo, lo + i % 10)
FROM (SELECT i, ((i::int8 * 7919) % 20011 - 10000)::int4 AS lo FROM generate_series(1, 1000) AS i) AS s;
SELECT pg_relation_size('gist_r8_r') / current_setting('block_size')::int > 150 AS many_pages;

SET enable_seqscan = off;
EXPLAIN (COSTS OFF) SELECT id FROM gist_r8 WHERE r &&& '{1,5}'::int4[];
EXPLAIN (COSTS OFF) SELECT id FROM gist_r8 WHERE r && qv_range_pack(1, 5);
EXPLAIN (COSTS OFF) SELECT id FROM gist_r8 WHERE r <@ qv_range_pack(1, 5000);
EXPLAIN (COSTS OFF) SELECT id FROM gist_r8 WHERE r @> qv_range_pack(1, 5);
EXPLAIN (COSTS OFF) SELECT id FROM gist_r8 WHERE r @> 5;
RESET enable_seqscan;

-- strategy 11: overlap with a range array, also commuted
SELECT pred, (pg_temp.by_index('gist_r8', pred)).* FROM (VALUES
    ('r &&& ''{1,5}''::int4[]'),
    ('r &&& ''{-500000,-499990,0,0,250000,250500}''::int4[]'),
    ('r &&& ''{1100000,1200000}''::int4[]'),
    ('r &&& ''{2147483647,2147483647}''::int4[]'),
    ('r &&& ''{}''::int4[]'),
    ('r &&& ''{1,NULL}''::int4[]'),
    ('r &&& (SELECT array_agg(y ORDER BY y) FROM generate_series(-1000000, 1000000, 5000) AS x, LATERAL (VALUES (x), (x + 9)) AS b (y))'),
    ('''{-500000,-499990,0,0,250000,250500}''::int4[] &&& r')
) AS q (pred);

-- strategies 13 to 16: overlap, inclusion, containment of ranges and values
SELECT pred, (pg_temp.by_index('gist_r8', pred)).* FROM (VALUES
    ('r && qv_range_pack(1, 5)'),
    ('r && qv_range_pack(-2147483648, -1000001)'),
    ('qv_range_pack(900000, 900100) && r'),
    ('r <@ qv_range_pack(1, 5000)'),
    ('r <@ qv_range_pack(7, 70)'),
    ('r <@ qv_range_pack(-2147483648, 2147483647)'),
    ('r <@ qv_range_pack(1, 2147483647)'),
    ('r @> qv_range_pack(1, 5)'),
    ('r @> qv_range_pack(7, 70)'),
    ('r @> qv_range_pack(-2147483648, 2147483647)'),
    ('qv_range_pack(100, 200) <@ r'),
    ('r @> 5'),
    ('r @> -2147483648'),
    ('r @> 2147483647'),
    ('5 <@ r')
) AS q (pred);

------------------------------------------------------------------------
-- an int4 index built from sorted keys, and index-only scans of both classes
CREATE TABLE gist_i4_sorted AS SELECT * FROM gist_i4;
CREATE INDEX gist_i4_sorted_v ON gist_i4_sorted USING gist (v qv_gist_range_int4_ops);
SELECT pred, (pg_temp.by_index('gist_i4_sorted', pred)).* FROM (VALUES
    ('v <<@ ''{-30000,-29000,-5,5,29990,40000}''::int4[]'),
    ('v <@ pg_temp.bitfield(-100, 100, ''{-100,-7,0,63,64,100}'')'),
    ('v <@ qv_range_pack(-2147483648, 2147483647)')
) AS q (pred);

VACUUM gist_i4;
VACUUM gist_r8;
SET enable_seqscan = off;
SET enable_bitmapscan = off;
EXPLAIN (COSTS OFF) SELECT v FROM gist_i4 WHERE v <@ qv_range_pack(-10, 10);
SELECT array_agg(v ORDER BY v) FROM gist_i4 WHERE v <@ qv_range_pack(-10, 10);
EXPLAIN (COSTS OFF) SELECT r FROM gist_r8 WHERE r @> qv_range_pack(7, 70);
SELECT count(*), sum(qv_rangepacked_lower(r)), sum(qv_rangepacked_upper(r))
FROM gist_r8 WHERE r @> qv_range_pack(7, 70);
RESET enable_bitmapscan;
RESET enable_seqscan;
-- the same rows from the table
SELECT array_agg(v ORDER BY v) FROM gist_i4 WHERE v BETWEEN -10 AND 10;
SELECT count(*), sum(qv_rangepacked_lower(r)), sum(qv_rangepacked_upper(r))
FROM gist_r8 WHERE qv_rangepacked_lower(r) <= 7 AND qv_rangepacked_upper(r) >= 70;

------------------------------------------------------------------------
-- failures
\set VERBOSITY verbose
-- a packed range with upper < lower cannot enter the index
INSERT INTO gist_r8 (r) VALUES (12884901893);  -- lower 5, upper 3
CREATE TABLE gist_bad (r int8);
INSERT INTO gist_bad VALUES (-4294967296);  -- lower 0, upper -1
CREATE INDEX ON gist_bad USING gist (r qv_gist_range_int8_ops);

SET enable_seqscan = off;
-- an odd range array is refused by the index search
SELECT count(*) FROM gist_i4 WHERE v <<@ '{1,2,3}'::int4[];
SELECT count(*) FROM gist_r8 WHERE r &&& '{1,2,3}'::int4[];
-- a bitfield whose size does not match its bounds (raised by the search)
SELECT pg_temp.error_of('SELECT count(*) FROM gist_i4 WHERE v <@ ''\x000000000a00000000''::bytea');
SELECT pg_temp.error_of('SELECT count(*) FROM gist_i4 WHERE v <@ ''\x0000''::bytea');
-- a strategy number the search does not know
BEGIN;
ALTER OPERATOR FAMILY qv_gist_range_int8_ops USING gist ADD OPERATOR 4 = (int8, int8);
SELECT count(*) FROM gist_r8 WHERE r = 5::int8;
ROLLBACK;
RESET enable_seqscan;
\set VERBOSITY default
