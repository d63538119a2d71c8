-- One search of one operator by the index and by a filter, compared
-- (qv_rel_compare): the range array holds [:a; :b] and [:c; :d], the packed
-- range is [:a; :b].
\set op random(1, 13)
\set a random(-1100000, 1100000)
\set b :a + random_exponential(0, 300000, 6.0)
\set c :b + random(2, 100000)
\set d :c + random(0, 50000)
SELECT qv_rel_compare(:op, :a, :b, :c, :d);
