-- a run of neighbouring rows gone from every table: index pages empty out.
-- One statement, so the data tables lose exactly the rows the ledger loses:
-- a row inserted and committed between two statements would otherwise be
-- missed by the first and deleted by the next.
\set id random(1, :maxid)
WITH l AS (DELETE FROM qv_ledger WHERE id BETWEEN :id AND :id + 30 RETURNING id),
     p AS (DELETE FROM qv_pts WHERE id IN (SELECT id FROM l))
DELETE FROM qv_spans WHERE id IN (SELECT id FROM l);
