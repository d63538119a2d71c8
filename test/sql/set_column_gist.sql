-- GiST index of range-array columns: every operator of the class, by bitmap
-- scan and by index scan, against a sequential scan, on sets of every form
-- (canonical, out of order, empty of both shapes, with nulls, null).

SELECT opcname, amvalidate(oid) FROM pg_opclass WHERE opcname = 'qv_gist_rangearray_ops';

-- the examples of the reference
SELECT '{1,5,10,20}'::int4[] @>> 12 AS holds_12,
       '{1,5,10,20}'::int4[] &&& qv_range_pack(6, 9) AS meets_6_9,
       '{1,5,10,20}'::int4[] &&& '{6,9,19,30}'::int4[] AS overlaps,
       '{1,5,10,20}'::int4[] @>> '{2,3,11,20}'::int4[] AS contains,
       '{2,3,11,20}'::int4[] <<@ '{1,5,10,20}'::int4[] AS inside,
       '{5,1}'::int4[] &&& '{3,10}'::int4[] AS out_of_order_overlaps;

-- the built-in array operators keep their meaning: && is a shared element,
-- @> and <@ element containment, = equality, also with untyped literals
SELECT '{1,5}'::int4[] && '{3,4}' AS shares_element,
       ARRAY[1,5] @> '{5,1}' AS has_elements,
       '{3}'::int4[] <@ ARRAY[1,5] AS elements_in,
       ARRAY[1,5] = '{1,5}' AS equal,
       (SELECT count(*) FROM pg_operator o
        WHERE o.oprname IN ('&&', '@>', '<@', '=') AND o.oprleft = 'int4[]'::regtype
          AND o.oprnamespace <> 'pg_catalog'::regnamespace) AS ours_named_alike;

-- Set k of a row: n canonical ranges from a start, widths and gaps taken
-- from the seed.
CREATE FUNCTION pg_temp.ranges(seed int, n int) RETURNS int4[]
LANGUAGE plpgsql IMMUTABLE AS $$
DECLARE
    pos int := seed * 37 % 1000;
    hi int;
    r int4[] := '{}';
BEGIN
    FOR k IN 1 .. n LOOP
        hi := pos + (seed * k * 13) % 9;
        r := r || ARRAY[pos, hi];
        pos := hi + 2 + (seed * k * 31) % 60;
    END LOOP;
    RETURN r;
END $$;

-- rows of every form; kinds 0 to 8 are the special ones
CREATE TABLE set_rows (id int, s int4[]);
INSERT INTO set_rows
SELECT i, CASE i % 25
    WHEN 0 THEN NULL
    WHEN 1 THEN '{}'::int4[]                                              -- no dimension
    WHEN 2 THEN qv_int4range_intersection('{1,2}', '{5,6}')               -- one, of length 0
    WHEN 3 THEN ARRAY[i % 900 + 9, i % 900]                               -- lower > upper
    WHEN 4 THEN ARRAY[i % 900 + 50, i % 900 + 60, i % 900, i % 900 + 5]   -- out of order
    WHEN 5 THEN ARRAY[i % 900, i % 900 + 20, i % 900 + 10, i % 900 + 30]  -- overlapping
    WHEN 6 THEN ARRAY[i % 900, i % 900 + 4, i % 900 + 5, i % 900 + 9]     -- touching
    WHEN 7 THEN ARRAY[i % 900, NULL]                                      -- with a null
    WHEN 8 THEN ARRAY[[i % 900, i % 900 + 3], [i % 900 + 7, i % 900 + 8]] -- two dimensions
    ELSE pg_temp.ranges(i, 1 + i * 7 % 24) END
FROM generate_series(1, 3000) i;

-- the same rows indexed from the start (entry by entry) and after loading
-- (a sorted build where the server has one)
CREATE TABLE set_rows_inserted (id int, s int4[]);
CREATE INDEX set_rows_inserted_idx ON set_rows_inserted USING gist (s qv_gist_rangearray_ops);
INSERT INTO set_rows_inserted SELECT * FROM set_rows;
CREATE INDEX set_rows_idx ON set_rows USING gist (s qv_gist_rangearray_ops);
ANALYZE set_rows;
ANALYZE set_rows_inserted;

-- queries: values, packed ranges (one with lower > upper), and the sets of
-- a sample of rows, of every form, plus some of their own
CREATE TABLE value_queries AS
SELECT v FROM generate_series(-5, 1200, 23) v UNION ALL SELECT 2147483647;
CREATE TABLE packed_queries AS
SELECT (hi::int8 << 32) | (lo::int8 & 4294967295) AS p
FROM generate_series(-20, 1100, 97) lo, (VALUES (0), (3), (40), (-4)) w(width), LATERAL (SELECT lo + width AS hi) h;
CREATE TABLE set_queries AS
SELECT s FROM set_rows WHERE id % 41 = 0 OR id BETWEEN 1 AND 9
UNION ALL VALUES ('{0,2000}'::int4[]), ('{100,100}'), ('{-10,-1}'), ('{5,1,20,30}'), ('{0,10,5,400}');

-- Every match of every operator as (operator, query, row); under the
-- settings in force (a forced index, or none), against table tbl.
CREATE FUNCTION pg_temp.matches(tbl text) RETURNS TABLE (op text, q text, id int)
LANGUAGE plpgsql AS $$
BEGIN
    RETURN QUERY EXECUTE format($q$
        SELECT '@>> int4', v::text, t.id FROM value_queries, %1$s t WHERE t.s @>> v
        UNION ALL SELECT '&&& int8', p::text, t.id FROM packed_queries, %1$s t WHERE t.s &&& p
        UNION ALL SELECT '&&& int4[]', q.s::text, t.id FROM set_queries q, %1$s t WHERE t.s &&& q.s
        UNION ALL SELECT '@>> int4[]', q.s::text, t.id FROM set_queries q, %1$s t WHERE t.s @>> q.s
        UNION ALL SELECT '<<@ int4[]', q.s::text, t.id FROM set_queries q, %1$s t WHERE t.s <<@ q.s
    $q$, tbl);
END $$;

-- Whether the plan of an operator's join reads the table through an index.
CREATE FUNCTION pg_temp.indexed(tbl text, pred text) RETURNS bool
LANGUAGE plpgsql AS $$
DECLARE
    line text;
    plan text := '';
BEGIN
    FOR line IN EXECUTE format('EXPLAIN (COSTS OFF) SELECT t.id FROM set_queries q, %s t WHERE %s', tbl, pred) LOOP
        plan := plan || line;
    END LOOP;
    RETURN plan LIKE '%' || tbl || '_idx%';
END $$;

SET enable_indexscan = off;
SET enable_bitmapscan = off;
CREATE TABLE by_seqscan AS SELECT * FROM pg_temp.matches('set_rows');
RESET enable_indexscan;
RESET enable_bitmapscan;
SET enable_seqscan = off;
CREATE TABLE by_bitmap AS SELECT * FROM pg_temp.matches('set_rows');
SELECT pg_temp.indexed('set_rows', 't.s &&& q.s') AS uses_index;
SET enable_bitmapscan = off;
CREATE TABLE by_index AS SELECT * FROM pg_temp.matches('set_rows');
CREATE TABLE by_inserted AS SELECT * FROM pg_temp.matches('set_rows_inserted');
SELECT pg_temp.indexed('set_rows_inserted', 't.s <<@ q.s') AS uses_index;
RESET enable_bitmapscan;
RESET enable_seqscan;

-- matches per operator, and every index scan returns exactly them
SELECT op, count(*) AS matches FROM by_seqscan GROUP BY op ORDER BY op;
SELECT scan, count(d.op) AS differences
FROM (VALUES ('bitmap'), ('index'), ('inserted')) s(scan) LEFT JOIN (
    (SELECT 'bitmap' AS scan, * FROM by_bitmap EXCEPT ALL SELECT 'bitmap', * FROM by_seqscan)
    UNION ALL (SELECT 'bitmap', * FROM by_seqscan EXCEPT ALL SELECT 'bitmap', * FROM by_bitmap)
    UNION ALL (SELECT 'index', * FROM by_index EXCEPT ALL SELECT 'index', * FROM by_seqscan)
    UNION ALL (SELECT 'index', * FROM by_seqscan EXCEPT ALL SELECT 'index', * FROM by_index)
    UNION ALL (SELECT 'inserted', * FROM by_inserted EXCEPT ALL SELECT 'inserted', * FROM by_seqscan)
    UNION ALL (SELECT 'inserted', * FROM by_seqscan EXCEPT ALL SELECT 'inserted', * FROM by_inserted)
) d USING (scan) GROUP BY scan ORDER BY scan;

-- rows out of order are found: their keys pass every query
SET enable_seqscan = off;
SELECT id, s FROM set_rows WHERE s &&& '{0,1000}'::int4[] AND id % 25 = 3 AND id < 200 ORDER BY id;
SELECT count(*) AS null_query FROM set_rows WHERE s &&& NULL::int4[];
RESET enable_seqscan;

-- a row of odd length: the value test reads its pairs, the set tests fail
-- on it, through the index as without
INSERT INTO set_rows_inserted VALUES (0, '{1,2,3}');
SET enable_seqscan = off;
SELECT id FROM set_rows_inserted WHERE s @>> 2 AND id < 10 ORDER BY id;
SELECT id FROM set_rows_inserted WHERE s &&& '{1,1}'::int4[];
RESET enable_seqscan;
SELECT id FROM set_rows_inserted WHERE s &&& '{1,1}'::int4[];
