
-- Commutators of the membership operators: the set on the left, the value or
-- packed range on the right.  The planner commutes them for the GiST classes,
-- so an index serves both spellings.  Each links itself to its twin.

CREATE FUNCTION qv_rangearray_contains_int4(int4[], int4)
RETURNS bool
AS 'MODULE_PATHNAME', 'qv_rangearray_contains_int4'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 5;

COMMENT ON FUNCTION qv_rangearray_contains_int4(int4[], int4) IS
'whether the set given as a range array holds the value';

CREATE FUNCTION qv_rangebitfield_contains_int4(bytea, int4)
RETURNS bool
AS 'MODULE_PATHNAME', 'qv_rangebitfield_contains_int4'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 3;

COMMENT ON FUNCTION qv_rangebitfield_contains_int4(bytea, int4) IS
'whether the set given as a bitfield holds the value';

CREATE FUNCTION qv_rangearray_overlaps_int4rangepacked(int4[], int8)
RETURNS bool
AS 'MODULE_PATHNAME', 'qv_rangearray_overlaps_int4rangepacked'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE COST 5;

COMMENT ON FUNCTION qv_rangearray_overlaps_int4rangepacked(int4[], int8) IS
'whether some range of the range array overlaps the packed range';

CREATE OPERATOR @>> (
    LEFTARG = int4[], RIGHTARG = int4, PROCEDURE = qv_rangearray_contains_int4,
    COMMUTATOR = <<@, RESTRICT = qv_set_overlap_sel, JOIN = qv_set_overlap_joinsel
);
COMMENT ON OPERATOR @>> (int4[], int4) IS 'the set given as a range array holds the value';

CREATE OPERATOR @> (
    LEFTARG = bytea, RIGHTARG = int4, PROCEDURE = qv_rangebitfield_contains_int4,
    COMMUTATOR = <@, RESTRICT = qv_set_overlap_sel, JOIN = qv_set_overlap_joinsel
);
COMMENT ON OPERATOR @> (bytea, int4) IS 'the set given as a bitfield holds the value';

CREATE OPERATOR &&& (
    LEFTARG = int4[], RIGHTARG = int8, PROCEDURE = qv_rangearray_overlaps_int4rangepacked,
    COMMUTATOR = &&&, RESTRICT = qv_set_overlap_sel, JOIN = qv_set_overlap_joinsel
);
COMMENT ON OPERATOR &&& (int4[], int8) IS 'the set given as a range array overlaps the packed range';
