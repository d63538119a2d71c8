-- Run by qv_app, a user who is no superuser, with CREATE on this database:
-- it makes its own schema, puts there objects under names the install
-- script refers to (the functions record in qv_app.called that they ran),
-- installs the extension into that schema, runs one query per family and
-- checks that no object of the extension refers to one of its objects.
-- scripts/upgrades compares the output with the "expect" lines.
CREATE SCHEMA qv_app;
SET search_path = qv_app;
CREATE TABLE called (what text);
CREATE FUNCTION current_setting(text) RETURNS text LANGUAGE sql
AS $$ INSERT INTO qv_app.called VALUES ('current_setting'); SELECT '999999'::text $$;
CREATE FUNCTION count(int4) RETURNS bigint LANGUAGE sql
AS $$ INSERT INTO qv_app.called VALUES ('count'); SELECT 0::bigint $$;
CREATE DOMAIN int4 AS integer CHECK (VALUE <> 0);
-- a function under the name of one the script creates and calls
CREATE FUNCTION qv_repair_catalog(x integer DEFAULT 0) RETURNS SETOF text LANGUAGE sql
AS $$ INSERT INTO qv_app.called VALUES ('qv_repair_catalog'); SELECT 'x'::text $$;
-- a shell operator @> (int8, int4), the commutator of an operator of its own
CREATE FUNCTION mine(integer, bigint) RETURNS bool LANGUAGE sql AS $$ SELECT true $$;
CREATE OPERATOR ### (LEFTARG = integer, RIGHTARG = bigint, PROCEDURE = mine, COMMUTATOR = @>);

-- the install refuses to take over an operator of qv_app's (how, depends
-- on the major: the error goes to the server's log)
CREATE FUNCTION try(command text) RETURNS text LANGUAGE plpgsql AS $$
BEGIN
    EXECUTE command;
    RETURN 'done';
EXCEPTION WHEN others THEN
    RAISE LOG 'refused: % %', SQLSTATE, SQLERRM;
    RETURN 'refused';
END $$;
SELECT try('CREATE EXTENSION tarvox_range_operators SCHEMA qv_app');
-- nor the shell operator it left
DROP OPERATOR ### (integer, bigint);
SELECT try('CREATE EXTENSION tarvox_range_operators SCHEMA qv_app');
DROP OPERATOR @> (bigint, integer);
-- and the call of its own function is not taken by qv_app's
SELECT try('CREATE EXTENSION tarvox_range_operators SCHEMA qv_app');
DROP FUNCTION qv_repair_catalog(integer);
CREATE EXTENSION tarvox_range_operators SCHEMA qv_app;

-- one query per family
SELECT qv_int4range_union('{1,5}', '{3,9,20,20}'), qv_int4range_is_overlap('{1,5}', '{5,9}');
SELECT qv_int4set_agg(x, 'r'), qv_int4set_agg_optimized(x, 100, 's'), qv_agg_keep_single(x % 1)
FROM generate_series(1, 5) x;
SELECT qv_int4range_op(w, a ORDER BY s)
FROM (VALUES (1, 1::int2, '{1,10}'::integer[]), (2, (3 + 512)::int2, '{2,8}'),
             (3, 2::int2, '{4,20}'), (4, (1 + 4)::int2, '{30,30}')) AS t(s, w, a);
SELECT qv_range_pack(3, 7), 5 <@ qv_range_pack(3, 7), 5 <<@ '{1,3,9,9}'::integer[],
       qv_int4setconv_int4('r', '{1,3,9,9}', 's');
CREATE TABLE t AS SELECT x::integer AS v, qv_range_pack(x::integer, x::integer + 3) AS p
FROM generate_series(1, 2000) x;
CREATE INDEX ON t USING gist (v qv_gist_range_int4_ops);
CREATE INDEX ON t USING gist (p qv_gist_range_int8_ops);
SET enable_seqscan = off;
SELECT count(*) FROM t WHERE v <<@ '{10,19,100,100}'::integer[];
SELECT count(*) FROM t WHERE p @> 500;

-- nothing of qv_app's own ran, and nothing of the extension refers to it
SELECT 'called', count(*) FROM called;
SELECT 'refers to qv_app''s objects', count(*)
FROM pg_depend d
WHERE d.classid IN ('pg_proc'::regclass, 'pg_operator'::regclass, 'pg_opclass'::regclass)
  AND d.objid IN (SELECT objid FROM pg_depend WHERE refobjid = (SELECT oid FROM pg_extension
                  WHERE extname = 'tarvox_range_operators') AND deptype = 'e')
  AND (d.refclassid, d.refobjid) IN (SELECT 'pg_proc'::regclass, oid FROM pg_proc
                                     WHERE proowner = (SELECT oid FROM pg_roles WHERE rolname = current_user)
                                     UNION ALL SELECT 'pg_type'::regclass, 'qv_app.int4'::regtype);
-- the extension's objects are the bootstrap superuser's, not qv_app's
SELECT 'owned by qv_app', count(*) FROM pg_depend d
WHERE d.refobjid = (SELECT oid FROM pg_extension WHERE extname = 'tarvox_range_operators')
  AND d.deptype = 'e'
  AND current_user IN (SELECT pg_get_userbyid(proowner) FROM pg_proc WHERE oid = d.objid
                       UNION ALL SELECT pg_get_userbyid(oprowner) FROM pg_operator WHERE oid = d.objid);
-- expect: refused
-- expect: refused
-- expect: refused
-- expect: {1,9,20,20}|t
-- expect: {1,5}|{1,2,3,4,5}|0
-- expect: {1,3,9,10,30,30}
-- expect: 30064771075|t|f|{1,2,3,9}
-- expect: 11
-- expect: 4
-- expect: called|0
-- expect: refers to qv_app's objects|0
-- expect: owned by qv_app|0
