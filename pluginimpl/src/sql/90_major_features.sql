
-- What a server offers beyond the oldest major supported, applied to the
-- extension's objects in this database.  The install and update scripts end
-- by calling it, so that each builds what the running major can have; after
-- pg_upgrade the objects keep what the old major had, and calling it again
-- brings them to what a fresh install on the new major has.  It changes
-- only what differs and returns one line per change: nothing at all on a
-- catalog already in order.
--
-- Its lists, extended with each new object of such a kind:
--   - functions over types the oldest major lacks (int4multirange, 14 on):
--     created here with their comment, and made members of the extension
--     where this runs outside its scripts (inside them, every object
--     created becomes a member);
--   - aggregates with a final function: every one of them modifies its
--     state in place (FINALFUNC_MODIFY = READ_WRITE), from 11 on;
--   - sort support of GiST families (support function 11: a bottom-up
--     build from sorted keys), from 14 on;
--   - planner support functions (ALTER FUNCTION ... SUPPORT), from 12 on;
--     the support functions themselves exist on every major.
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
    schema text;
    functions oid[];
    families oid[];
    r record;
BEGIN
    SELECT n.nspname INTO schema
    FROM pg_extension e JOIN pg_namespace n ON n.oid = e.extnamespace
    WHERE e.extname = 'tarvox_range_operators';

    IF major >= 14 THEN
        FOR r IN
            SELECT format('%I.%I', schema, v.fn) AS fn, v.*
            -- (name, arguments, their types, result, C symbol, cost, comment)
            FROM (VALUES
                ('qv_int4set_multirange', 'kind "char", set int4[]', '"char", int4[]', 'int4multirange',
                 'qv_int4set_multirange', 5,
                 'the int4multirange of a set given as a scalar (''s''), range (''r'') or mix (''m'') array ([x; 2147483647] becomes [x,))'),
                ('qv_int4set_multirange', 'set bytea', 'bytea', 'int4multirange', 'qv_bitfield_multirange', 5,
                 'the int4multirange of a bitfield ([x; 2147483647] becomes [x,))'),
                ('qv_int4set_multirange', 'set int8', 'int8', 'int4multirange', 'qv_rangepacked_multirange', 5,
                 'the int4multirange of a packed range ([x; 2147483647] becomes [x,))'),
                ('qv_int4multirange2rangearray', 'int4multirange', 'int4multirange', 'int4[]',
                 'qv_int4multirange2rangearray', 5,
                 'the ranges of an int4multirange as a range array (unbounded ends become the int4 extremes)'))
                AS v (fn, args, types, returns, symbol, cost, comment)
            WHERE to_regprocedure(format('%I.%I(%s)', schema, v.fn, v.types)) IS NULL
            ORDER BY 1, v.types
        LOOP
            EXECUTE format('CREATE FUNCTION %s(%s) RETURNS %s AS %L, %L '
                           'LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST %s',
                           r.fn, r.args, r.returns, 'MODULE_PATHNAME', r.symbol, r.cost);
            EXECUTE format('COMMENT ON FUNCTION %s(%s) IS %L', r.fn, r.types, r.comment);
            IF NOT EXISTS (SELECT FROM pg_depend d JOIN pg_extension e ON e.oid = d.refobjid
                           WHERE d.classid = 'pg_proc'::regclass AND d.deptype = 'e'
                             AND d.objid = to_regprocedure(format('%s(%s)', r.fn, r.types))
                             AND e.extname = 'tarvox_range_operators') THEN
                EXECUTE format('ALTER EXTENSION tarvox_range_operators ADD FUNCTION %s(%s)', r.fn, r.types);
            END IF;
            RETURN NEXT format('function %s(%s): created', r.fn, r.types);
        END LOOP;
    END IF;

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
                         ('qv_gist_range_int8_ops', 'qv_gist_range_sortsupport'),
                         ('qv_gist_rangearray_ops', 'qv_gist_rangearray_sortsupport')) AS v (family, fn)
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
            -- (function with its argument types, support function)
            FROM (SELECT f, 'qv_set_predicate_support' FROM unnest(ARRAY[
                      'qv_int4_in_rangearray(int4, int4[])', 'qv_int4_in_rangebitfield(int4, bytea)',
                      'qv_int4_in_packedrange(int4, int8)', 'qv_int4rangepacked_contains_int4(int8, int4)',
                      'qv_int4rangepacked_in_rangearray(int8, int4[])',
                      'qv_int4rangepacked_in_int4rangepacked(int8, int8)',
                      'qv_int4rangepacked_included_in_int4rangepacked(int8, int8)',
                      'qv_int4rangepacked_contains_int4rangepacked(int8, int8)',
                      'qv_rangearray_contains_int4(int4[], int4)', 'qv_rangebitfield_contains_int4(bytea, int4)',
                      'qv_rangearray_overlaps_int4rangepacked(int4[], int8)',
                      'qv_int4range_is_overlap(int4[], int4[])',
                      'qv_int4range_is_strictly_include(int4[], int4[])']) AS f
                  UNION ALL
                  SELECT format('qv_int4set_%s(%s)', n, a), 'qv_int4set_rows_support'
                  FROM unnest(ARRAY['ranges', 'values']) AS n,
                       unnest(ARRAY['"char", int4[]', 'bytea', 'int8']) AS a) AS v (fn, support)
            JOIN pg_proc p ON p.oid = ANY (functions)
                 AND p.oid = to_regprocedure(format('%I.%s', schema, v.fn))
            JOIN pg_proc s ON s.oid = ANY (functions)
                 AND s.oid = to_regprocedure(format('%I.%s(internal)', schema, v.support))
            WHERE p.prosupport <> s.oid
            ORDER BY p.oid::regprocedure::text
        LOOP
            EXECUTE format('ALTER FUNCTION %s SUPPORT %s', r.fn, r.support);
            RETURN NEXT format('function %s: SUPPORT %s', r.fn, r.support);
        END LOOP;
    END IF;
END $$;

COMMENT ON FUNCTION qv_repair_catalog() IS
'gives the extension''s objects what this major offers (multirange functions, final-function modes, GiST sort support, planner support functions), as after a fresh install; returns the changes made';

REVOKE ALL ON FUNCTION qv_repair_catalog() FROM PUBLIC;

SELECT pg_catalog.count(*) FROM qv_repair_catalog();
