
-- reading sets: rows, text, cardinality, bounds, canonical form, conversions

-- Each function below is declared once per way of giving a set: kind and
-- int4[] for the scalar, range and mix arrays, bytea for the bitfield, int8
-- for the packed range.  One C entry point serves each declaration
-- (qv_int4set_*, qv_bitfield_*, qv_rangepacked_*).  COST in units of a cheap
-- built-in call (int4larger), measured on stored sets of 100 ranges by the
-- last table of bench/15_sets_as_rows.sql; per row for the two
-- set-returning functions.
-- The multirange conversion exists where the server has int4multirange (14
-- on); the rows estimate of a constant set where the server has planner
-- support functions (12 on).
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
                ('ranges', ', OUT lower int4, OUT upper int4', 'SETOF record', 'ROWS 100', 1, 0,
                 'the ranges of %s as (lower, upper) rows, as the encoding holds them'),
                ('values', '', 'SETOF int4', 'ROWS 1000', 1, 0,
                 'the values of %s as rows, each range''s values ascending, ranges as stored'),
                ('text', '', 'text', '', 10, 0,
                 'the text of %s in the notation {[lower;upper],...}, ranges as stored'),
                ('cardinality', '', 'int8', '', 5, 0,
                 'the number of values of %s (the ranges as stored summed)'),
                ('min', '', 'int4', '', 5, 0,
                 'the least value of %s; null for the empty set'),
                ('max', '', 'int4', '', 5, 0,
                 'the greatest value of %s; null for the empty set'),
                ('is_canonical', '', 'bool', '', 5, 0,
                 'whether %s is stored in the canonical form of its encoding'),
                ('multirange', '', 'int4multirange', '', 5, 140000,
                 'the int4multirange of %s ([x; 2147483647] becomes [x,))'))
                AS v(name, outargs, returns, rows, cost, since, comment)
        LOOP
            CONTINUE WHEN current_setting('server_version_num')::int < f.since;
            signature := format('qv_int4set_%s(%s)', f.name, form.args);
            EXECUTE format('CREATE FUNCTION qv_int4set_%s(%s%s) RETURNS %s AS %L, %L '
                           'LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST %s %s',
                           f.name, form.args, f.outargs, f.returns, 'MODULE_PATHNAME',
                           format('qv_%s_%s', form.symbol, f.name), f.cost, f.rows);
            EXECUTE format('COMMENT ON FUNCTION %s IS %L', signature, format(f.comment, form.what));
        END LOOP;
    END LOOP;

    IF current_setting('server_version_num')::int >= 120000 THEN
        CREATE FUNCTION qv_int4set_rows_support(internal)
        RETURNS internal
        AS 'MODULE_PATHNAME', 'qv_int4set_rows_support'
        LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
        COMMENT ON FUNCTION qv_int4set_rows_support(internal) IS
        'planner support of qv_int4set_ranges and qv_int4set_values: the row count of a constant set';
        FOR signature IN SELECT format('qv_int4set_%s(%s)', n, a)
                FROM unnest(ARRAY['ranges', 'values']) AS n,
                     unnest(ARRAY['"char", int4[]', 'bytea', 'int8']) AS a
        LOOP
            EXECUTE format('ALTER FUNCTION %s SUPPORT qv_int4set_rows_support', signature);
        END LOOP;
    END IF;

    IF current_setting('server_version_num')::int >= 140000 THEN
        CREATE FUNCTION qv_int4multirange2rangearray(int4multirange)
        RETURNS int4[]
        AS 'MODULE_PATHNAME', 'qv_int4multirange2rangearray'
        LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 5;
        COMMENT ON FUNCTION qv_int4multirange2rangearray(int4multirange) IS
        'the ranges of an int4multirange as a range array (unbounded ends become the int4 extremes)';
    END IF;
END $$;

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
