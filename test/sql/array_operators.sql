-- Built-in array operators keep their meaning once the extension is loaded:
-- on an int4[] column, an untyped literal or an unknown-typed parameter on
-- either side resolves to the built-in operator, never to one of ours.

CREATE TABLE arr (id int, a int4[]);
INSERT INTO arr VALUES (1, '{1,2,3}'), (2, '{2,5}'), (3, '{}'), (4, NULL), (5, '{1,2}'), (6, '{7}');

-- Runs the predicate (or expression) with the literal untyped, then through a
-- statement prepared with an unknown parameter, and compares both with the
-- same query whose literal is typed int4[].  Shows the rows of the typed
-- query and whether the untyped forms returned the same.
CREATE FUNCTION pg_temp.untyped(expr text, literal text,
                                OUT typed text, OUT as_literal bool, OUT as_parameter bool)
LANGUAGE plpgsql AS $$
DECLARE
    query text := 'SELECT string_agg(id || '':'' || coalesce((%s)::text, ''null''), '' '' ORDER BY id) FROM arr';
    got text;
BEGIN
    EXECUTE format(query, replace(expr, '$', quote_literal(literal) || '::int4[]')) INTO typed;
    EXECUTE format(query, replace(expr, '$', quote_literal(literal))) INTO got;
    as_literal := got IS NOT DISTINCT FROM typed;
    EXECUTE format('PREPARE qv_untyped(unknown) AS ' || query, replace(expr, '$', '$1'));
    EXECUTE format('EXECUTE qv_untyped(%s)', quote_literal(literal)) INTO got;
    DEALLOCATE qv_untyped;
    as_parameter := got IS NOT DISTINCT FROM typed;
END $$;

SELECT expr, (pg_temp.untyped(expr, '{1,2}')).* FROM (VALUES
    ('$ <@ a'), ('a <@ $'),
    ('$ @> a'), ('a @> $'),
    ('$ && a'), ('a && $'),
    ('$ = a'), ('a = $'),
    ('$ <> a'), ('a <> $'),
    ('$ || a'), ('a || $')
) AS q (expr);

-- Our operators on int4[] sets have symbols of their own; an untyped set
-- resolves to them, on either side.
SELECT 5 <<@ '{1,3,5,9}' AS value_in_set, '{1,3,5,9}' @>> 4 AS set_holds_value,
       qv_range_pack(4, 6) &&& '{1,3,5,9}' AS packed_overlaps_set,
       '{1,3,7,9}' &&& qv_range_pack(4, 6) AS set_overlaps_packed,
       qv_int4set2bitfield_int4('r', '{0,0,7,7}') @> 7 AS bitfield_holds_value;
