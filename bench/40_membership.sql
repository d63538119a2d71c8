-- Membership and overlap predicates against built-in multiranges and
-- intarray.  The set: 1000 ranges [1000 i; 1000 i + 300] in [0; 999999],
-- as a range array, a bitfield and an int4multirange, inlined as constants.
-- Each query returns a count so that printing costs nothing.
SET max_parallel_workers_per_gather = 0;
CREATE TABLE mb AS
SELECT v, lo, lo + len AS hi, qv_range_pack(lo, lo + len) AS p, int4range(lo, lo + len, '[]') AS r
FROM (SELECT (random() * 999999)::int4 AS v, (random() * 999999)::int4 AS lo,
             (random() * 100)::int4 AS len
      FROM generate_series(1, 2000000)) AS s;
CREATE TABLE mb_sets AS
SELECT array_agg(x ORDER BY x) AS a
FROM (SELECT i / 10 AS g, x AS x
      FROM (SELECT i, (random() * 999999)::int4 AS x FROM generate_series(0, 1999999) AS i) AS t) AS u
GROUP BY g;
UPDATE mb_sets SET a = ARRAY(SELECT DISTINCT unnest(a) ORDER BY 1);
-- the same sets as range arrays and as multiranges
ALTER TABLE mb_sets ADD COLUMN ra int4[], ADD COLUMN m int4multirange;
UPDATE mb_sets SET ra = ARRAY(SELECT y FROM unnest(a) AS x, LATERAL (VALUES (x), (x)) AS d(y)),
                   m = (SELECT range_agg(int4range(x, x, '[]')) FROM unnest(a) AS x);
VACUUM ANALYZE mb;
VACUUM ANALYZE mb_sets;

SELECT array_agg(x ORDER BY i, o) AS arr
FROM generate_series(0, 999) AS i, LATERAL (VALUES (1, i * 1000), (2, i * 1000 + 300)) AS t(o, x) \gset
SELECT range_agg(int4range(i * 1000, i * 1000 + 300, '[]'))::text AS mr FROM generate_series(0, 999) AS i \gset
SELECT '\x000000003f420f00' || string_agg(lpad(to_hex(b), 2, '0'), '' ORDER BY j) AS bf
FROM (SELECT j, (SELECT coalesce(sum(128 >> k), 0)::int FROM generate_series(0, 7) AS k
                 WHERE (j * 8 + k) % 1000 <= 300) AS b
      FROM generate_series(0, 124999) AS j) AS s \gset

-- the scan floor
SELECT count(*) FROM mb WHERE v >= 0;
SELECT count(*) FROM mb WHERE v >= 0;

-- The constants are long: print a label instead of each query.
\set ECHO none
\echo '-- a value in the set'
\echo 'SELECT count(*) FROM mb WHERE qv_int4_in_rangebitfield(v, bf);'
SELECT count(*) FROM mb WHERE qv_int4_in_rangebitfield(v, :'bf'::bytea);
\echo 'SELECT count(*) FROM mb WHERE qv_int4_in_rangearray(v, arr);'
SELECT count(*) FROM mb WHERE qv_int4_in_rangearray(v, :'arr'::int4[]);
\echo 'SELECT count(*) FROM mb WHERE v <@ mr;'
SELECT count(*) FROM mb WHERE v <@ :'mr'::int4multirange;

\echo '-- an interval meeting the set'
\echo 'SELECT count(*) FROM mb WHERE qv_int4rangepacked_in_rangebitfield(p, bf);'
SELECT count(*) FROM mb WHERE qv_int4rangepacked_in_rangebitfield(p, :'bf'::bytea);
\echo 'SELECT count(*) FROM mb WHERE qv_int4rangepacked_in_rangearray(p, arr);'
SELECT count(*) FROM mb WHERE qv_int4rangepacked_in_rangearray(p, :'arr'::int4[]);
\echo 'SELECT count(*) FROM mb WHERE r && mr;'
SELECT count(*) FROM mb WHERE r && :'mr'::int4multirange;

\echo '-- an interval against an interval'
\echo 'SELECT count(*) FROM mb WHERE qv_int4rangepacked_in_int4rangepacked(p, qv_range_pack(400000, 600000));'
SELECT count(*) FROM mb WHERE qv_int4rangepacked_in_int4rangepacked(p, qv_range_pack(400000, 600000));
\echo 'SELECT count(*) FROM mb WHERE r && int4range(400000, 600000, []);'
SELECT count(*) FROM mb WHERE r && int4range(400000, 600000, '[]');
\echo 'SELECT count(*) FROM mb WHERE qv_int4rangepacked_included_in_int4rangepacked(p, qv_range_pack(400000, 600000));'
SELECT count(*) FROM mb WHERE qv_int4rangepacked_included_in_int4rangepacked(p, qv_range_pack(400000, 600000));
\echo 'SELECT count(*) FROM mb WHERE r <@ int4range(400000, 600000, []);'
SELECT count(*) FROM mb WHERE r <@ int4range(400000, 600000, '[]');

\echo '-- 200,000 sets of about 10 values against the set'
\echo 'SELECT count(*) FROM mb_sets WHERE qv_int4set_overlap_bitfield(s, a, bf);'
SELECT count(*) FROM mb_sets WHERE qv_int4set_overlap_bitfield('s', a, :'bf'::bytea);
\echo 'SELECT count(*) FROM mb_sets WHERE EXISTS (SELECT 1 FROM unnest(a) AS x WHERE x <@ mr);'
SELECT count(*) FROM mb_sets WHERE EXISTS (SELECT 1 FROM unnest(a) AS x WHERE x <@ :'mr'::int4multirange);
\echo 'SELECT count(*) FROM mb_sets WHERE qv_int4set_included_in_bitfield(s, a, bf);'
SELECT count(*) FROM mb_sets WHERE qv_int4set_included_in_bitfield('s', a, :'bf'::bytea);
\echo 'SELECT count(*) FROM mb_sets WHERE NOT EXISTS (SELECT 1 FROM unnest(a) AS x WHERE NOT x <@ mr);'
SELECT count(*) FROM mb_sets WHERE NOT EXISTS (SELECT 1 FROM unnest(a) AS x WHERE NOT x <@ :'mr'::int4multirange);
\echo '-- the same sets as range arrays or multiranges against the set'
\echo 'SELECT count(*) FROM mb_sets WHERE qv_int4range_overlap_rangearray(ra, arr);'
SELECT count(*) FROM mb_sets WHERE qv_int4range_overlap_rangearray(ra, :'arr'::int4[]);
\echo 'SELECT count(*) FROM mb_sets WHERE m && mr;'
SELECT count(*) FROM mb_sets WHERE m && :'mr'::int4multirange;

\set ECHO queries
DROP TABLE mb, mb_sets;
