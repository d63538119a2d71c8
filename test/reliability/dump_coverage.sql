-- Functions (other than those over internal values), operators and
-- operator classes of the extension that no view, SQL function or index of
-- the database refers to; one per line, none expected.
WITH members AS (
    SELECT d.classid, d.objid
    FROM pg_depend d JOIN pg_extension e ON e.oid = d.refobjid AND e.extname = 'tarvox_range_operators'
    WHERE d.refclassid = 'pg_extension'::regclass AND d.deptype = 'e'
      AND d.classid IN ('pg_proc'::regclass, 'pg_operator'::regclass, 'pg_opclass'::regclass)
)
SELECT pg_describe_object(m.classid, m.objid, 0)
FROM members m
WHERE NOT (m.classid = 'pg_proc'::regclass
           AND 'internal'::regtype = ANY ((SELECT proargtypes::oid[] FROM pg_proc WHERE oid = m.objid)
                                          || (SELECT prorettype FROM pg_proc WHERE oid = m.objid)))
  AND NOT EXISTS (
    SELECT 1 FROM pg_depend u
    WHERE u.refclassid = m.classid AND u.refobjid = m.objid AND u.deptype = 'n'
      AND u.classid IN ('pg_rewrite'::regclass, 'pg_proc'::regclass, 'pg_class'::regclass)
      AND NOT EXISTS (SELECT 1 FROM members x WHERE x.classid = u.classid AND x.objid = u.objid))
ORDER BY 1;
