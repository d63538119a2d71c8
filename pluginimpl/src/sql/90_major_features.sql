
-- What a server offers beyond the oldest major supported, applied to the
-- extension's objects in this database.  The install and update scripts end
-- by calling it, so that each builds what the running major can have; after
-- pg_upgrade the objects keep what the old major had, and calling it again
-- brings them to what a fresh install on the new major has.  It changes
-- only what differs and returns one line per change: nothing at all on a
-- catalog already in order.
--
-- Its three lists, extended with each new object of such a kind:
--   - aggregates with a final function: every one of them modifies its
--     state in place (FINALFUNC_MODIFY = READ_WRITE), from 11 on;
--   - sort support of GiST families (support function 11: a bottom-up
--     build from sorted keys), from 14 on;
--   - planner support functions (ALTER FUNCTION ... SUPPORT), from 12 on.
-- Objects are found among the extension's members by name, wherever the
-- extension was installed.  A superuser's command: it changes system
-- catalogs and operator families.
CREATE FUNCTION qv_repair_catalog()
RETURNS SETOF text
LANGUAGE plpgsql VOLATILE
-- 0.7 ms on a catalog in order: some 70 000 calls of a built-in operator
COST 70000 ROWS 1
SET search_path = pg_catalog, pg_temp
AS $$
DECLARE
    major int := current_setting('server_version_num')::int / 10000;
    functions oid[];
    families oid[];
    r record;
BEGIN
    SELECT array_agg(d.objid) FILTER (WHERE d.classid = 'pg_proc'::regclass),
           array_agg(d.objid) FILTER (WHERE d.classid = 'pg_opfamily'::regclass)
    INTO functions, families
    FROM pg_depend d JOIN pg_extension e ON e.oid = d.refobjid
    WHERE d.refclassid = 'pg_extension'::regclass AND d.deptype = 'e'
      AND e.extname = 'tarvox_range_operators';

    IF major >= 11 THEN
        FOR r IN
            SELECT a.aggfnoid::regprocedure AS agg FROM pg_aggregate a
            WHERE a.aggfnoid = ANY (functions) AND a.aggfinalfn <> 0 AND a.aggfinalmodify <> 'w'
            ORDER BY a.aggfnoid::regprocedure::text
        LOOP
            -- no command alters it: the catalog row is the aggregate's definition
            UPDATE pg_aggregate SET aggfinalmodify = 'w' WHERE aggfnoid = r.agg;
            RETURN NEXT format('aggregate %s: FINALFUNC_MODIFY = READ_WRITE', r.agg);
        END LOOP;
    END IF;

    IF major >= 14 THEN
        FOR r IN
            SELECT format('%I.%I', n.nspname, f.opfname) AS family,
                   c.opcintype::regtype AS type, p.oid::regprocedure AS fn
            FROM (VALUES ('qv_gist_range_int4_ops', 'qv_gist_range_sortsupport'),
                         ('qv_gist_range_int8_ops', 'qv_gist_range_sortsupport')) AS v (family, fn)
            JOIN pg_opfamily f ON f.opfname = v.family AND f.oid = ANY (families)
            JOIN pg_namespace n ON n.oid = f.opfnamespace
            JOIN pg_opclass c ON c.opcfamily = f.oid
            JOIN pg_proc p ON p.proname = v.fn AND p.oid = ANY (functions)
            WHERE NOT EXISTS (SELECT FROM pg_amproc ap
                              WHERE ap.amprocfamily = f.oid AND ap.amprocnum = 11
                                AND ap.amproclefttype = c.opcintype AND ap.amprocrighttype = c.opcintype)
            ORDER BY 1
        LOOP
            EXECUTE format('ALTER OPERATOR FAMILY %s USING gist ADD FUNCTION 11 (%s, %s) %s',
                           r.family, r.type, r.type, r.fn);
            RETURN NEXT format('operator family %s: sort support %s', r.family, r.fn);
        END LOOP;
    END IF;

    IF major >= 12 THEN
        FOR r IN
            SELECT p.oid::regprocedure AS fn, s.oid::regproc AS support
            -- (function with its argument types, support function): none yet
            FROM (VALUES (NULL::text, NULL::text)) AS v (fn, support)
            JOIN pg_proc p ON p.oid = ANY (functions)
                 AND format('%s(%s)', p.proname, pg_get_function_identity_arguments(p.oid)) = v.fn
            JOIN pg_proc s ON s.oid = ANY (functions) AND s.proname = v.support
            WHERE p.prosupport <> s.oid
            ORDER BY p.oid::regprocedure::text
        LOOP
            EXECUTE format('ALTER FUNCTION %s SUPPORT %s', r.fn, r.support);
            RETURN NEXT format('function %s: SUPPORT %s', r.fn, r.support);
        END LOOP;
    END IF;
END $$;

COMMENT ON FUNCTION qv_repair_catalog() IS
'gives the extension''s objects what this major offers (final-function modes, GiST sort support, planner support functions), as after a fresh install; returns the changes made';

REVOKE ALL ON FUNCTION qv_repair_catalog() FROM PUBLIC;

SELECT pg_catalog.count(*) FROM qv_repair_catalog();
