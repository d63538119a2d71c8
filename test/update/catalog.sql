-- Describes every object of the extension in the current database by name,
-- one line each, sorted: functions and aggregates with every pg_proc and
-- pg_aggregate column, operators, operator classes and families with their
-- members, and comments.  No OID of the extension's own objects appears, so
-- two databases (a fresh install and an updated one) compare with diff.
WITH members AS (
    SELECT d.classid, d.objid
    FROM pg_depend d JOIN pg_extension e ON e.oid = d.refobjid
    WHERE d.refclassid = 'pg_extension'::regclass AND d.deptype = 'e'
      AND e.extname = 'tarvox_range_operators'),
families AS (
    SELECT f.oid, f.opfname
    FROM pg_opfamily f JOIN members m ON m.classid = 'pg_opfamily'::regclass AND m.objid = f.oid)
SELECT line FROM (
    SELECT 'function ' || p.oid::regprocedure || ' ' ||
           (to_jsonb(p) - 'oid' - 'proowner' - 'proacl')::text AS line
    FROM pg_proc p JOIN members m ON m.classid = 'pg_proc'::regclass AND m.objid = p.oid
    UNION ALL
    SELECT 'aggregate ' || a.aggfnoid::regprocedure || ' ' || (to_jsonb(a) - 'aggfnoid')::text
    FROM pg_aggregate a JOIN members m ON m.classid = 'pg_proc'::regclass AND m.objid = a.aggfnoid
    UNION ALL
    SELECT 'operator ' || o.oid::regoperator || ' ' ||
           (to_jsonb(o) - 'oid' - 'oprowner' - 'oprcom' - 'oprnegate')::text ||
           ' commutator ' || coalesce(nullif(o.oprcom, 0)::regoperator::text, '-') ||
           ' negator ' || coalesce(nullif(o.oprnegate, 0)::regoperator::text, '-')
    FROM pg_operator o JOIN members m ON m.classid = 'pg_operator'::regclass AND m.objid = o.oid
    UNION ALL
    SELECT 'operator class ' || c.opcname || ' family ' || f.opfname || ' ' ||
           (to_jsonb(c) - 'oid' - 'opcowner' - 'opcfamily')::text
    FROM pg_opclass c JOIN members m ON m.classid = 'pg_opclass'::regclass AND m.objid = c.oid
    JOIN pg_opfamily f ON f.oid = c.opcfamily
    UNION ALL
    SELECT 'operator family ' || f.opfname || ' method ' || am.amname
    FROM families f JOIN pg_opfamily o ON o.oid = f.oid JOIN pg_am am ON am.oid = o.opfmethod
    UNION ALL
    SELECT 'family ' || f.opfname || ' operator ' || ao.amopstrategy || ' ' ||
           ao.amopopr::regoperator || ' ' ||
           (to_jsonb(ao) - 'oid' - 'amopfamily' - 'amopopr' - 'amopsortfamily')::text ||
           ' sort family ' || coalesce(nullif(ao.amopsortfamily, 0)::text, '-') ||
           ' ' || (SELECT d.deptype::text || ' on ' || pg_describe_object(d.refclassid, d.refobjid, 0)
                   FROM pg_depend d
                   WHERE d.classid = 'pg_amop'::regclass AND d.objid = ao.oid
                     AND d.refclassid IN ('pg_opclass'::regclass, 'pg_opfamily'::regclass))
    FROM pg_amop ao JOIN families f ON f.oid = ao.amopfamily
    UNION ALL
    SELECT 'family ' || f.opfname || ' support ' || ap.amprocnum || ' ' ||
           ap.amproc::regprocedure || ' ' ||
           (to_jsonb(ap) - 'oid' - 'amprocfamily' - 'amproc')::text ||
           ' ' || (SELECT d.deptype::text || ' on ' || pg_describe_object(d.refclassid, d.refobjid, 0)
                   FROM pg_depend d
                   WHERE d.classid = 'pg_amproc'::regclass AND d.objid = ap.oid
                     AND d.refclassid IN ('pg_opclass'::regclass, 'pg_opfamily'::regclass))
    FROM pg_amproc ap JOIN families f ON f.oid = ap.amprocfamily
    UNION ALL
    SELECT 'comment on ' || pg_describe_object(m.classid, m.objid, 0) || ': ' || d.description
    FROM members m JOIN pg_description d ON d.classoid = m.classid AND d.objoid = m.objid
    UNION ALL
    SELECT 'member ' || pg_describe_object(m.classid, m.objid, 0) FROM members m
) AS catalog
ORDER BY line COLLATE "C";
