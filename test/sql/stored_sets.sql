-- Sets stored out of line are read once per call site and reused while the
-- same stored value comes back: the answers must follow every change of
-- value, row, column or kind of argument.
SET enable_mergejoin = off;

-- Set 1 holds 4i, set 2 holds 4i + 2 (i < 4000): the same size, no shared
-- value.  ranges, bits and other (the other row's set) are stored out of
-- line uncompressed, packed out of line compressed.
CREATE FUNCTION stored_set(first int) RETURNS int4[] LANGUAGE sql IMMUTABLE AS $$
    SELECT array_agg(4 * i + first ORDER BY i, k) FROM generate_series(0, 3999) AS i, generate_series(1, 2) AS k
$$;
CREATE TABLE stored_sets (id int PRIMARY KEY, ranges int4[], bits bytea, packed int4[], other int4[]);
ALTER TABLE stored_sets ALTER ranges SET STORAGE EXTERNAL, ALTER bits SET STORAGE EXTERNAL,
                        ALTER other SET STORAGE EXTERNAL;
INSERT INTO stored_sets
SELECT id, stored_set(2 * id - 2), qv_int4set2bitfield_int4('r', stored_set(2 * id - 2)),
       stored_set(2 * id - 2), stored_set(4 - 2 * id) FROM (VALUES (1), (2)) AS t(id);
SELECT id, pg_column_size(ranges) > 32000 AS ranges_whole, pg_column_size(bits) > 2000 AS bits_whole,
       pg_column_size(packed) BETWEEN 2100 AND 16000 AS packed_compressed FROM stored_sets ORDER BY id;

-- Probe n meets set n % 2 + 1: the rows alternate between the sets, and
-- the answers go in, in, out, out.
CREATE TABLE stored_probes AS SELECT n, n + n % 2 AS v, n % 2 + 1 AS id FROM generate_series(0, 399) AS n;

-- The query q yields (v, e, ranges, bits, packed): three copies of one set
-- and whether v belongs to it.  Lists the functions whose answer differs
-- from e on some row, with the count of such rows: none is expected.
CREATE FUNCTION stored_check(q text) RETURNS TABLE (fn text, wrong bigint) LANGUAGE plpgsql AS $$
BEGIN
    RETURN QUERY EXECUTE format($f$
        SELECT fn, count(*) FILTER (WHERE answer IS DISTINCT FROM e)
        FROM (SELECT e, ARRAY[
                  qv_int4_in_rangearray(v, ranges),
                  qv_int4_in_rangearray(v, packed),
                  qv_int4rangepacked_in_rangearray(qv_range_pack(v, v), ranges),
                  qv_int4_in_rangebitfield(v, bits),
                  qv_int4rangepacked_in_rangebitfield(qv_range_pack(v, v), bits),
                  qv_int4range_overlap_rangearray(ranges, ARRAY[v, v]),
                  qv_int4set_overlap_bitfield('s', ARRAY[v], bits),
                  qv_int4set_included_in_bitfield('r', ARRAY[v, v], bits),
                  qv_int4range_is_overlap(ARRAY[v, v], ranges),
                  qv_int4range_is_strictly_include(ARRAY[v, v], packed),
                  qv_int4range_intersection(ranges, ARRAY[v, v]) = ARRAY[v, v],
                  array_length(qv_int4range_exclusion(packed, ARRAY[v, v]), 1) < 8000,
                  qv_int4range_union(ranges, ARRAY[v, v]) = ranges,
                  qv_int4range_intersection(ranges, packed) = packed AND qv_int4_in_rangearray(v, ranges)] AS answers
              FROM (%s) AS q(v, e, ranges, bits, packed)) AS r,
             unnest(ARRAY['in_rangearray', 'in_rangearray, compressed', 'packed_in_rangearray',
                          'in_rangebitfield', 'packed_in_rangebitfield', 'overlap_rangearray',
                          'set_overlap_bitfield', 'set_included_in_bitfield', 'is_overlap',
                          'is_strictly_include, compressed', 'intersection', 'exclusion, compressed',
                          'union', 'two stored'], answers) AS t(fn, answer)
        GROUP BY fn HAVING count(*) FILTER (WHERE answer IS DISTINCT FROM e) <> 0 ORDER BY fn $f$, q);
END
$$;
-- joined in; as a correlated sub-select
SELECT * FROM stored_check($$SELECT v, v % 4 = 2 * s.id - 2, s.ranges, s.bits, s.packed
                             FROM stored_probes p JOIN stored_sets s ON s.id = p.id$$);
SELECT * FROM stored_check($$SELECT v, v % 4 = 2 * p.id - 2,
                                    (SELECT ranges FROM stored_sets s WHERE s.id = p.id),
                                    (SELECT bits FROM stored_sets s WHERE s.id = p.id),
                                    (SELECT packed FROM stored_sets s WHERE s.id = p.id)
                             FROM stored_probes p$$);
-- at the same call site: a copy in memory, another column (holding the
-- other set), the same columns swapped
SELECT * FROM stored_check($$SELECT v, CASE WHEN v % 3 = 1 THEN v % 4 = 4 - 2 * s.id ELSE v % 4 = 2 * s.id - 2 END,
                                    CASE v % 3 WHEN 0 THEN s.ranges[1:8000] WHEN 1 THEN s.other ELSE s.packed END,
                                    CASE v % 3 WHEN 0 THEN s.bits || '\x'::bytea
                                               WHEN 1 THEN qv_int4set2bitfield_int4('r', s.other) ELSE s.bits END,
                                    CASE v % 3 WHEN 0 THEN s.packed WHEN 1 THEN s.other ELSE s.ranges END
                             FROM stored_probes p JOIN stored_sets s ON s.id = p.id$$);

-- The sets trade places between statements, and back inside one transaction.
UPDATE stored_sets SET ranges = other, bits = qv_int4set2bitfield_int4('r', other), packed = other, other = ranges;
SELECT * FROM stored_check($$SELECT v, v % 4 = 4 - 2 * s.id, s.ranges, s.bits, s.packed
                             FROM stored_probes p JOIN stored_sets s ON s.id = p.id$$);
BEGIN;
UPDATE stored_sets SET ranges = other, bits = qv_int4set2bitfield_int4('r', other), packed = other, other = ranges;
SELECT * FROM stored_check($$SELECT v, v % 4 = 2 * s.id - 2, s.ranges, s.bits, s.packed
                             FROM stored_probes p JOIN stored_sets s ON s.id = p.id$$);
COMMIT;

-- One call site across changes: each call stores set 1 or set 2 in row 3
-- (a new stored value every time) and reads it back.
INSERT INTO stored_sets VALUES (3, '{}', '\x00000000ffffffff', '{}', '{}');
CREATE FUNCTION store_and_read(first int) RETURNS int4[] LANGUAGE sql VOLATILE AS $$
    UPDATE stored_sets SET ranges = stored_set(first) WHERE id = 3;
    SELECT ranges FROM stored_sets WHERE id = 3
$$;
SELECT count(*) FILTER (WHERE qv_int4_in_rangearray(v, store_and_read(n / 3 % 2 * 2)) IS DISTINCT FROM
                              (v % 4 = n / 3 % 2 * 2)) AS wrong
FROM stored_probes WHERE n < 60;

-- A big stored set out of form (12001 put out of order after 400) against a
-- one-range set: the answers are the step-by-step walks' (which meet 12001
-- early), on every call, whether the stored copy's form is new or known,
-- and for a copy in memory; set 1 (in form) gives false, false, {}.
CREATE TABLE stored_forms (id int, big int4[]);
ALTER TABLE stored_forms ALTER big SET STORAGE EXTERNAL;
INSERT INTO stored_forms VALUES (1, stored_set(0)),
    (2, (stored_set(0))[1:202] || ARRAY[12001, 12001] || (stored_set(0))[203:8000]);
SELECT f.id, n % 2 = 1 AS in_memory, count(*) AS calls,
       qv_int4range_is_overlap('{12001,12001}', arg) AS overlap,
       qv_int4range_is_strictly_include('{12001,12001}', arg) AS include,
       qv_int4range_intersection('{12001,12001}', arg) AS intersection
FROM stored_probes p
JOIN stored_forms f ON f.id = p.n / 3 % 2 + 1,
LATERAL (SELECT CASE WHEN p.n % 2 = 0 THEN f.big ELSE f.big[1:8002] END) AS b(arg)
WHERE p.n < 24 GROUP BY 1, 2, 4, 5, 6 ORDER BY 1, 2;
DROP TABLE stored_forms;

DROP FUNCTION store_and_read(int);
DROP FUNCTION stored_check(text);
DROP FUNCTION stored_set(int);
DROP TABLE stored_sets, stored_probes;
