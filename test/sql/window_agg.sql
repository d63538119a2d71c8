-- The aggregates over a window.  The shipped aggregates declare that their
-- final function modifies the state: servers from 11 on refuse them as window
-- functions.  Servers before 11 know no such declaration: they call the final
-- function on every row, on a state the next rows go on growing, so each row
-- gets the aggregate of the rows so far (the set-expression aggregate refuses
-- itself).  Aggregates declared over the same support functions without the
-- declaration run over a window on every server, and before 11 share one
-- state with the shipped aggregate of the same transition and arguments.
\set VERBOSITY terse
CREATE TEMP TABLE wv (i int4, v int4);
INSERT INTO wv VALUES (1, 5), (2, 3), (3, 4), (4, 10);

SELECT qv_int4set_agg(v, 'r') OVER () FROM unnest('{1,2}'::int4[]) AS v;
SELECT i, qv_int4set_agg(v, 'r') OVER (ORDER BY i) FROM wv;
SELECT i, qv_int4set_agg(v, v + 1, 'm') OVER (ORDER BY i) FROM wv;
SELECT i, qv_int4set_agg('s', ARRAY[v, 20 - v], 's') OVER (ORDER BY i) FROM wv;
SELECT i, qv_int4set_agg_optimized(v, 16, 'r') OVER (ORDER BY i) FROM wv;
SELECT i, qv_agg_keep_single(v / 100) OVER (ORDER BY i) FROM wv;
SELECT i, qv_int4range_op(1::int2, ARRAY[v, v]) OVER (ORDER BY i) FROM wv;

CREATE AGGREGATE pg_temp.plain_set(int4, "char") (
    SFUNC = qv_int4set_agg_transfn_A, STYPE = internal, FINALFUNC = qv_int4set_agg_finalfn);
CREATE AGGREGATE pg_temp.plain_bits(int4, int4, "char") (
    SFUNC = qv_int4set_agg_optimized_transfn_A, STYPE = internal,
    FINALFUNC = qv_int4set_agg_optimized_finalfn);
CREATE AGGREGATE pg_temp.plain_keep(anyelement) (
    SFUNC = qv_agg_keep_single_transfn, STYPE = internal,
    FINALFUNC = qv_agg_keep_single_finalfn, FINALFUNC_EXTRA);
-- running, sliding and whole-partition frames
SELECT i, pg_temp.plain_set(v, 'r') OVER (ORDER BY i) AS running,
       pg_temp.plain_set(v, 's') OVER (ORDER BY i ROWS BETWEEN 1 PRECEDING AND CURRENT ROW) AS sliding,
       pg_temp.plain_bits(v, 16, 'm') OVER (ORDER BY i) AS bits,
       pg_temp.plain_keep(v > 0) OVER (ORDER BY i) AS keep,
       pg_temp.plain_set(v, 'r') OVER () AS whole
FROM wv ORDER BY i;
-- the same transition and arguments as the shipped aggregate (before 11:
-- one state, finalised by both)
SELECT qv_int4set_agg(v, 'r') AS shipped, pg_temp.plain_set(v, 'r') AS plain,
       qv_int4set_agg_optimized(v, 16, 's') AS shipped_bits, pg_temp.plain_bits(v, 16, 's') AS plain_bits,
       qv_agg_keep_single(i / 10) AS shipped_keep, pg_temp.plain_keep(i / 10) AS plain_keep
FROM wv;
