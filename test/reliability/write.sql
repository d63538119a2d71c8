-- one new row in each table, the same in the ledger
\set r random(0, 999999) / 1000000.0
\set w random_exponential(0, 100000, 8.0)
WITH k AS (SELECT nextval('qv_ids') AS id, qv_rel_value(:r) AS v),
     l AS (INSERT INTO qv_ledger SELECT id, v, qv_rel_span(v, :w) FROM k RETURNING *),
     p AS (INSERT INTO qv_pts SELECT id, v FROM l)
INSERT INTO qv_spans SELECT id, span FROM l;
