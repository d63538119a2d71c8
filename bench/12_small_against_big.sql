-- A small set against a big one: m = 1, 10 and 100 ranges against a set of
-- 100,000 ranges, with intersection, exclusion (both ways round), overlap
-- and inclusion, against PostgreSQL's int4multirange operators.
--
-- The big set is read into memory once per query (a scalar sub-select that
-- makes a new value of it), so that the figures are those of the set
-- functions and not of reading the big set: a search into it costs O(m log n), where a walk costs O(m + n).
-- A set in memory is checked for the canonical form (one linear pass)
-- before it is searched.  "stored" joins the big set in as it is stored
-- (read once per call site, its form checked once): the searches alone.
-- Each measurement is EXPLAIN (ANALYZE, TIMING OFF) of one call per row of
-- generate_series(1, calls); the sides run interleaved in one backend and
-- the best of 7 rounds counts.
--
--   read        array_length(s, 1) + array_length(big, 1): the call overhead
--   ours        qv_int4range_intersection / _exclusion / _is_overlap /
--               _is_strictly_include
--   multirange  *, -, &&, <@ on the same sets as int4multirange
--   stored      ours, with the big set joined in from its table

SET client_min_messages = warning;
DROP SCHEMA IF EXISTS bench_small_big CASCADE;
CREATE SCHEMA bench_small_big;
SET search_path = bench_small_big, public;

SELECT setseed(0.4711);

-- The big set: 100,000 ranges [lo; lo + width], gaps of at least 2.
CREATE TABLE big_bounds AS
WITH steps AS (
    SELECT i, 2 + floor(random() * 30)::int AS gap, floor(random() * 30)::int AS width
    FROM generate_series(1, 100000) AS i)
SELECT i, (sum(gap + width) OVER (ORDER BY i) - width)::int AS lo,
       (sum(gap + width) OVER (ORDER BY i))::int AS hi
FROM steps;

CREATE FUNCTION to_multirange(ra int4[]) RETURNS int4multirange
LANGUAGE sql IMMUTABLE AS $$
    SELECT coalesce(range_agg(int4range(lo, hi, '[]')), '{}'::int4multirange)
    FROM (SELECT o, v AS lo, lead(v) OVER (ORDER BY o) AS hi
          FROM unnest(ra) WITH ORDINALITY AS u(v, o)) AS t
    WHERE o % 2 = 1
$$;

CREATE TABLE big (r int4[], mr int4multirange);
INSERT INTO big (r)
SELECT array_agg(v ORDER BY i, o) FROM big_bounds, LATERAL (VALUES (1, lo), (2, hi)) e(o, v);
UPDATE big SET mr = to_multirange(r);

-- Small sets: m random ranges of width 0 to 49 across the big set's span
-- (made canonical by the union aggregate of single ranges).
CREATE TABLE small (m int, s int4[], ms int4multirange);
DO $$
DECLARE
    m int;
    acc int4[];
    lo int;
    span int := (SELECT max(hi) FROM big_bounds);
BEGIN
    FOREACH m IN ARRAY ARRAY[1, 10, 100] LOOP
        acc := '{}';
        FOR k IN 1..m LOOP
            lo := floor(random() * span)::int;
            acc := qv_int4range_union(acc, ARRAY[lo, lo + floor(random() * 50)::int]);
        END LOOP;
        INSERT INTO small (m, s) VALUES (m, acc);
    END LOOP;
END
$$;
UPDATE small SET ms = to_multirange(s);
ANALYZE big, small;

-- Both encodings agree on every result, both ways round.
SELECT m, array_length(s, 1) / 2 AS ranges,
       to_multirange(qv_int4range_intersection(s, r)) = ms * mr AS intersection,
       to_multirange(qv_int4range_exclusion(s, r)) = ms - mr AS small_minus_big,
       to_multirange(qv_int4range_exclusion(r, s)) = mr - ms AS big_minus_small,
       qv_int4range_is_overlap(s, r) = (ms && mr) AS overlap,
       qv_int4range_is_strictly_include(s, r) = (ms <@ mr) AS include,
       qv_int4range_is_strictly_include(qv_int4range_intersection(s, r), r) AS include_walk
FROM small, big ORDER BY m;

-- Microseconds per call of expr for the small set of m ranges.
CREATE FUNCTION per_call_us(expr text, m int, calls int, stored bool DEFAULT false) RETURNS float8
LANGUAGE plpgsql AS $$
DECLARE
    plan json;
BEGIN
    IF stored THEN
        EXECUTE format('EXPLAIN (ANALYZE, TIMING OFF, FORMAT JSON) '
                       'SELECT %s FROM (SELECT s FROM small WHERE m = %s OFFSET 0) AS q, big, '
                       'generate_series(1, %s)', expr, m, calls)
            INTO plan;
        RETURN (plan -> 0 ->> 'Execution Time')::float8 * 1000 / calls;
    END IF;
    EXECUTE format('EXPLAIN (ANALYZE, TIMING OFF, FORMAT JSON) '
                   'SELECT %s FROM (SELECT s, ms, (SELECT r || ''{}''::int4[] FROM big) AS r, '
                   '(SELECT mr + ''{}''::int4multirange FROM big) AS mr '
                   'FROM small WHERE m = %s OFFSET 0) AS q, generate_series(1, %s)', expr, m, calls)
        INTO plan;
    RETURN (plan -> 0 ->> 'Execution Time')::float8 * 1000 / calls;
END
$$;

CREATE TABLE cases (op text, ours text, multirange text);
INSERT INTO cases VALUES
    ('read',            'array_length(s, 1) + array_length(r, 1)', 'array_length(s, 1) + array_length(r, 1)'),
    ('intersection',    'qv_int4range_intersection(s, r)',         'ms * mr'),
    ('small minus big', 'qv_int4range_exclusion(s, r)',            'ms - mr'),
    ('big minus small', 'qv_int4range_exclusion(r, s)',            'mr - ms'),
    ('overlap',         'qv_int4range_is_overlap(s, r)',           'ms && mr'),
    ('include',         'qv_int4range_is_strictly_include(s, r)',  'ms <@ mr');

CREATE TABLE samples (m int, op text, side text, us float8);
DO $$
DECLARE
    c record;
    m int;
BEGIN
    FOR r IN 1..7 LOOP
        FOREACH m IN ARRAY ARRAY[1, 10, 100] LOOP
            FOR c IN SELECT * FROM cases LOOP
                INSERT INTO samples VALUES
                    (m, c.op, 'ours', per_call_us(c.ours, m, 2000)),
                    (m, c.op, 'multirange', per_call_us(c.multirange, m, 20));
                -- "read" of a stored set would detoast it on every call.
                IF c.op <> 'read' THEN
                    INSERT INTO samples VALUES (m, c.op, 'stored', per_call_us(c.ours, m, 2000, true));
                END IF;
            END LOOP;
        END LOOP;
    END LOOP;
END
$$;

SELECT m, op,
       round(min(us) FILTER (WHERE side = 'ours')::numeric, 2) AS ours_us,
       round(min(us) FILTER (WHERE side = 'stored')::numeric, 2) AS stored_us,
       round(min(us) FILTER (WHERE side = 'multirange')::numeric, 1) AS multirange_us,
       round((min(us) FILTER (WHERE side = 'multirange') / min(us) FILTER (WHERE side = 'ours'))::numeric, 0)
           AS multirange_over_ours
FROM samples
GROUP BY m, op
ORDER BY m, array_position(ARRAY['read', 'intersection', 'small minus big', 'big minus small',
                                 'overlap', 'include'], op);

RESET search_path;
DROP SCHEMA bench_small_big CASCADE;
