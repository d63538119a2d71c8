
-- reading sets: rows, text, cardinality, bounds, canonical form, conversions

-- Each function below is declared once per way of giving a set: kind and
-- int4[] for the scalar, range and mix arrays, bytea for the bitfield, int8
-- for the packed range.  One C entry point serves each declaration
-- (qv_int4set_*, qv_bitfield_*, qv_rangepacked_*).  COST in units of a cheap
-- built-in call (int4larger), measured on stored sets of 100 ranges by the
-- last table of bench/15_sets_as_rows.sql; per row for the two
-- set-returning functions.
-- The multirange conversions (where the server has int4multirange, 14 on)
-- are created by qv_repair_catalog(), which also attaches the rows estimate
-- of a constant set where the server has planner support functions (12 on).
DO $$
DECLARE
    form record;
    f record;
    signature text;
BEGIN
    FOR form IN SELECT * FROM (VALUES
            ('int4set', 'kind "char", set int4[]', 'a set given as a scalar (''s''), range (''r'') or mix (''m'') array'),
            ('bitfield', 'set bytea', 'a bitfield'),
            ('rangepacked', 'set int8', 'a packed range')) AS v(symbol, args, what)
    LOOP
        FOR f IN SELECT * FROM (VALUES
                ('ranges', ', OUT lower int4, OUT upper int4', 'SETOF record', 'ROWS 100', 1,
                 'the ranges of %s as (lower, upper) rows, as the encoding holds them'),
                ('values', '', 'SETOF int4', 'ROWS 1000', 1,
                 'the values of %s as rows, each range''s values ascending, ranges as stored'),
                ('text', '', 'text', '', 10,
                 'the text of %s in the notation {[lower;upper],...}, ranges as stored'),
                ('cardinality', '', 'int8', '', 5,
                 'the number of values of %s (the ranges as stored summed)'),
                ('min', '', 'int4', '', 5,
                 'the least value of %s; null for the empty set'),
                ('max', '', 'int4', '', 5,
                 'the greatest value of %s; null for the empty set'),
                ('is_canonical', '', 'bool', '', 5,
                 'whether %s is stored in the canonical form of its encoding'))
                AS v(name, outargs, returns, rows, cost, comment)
        LOOP
            signature := format('qv_int4set_%s(%s)', f.name, form.args);
            EXECUTE format('CREATE FUNCTION qv_int4set_%s(%s%s) RETURNS %s AS %L, %L '
                           'LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST %s %s',
                           f.name, form.args, f.outargs, f.returns, 'MODULE_PATHNAME',
                           format('qv_%s_%s', form.symbol, f.name), f.cost, f.rows);
            EXECUTE format('COMMENT ON FUNCTION %s IS %L', signature, format(f.comment, form.what));
        END LOOP;
    END LOOP;
END $$;

CREATE FUNCTION qv_int4set_rows_support(internal)
RETURNS internal
AS 'MODULE_PATHNAME', 'qv_int4set_rows_support'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION qv_int4set_rows_support(internal) IS
'planner support of qv_int4set_ranges and qv_int4set_values: the row count of a constant set';

CREATE FUNCTION qv_int4set_from_text(text)
RETURNS int4[]
AS 'MODULE_PATHNAME', 'qv_int4set_from_text'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 15;

COMMENT ON FUNCTION qv_int4set_from_text(text) IS
'the range array written in the notation {[lower;upper],...}, ranges in the order given';

CREATE FUNCTION qv_int4set_normalize(kind "char", set int4[])
RETURNS int4[]
AS 'MODULE_PATHNAME', 'qv_int4set_normalize'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 10;

COMMENT ON FUNCTION qv_int4set_normalize("char", int4[]) IS
'the set in the canonical form of its array encoding: ranges sorted, overlapping and adjacent ones merged, empty ones dropped';

CREATE FUNCTION qv_bitfield2rangearray_int4(bytea)
RETURNS int4[]
AS 'MODULE_PATHNAME', 'qv_bitfield2rangearray_int4'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 5;

COMMENT ON FUNCTION qv_bitfield2rangearray_int4(bytea) IS
'the maximal runs of a bitfield as a range array';
