-- Per-call time of every SQL-callable function at the reference size, in
-- units of one int4pl call (the planner's procost unit, cpu_operator_cost):
-- the basis of the COST each function declares.
--
-- Reference size: sets of 1,000 ranges over [0; 1,000,000), as range arrays
-- (2,000 int4), the same sets as bitfields (125 KB) or mix arrays; a stored
-- set is read in place (the table keeps it uncompressed inline, so no
-- detoasting is measured); packed ranges of widths 0 to 100.
--
-- Each function runs over N rows in a count(*) whose WHERE clause calls it
-- (ten times a row for the cheap ones); the same scan with as many bare
-- column references is the floor, and int4pl over the 1,000,000-row table
-- is the unit.  Per call: (best of 5 runs - floor) / calls; cost = that /
-- the unit's, rounded, at least 1.  Aggregates: the final function per
-- group from 10,000 one-set groups each ending in 1,000 ranges; the
-- transition of single values or bounds per row from 1,000 groups of 1,000
-- rows less the final functions; the transition of whole sets per row from
-- one group of 10,000 sets.  Combine, serial and deserial functions cannot
-- be called from SQL (their state is internal): each gets the cost of the
-- measured function doing the same pass over the same state (see
-- docs/planner.md).
SET max_parallel_workers_per_gather = 0;
SET jit = off;
-- temporary tables read through local buffers: room for all of them
SET temp_buffers = '512MB';
-- grouping sorts in memory
SET work_mem = '1GB';

CREATE TEMP TABLE cb AS
SELECT i AS id, (random() * 999999)::int4 AS v, (i / 1000)::int4 AS g,
       qv_range_pack(lo, lo + (random() * 100)::int4) AS p,
       qv_range_pack(lo2, lo2 + (random() * 100)::int4) AS q,
       -- one value in each 1,000-wide cell per group: 1,000 single-value ranges
       ((i % 1000) * 1000 + (random() * 999)::int4)::int4 AS spread,
       7 AS same
FROM (SELECT i, (random() * 999900)::int4 AS lo, (random() * 999900)::int4 AS lo2
      FROM generate_series(1, 1000000) AS i) AS s;

-- 2,000 random sets of 1,000 ranges, one a row, stored inline uncompressed
CREATE TEMP TABLE rs (id int, a int4[]);
ALTER TABLE rs ALTER a SET STORAGE PLAIN;
INSERT INTO rs
SELECT s, array_agg(x ORDER BY c, o)
FROM generate_series(1, 2000) AS s,
     LATERAL (SELECT c, c * 1000 + (random() * 500)::int4 AS lo, (random() * 400)::int4 AS len
              FROM generate_series(0, 999) AS c WHERE s > 0) AS r,
     LATERAL (VALUES (1, lo), (2, lo + len)) AS e (o, x)
GROUP BY s;
-- the same sets as mix arrays and, unsorted, as scalar arrays of 2,000 values
CREATE TEMP TABLE ms (id int, m int4[]);
CREATE TEMP TABLE us (id int, u int4[]);
ALTER TABLE ms ALTER m SET STORAGE PLAIN;
ALTER TABLE us ALTER u SET STORAGE PLAIN;
INSERT INTO ms SELECT id, qv_int4setconv_int4('r', a, 'm') FROM rs;
INSERT INTO us SELECT id, ARRAY(SELECT x FROM unnest(a) AS x ORDER BY random()) FROM rs;
-- the mix arrays' bodies as payloads (host byte order)
CREATE TEMP TABLE mp (id int, b bytea);
ALTER TABLE mp ALTER b SET STORAGE PLAIN;
INSERT INTO mp
SELECT id, decode(string_agg(substr(h, 7, 2) || substr(h, 5, 2) || substr(h, 3, 2) || substr(h, 1, 2),
                             '' ORDER BY n), 'hex')
FROM ms, LATERAL (SELECT n, lpad(to_hex(x), 8, '0') AS h FROM unnest(m) WITH ORDINALITY AS e (x, n)) AS e
GROUP BY id;
VACUUM ANALYZE cb, rs, ms, us, mp;

-- One query set a constant: a set of 1,000 ranges as a range array and as a
-- bitfield.
SELECT a AS arr FROM rs WHERE id = 1 \gset
SELECT qv_int4set2bitfield_int4('r', a) AS bf FROM rs WHERE id = 1 \gset

-- Best of five runs of a query, in ms.
CREATE FUNCTION pg_temp.best_ms(query text) RETURNS float8 LANGUAGE plpgsql AS $$
DECLARE
    t0 timestamptz;
    best float8 := 'Infinity';
BEGIN
    FOR i IN 1..5 LOOP
        t0 := clock_timestamp();
        EXECUTE query;
        best := least(best, 1000 * extract(epoch FROM clock_timestamp() - t0));
    END LOOP;
    RETURN best;
END $$;

-- Per-call time in microseconds of EXPR evaluated REPS times a row of FROM
-- (CALLS rows), less the floor: the same FROM and as many references to the
-- column FLOOR.  Repeating a cheap call lifts it above the noise of the scan.
CREATE FUNCTION pg_temp.per_call_us(from_ text, expr text, floor_ text, calls int, reps int) RETURNS float8
LANGUAGE sql AS $$
    SELECT 1000 * (pg_temp.best_ms(format('SELECT count(*) FROM %s WHERE num_nonnulls(%s) > 0', from_,
                                          array_to_string(array_fill(expr, ARRAY[reps]), ', ')))
                   - pg_temp.best_ms(format('SELECT count(*) FROM %s WHERE num_nonnulls(%s) > 0', from_,
                                            array_to_string(array_fill(floor_, ARRAY[reps]), ', '))))
           / calls / reps
$$;

-- (The outer queries count the aggregate's results: an output the outer
-- query does not read would be dropped from the subquery unevaluated.)
-- Per-group time of an aggregate: AGG over each of the 10,000 pairs of a
-- set of rs and k on its own (a subquery a row, so nothing is sorted), less
-- the same with count(a).  That is the
-- final function's time on a 1,000-range result plus one transition into an
-- empty state; it is taken as the final function's cost.
CREATE FUNCTION pg_temp.final_us(agg text) RETURNS float8 LANGUAGE sql AS $$
    SELECT 1000 * (pg_temp.best_ms(format('SELECT count(x) FROM rs, generate_series(1, 5) AS k, LATERAL (SELECT %s AS x FROM (SELECT rs.a) AS r) AS s', agg))
                   - pg_temp.best_ms('SELECT count(x) FROM rs, generate_series(1, 5) AS k, LATERAL (SELECT count(a) AS x FROM (SELECT rs.a) AS r) AS s'))
           / 10000
$$;

-- Per-row time of the transition of an aggregate of single values or bounds:
-- AGG over the 1,000,000 rows of cb in 1,000 groups of 1,000 rows (each
-- ending in 1,000 ranges), less count(v) so grouped and less the final
-- function (FINAL_US a group).
CREATE FUNCTION pg_temp.transition_us(agg text, final_us float8) RETURNS float8 LANGUAGE sql AS $$
    SELECT (1000 * (pg_temp.best_ms(format('SELECT count(x) FROM (SELECT %s AS x FROM cb GROUP BY g) AS s', agg))
                    - pg_temp.best_ms('SELECT count(x) FROM (SELECT count(v) AS x FROM cb GROUP BY g) AS s'))
            - 1000 * final_us) / 1000000
$$;

-- Per-row time of the transition of an aggregate of whole sets: AGG over
-- the 10,000 pairs of a set of rs and k in one group (the union of random
-- sets of the same cells stays near 1,000 ranges), less count(a).
CREATE FUNCTION pg_temp.set_transition_us(agg text) RETURNS float8 LANGUAGE sql AS $$
    SELECT 1000 * (pg_temp.best_ms(format('SELECT %s FROM rs, generate_series(1, 5) AS k', agg))
                   - pg_temp.best_ms('SELECT count(a) FROM rs, generate_series(1, 5) AS k')) / 10000
$$;

CREATE TEMP TABLE unit AS
SELECT pg_temp.per_call_us('cb', 'int4pl(v, g)', 'v', 1000000, 10) AS us;

CREATE TEMP TABLE measured (fn text, us float8);
-- scalar functions, 1,000,000 calls
INSERT INTO measured
SELECT fn, pg_temp.per_call_us('cb', expr, 'v', 1000000, 10) FROM (VALUES
    ('qv_range_pack(int4, int4)',                         'qv_range_pack(v, v + g)'),
    ('qv_rangepacked_lower(int8)',                        'qv_rangepacked_lower(p)'),
    ('qv_rangepacked_upper(int8)',                        'qv_rangepacked_upper(p)'),
    ('qv_int4_in_packedrange(int4, int8)',                'qv_int4_in_packedrange(v, p)'),
    ('qv_int4rangepacked_contains_int4(int8, int4)',      'qv_int4rangepacked_contains_int4(p, v)'),
    ('qv_int4rangepacked_in_int4rangepacked(int8, int8)', 'qv_int4rangepacked_in_int4rangepacked(p, q)'),
    ('qv_int4rangepacked_included_in_int4rangepacked(int8, int8)', 'qv_int4rangepacked_included_in_int4rangepacked(p, q)'),
    ('qv_int4rangepacked_contains_int4rangepacked(int8, int8)', 'qv_int4rangepacked_contains_int4rangepacked(p, q)'),
    ('qv_int4_in_rangearray(int4, int4[])',               format('qv_int4_in_rangearray(v, %L::int4[])', :'arr')),
    ('qv_rangearray_contains_int4(int4[], int4)',         format('qv_rangearray_contains_int4(%L::int4[], v)', :'arr')),
    ('qv_int4rangepacked_in_rangearray(int8, int4[])',    format('qv_int4rangepacked_in_rangearray(p, %L::int4[])', :'arr')),
    ('qv_rangearray_overlaps_int4rangepacked(int4[], int8)', format('qv_rangearray_overlaps_int4rangepacked(%L::int4[], p)', :'arr')),
    ('qv_int4_in_rangebitfield(int4, bytea)',             format('qv_int4_in_rangebitfield(v, %L::bytea)', :'bf')),
    ('qv_rangebitfield_contains_int4(bytea, int4)',       format('qv_rangebitfield_contains_int4(%L::bytea, v)', :'bf')),
    ('qv_int4rangepacked_in_rangebitfield(int8, bytea)',  format('qv_int4rangepacked_in_rangebitfield(p, %L::bytea)', :'bf'))
) AS f (fn, expr);

-- functions of whole sets: 2,000 sets each, five times over (10,000 calls);
-- two-set functions pair each set with another
INSERT INTO measured
SELECT fn, pg_temp.per_call_us(from_, expr, 'x.a', 10000, 1) FROM (VALUES
    ('qv_range_pack(int4[])',                      'qv_range_pack(x.a[1:2])'),
    ('qv_int4range_union(int4[], int4[])',         'qv_int4range_union(x.a, y.a)'),
    ('qv_int4range_intersection(int4[], int4[])',  'qv_int4range_intersection(x.a, y.a)'),
    ('qv_int4range_exclusion(int4[], int4[])',     'qv_int4range_exclusion(x.a, y.a)'),
    ('qv_int4range_is_strictly_include(int4[], int4[])', 'qv_int4range_is_strictly_include(x.a, y.a)'),
    ('qv_int4range_is_overlap(int4[], int4[])',    'qv_int4range_is_overlap(x.a, y.a)'),
    ('qv_int4range_overlap_rangearray(int4[], int4[])', 'qv_int4range_overlap_rangearray(x.a, y.a)'),
    ('qv_int4set_overlap_bitfield("char", int4[], bytea)', format('qv_int4set_overlap_bitfield(''r'', x.a, %L::bytea)', :'bf')),
    ('qv_int4set_included_in_bitfield("char", int4[], bytea)', format('qv_int4set_included_in_bitfield(''r'', x.a, %L::bytea)', :'bf')),
    ('qv_int4setconv_int4("char", int4[], "char")', 'qv_int4setconv_int4(''r'', x.a, ''m'')'),
    ('qv_count_scalar_in_int4set("char", int4[])', 'qv_count_scalar_in_int4set(''r'', x.a)'),
    ('qv_int4set2bitfield_int4("char", int4[])',   'qv_int4set2bitfield_int4(''r'', x.a)')
) AS f (fn, expr),
LATERAL (SELECT 'rs AS x JOIN rs AS y ON y.id = x.id % 2000 + 1, generate_series(1, 5) AS k') AS j (from_);
INSERT INTO measured
SELECT fn, pg_temp.per_call_us(from_ || ', generate_series(1, 5) AS k', expr, floor_, 10000, 1) FROM (VALUES
    ('qv_sort_int4(int4[])',            'us', 'qv_sort_int4(u)',            'u'),
    ('qv_bytea2floatarray(bytea)',      'mp', 'qv_bytea2floatarray(b)',     'b'),
    ('qv_bytea2mix2rangearray(bytea)',  'mp', 'qv_bytea2mix2rangearray(b)', 'b')
) AS f (fn, from_, expr, floor_);

-- aggregates: final functions, then transitions
INSERT INTO measured
SELECT fn, pg_temp.final_us(expr) FROM (VALUES
    ('qv_int4set_agg_finalfn(internal)',            'qv_int4set_agg(''r'', a, ''r'')'),
    ('qv_int4set_agg_optimized_finalfn(internal)',  'qv_int4set_agg_optimized(''r'', a, 1000009, ''r'')'),
    ('qv_int4range_op_finalfn(internal)',           'qv_int4range_op(1::int2, a)'),
    ('qv_agg_keep_single_finalfn(internal, anyelement)', 'qv_agg_keep_single(7)')
) AS a (fn, expr);
INSERT INTO measured
SELECT fn, pg_temp.transition_us(expr, (SELECT us FROM measured WHERE measured.fn = final)) FROM (VALUES
    ('qv_int4set_agg_transfn_a(internal, int4, "char")',             'qv_int4set_agg(spread, ''r'')',
     'qv_int4set_agg_finalfn(internal)'),
    ('qv_int4set_agg_transfn_a(internal, int4, int4, "char")',       'qv_int4set_agg(spread, spread + 10, ''r'')',
     'qv_int4set_agg_finalfn(internal)'),
    ('qv_int4set_agg_optimized_transfn_a(internal, int4, int4, "char")', 'qv_int4set_agg_optimized(spread, 1000009, ''r'')',
     'qv_int4set_agg_optimized_finalfn(internal)'),
    ('qv_int4set_agg_optimized_transfn_a(internal, int4, int4, int4, "char")', 'qv_int4set_agg_optimized(spread, spread + 10, 1000009, ''r'')',
     'qv_int4set_agg_optimized_finalfn(internal)'),
    ('qv_agg_keep_single_transfn(internal, anyelement)',            'qv_agg_keep_single(same)',
     'qv_agg_keep_single_finalfn(internal, anyelement)')
) AS a (fn, expr, final);
INSERT INTO measured
SELECT fn, pg_temp.set_transition_us(expr) FROM (VALUES
    ('qv_int4set_agg_transfn_b(internal, "char", int4[], "char")',   'qv_int4set_agg(''r'', a, ''r'')'),
    ('qv_int4set_agg_optimized_transfn_b(internal, "char", int4[], int4, "char")', 'qv_int4set_agg_optimized(''r'', a, 1000009, ''r'')'),
    ('qv_int4range_op_transfn(internal, int2, int4[])',             'qv_int4range_op(1::int2, a)')
) AS a (fn, expr);

\echo 'per-call time (us) and cost in int4pl calls'
SELECT round(us::numeric, 4) AS int4pl_us FROM unit;
SELECT fn, round(m.us::numeric, 3) AS us, greatest(1, round(m.us / u.us))::int AS cost
FROM measured AS m, unit AS u ORDER BY fn;
