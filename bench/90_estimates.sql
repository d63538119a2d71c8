-- Row estimates of the membership operators against the truth: q-error =
-- max(est, 1) / max(actual, 1) or its inverse, whichever is >= 1, per column
-- kind, over range arrays of 1, 10, 1,000 and 100,000 ranges (and the same
-- sets as bitfields, and single ranges as packed ranges) placed inside and
-- outside the data, and joins against a table of 100 stored sets; then the
-- planning time of a 100,000-range constant against a one-range one.
-- :rows sets the table size (default 1,000,000; psql -v rows=200000 scales it down).
\if :{?rows}
\else
\set rows 1000000
\endif
SET max_parallel_workers_per_gather = 0;
SELECT setseed(0.21);

DROP TABLE IF EXISTS est_col, est_sets, est_q, est_result;
-- uniform over [0, 1e7); Zipf (s = 1.1) over 1e5 values; 100 clusters of
-- width 1e4 over [0, 1e9), once more with statistics target 1000; packed
-- ranges of widths 0 to 1,000 over [0, 1e7)
-- autovacuum stays off: the plan choice below is measured on the freshly
-- loaded table and again after VACUUM, not at whatever moment autovacuum
-- happens to visit it
CREATE TABLE est_col (u int4, z int4, c int4, c1000 int4, p int8) WITH (autovacuum_enabled = off);
ALTER TABLE est_col ALTER c1000 SET STATISTICS 1000;
INSERT INTO est_col
SELECT floor(random() * 1e7)::int4,
       floor(power((power(1e5, -0.1) - 1) * random() + 1, 1 / -0.1))::int4,
       k * 10000000 + (k * 98765) % 9990000 + d, k * 10000000 + (k * 98765) % 9990000 + d,
       qv_range_pack(x - w, x)
FROM (SELECT floor(random() * 1e7)::int4 + 1000 AS x, floor(random() * 1001)::int4 AS w,
             floor(random() * 100)::int4 AS k, floor(random() * 1e4)::int4 AS d
      FROM generate_series(1, :rows)) g;
ANALYZE est_col;

-- Query sets: n evenly spaced ranges covering share f of [lo; hi]
CREATE FUNCTION pg_temp.spread(lo bigint, hi bigint, n int, f float8) RETURNS int4[]
LANGUAGE sql AS $$
    SELECT array_agg(CASE j WHEN 0 THEN lo + k * step ELSE lo + k * step + width - 1 END::int4 ORDER BY k, j)
    FROM (SELECT ((hi - lo + 1) / n)::bigint AS step, greatest(1, ((hi - lo + 1) * f / n)::bigint) AS width) s,
         generate_series(0, n - 1) k, (VALUES (0), (1)) jj(j)
$$;

CREATE TABLE est_q (kind text, col text, op text, n int, f float8, place text, q text, s int4[]);
INSERT INTO est_q
SELECT kind, col, op, n, f, place,
       format('SELECT 1 FROM est_col WHERE %s', replace(replace(expr, '$S', quote_literal(s::text) || '::int4[]'), '$C', col)), s
FROM (VALUES ('int4 uniform', 'u', 0::bigint, 9999999::bigint), ('int4 zipf', 'z', 1, 100000),
             ('int4 clustered', 'c', 0, 999999999),
             ('int4 clustered, statistics 1000', 'c1000', 0, 999999999), ('packed', 'p', 0, 10001000)) k(kind, col, lo, hi),
     (VALUES (1), (10), (1000), (100000)) n(n),
     (VALUES (0.00001), (0.001), (0.1), (0.9)) f(f),
     (VALUES ('inside'), ('outside')) pl(place),
     LATERAL (SELECT CASE WHEN place = 'inside' THEN pg_temp.spread(lo, hi, n, f)
                          ELSE pg_temp.spread(hi + 10000, 2 * hi + 10000, n, f) END AS s) s,
     LATERAL (VALUES ('range array', CASE WHEN col = 'p' THEN '$C &&& $S' ELSE '$C <<@ $S' END),
                     ('bitfield', CASE WHEN col <> 'p' AND hi < 2e7 THEN '$C <@ qv_int4set2bitfield_int4(''r'', $S)' END),
                     ('packed range', CASE WHEN n = 1 THEN CASE WHEN col = 'p' THEN '$C && qv_range_pack($S)' ELSE '$C <@ qv_range_pack($S)' END END),
                     ('within', CASE WHEN n = 1 AND col = 'p' THEN '$C <@ qv_range_pack($S)' END),
                     ('contains', CASE WHEN n = 1 AND col = 'p' AND f <= 0.001 THEN '$C @> qv_range_pack($S)' END)) o(op, expr)
WHERE expr IS NOT NULL AND (hi - lo + 1) * f >= n;

-- joins: each column against 100 stored sets of 1 to 10 ranges
CREATE TABLE est_sets (s int4[]);
INSERT INTO est_sets
SELECT pg_temp.spread(lo, lo + span, 1 + (random() * 9)::int, 0.1)
FROM (SELECT floor(random() * 9e6)::bigint AS lo, floor(random() * 1e6)::bigint AS span FROM generate_series(1, 100)) g;
ANALYZE est_sets;
INSERT INTO est_q VALUES
    ('join int4 uniform', 'u', 'join', 0, 0, '', 'SELECT 1 FROM est_col JOIN est_sets ON u <<@ s', NULL),
    ('join int4 zipf', 'z', 'join', 0, 0, '', 'SELECT 1 FROM est_col JOIN est_sets ON z <<@ s', NULL),
    ('join int4 clustered', 'c', 'join', 0, 0, '', 'SELECT 1 FROM est_col JOIN est_sets ON c <<@ s', NULL),
    ('join packed', 'p', 'join', 0, 0, '', 'SELECT 1 FROM est_col JOIN est_sets ON p &&& s', NULL);

CREATE FUNCTION pg_temp.rows_of(query text, OUT est float8, OUT act float8) LANGUAGE plpgsql AS $$
DECLARE plan json;
BEGIN
    EXECUTE 'EXPLAIN (FORMAT JSON) ' || query INTO plan;
    est := (plan -> 0 -> 'Plan' ->> 'Plan Rows')::float8;
    EXECUTE 'SELECT count(*) FROM (' || query || ') q' INTO act;
END $$;

CREATE TABLE est_result AS
SELECT kind, op, n, f, place, q, s, r.est, r.act,
       greatest(greatest(r.est, 1) / greatest(r.act, 1), greatest(r.act, 1) / greatest(r.est, 1)) AS qerr
FROM est_q, LATERAL pg_temp.rows_of(q) r;

-- q-error per column kind, over all cases and over the sets inside the data
SELECT CASE WHEN kind LIKE 'join%' THEN 'joins' ELSE kind END AS kind,
       count(*) AS cases,
       round(percentile_cont(0.5) WITHIN GROUP (ORDER BY qerr)::numeric, 2) AS median,
       round(percentile_cont(0.95) WITHIN GROUP (ORDER BY qerr)::numeric, 2) AS p95,
       round(max(qerr)::numeric, 1) AS worst,
       round((percentile_cont(0.5) WITHIN GROUP (ORDER BY qerr) FILTER (WHERE place <> 'outside'))::numeric, 2) AS inside_median,
       round((percentile_cont(0.95) WITHIN GROUP (ORDER BY qerr) FILTER (WHERE place <> 'outside'))::numeric, 2) AS inside_p95
FROM est_result GROUP BY 1 ORDER BY 1;
-- the distribution of the q-errors per column kind, for scripts/charts
\if :{?benchdata} \else \set benchdata . \endif
SELECT translate(CASE WHEN kind LIKE 'join%' THEN 'joins' ELSE kind END, ' ,', '_') AS kind,
       p AS share, percentile_cont(p) WITHIN GROUP (ORDER BY qerr) AS qerr
FROM est_result, generate_series(0.05, 1.0, 0.05) AS p GROUP BY 1, 2 ORDER BY 1, 2
\g (format=csv) :benchdata/estimates.csv
-- per operator form
SELECT kind, op, count(*) AS cases, round(percentile_cont(0.5) WITHIN GROUP (ORDER BY qerr)::numeric, 2) AS median,
       round(percentile_cont(0.95) WITHIN GROUP (ORDER BY qerr)::numeric, 2) AS p95
FROM est_result GROUP BY 1, 2 ORDER BY 1, 2;
-- the worst cases
SELECT kind, op, n, f, place, est, act, round(qerr::numeric, 1) AS qerr FROM est_result ORDER BY qerr DESC LIMIT 12;

-- The clustered column at the default target depends on where ANALYZE's
-- sample puts the bucket bounds: its q-errors over ten samples, and the
-- server's own estimate of the same single ranges (BETWEEN) in the same
-- samples as the reference.
CREATE FUNCTION pg_temp.est_of(query text) RETURNS float8 LANGUAGE plpgsql AS $$
DECLARE plan json;
BEGIN
    EXECUTE 'EXPLAIN (FORMAT JSON) ' || query INTO plan;
    RETURN (plan -> 0 -> 'Plan' ->> 'Plan Rows')::float8;
END $$;
CREATE FUNCTION pg_temp.qerr(est float8, act float8) RETURNS float8 LANGUAGE sql AS
$$ SELECT greatest(greatest(est, 1) / greatest(act, 1), greatest(act, 1) / greatest(est, 1)) $$;
CREATE TEMP TABLE est_samples (sample int, form text, qerr float8);
DO $$
BEGIN
    FOR i IN 1..10 LOOP
        ANALYZE est_col (c);
        INSERT INTO est_samples
        SELECT i, 'ours, all sets', pg_temp.qerr(pg_temp.est_of(q), act) FROM est_result WHERE kind = 'int4 clustered'
        UNION ALL
        SELECT i, 'ours, single ranges', pg_temp.qerr(pg_temp.est_of(q), act) FROM est_result
        WHERE kind = 'int4 clustered' AND op = 'range array' AND n = 1
        UNION ALL
        SELECT i, 'BETWEEN, single ranges',
               pg_temp.qerr(pg_temp.est_of(format('SELECT 1 FROM est_col WHERE c BETWEEN %s AND %s', s[1], s[2])), act)
        FROM est_result WHERE kind = 'int4 clustered' AND op = 'range array' AND n = 1;
    END LOOP;
END $$;
SELECT form, count(*) FILTER (WHERE p95 <= 4) AS samples_p95_within_4, round(min(p95)::numeric, 2) AS best_p95,
       round(max(p95)::numeric, 2) AS worst_p95, round(max(worst)::numeric, 1) AS worst
FROM (SELECT form, sample, percentile_cont(0.95) WITHIN GROUP (ORDER BY qerr) AS p95, max(qerr) AS worst
      FROM est_samples GROUP BY 1, 2) x
GROUP BY 1 ORDER BY 1 DESC;

-- Planning time of a 100,000-range constant against a one-range one: the
-- best of 20 plans each, in ms.
CREATE FUNCTION pg_temp.plan_ms(query text) RETURNS float8 LANGUAGE plpgsql AS $$
DECLARE plan json; total float8 := 'Infinity';
BEGIN
    FOR i IN 1..20 LOOP
        EXECUTE 'EXPLAIN (FORMAT JSON, SUMMARY) ' || query INTO plan;
        total := least(total, (plan -> 0 ->> 'Planning Time')::float8);
    END LOOP;
    RETURN total;
END $$;
SELECT col, round(pg_temp.plan_ms(format('SELECT 1 FROM est_col WHERE %s %s %L::int4[]', col, op, pg_temp.spread(0, 9999999, 1, 0.5)))::numeric, 3) AS one_range_ms,
       round(pg_temp.plan_ms(format('SELECT 1 FROM est_col WHERE %s %s %L::int4[]', col, op, pg_temp.spread(0, 9999999, 100000, 0.5)))::numeric, 3) AS ranges_100000_ms
FROM (VALUES ('u', '<<@'), ('p', '&&&')) c(col, op);

-- The plan chosen without hints against the best forced one (sequential,
-- bitmap or plain index scan), by execution time (the best of five runs,
-- without per-node timing), for the range-array sets of up to 1,000 ranges
-- inside the data: on the freshly loaded table, then after VACUUM (the state
-- autovacuum keeps a table in: index-only scans need its visibility map).
-- The same single ranges against a btree index, as BETWEEN, are the
-- reference: how the server's own cost model does on the same data.
CREATE INDEX est_col_u ON est_col USING gist (u qv_gist_range_int4_ops);
CREATE INDEX est_col_p ON est_col USING gist (p qv_gist_range_int8_ops);
CREATE INDEX est_col_ub ON est_col (u);
CREATE FUNCTION pg_temp.exec_ms(query text, forced text) RETURNS float8 LANGUAGE plpgsql AS $$
DECLARE plan json; best float8 := 'Infinity';
BEGIN
    PERFORM set_config('enable_seqscan', (forced IN ('none', 'seq'))::text, true);
    PERFORM set_config('enable_bitmapscan', (forced IN ('none', 'bitmap'))::text, true);
    PERFORM set_config('enable_indexscan', (forced IN ('none', 'index'))::text, true);
    PERFORM set_config('enable_indexonlyscan', (forced IN ('none', 'index'))::text, true);
    FOR i IN 1..5 LOOP
        EXECUTE 'EXPLAIN (ANALYZE, TIMING OFF, FORMAT JSON) ' || query INTO plan;
        best := least(best, (plan -> 0 ->> 'Execution Time')::float8);
    END LOOP;
    PERFORM set_config('enable_seqscan', 'on', true);
    PERFORM set_config('enable_bitmapscan', 'on', true);
    PERFORM set_config('enable_indexscan', 'on', true);
    PERFORM set_config('enable_indexonlyscan', 'on', true);
    RETURN best;
END $$;
CREATE TEMP TABLE est_plan_q AS
SELECT 'ours' AS index, kind, n, f, q FROM est_q
WHERE col IN ('u', 'p') AND op = 'range array' AND place = 'inside' AND n <= 1000
UNION ALL
SELECT 'btree', 'int4 uniform', 1, f, format('SELECT 1 FROM est_col WHERE u BETWEEN %s AND %s', s[1], s[2])
FROM (VALUES (0.00001), (0.001), (0.1), (0.9)) f(f), LATERAL pg_temp.spread(0, 9999999, 1, f) s;
CREATE TEMP TABLE est_plans (state text, index text, kind text, n int, f float8, ratio float8);
INSERT INTO est_plans
SELECT 'freshly loaded', index, kind, n, f,
       pg_temp.exec_ms(q, 'none') / least(pg_temp.exec_ms(q, 'seq'), pg_temp.exec_ms(q, 'bitmap'), pg_temp.exec_ms(q, 'index'))
FROM est_plan_q;
VACUUM ANALYZE est_col;
INSERT INTO est_plans
SELECT 'vacuumed', index, kind, n, f,
       pg_temp.exec_ms(q, 'none') / least(pg_temp.exec_ms(q, 'seq'), pg_temp.exec_ms(q, 'bitmap'), pg_temp.exec_ms(q, 'index'))
FROM est_plan_q;
SELECT state, index, count(*) AS cases, round(avg((ratio <= 1.3)::int)::numeric * 100, 1) AS within_1_3x_pct,
       round(max(ratio)::numeric, 2) AS worst_ratio
FROM est_plans GROUP BY 1, 2 ORDER BY 1, 2 DESC;
SELECT state, index, kind, n, f, round(ratio::numeric, 2) AS ratio FROM est_plans WHERE ratio > 1.3 ORDER BY 1, ratio DESC;
