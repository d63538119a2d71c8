-- one row moved to a new key in each table; the ledger is locked first
\set id random(1, :maxid)
\set r random(0, 999999) / 1000000.0
\set w random_exponential(0, 100000, 8.0)
BEGIN;
UPDATE qv_ledger SET v = qv_rel_value(:r), span = qv_rel_span(qv_rel_value(:r), :w) WHERE id = :id;
UPDATE qv_pts p SET v = l.v FROM qv_ledger l WHERE l.id = :id AND p.id = :id;
UPDATE qv_spans s SET span = l.span FROM qv_ledger l WHERE l.id = :id AND s.id = :id;
END;
