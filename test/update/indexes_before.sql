-- Run under the release updated from: both GiST classes get an index over
-- data, built before the update.
CREATE TABLE qv_upd (id int, v int4, r int8);
INSERT INTO qv_upd
SELECT i, (i * 7919) % 50000, qv_range_pack((i * 104729) % 50000, (i * 104729) % 50000 + i % 100)
FROM generate_series(1, 20000) AS i;
CREATE INDEX qv_upd_v ON qv_upd USING gist (v qv_gist_range_int4_ops);
CREATE INDEX qv_upd_r ON qv_upd USING gist (r qv_gist_range_int8_ops);
ANALYZE qv_upd;
