
-- The operators of 2.0 estimate from the column's statistics and the
-- constant set.  The estimators come from 55_estimates.sql, which the update
-- runs before this fragment (fragments run in the order of their numbers).
ALTER OPERATOR <<@ (int4, int4[]) SET (RESTRICT = qv_set_overlap_sel, JOIN = qv_set_overlap_joinsel);
ALTER OPERATOR <@ (int4, bytea) SET (RESTRICT = qv_set_overlap_sel, JOIN = qv_set_overlap_joinsel);
ALTER OPERATOR <@ (int4, int8) SET (RESTRICT = qv_set_overlap_sel, JOIN = qv_set_overlap_joinsel);
ALTER OPERATOR @> (int8, int4) SET (RESTRICT = qv_set_overlap_sel, JOIN = qv_set_overlap_joinsel);
ALTER OPERATOR &&& (int8, int4[]) SET (RESTRICT = qv_set_overlap_sel, JOIN = qv_set_overlap_joinsel);
ALTER OPERATOR && (int8, int8) SET (RESTRICT = qv_set_overlap_sel, JOIN = qv_set_overlap_joinsel);
ALTER OPERATOR <@ (int8, int8) SET (RESTRICT = qv_rangepacked_included_sel, JOIN = qv_rangepacked_included_joinsel);
ALTER OPERATOR @> (int8, int8) SET (RESTRICT = qv_rangepacked_contains_sel, JOIN = qv_rangepacked_contains_joinsel);
