-- a run of neighbouring rows gone from every table: index pages empty out
\set id random(1, :maxid)
BEGIN;
DELETE FROM qv_ledger WHERE id BETWEEN :id AND :id + 30;
DELETE FROM qv_pts WHERE id BETWEEN :id AND :id + 30;
DELETE FROM qv_spans WHERE id BETWEEN :id AND :id + 30;
END;
