-- The set-expression aggregate qv_int4range_op.
\set VERBOSITY verbose

-- operation word: op | close << 2 | open << 9, as a 16-bit pattern
CREATE FUNCTION pg_temp.w(op int, close int, open int) RETURNS int2
LANGUAGE sql IMMUTABLE AS $$
  SELECT (CASE WHEN v >= 32768 THEN v - 65536 ELSE v END)::int2
  FROM (SELECT op + close * 4 + open * 512) AS t(v)
$$;

CREATE TEMP TABLE expr (grp text, seq int, op int, close int, open int, operand int4[]);
-- rows stored out of order: the ORDER BY inside the call fixes the order
INSERT INTO expr VALUES
  -- {[1;10]} \ ({[2;8]} n {[4;20]}) u {[30;30]}
  ('example', 4, 1, 1, 0, '{30,30}'),
  ('example', 2, 3, 0, 1, '{2,8}'),
  ('example', 1, 1, 0, 0, '{1,10}'),
  ('example', 3, 2, 0, 0, '{4,20}'),
  -- the first row applies to the empty root set
  ('first_intersect', 1, 2, 0, 0, '{1,10}'),
  ('first_exclude', 1, 3, 0, 0, '{1,10}'),
  ('first_union', 1, 1, 0, 0, '{1,10}'),
  -- a null operand drops the whole row, its parentheses included
  ('null_operand', 1, 1, 0, 0, '{1,10}'),
  ('null_operand', 2, 2, 0, 3, NULL),
  ('null_operand', 3, 3, 5, 0, NULL),
  ('null_operand', 4, 3, 0, 0, '{5,5}'),
  ('only_nulls', 1, 1, 0, 0, NULL),
  -- groups left open are closed at the end
  ('left_open', 1, 1, 0, 0, '{1,5}'),
  ('left_open', 2, 2, 0, 1, '{3,9}'),
  -- two groups opened by one row: the outer joins by the row's operation,
  -- the inner one by union
  ('two_opened', 1, 1, 0, 0, '{1,5}'),
  ('two_opened', 2, 2, 0, 2, '{3,9}'),
  ('two_opened', 3, 1, 0, 0, '{20,30}'),
  ('two_opened', 4, 3, 1, 0, '{25,25}'),
  -- five nested groups: {1} u ({3} u ({5} u ({7} u ({9} \ ({10..20} n {12..13}))))) u {40}
  ('five_deep', 1, 1, 0, 0, '{1,1}'),
  ('five_deep', 2, 1, 0, 1, '{3,3}'),
  ('five_deep', 3, 1, 0, 1, '{5,5}'),
  ('five_deep', 4, 1, 0, 1, '{7,7}'),
  ('five_deep', 5, 1, 0, 1, '{9,9}'),
  ('five_deep', 6, 3, 0, 1, '{10,20}'),
  ('five_deep', 7, 2, 0, 0, '{12,13}'),
  ('five_deep', 8, 1, 5, 0, '{40,40}'),
  -- (a \ b) n (c u d), with operands of odd shapes reading as empty
  ('shapes', 1, 1, 0, 1, '{1,20}'),
  ('shapes', 2, 3, 0, 0, '{{5,6},{7,8}}'),
  ('shapes', 3, 2, 1, 1, '{}'),
  ('shapes', 4, 1, 0, 0, '{3,4,15,30}'),
  ('shapes', 5, 1, 0, 0, '{2,NULL}'),
  -- extremes of int4 and the whole line
  ('extremes', 1, 1, 0, 0, '{-2147483648,2147483647}'),
  ('extremes', 2, 3, 0, 0, '{-2147483647,2147483646}'),
  ('extremes', 3, 1, 0, 0, '{0,0}');

SELECT grp, qv_int4range_op(pg_temp.w(op, close, open), operand ORDER BY seq)
FROM expr
GROUP BY grp
ORDER BY grp;

-- no rows at all, and a root that ends empty: one-dimensional arrays of length 0
SELECT r, array_ndims(r) AS ndims, array_length(r, 1) AS len
FROM (SELECT qv_int4range_op(pg_temp.w(op, close, open), operand) FROM expr WHERE false
      UNION ALL
      SELECT qv_int4range_op(pg_temp.w(op, close, open), operand) FROM expr
      WHERE grp = 'first_intersect') AS t(r);

-- operands stored out of line, sets larger than the initial vectors:
-- {[4k;4k+1]} \ ({[8k+1;8k+4]} u {[39990;50000]})
SELECT array_length(r, 1) AS len, r[1:6] AS head, r[array_length(r, 1) - 3:] AS tail
FROM (SELECT qv_int4range_op(w, a ORDER BY s)
      FROM (VALUES (1, pg_temp.w(1, 0, 0),
                    (SELECT array_agg(v ORDER BY v) FROM generate_series(0, 39999) AS v
                     WHERE v % 4 IN (0, 1))),
                   (2, pg_temp.w(3, 0, 1),
                    (SELECT array_agg(v ORDER BY v) FROM generate_series(0, 39999) AS v
                     WHERE v % 8 IN (1, 4))),
                   (3, pg_temp.w(1, 0, 0), '{39990,50000}'::int4[])) AS t(s, w, a)) AS q(r);

-- failures, each under the routine that detects it
SELECT qv_int4range_op(NULL::int2, '{1,2}');
SELECT qv_int4range_op(pg_temp.w(1, 1, 0), '{1,2}');
SELECT qv_int4range_op(pg_temp.w(1, 0, 6), '{1,2}');
SELECT qv_int4range_op(w, a ORDER BY s)
FROM (VALUES (1, pg_temp.w(1, 0, 3), '{1,2}'::int4[]),
             (2, pg_temp.w(1, 0, 3), '{1,2}')) AS t(s, w, a);
-- bit 15 belongs to the open count: 64 groups
SELECT qv_int4range_op(pg_temp.w(1, 0, 64), '{1,2}');
SELECT qv_int4range_op(pg_temp.w(1, 0, 0), '{1,2,3}');
-- operation id 0: rejected when applied, at once or when its group closes
SELECT qv_int4range_op(pg_temp.w(0, 0, 0), '{1,2}');
SELECT qv_int4range_op(w, a ORDER BY s)
FROM (VALUES (1, pg_temp.w(0, 0, 1), '{1,2}'::int4[]),
             (2, pg_temp.w(1, 1, 0), '{5,6}')) AS t(s, w, a);
-- the final function closes the outer group (id 0) after the inner one (union)
SELECT qv_int4range_op(w, a ORDER BY s)
FROM (VALUES (1, pg_temp.w(1, 0, 0), '{1,5}'::int4[]),
             (2, pg_temp.w(0, 0, 2), '{3,9}'),
             (3, pg_temp.w(1, 1, 0), '{8,8}')) AS t(s, w, a);

-- an aggregate declared over the same support functions without the
-- shipped one's declaration is refused as a window function too
CREATE AGGREGATE pg_temp.unprotected_op(int2, int4[]) (
    SFUNC = qv_int4range_op_transfn, STYPE = internal, FINALFUNC = qv_int4range_op_finalfn);
SELECT pg_temp.unprotected_op(pg_temp.w(1, 0, 0), operand) OVER (ORDER BY seq)
FROM expr WHERE grp = 'example';
SELECT pg_temp.unprotected_op(pg_temp.w(op, close, open), operand ORDER BY seq)
FROM expr WHERE grp = 'example';

-- two aggregates over the same transition keep separate states, each
-- destroyed once by its own final call
SELECT qv_int4range_op(pg_temp.w(op, close, open), operand ORDER BY seq) AS protected,
       pg_temp.unprotected_op(pg_temp.w(op, close, open), operand ORDER BY seq) AS unprotected
FROM expr WHERE grp = 'left_open';
