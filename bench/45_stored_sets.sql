-- Membership against a set stored in a table, and what the set's storage
-- costs its readers.
--
-- One set of 100,000 random disjoint ranges (gaps of 2 to 31 values, widths
-- of 1 to 30) is stored as a range array, a bitfield and an int4multirange
-- in the one row of segments.  1,000,000 probes (events) each meet it once:
--
--   joined      the set column joined in: FROM events JOIN segments, the
--               stored set passed on every row (read once per query by the
--               call-site cache of the range-array and bitfield functions)
--   correlated  the set fetched by a correlated sub-select on every row
--   once        the set read once into memory by an uncorrelated scalar
--               sub-select (ranges || '{}', substring(bits, 1), mr + '{}'):
--               the reference
--   reread      the joined set read whole on every row (the same functions
--               over s.ranges || '{}' or substring(s.bits, 1)): what every
--               probe paid before the cache (fewer probes)
--   multirange  v <@ mr with the same set as int4multirange: joined in
--               (fewer probes, each reads the whole set) and once
--   scan only, join only   the scan or join and count without a test
--   join, pointer read     the join with a function of the stored set that
--                          reads only its pointer (octet_length): what
--                          passing the set column to a function costs
--
-- The set functions are timed the same way with a one-range set against
-- the stored set (overlap test, intersection): joined, and reread on every
-- row.
--
-- Each figure is EXPLAIN (ANALYZE, TIMING OFF) of the query divided by its
-- probes; the forms run interleaved in one backend and the median of 5
-- rounds counts.
--
-- Storage: a set of 100,000 single values (each stored as [x; x]) and the
-- set of 100,000 ranges, each stored compressed (the default, EXTENDED) and
-- uncompressed (SET STORAGE EXTERNAL): the stored size, and the cost of one
-- whole read (array_length(a, 1), which reads the set and nothing more).

SET client_min_messages = warning;
DROP SCHEMA IF EXISTS bench_stored_sets CASCADE;
CREATE SCHEMA bench_stored_sets;
SET search_path = bench_stored_sets, public;
SET max_parallel_workers_per_gather = 0;
SET jit = off;

SELECT setseed(0.4517);

CREATE TABLE bounds AS
WITH steps AS (
    SELECT i, 2 + floor(random() * 30)::int AS gap, floor(random() * 30)::int AS width
    FROM generate_series(1, 100000) AS i)
SELECT i, (sum(gap + width) OVER w - width)::int AS lo, (sum(gap + width) OVER w)::int AS hi
FROM steps WINDOW w AS (ORDER BY i);

CREATE TABLE segments (id int PRIMARY KEY, ranges int4[], bits bytea, mr int4multirange);
INSERT INTO segments (id, ranges)
SELECT 1, array_agg(v ORDER BY i, o) FROM bounds, LATERAL (VALUES (1, lo), (2, hi)) AS e(o, v);
UPDATE segments SET bits = qv_int4set2bitfield_int4('r', ranges),
                    mr = (SELECT range_agg(int4range(lo, hi, '[]')) FROM bounds);

CREATE TABLE events AS
SELECT n, (random() * (SELECT max(hi) + 10 FROM bounds))::int AS v, 1 AS seg
FROM generate_series(1, 1000000) AS n;
CREATE TABLE events_few AS SELECT * FROM events WHERE n <= 2000;
VACUUM ANALYZE segments;
VACUUM ANALYZE events;
VACUUM ANALYZE events_few;

SELECT array_length(ranges, 1) / 2 AS ranges, pg_column_size(ranges) AS ranges_bytes,
       pg_column_size(bits) AS bits_bytes, pg_column_size(mr) AS multirange_bytes
FROM segments;

-- Every form gives the same count.
SELECT (SELECT count(*) FROM events e JOIN segments s ON s.id = e.seg
        WHERE qv_int4_in_rangearray(e.v, s.ranges)) AS ranges_joined,
       (SELECT count(*) FROM events e JOIN segments s ON s.id = e.seg
        WHERE qv_int4_in_rangebitfield(e.v, s.bits)) AS bits_joined,
       (SELECT count(*) FROM events e
        WHERE qv_int4_in_rangearray(e.v, (SELECT ranges FROM segments WHERE id = 1))) AS ranges_once,
       (SELECT count(*) FROM events_few e JOIN segments s ON s.id = e.seg
        WHERE qv_int4_in_rangearray(e.v, s.ranges)) AS few_joined,
       (SELECT count(*) FROM events_few e JOIN segments s ON s.id = e.seg WHERE e.v <@ s.mr) AS few_multirange;

-- Microseconds per probe of the query.
CREATE FUNCTION per_probe_us(query text, probes int) RETURNS float8
LANGUAGE plpgsql AS $$
DECLARE
    plan json;
BEGIN
    EXECUTE 'EXPLAIN (ANALYZE, TIMING OFF, FORMAT JSON) ' || query INTO plan;
    RETURN (plan -> 0 ->> 'Execution Time')::float8 * 1000 / probes;
END
$$;

CREATE TABLE cases (ord int, encoding text, form text, probes int, query text);
INSERT INTO cases VALUES
    (1, '-', 'scan only', 1000000, 'SELECT count(*) FROM events e WHERE e.v >= 0'),
    (2, '-', 'join only', 1000000,
     'SELECT count(*) FROM events e JOIN segments s ON s.id = e.seg WHERE e.v >= 0'),
    (3, '-', 'join, pointer read', 1000000,
     'SELECT count(*) FROM events e JOIN segments s ON s.id = e.seg WHERE octet_length(s.bits) > e.v'),
    (4, 'range array', 'joined', 1000000,
     'SELECT count(*) FROM events e JOIN segments s ON s.id = e.seg WHERE qv_int4_in_rangearray(e.v, s.ranges)'),
    (5, 'range array', 'correlated', 1000000,
     'SELECT count(*) FROM events e WHERE qv_int4_in_rangearray(e.v, (SELECT ranges FROM segments s WHERE s.id = e.seg))'),
    (6, 'range array', 'once', 1000000,
     'SELECT count(*) FROM events e WHERE qv_int4_in_rangearray(e.v, (SELECT ranges || ''{}''::int4[] FROM segments WHERE id = 1))'),
    (7, 'range array', 'reread', 2000,
     'SELECT count(*) FROM events_few e JOIN segments s ON s.id = e.seg WHERE qv_int4_in_rangearray(e.v, s.ranges || ''{}''::int4[])'),
    (8, 'bitfield', 'joined', 1000000,
     'SELECT count(*) FROM events e JOIN segments s ON s.id = e.seg WHERE qv_int4_in_rangebitfield(e.v, s.bits)'),
    (9, 'bitfield', 'correlated', 1000000,
     'SELECT count(*) FROM events e WHERE qv_int4_in_rangebitfield(e.v, (SELECT bits FROM segments s WHERE s.id = e.seg))'),
    (10, 'bitfield', 'once', 1000000,
     'SELECT count(*) FROM events e WHERE qv_int4_in_rangebitfield(e.v, (SELECT substring(bits, 1) FROM segments WHERE id = 1))'),
    (11, 'bitfield', 'reread', 2000,
     'SELECT count(*) FROM events_few e JOIN segments s ON s.id = e.seg WHERE qv_int4_in_rangebitfield(e.v, substring(s.bits, 1))'),
    (12, 'multirange', 'joined', 2000,
     'SELECT count(*) FROM events_few e JOIN segments s ON s.id = e.seg WHERE e.v <@ s.mr'),
    (13, 'multirange', 'once', 1000000,
     'SELECT count(*) FROM events e WHERE e.v <@ (SELECT mr + ''{}''::int4multirange FROM segments WHERE id = 1)'),
    (14, 'set functions', 'overlap test, joined', 2000,
     'SELECT count(*) FROM events_few e JOIN segments s ON s.id = e.seg WHERE qv_int4range_is_overlap(ARRAY[e.v, e.v], s.ranges)'),
    (15, 'set functions', 'overlap test, reread', 2000,
     'SELECT count(*) FROM events_few e JOIN segments s ON s.id = e.seg WHERE qv_int4range_is_overlap(ARRAY[e.v, e.v], s.ranges || ''{}''::int4[])'),
    (16, 'set functions', 'intersection, joined', 2000,
     'SELECT count(*) FROM events_few e JOIN segments s ON s.id = e.seg WHERE qv_int4range_intersection(ARRAY[e.v, e.v], s.ranges) <> ''{}'''),
    (17, 'set functions', 'intersection, reread', 2000,
     'SELECT count(*) FROM events_few e JOIN segments s ON s.id = e.seg WHERE qv_int4range_intersection(ARRAY[e.v, e.v], s.ranges || ''{}''::int4[]) <> ''{}''');

-- The storage pair: the same sets compressed and uncompressed, each row
-- holding one set as a range array (a) or as a bitfield (b).
CREATE TABLE stored_compressed (kind text, a int4[], b bytea);
CREATE TABLE stored_external (kind text, a int4[], b bytea);
ALTER TABLE stored_external ALTER a SET STORAGE EXTERNAL, ALTER b SET STORAGE EXTERNAL;
INSERT INTO stored_compressed (kind, a)
SELECT '100,000 single values', array_agg(x ORDER BY x, k)
FROM (SELECT DISTINCT lo AS x FROM bounds) AS d, generate_series(1, 2) AS k
UNION ALL
SELECT '100,000 ranges', ranges FROM segments;
INSERT INTO stored_compressed (kind, b) SELECT '100,000 ranges, bitfield', bits FROM segments;
-- a || '{}' and substring(b, 1) hand over the set decompressed, to be stored
-- as it is
INSERT INTO stored_external
SELECT kind, CASE WHEN a IS NOT NULL THEN a || '{}'::int4[] END, substring(b, 1) FROM stored_compressed;
VACUUM ANALYZE stored_compressed;
VACUUM ANALYZE stored_external;

-- What one read costs: array_length(a, 1) and get_byte(b, 0) read the whole
-- set and use nothing of it.
CREATE TABLE storage_cases (kind text, storage text, bytes int);
INSERT INTO storage_cases
SELECT kind, 'compressed', coalesce(pg_column_size(a), pg_column_size(b)) FROM stored_compressed
UNION ALL
SELECT kind, 'external', coalesce(pg_column_size(a), pg_column_size(b)) FROM stored_external;

CREATE TABLE samples (round int, what text, us float8);

-- Interleaved: each round times every case once, in order.
DO $$
DECLARE
    c record;
    r int;
BEGIN
    FOR r IN 1..5 LOOP
        FOR c IN SELECT * FROM cases ORDER BY ord LOOP
            INSERT INTO samples VALUES (r, c.ord::text, per_probe_us(c.query, c.probes));
        END LOOP;
        FOR c IN SELECT * FROM storage_cases LOOP
            INSERT INTO samples VALUES
                (r, c.kind || '/' || c.storage,
                 per_probe_us(format('SELECT sum(coalesce(array_length(a, 1), get_byte(b, 0))) '
                                     'FROM stored_%s, generate_series(1, 200) WHERE kind = %L',
                                     c.storage, c.kind), 200));
        END LOOP;
    END LOOP;
END
$$;

-- Per-probe times (median of 5 rounds) and each over the set read once.
WITH m AS (
    SELECT what::int AS ord, percentile_cont(0.5) WITHIN GROUP (ORDER BY us) AS us
    FROM samples WHERE what ~ '^[0-9]+$' GROUP BY what),
t AS (SELECT c.*, m.us FROM cases c JOIN m USING (ord))
SELECT t.encoding, t.form, t.probes, round(t.us::numeric, 3) AS us_per_probe,
       round((t.us / o.us)::numeric, 2) AS over_once
FROM t LEFT JOIN t o ON o.encoding = t.encoding AND o.form = 'once'
ORDER BY t.ord;

-- Stored size and cost of one whole read, compressed against external.
WITH m AS (
    SELECT what, percentile_cont(0.5) WITHIN GROUP (ORDER BY us) AS us FROM samples GROUP BY what)
SELECT s.kind, s.storage, s.bytes, round(m.us::numeric, 1) AS us_per_read,
       round((m.us / e.us)::numeric, 2) AS read_over_external,
       round((s.bytes::numeric / x.bytes), 2) AS size_over_external
FROM storage_cases s JOIN m ON m.what = s.kind || '/' || s.storage
JOIN storage_cases x ON x.kind = s.kind AND x.storage = 'external'
JOIN m e ON e.what = x.kind || '/external'
ORDER BY s.kind DESC, s.storage;

RESET search_path;
DROP SCHEMA bench_stored_sets CASCADE;
