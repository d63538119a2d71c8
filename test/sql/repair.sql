-- qv_repair_catalog(): nothing to do after an install on the running major;
-- after pg_upgrade from an older one it gives back what this major offers,
-- here taken away by hand (in a transaction rolled back).
SELECT * FROM qv_repair_catalog();

BEGIN;
DO $$
BEGIN
    IF current_setting('server_version_num')::int >= 110000 THEN
        UPDATE pg_aggregate SET aggfinalmodify = 'r'
        WHERE aggfnoid = 'qv_int4set_agg(int4, "char")'::regprocedure;
    END IF;
    IF current_setting('server_version_num')::int >= 120000 THEN
        UPDATE pg_proc SET prosupport = 0
        WHERE oid = 'qv_int4_in_rangearray(int4, int4[])'::regprocedure;
    END IF;
    IF current_setting('server_version_num')::int >= 140000 THEN
        ALTER OPERATOR FAMILY qv_gist_range_int8_ops USING gist DROP FUNCTION 11 (int8, int8);
        -- as after pg_upgrade from a major without int4multirange
        ALTER EXTENSION tarvox_range_operators DROP FUNCTION qv_int4multirange2rangearray(int4multirange);
        DROP FUNCTION qv_int4multirange2rangearray(int4multirange);
    END IF;
END $$;
SELECT * FROM qv_repair_catalog();
SELECT * FROM qv_repair_catalog();
-- the function created again is the extension's, with its comment
SELECT p.oid::regprocedure AS function, to_jsonb(p) ->> 'prosupport' AS support, p.procost AS cost,
       obj_description(p.oid, 'pg_proc') AS comment,
       EXISTS (SELECT FROM pg_depend d WHERE d.classid = 'pg_proc'::regclass AND d.objid = p.oid
                                         AND d.deptype = 'e') AS member
FROM pg_proc p WHERE p.proname IN ('qv_int4_in_rangearray', 'qv_int4multirange2rangearray')
ORDER BY p.proname::text COLLATE "C";
ROLLBACK;
