-- Keep-single aggregate against what one writes without it: min() alone
-- (no check at all), min() = max() with a check, and array_agg(DISTINCT)
-- with a check.  Each query returns a count so that printing costs nothing.
SET max_parallel_workers_per_gather = 0;
CREATE TABLE ks_bench AS
SELECT i, i % 10000 AS k, i % 200000 AS k_many,
       (i % 10000) * 7 AS v4, 'customer-' || (i % 10000) AS vt,
       (i % 200000) * 7 AS v4_many
FROM generate_series(1, 2000000) i;
VACUUM ANALYZE ks_bench;

-- int4, 10000 groups of 200 rows
SELECT count(m) FROM (SELECT k, min(v4) m FROM ks_bench GROUP BY k) s;
SELECT count(m) FROM (SELECT k, CASE WHEN min(v4) = max(v4) AND count(v4) = count(*) THEN min(v4)
                                     ELSE min(v4) / 0 END m FROM ks_bench GROUP BY k) s;
SELECT count(m) FROM (SELECT k, CASE WHEN cardinality(a) = 1 THEN a[1] ELSE a[1] / 0 END m
                      FROM (SELECT k, array_agg(DISTINCT v4) a FROM ks_bench GROUP BY k) g) s;
SELECT count(m) FROM (SELECT k, qv_agg_keep_single(v4) m FROM ks_bench GROUP BY k) s;

-- text, 10000 groups of 200 rows
SELECT count(m) FROM (SELECT k, min(vt) m FROM ks_bench GROUP BY k) s;
SELECT count(m) FROM (SELECT k, CASE WHEN min(vt) = max(vt) AND count(vt) = count(*) THEN min(vt)
                                     ELSE (1 / (count(*) - count(*)))::text END m FROM ks_bench GROUP BY k) s;
SELECT count(m) FROM (SELECT k, CASE WHEN cardinality(a) = 1 THEN a[1] ELSE (1 / (cardinality(a) - cardinality(a)))::text END m
                      FROM (SELECT k, array_agg(DISTINCT vt) a FROM ks_bench GROUP BY k) g) s;
SELECT count(m) FROM (SELECT k, qv_agg_keep_single(vt) m FROM ks_bench GROUP BY k) s;

-- int4, 200000 groups of 10 rows, in the plan the planner picks
SELECT count(m) FROM (SELECT k_many, min(v4_many) m FROM ks_bench GROUP BY k_many) s;
SELECT count(m) FROM (SELECT k_many, CASE WHEN min(v4_many) = max(v4_many) AND count(v4_many) = count(*)
                                          THEN min(v4_many) ELSE min(v4_many) / 0 END m
                      FROM ks_bench GROUP BY k_many) s;
SELECT count(m) FROM (SELECT k_many, qv_agg_keep_single(v4_many) m FROM ks_bench GROUP BY k_many) s;

-- the whole table in one group
SELECT min(v4 - k * 7), max(v4 - k * 7) FROM ks_bench;
SELECT qv_agg_keep_single(v4 - k * 7) FROM ks_bench;

-- the same with two parallel workers
SET max_parallel_workers_per_gather = 2;
SET parallel_setup_cost = 0;
SELECT count(m) FROM (SELECT k, CASE WHEN min(vt) = max(vt) AND count(vt) = count(*) THEN min(vt)
                                     ELSE (1 / (count(*) - count(*)))::text END m FROM ks_bench GROUP BY k) s;
SELECT count(m) FROM (SELECT k, qv_agg_keep_single(vt) m FROM ks_bench GROUP BY k) s;
SELECT qv_agg_keep_single(v4 - k * 7) FROM ks_bench;

DROP TABLE ks_bench;
