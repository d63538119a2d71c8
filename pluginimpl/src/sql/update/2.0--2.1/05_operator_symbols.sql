
-- The operators of 2.0 with an int4[] operand took <@ and &&, and so caught
-- queries of built-in arrays with one untyped side.  They move to <<@ and &&&.
-- The server has no operator rename, and a member of an operator class
-- cannot leave it while an index uses the class; renaming the catalog row
-- keeps its OID, so the classes' members, the indexes built under 2.0, views
-- and comments all stay as they are.  The row is changed by an ordinary heap
-- update, which sends the cache invalidations, so every session sees the new
-- names at once.
UPDATE pg_catalog.pg_operator AS o
SET oprname = CASE o.oprname WHEN '<@' THEN '<<@' ELSE '&&&' END
FROM pg_catalog.pg_depend AS d, pg_catalog.pg_extension AS e
WHERE d.classid = 'pg_catalog.pg_operator'::pg_catalog.regclass AND d.objid = o.oid
  AND d.refclassid = 'pg_catalog.pg_extension'::pg_catalog.regclass AND d.refobjid = e.oid
  AND d.deptype = 'e' AND e.extname = 'tarvox_range_operators'
  AND o.oprright = 'pg_catalog.int4[]'::pg_catalog.regtype
  AND ((o.oprname = '<@' AND o.oprleft = 'pg_catalog.int4'::pg_catalog.regtype)
       OR (o.oprname = '&&' AND o.oprleft = 'pg_catalog.int8'::pg_catalog.regtype));
