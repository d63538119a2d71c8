-- maintenance beside the load: mostly VACUUM (empty index pages go), now
-- and then an index rebuilt while rows keep arriving
\set t random(0, 10)
\if :t < 4
VACUUM qv_pts;
\elif :t < 8
VACUUM qv_spans;
\elif :t = 8
REINDEX INDEX CONCURRENTLY qv_pts_v;
\elif :t = 9
REINDEX INDEX CONCURRENTLY qv_spans_span;
\else
REINDEX INDEX CONCURRENTLY qv_spans_s;
\endif
