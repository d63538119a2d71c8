-- Reading stored sets: rows, text, cardinality, bounds, canonical form and
-- conversions, over every encoding.
\set VERBOSITY verbose
-- the reference's examples
SELECT qv_int4set_text('r', '{1,3,7,7}') AS r,
       qv_int4set_text('s', '{1,2,3,7}') AS s,
       qv_int4set_text('m', '{7,-2147483645,5,10,-2147482648,1002}') AS m,
       qv_int4set_text(qv_int4set2bitfield_int4('r', '{1,3,7,7}')) AS bitfield,
       qv_int4set_text(858993459300) AS packed;
SELECT qv_int4set_from_text('{[1;3], [7;7]}') AS parsed,
       qv_int4set_from_text('{}') AS empty,
       qv_int4set_from_text(qv_int4set_text('r', '{9,12,1,3,5,4}')) AS round_trip;
SELECT * FROM qv_int4set_ranges('r', '{1,3,7,9}');
SELECT * FROM qv_int4set_ranges('s', '{1,2,3,8,5}');
SELECT * FROM qv_int4set_ranges(qv_int4set2bitfield_int4('s', '{1,2,3,5,8,9}'));
SELECT qv_int4set_values('m', '{4,-2147483647,3,9}');
SELECT qv_int4set_values(qv_range_pack(-1, 1));
SELECT qv_int4set_values('r', '{-2147483648,2147483647}') LIMIT 3;
SELECT qv_int4set_cardinality('r', '{-2147483648,2147483647}') AS whole_domain,
       qv_int4set_cardinality('r', '{1,5,3,4,9,8}') AS overlap_counts_twice,
       qv_int4set_cardinality('s', '{}') AS empty,
       qv_int4set_cardinality(qv_range_pack(1, 100)) AS packed;
SELECT qv_int4set_min('r', '{7,9,1,3}') AS min, qv_int4set_max('r', '{7,9,1,3}') AS max,
       qv_int4set_min('r', '{}') AS empty_min, qv_int4set_max('r', '{5,3}') AS inverted_max,
       qv_int4set_max(qv_int4set2bitfield_int4('r', '{-20,-10,30,40}')) AS bitfield_max;
SELECT qv_int4set_is_canonical('r', '{1,3,7,9}') AS sorted,
       qv_int4set_is_canonical('r', '{7,9,1,3}') AS unsorted,
       qv_int4set_is_canonical('r', '{1,3,4,9}') AS adjacent,
       qv_int4set_is_canonical('s', '{1,2,2}') AS duplicate,
       qv_int4set_is_canonical('m', '{0}') AS header_only,
       qv_int4set_is_canonical('m', '{6,-2147483647,3,5,-2147483641,8}') AS mix,
       qv_int4set_is_canonical('r', '{{1,3}}') AS two_dimensions,
       qv_int4set_is_canonical('\x00000000ffffffff'::bytea) AS empty_bitfield,
       qv_int4set_is_canonical(qv_range_pack(1, 1)) AS packed;
SELECT qv_int4set_normalize('r', '{9,12,1,3,4,5,8,8,20,10}') AS r,
       qv_int4set_normalize('s', '{5,1,2,2,3}') AS s,
       qv_int4set_normalize('m', '{9,7,-2147483647,3,2}') AS m,
       qv_int4set_normalize('r', '{2147483647,2147483647,-2147483648,2147483646}') AS extremes;
SELECT qv_bitfield2rangearray_int4(qv_int4set2bitfield_int4('r', '{1,3,7,9,11,11}')) AS runs,
       qv_bitfield2rangearray_int4('\x00000000ffffffff') AS empty,
       qv_int4setconv_int4('r', qv_bitfield2rangearray_int4(qv_int4set2bitfield_int4('s', '{1,2,4}')), 'm') AS to_mix;
-- the same sets in every encoding agree
CREATE TEMP TABLE same_sets AS
SELECT r, qv_int4setconv_int4('r', r, 's') AS s, qv_int4setconv_int4('r', r, 'm') AS m,
       qv_int4set2bitfield_int4('r', r) AS b
FROM (VALUES ('{}'::int4[]), ('{0,0}'), ('{1,3,5,5,9,200}'), ('{0,63,65,127,129,130}')) AS v(r);
SELECT r, bool_and(t IS NOT DISTINCT FROM tr) AS text, bool_and(c IS NOT DISTINCT FROM cr) AS count,
       bool_and(lo IS NOT DISTINCT FROM lor AND hi IS NOT DISTINCT FROM hir) AS bounds,
       bool_and(ok) AS canonical, bool_and(rows = rowsr) AS ranges, bool_and(v = vr) AS values
FROM same_sets,
     LATERAL (VALUES ('r'::"char", r), ('s', s), ('m', m)) AS e(kind, a),
     LATERAL (SELECT qv_int4set_text(kind, a) AS t, qv_int4set_text(b) AS tr,
                     qv_int4set_cardinality(kind, a) AS c, qv_int4set_cardinality(b) AS cr,
                     qv_int4set_min(kind, a) AS lo, qv_int4set_min(b) AS lor,
                     qv_int4set_max(kind, a) AS hi, qv_int4set_max(b) AS hir,
                     qv_int4set_is_canonical(kind, a) AND qv_int4set_is_canonical(b) AS ok,
                     array(SELECT x::text FROM qv_int4set_ranges(kind, a) AS x) AS rows,
                     array(SELECT x::text FROM qv_int4set_ranges(b) AS x) AS rowsr,
                     array(SELECT qv_int4set_values(kind, a)) AS v,
                     array(SELECT qv_int4set_values(b)) AS vr) AS f
GROUP BY r ORDER BY r;
-- a CHECK constraint keeps a column canonical
CREATE TEMP TABLE guarded (s int4[] CHECK (qv_int4set_is_canonical('r', s)));
INSERT INTO guarded VALUES (qv_int4set_normalize('r', '{7,9,1,3,4,5}'));
\set VERBOSITY terse
INSERT INTO guarded VALUES ('{7,9,1,3}');
\set VERBOSITY verbose
SELECT s FROM guarded;
-- errors
SELECT qv_int4set_text('r', '{1,2,3}');
SELECT qv_int4set_cardinality('\x0102'::bytea);
SELECT * FROM qv_int4set_ranges('m', '{3,-2147483647}');
SELECT qv_int4set_normalize('r', '{1}');
SELECT qv_int4set_from_text('{[1;2],[3,4]}');
SELECT qv_int4set_from_text('{[1;2147483648]}');
SELECT qv_int4set_min('x', '{1}');
SELECT qv_int4set_is_canonical('x', '{{1,3}}');
-- multiranges (14 on) and the row estimate of a constant set (12 on)
SELECT current_setting('server_version_num')::int >= 140000 AS has_multirange \gset
\if :has_multirange
SELECT qv_int4set_multirange('r', '{1,3,7,9,20,2147483647}') AS canonical,
       qv_int4set_multirange('r', '{7,9,1,3,4,4,-2147483648,-2147483648}') AS normalised,
       qv_int4set_multirange('m', '{7,-2147483645,5,10,-2147482648,1002}') AS mix,
       qv_int4set_multirange(qv_int4set2bitfield_int4('s', '{1,2,4}')) AS bitfield,
       qv_int4set_multirange(qv_range_pack(5, 2147483647)) AS packed;
SELECT qv_int4multirange2rangearray('{[1,4),[7,10),[20,)}') AS ranges,
       qv_int4multirange2rangearray('{(,0]}') AS unbounded_below,
       qv_int4multirange2rangearray('{}') AS empty;
-- written in the stored layout: equal to the server's own, for every stride
SELECT bool_and(m = built AND m::text = built::text AND qv_int4multirange2rangearray(m)::text = r::text) AS same
FROM (SELECT r, qv_int4set_multirange('r', r) AS m,
             (SELECT coalesce(range_agg(int4range(r[i], r[i + 1], '[]')), '{}')
              FROM generate_series(1, coalesce(array_length(r, 1), 0), 2) AS i) AS built
      FROM (SELECT array(SELECT x FROM generate_series(1, k) AS g,
                         LATERAL (VALUES (10 * g), (10 * g + g % 3)) AS v(x)) AS r
            FROM generate_series(0, 11) AS k) AS q) AS t;
CREATE FUNCTION pg_temp.plan_rows(q text) RETURNS text LANGUAGE plpgsql AS $$
DECLARE plan json;
BEGIN
    EXECUTE 'EXPLAIN (FORMAT JSON) ' || q INTO plan;
    RETURN plan -> 0 -> 'Plan' ->> 'Plan Rows';
END $$;
SELECT pg_temp.plan_rows($$SELECT * FROM qv_int4set_values('r', '{1,300}')$$) AS values,
       pg_temp.plan_rows($$SELECT * FROM qv_int4set_ranges(qv_range_pack(1, 9))$$) AS packed,
       pg_temp.plan_rows($$SELECT * FROM qv_int4set_ranges('m', '{6,-2147483647,3,5,-2147483641,8}')$$) AS mix,
       pg_temp.plan_rows($$SELECT * FROM qv_int4set_ranges('r', '{1}')$$) AS refused;
\endif
