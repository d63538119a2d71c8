-- Answers and plans compared between the dumped database and its restores.
SELECT * FROM qv_algebra ORDER BY id;
SELECT * FROM qv_membership ORDER BY id;
SELECT * FROM qv_conversions ORDER BY id;
SELECT * FROM qv_operators;
SELECT * FROM qv_aggregates ORDER BY g;
SELECT k, qv_union_of(k), qv_members(k * 20000), qv_spread(k) FROM generate_series(0, 3) k;
SET enable_seqscan = off;
EXPLAIN (COSTS OFF) SELECT * FROM qv_operators;
EXPLAIN (COSTS OFF) SELECT id FROM qv_sets WHERE v <@ qv_range_pack(1, 10);
EXPLAIN (COSTS OFF) SELECT id FROM qv_sets WHERE p @> 42;
SELECT count(*) FROM qv_sets WHERE v <@ qv_range_pack(0, 50000);
SELECT count(*) FROM qv_sets WHERE p && qv_range_pack(0, 50000);
-- Objects new in 2.1 (scripts/upgrades asks its database of 2.0 what comes
-- before this line)
SELECT * FROM qv_commutators ORDER BY id;
SELECT * FROM qv_set_column;
EXPLAIN (COSTS OFF) SELECT * FROM qv_set_column;
EXPLAIN (COSTS OFF) SELECT id FROM qv_sets WHERE r &&& '{1,10}'::int4[];
SELECT count(*) FROM qv_sets WHERE r &&& '{0,50000}'::int4[];
SELECT * FROM qv_reading ORDER BY id;
-- Objects of servers from 14 on (int4multirange)
SELECT * FROM qv_multiranges ORDER BY id;
