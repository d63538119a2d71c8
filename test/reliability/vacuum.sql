\set t random(0, 1)
\if :t = 0
VACUUM qv_pts;
\else
VACUUM qv_spans;
\endif
