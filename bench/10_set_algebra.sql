-- Set algebra on range arrays against PostgreSQL's int4multirange operators.
--
-- Eight different pairs of random sets of 1,000, 10,000 and 100,000
-- disjoint, non-adjacent ranges are stored once as range arrays (int4[])
-- and once as int4multirange, out of line and uncompressed (STORAGE
-- EXTERNAL), so that every call detoasts its inputs from the table the same
-- way on both sides.  Each measurement is EXPLAIN (ANALYZE, TIMING OFF) of
-- a query that evaluates one call per row of a table of calls, call i on a
-- stored copy of pair i % 8 of its own: no call reads a value the call
-- before it read, so no side keeps its inputs from one call to the next
-- (the set functions keep the last stored set per call site) and the
-- processor does not learn one pair's sequence of jumps.  Inputs come from
-- table columns, never from literals, so nothing is folded by the planner.  The sides run in the same
-- backend (same malloc settings), interleaved; the best of 15 rounds counts.
--
--   floor       a || b: reads both range arrays and writes one of their
--               combined length (the least a set function can do)
--   detoast     array_length(a, 1) + array_length(b, 1): reading both only
--   ours        qv_int4range_union / _intersection / _exclusion /
--               _is_overlap / _is_strictly_include
--   multirange  +, *, -, &&, <@ on the same sets as int4multirange
--
-- The tests are timed twice: on the random pairs, where they decide at the
-- first ranges ("early"), and on pairs that make them walk both sets to the
-- end ("walk"): a against b \ a (no shared value) for overlap, and a n b
-- against b (included) for inclusion.

SET client_min_messages = warning;
DROP SCHEMA IF EXISTS bench_set_algebra CASCADE;
CREATE SCHEMA bench_set_algebra;
SET search_path = bench_set_algebra, public;

SELECT setseed(0.1207);

-- Range k of a set: [lower; lower + width], the next one starting at least
-- two values after it (gap >= 2, so never adjacent).
CREATE TABLE bounds AS
WITH steps AS (
    SELECT s.n, p.k, sd.side, g.i,
           2 + floor(random() * 30)::int AS gap, floor(random() * 30)::int AS width
    FROM (VALUES (1000), (10000), (100000)) AS s(n),
         generate_series(0, 7) AS p(k),
         (VALUES ('a'), ('b')) AS sd(side),
         LATERAL generate_series(1, s.n) AS g(i))
SELECT n, k, side, i,
       (sum(gap + width) OVER w - width)::int AS lo,
       (sum(gap + width) OVER w)::int AS hi
FROM steps
WINDOW w AS (PARTITION BY n, k, side ORDER BY i);

-- The same set as int4multirange (the array is detoasted once, by unnest).
CREATE FUNCTION to_multirange(ra int4[]) RETURNS int4multirange
LANGUAGE sql IMMUTABLE AS $$
    SELECT coalesce(range_agg(int4range(lo, hi, '[]')), '{}'::int4multirange)
    FROM (SELECT o, v AS lo, lead(v) OVER (ORDER BY o) AS hi
          FROM unnest(ra) WITH ORDINALITY AS u(v, o)) AS t
    WHERE o % 2 = 1
$$;

-- One row per (size, case, pair): the two operands in both encodings.
CREATE TABLE pairs (n int, k int, kind text, a int4[], b int4[], ma int4multirange, mb int4multirange);
ALTER TABLE pairs ALTER a SET STORAGE EXTERNAL, ALTER b SET STORAGE EXTERNAL,
                  ALTER ma SET STORAGE EXTERNAL, ALTER mb SET STORAGE EXTERNAL;

INSERT INTO pairs (n, k, kind, a, b)
SELECT n, k, 'random',
       (SELECT array_agg(v ORDER BY i, o) FROM bounds x, LATERAL (VALUES (1, lo), (2, hi)) e(o, v)
        WHERE x.n = s.n AND x.k = p.k AND side = 'a'),
       (SELECT array_agg(v ORDER BY i, o) FROM bounds x, LATERAL (VALUES (1, lo), (2, hi)) e(o, v)
        WHERE x.n = s.n AND x.k = p.k AND side = 'b')
FROM (VALUES (1000), (10000), (100000)) AS s(n), generate_series(0, 7) AS p(k);
INSERT INTO pairs (n, k, kind, a, b)
SELECT n, k, 'overlap walk', a, qv_int4range_exclusion(b, a) FROM pairs WHERE kind = 'random';
INSERT INTO pairs (n, k, kind, a, b)
SELECT n, k, 'include walk', qv_int4range_intersection(a, b), b FROM pairs WHERE kind = 'random';
UPDATE pairs SET ma = to_multirange(a), mb = to_multirange(b);
ANALYZE pairs;

-- Both encodings hold the same sets, and both sides agree on every result.
SELECT n, kind, min(array_length(a, 1) / 2) AS ranges_a, min(array_length(b, 1) / 2) AS ranges_b,
       bool_and(to_multirange(qv_int4range_union(a, b)) = ma + mb) AS "union",
       bool_and(to_multirange(qv_int4range_intersection(a, b)) = ma * mb) AS intersection,
       bool_and(to_multirange(qv_int4range_exclusion(a, b)) = ma - mb) AS exclusion,
       bool_and(qv_int4range_is_overlap(a, b) = (ma && mb)) AS overlap,
       bool_and(qv_int4range_is_strictly_include(a, b) = (ma <@ mb)) AS include
FROM pairs GROUP BY n, kind ORDER BY kind DESC, n;

-- The calls: 200,000 / n of them per (n, kind), call i on its own stored
-- copy of pair i % 8, in the order of i.
CREATE TABLE calls (n int, kind text, i int, a int4[], b int4[], ma int4multirange, mb int4multirange);
ALTER TABLE calls ALTER a SET STORAGE EXTERNAL, ALTER b SET STORAGE EXTERNAL,
                  ALTER ma SET STORAGE EXTERNAL, ALTER mb SET STORAGE EXTERNAL;
INSERT INTO calls
SELECT p.n, p.kind, g.i, p.a, p.b, p.ma, p.mb
FROM pairs p JOIN generate_series(1, 200) AS g(i) ON g.i % 8 = p.k AND g.i <= 200000 / p.n
ORDER BY p.n, p.kind, g.i;
ANALYZE calls;

-- Milliseconds per call of expr over the first calls of (n, kind).
CREATE FUNCTION per_call_ms(expr text, n int, kind text, calls int) RETURNS float8
LANGUAGE plpgsql AS $$
DECLARE
    plan json;
BEGIN
    EXECUTE format('EXPLAIN (ANALYZE, TIMING OFF, FORMAT JSON) SELECT %s FROM calls '
                   'WHERE n = %s AND kind = %L AND i <= %s', expr, n, kind, calls)
        INTO plan;
    RETURN (plan -> 0 ->> 'Execution Time')::float8 / calls;
END
$$;

CREATE TABLE cases (op text, kind text, floor text, ours text, multirange text);
INSERT INTO cases VALUES
    ('union',        'random',       'a || b', 'qv_int4range_union(a, b)',               'ma + mb'),
    ('intersection', 'random',       'a || b', 'qv_int4range_intersection(a, b)',        'ma * mb'),
    ('exclusion',    'random',       'a || b', 'qv_int4range_exclusion(a, b)',           'ma - mb'),
    ('overlap',      'random',       'array_length(a, 1) + array_length(b, 1)',
                                     'qv_int4range_is_overlap(a, b)',                    'ma && mb'),
    ('overlap',      'overlap walk', 'array_length(a, 1) + array_length(b, 1)',
                                     'qv_int4range_is_overlap(a, b)',                    'ma && mb'),
    ('include',      'random',       'array_length(a, 1) + array_length(b, 1)',
                                     'qv_int4range_is_strictly_include(a, b)',           'ma <@ mb'),
    ('include',      'include walk', 'array_length(a, 1) + array_length(b, 1)',
                                     'qv_int4range_is_strictly_include(a, b)',           'ma <@ mb');

CREATE TABLE samples (round int, n int, op text, kind text, side text, ms float8);

-- Interleaved: every round times floor, ours and multirange of one case
-- back to back before moving on.  Each sample is short (a few milliseconds)
-- and the best of 15 rounds counts, so that on a busy machine the figures
-- come from samples the backend ran without being descheduled.
DO $$
DECLARE
    c record;
    s int;
    r int;
BEGIN
    FOR r IN 1..15 LOOP
        FOREACH s IN ARRAY ARRAY[1000, 10000, 100000] LOOP
            FOR c IN SELECT * FROM cases LOOP
                INSERT INTO samples VALUES
                    (r, s, c.op, c.kind, 'floor', per_call_ms(c.floor, s, c.kind, 200000 / s)),
                    (r, s, c.op, c.kind, 'ours', per_call_ms(c.ours, s, c.kind, 200000 / s)),
                    (r, s, c.op, c.kind, 'multirange', per_call_ms(c.multirange, s, c.kind,
                                                                    greatest(1, 20000 / s)));
            END LOOP;
        END LOOP;
    END LOOP;
END
$$;

-- Per-call times (best of 15 rounds) and the ratios the targets are about.
SELECT n AS ranges, op, kind,
       round(min(ms) FILTER (WHERE side = 'floor')::numeric, 4) AS floor_ms,
       round(min(ms) FILTER (WHERE side = 'ours')::numeric, 4) AS ours_ms,
       round(min(ms) FILTER (WHERE side = 'multirange')::numeric, 4) AS multirange_ms,
       round((min(ms) FILTER (WHERE side = 'ours') / min(ms) FILTER (WHERE side = 'floor'))::numeric, 2)
           AS ours_over_floor,
       round((min(ms) FILTER (WHERE side = 'multirange') / min(ms) FILTER (WHERE side = 'ours'))::numeric, 1)
           AS multirange_over_ours
FROM samples
GROUP BY n, op, kind
ORDER BY n, array_position(ARRAY['union', 'intersection', 'exclusion', 'overlap', 'include'], op), kind DESC;

-- The same figures as data for the charts (scripts/charts).
\if :{?benchdata} \else \set benchdata . \endif
SELECT n AS ranges, op, kind, side, min(ms) AS ms FROM samples GROUP BY 1, 2, 3, 4 ORDER BY 1, 2, 3, 4
\g (format=csv) :benchdata/set_algebra.csv

RESET search_path;
DROP SCHEMA bench_set_algebra CASCADE;
