-- Tables of the load and crash tests: indexed int4 values and packed
-- ranges, and a ledger written in the same transactions, so that after a
-- crash the data tables must hold exactly what the ledger holds.
CREATE EXTENSION tarvox_range_operators;
CREATE SEQUENCE qv_ids;
CREATE TABLE qv_pts (id bigint PRIMARY KEY, v int4 NOT NULL);
-- a set derived from a row's span, as a range array: mostly two ranges
-- inside the span, sometimes empty, reversed or with a range repeated
CREATE FUNCTION qv_rel_set(id bigint, span int8) RETURNS int4[] LANGUAGE sql IMMUTABLE
RETURN CASE WHEN id % 20 = 0 THEN '{}'::int4[]
            WHEN id % 20 = 1 THEN ARRAY[qv_rangepacked_upper(span), qv_rangepacked_lower(span)]
            WHEN id % 20 = 2 THEN ARRAY[qv_rangepacked_lower(span), qv_rangepacked_upper(span),
                                        qv_rangepacked_lower(span), qv_rangepacked_upper(span)]
            WHEN qv_rangepacked_upper(span)::int8 - qv_rangepacked_lower(span) < 4
                 THEN ARRAY[qv_rangepacked_lower(span), qv_rangepacked_upper(span)]
            ELSE ARRAY[qv_rangepacked_lower(span),
                       (qv_rangepacked_lower(span) + (qv_rangepacked_upper(span)::int8 - qv_rangepacked_lower(span)) / 4)::int4,
                       (qv_rangepacked_lower(span) + (qv_rangepacked_upper(span)::int8 - qv_rangepacked_lower(span)) / 2)::int4,
                       qv_rangepacked_upper(span)] END;
CREATE TABLE qv_spans (id bigint PRIMARY KEY, span int8 NOT NULL,
                       s int4[] GENERATED ALWAYS AS (qv_rel_set(id, span)) STORED);
CREATE TABLE qv_ledger (id bigint PRIMARY KEY, v int4 NOT NULL, span int8 NOT NULL);
-- commits acknowledged to a client during the crash test
CREATE TABLE qv_acked (id bigint PRIMARY KEY);
-- disagreements seen by the load itself (index against sequential scan,
-- aggregate against its plain equivalent, in one snapshot)
CREATE TABLE qv_mismatch (what text, arg text, got text, expected text);

-- a value: mostly clustered, sometimes spread over the whole int4 domain,
-- at its ends, or one shared by many rows (splits of pages of equal keys)
CREATE FUNCTION qv_rel_value(r float8) RETURNS int4 LANGUAGE sql IMMUTABLE
RETURN CASE WHEN r < 0.02 THEN (-2147483648 + floor(r * 50 * 4294967295))::int4
            WHEN r < 0.03 THEN (CASE WHEN r < 0.025 THEN -2147483648 ELSE 2147483647 END)
            WHEN r < 0.1 THEN 42
            ELSE (floor((r - 0.03) * 2000000) - 1000000)::int4 END;

-- a range starting at a value, of width 0 to about w, kept inside int4
CREATE FUNCTION qv_rel_span(lo int4, w int8) RETURNS int8 LANGUAGE sql IMMUTABLE
RETURN qv_range_pack(lo, least(lo::int8 + w, 2147483647)::int4);

SELECT setseed(0.25);
INSERT INTO qv_ledger
SELECT id, v, qv_rel_span(v, (random() ^ 4 * 100000)::int8)
FROM (SELECT nextval('qv_ids') AS id, qv_rel_value(random()) AS v
      FROM generate_series(1, :rows)) s;
INSERT INTO qv_pts SELECT id, v FROM qv_ledger;
INSERT INTO qv_spans SELECT id, span FROM qv_ledger;
CREATE INDEX qv_pts_v ON qv_pts USING gist (v qv_gist_range_int4_ops);
CREATE INDEX qv_spans_span ON qv_spans USING gist (span qv_gist_range_int8_ops);
CREATE INDEX qv_spans_s ON qv_spans USING gist (s qv_gist_rangearray_ops);
ALTER TABLE qv_pts SET (autovacuum_vacuum_scale_factor = 0.05);
ALTER TABLE qv_spans SET (autovacuum_vacuum_scale_factor = 0.05);
VACUUM ANALYZE;

-- a multirange as a range array (bounds as int8): the reference of unions
CREATE FUNCTION qv_rel_flat(m int8multirange) RETURNS int8[] LANGUAGE sql IMMUTABLE PARALLEL SAFE
RETURN coalesce((SELECT array_agg(b ORDER BY o, j)
                 FROM unnest(m) WITH ORDINALITY u(r, o),
                      LATERAL (VALUES (1, lower(r)), (2, upper(r) - 1)) t(j, b)), '{}');

-- Search k (1 to 13) of the load and the checks, one per operator of the
-- three classes: with a range array of [a; b] and [c; d] ([a; b] alone when
-- c is null), its bitfield, the packed range [a; b] or the value a.  Gives
-- the table, its indexed column, the index, the condition on the column and
-- an expression of the column that no index serves.
CREATE FUNCTION qv_rel_search(k int, a int8, b int8, c int8, d int8,
    OUT tbl text, OUT col text, OUT idx text, OUT cond text, OUT plain text)
LANGUAGE plpgsql IMMUTABLE AS $$
DECLARE
    arr text := CASE WHEN c IS NULL THEN format('ARRAY[%s, %s]::int4[]', a, b)
                     ELSE format('ARRAY[%s, %s, %s, %s]::int4[]', a, b, c, d) END;
    packed text := format('qv_range_pack(%s, %s)', a, b);
BEGIN
    IF k <= 3 THEN tbl := 'qv_pts'; col := 'v'; ELSE tbl := 'qv_spans'; col := 'span'; END IF;
    IF k > 8 THEN col := 's'; END IF;
    idx := tbl || '_' || col;
    plain := CASE WHEN k > 8 THEN '(s || ''{}''::int4[])' ELSE col || ' + 0' END;
    cond := CASE k WHEN 1 THEN '<<@ ' || arr WHEN 2 THEN '<@ qv_int4set2bitfield_int4(''r'', ' || arr || ')'
                   WHEN 3 THEN '<@ ' || packed WHEN 4 THEN '&&& ' || arr WHEN 5 THEN '&& ' || packed
                   WHEN 6 THEN '<@ ' || packed WHEN 7 THEN '@> ' || packed WHEN 8 THEN '@> ' || a
                   WHEN 9 THEN format('@>> (%s)::int4', a) WHEN 10 THEN '&&& ' || packed
                   WHEN 11 THEN '&&& ' || arr WHEN 12 THEN '@>> ' || arr ELSE '<<@ ' || arr END;
END $$;

-- Search k answered in one statement (one snapshot) by the index, forced,
-- and by a filter the index cannot serve; a disagreement is recorded.
CREATE FUNCTION qv_rel_compare(k int, a int8, b int8, c int8, d int8) RETURNS void
LANGUAGE plpgsql AS $$
DECLARE
    s record;
BEGIN
    SELECT * INTO s FROM qv_rel_search(k, a, b, c, d);
    PERFORM set_config('enable_seqscan', 'off', true);
    EXECUTE format('INSERT INTO qv_mismatch SELECT %L, %L, i::text, f::text
                    FROM (SELECT count(*), sum(id) FROM %I WHERE %I %s) i,
                         (SELECT count(*), sum(id) FROM %I WHERE %s %s) f
                    WHERE i IS DISTINCT FROM f',
                   s.col, s.cond, s.tbl, s.col, s.cond, s.tbl, s.plain, s.cond);
END $$;
