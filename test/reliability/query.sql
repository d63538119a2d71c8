-- One search of one operator, answered in one snapshot by the index (forced)
-- and by a filter the index cannot serve; a disagreement is recorded.
-- The range array holds [:a; :b] and [:c; :d]; the packed range is [:a; :b].
\set op random(1, 8)
\set a random(-1100000, 1100000)
\set b :a + random_exponential(0, 300000, 6.0)
\set c :b + random(2, 100000)
\set d :c + random(0, 50000)
BEGIN;
SET LOCAL enable_seqscan = off;
\if :op = 1
INSERT INTO qv_mismatch SELECT 'v <@', (ARRAY[:a, :b, :c, :d]::int4[])::text, i::text, s::text
FROM (SELECT count(*), sum(id) FROM qv_pts WHERE v <@ ARRAY[:a, :b, :c, :d]::int4[]) i,
     (SELECT count(*), sum(id) FROM qv_pts WHERE v + 0 <@ ARRAY[:a, :b, :c, :d]::int4[]) s
WHERE i IS DISTINCT FROM s;
\elif :op = 2
INSERT INTO qv_mismatch SELECT 'v <@ bitfield', (qv_int4set2bitfield_int4('r', ARRAY[:a, :b, :c, :d]::int4[]))::text, i::text, s::text
FROM (SELECT count(*), sum(id) FROM qv_pts WHERE v <@ qv_int4set2bitfield_int4('r', ARRAY[:a, :b, :c, :d]::int4[])) i,
     (SELECT count(*), sum(id) FROM qv_pts WHERE v + 0 <@ qv_int4set2bitfield_int4('r', ARRAY[:a, :b, :c, :d]::int4[])) s
WHERE i IS DISTINCT FROM s;
\elif :op = 3
INSERT INTO qv_mismatch SELECT 'v <@', (qv_range_pack(:a, :b))::text, i::text, s::text
FROM (SELECT count(*), sum(id) FROM qv_pts WHERE v <@ qv_range_pack(:a, :b)) i,
     (SELECT count(*), sum(id) FROM qv_pts WHERE v + 0 <@ qv_range_pack(:a, :b)) s
WHERE i IS DISTINCT FROM s;
\elif :op = 4
INSERT INTO qv_mismatch SELECT 'span &&', (ARRAY[:a, :b, :c, :d]::int4[])::text, i::text, s::text
FROM (SELECT count(*), sum(id) FROM qv_spans WHERE span && ARRAY[:a, :b, :c, :d]::int4[]) i,
     (SELECT count(*), sum(id) FROM qv_spans WHERE span + 0 && ARRAY[:a, :b, :c, :d]::int4[]) s
WHERE i IS DISTINCT FROM s;
\elif :op = 5
INSERT INTO qv_mismatch SELECT 'span &&', (qv_range_pack(:a, :b))::text, i::text, s::text
FROM (SELECT count(*), sum(id) FROM qv_spans WHERE span && qv_range_pack(:a, :b)) i,
     (SELECT count(*), sum(id) FROM qv_spans WHERE span + 0 && qv_range_pack(:a, :b)) s
WHERE i IS DISTINCT FROM s;
\elif :op = 6
INSERT INTO qv_mismatch SELECT 'span <@', (qv_range_pack(:a, :b))::text, i::text, s::text
FROM (SELECT count(*), sum(id) FROM qv_spans WHERE span <@ qv_range_pack(:a, :b)) i,
     (SELECT count(*), sum(id) FROM qv_spans WHERE span + 0 <@ qv_range_pack(:a, :b)) s
WHERE i IS DISTINCT FROM s;
\elif :op = 7
INSERT INTO qv_mismatch SELECT 'span @>', (qv_range_pack(:a, :b))::text, i::text, s::text
FROM (SELECT count(*), sum(id) FROM qv_spans WHERE span @> qv_range_pack(:a, :b)) i,
     (SELECT count(*), sum(id) FROM qv_spans WHERE span + 0 @> qv_range_pack(:a, :b)) s
WHERE i IS DISTINCT FROM s;
\elif :op = 8
INSERT INTO qv_mismatch SELECT 'span @>', (:a)::text, i::text, s::text
FROM (SELECT count(*), sum(id) FROM qv_spans WHERE span @> :a) i,
     (SELECT count(*), sum(id) FROM qv_spans WHERE span + 0 @> :a) s
WHERE i IS DISTINCT FROM s;
\endif
END;
