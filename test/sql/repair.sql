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
    IF current_setting('server_version_num')::int >= 140000 THEN
        ALTER OPERATOR FAMILY qv_gist_range_int8_ops USING gist DROP FUNCTION 11 (int8, int8);
    END IF;
END $$;
SELECT * FROM qv_repair_catalog();
SELECT * FROM qv_repair_catalog();
ROLLBACK;
