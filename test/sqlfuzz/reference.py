"""Reference model of the SQL fuzzer: what a call must yield, for the
arguments where the result is defined (canonical sets, valid encodings).

checker(sig, args) and aggregate_checker(sig, rows) return a function of
the call's outcome, ('ok', row) or ('error', sqlstate), that returns a
description of a mismatch or None.  row is (value, cardinality or length,
ndims, lower bound, is null) as the fuzzer's wrapper query returns it.
"""
import math
import struct
import sys

INT_MIN, INT_MAX = -2 ** 31, 2 ** 31 - 1
# Expected results past this many elements are not built.
MAX_MODEL = 200000


class NoOpinion(Exception):
    """Raised by a model for arguments whose result is not defined."""


def i32(v):
    v &= 0xffffffff
    return v - (1 << 32) if v & 0x80000000 else v


class PatternA5:
    """Members of a bitfield whose bytes are all 0xa5, from lower on."""

    def __init__(self, lower):
        self.lower = lower

    def __contains__(self, v):
        return (v - self.lower) & 7 in (0, 2, 5, 7)


# ---- sets as canonical range lists -----------------------------------------

def is_canonical(ranges):
    for k, (lo, hi) in enumerate(ranges):
        if lo > hi or (k and lo <= ranges[k - 1][1] + 1):
            return False
    return True


def normalize(ranges):
    out = []
    for lo, hi in sorted(r for r in ranges if r[0] <= r[1]):
        if out and lo <= out[-1][1] + 1:
            out[-1][1] = max(out[-1][1], hi)
        else:
            out.append([lo, hi])
    return [tuple(r) for r in out]


def union(a, b):
    return normalize(list(a) + list(b))


def intersection(a, b):
    out, i, j = [], 0, 0
    while i < len(a) and j < len(b):
        lo, hi = max(a[i][0], b[j][0]), min(a[i][1], b[j][1])
        if lo <= hi:
            out.append((lo, hi))
        if a[i][1] < b[j][1]:
            i += 1
        else:
            j += 1
    return out


def exclusion(a, b):
    complement = []
    cur = INT_MIN
    for lo, hi in b:
        if lo > cur:
            complement.append((cur, lo - 1))
        cur = hi + 1
    if cur <= INT_MAX:
        complement.append((cur, INT_MAX))
    return intersection(a, complement)


def pairs(values):
    return [(values[2 * i], values[2 * i + 1]) for i in range(len(values) // 2)]


def flat(ranges):
    return [b for r in ranges for b in r]


def count(ranges):
    return sum(hi - lo + 1 for lo, hi in ranges)


def expand(ranges):
    if count(ranges) > MAX_MODEL:
        raise NoOpinion
    return [v for lo, hi in ranges for v in range(lo, hi + 1)]


def mix_from_ranges(ranges):
    if not ranges:
        return []
    body = []
    for lo, hi in ranges:
        body += [lo] if lo == hi else [i32(lo | 0x80000000), hi]
    return [i32(count(ranges))] + body


def mix_items(body):
    """Items of a mix body as stored; NoOpinion for a dangling opening."""
    items, i = [], 0
    while i < len(body):
        v = body[i]
        if v < 0:
            if i + 1 >= len(body):
                raise NoOpinion
            items.append((v & 0x7fffffff, body[i + 1]))
            i += 2
        else:
            items.append((v, v))
            i += 1
    return items


def mix_items_until_dangling(body):
    """Items of a mix body; None in place of a range without upper bound."""
    try:
        return mix_items(body)
    except NoOpinion:
        return mix_items(body[:-1]) + [None]


# ---- argument reading -----------------------------------------------------

def elements(arg):
    """Elements of an int4[] by the shape rule: [] for malformed shapes."""
    if 'shape-nothing' in arg.tags:
        return []
    if 'wrong-elem' in arg.tags or arg.py is None:
        raise NoOpinion
    return list(arg.py)


def range_set(arg, odd_state='42804'):
    """The canonical set of a range-array argument; raises Expect for odd counts."""
    e = elements(arg)
    if len(e) % 2:
        raise Expect(('error', {odd_state}))
    rs = pairs(e)
    if not is_canonical(rs):
        raise NoOpinion
    return rs


def sorted_disjoint(items):
    return all(lo <= hi for lo, hi in items) and all(
        items[k][0] > items[k - 1][1] for k in range(1, len(items)))


def any_set(kind, arg):
    """The set held by an array in encoding kind, when well formed (sorted)."""
    e = elements(arg)
    if kind == 'r':
        if len(e) % 2 or not is_canonical(pairs(e)):
            raise NoOpinion
        return pairs(e)
    if kind == 's':
        if e != sorted(e):
            raise NoOpinion
        return normalize([(v, v) for v in e])
    if kind == 'm':
        if len(e) < 2:
            return []
        items = mix_items(e[1:])
        if not sorted_disjoint(items):
            raise NoOpinion
        return normalize(items)
    raise NoOpinion


def bitfield(arg):
    if arg.py is None:
        raise Expect(('error', {'22023'}))
    return arg.py


class Expect(Exception):
    def __init__(self, outcome):
        Exception.__init__(self)
        self.outcome = outcome


def value(v):
    raise Expect(('value', v))


def null_result():
    raise Expect(('value', None))


# ---- models of the functions ------------------------------------------------

def unpack(p):
    return i32(p), p >> 32


def m_in_rangearray(x, a):
    e = elements(a)
    rs = pairs(e)
    if not is_canonical(rs):
        raise NoOpinion
    value(any(lo <= x.py <= hi for lo, hi in rs))


def binary_set(name, a, b):
    if name == 'qv_int4range_union':
        if a.null and b.null:
            null_result()
        if a.null or b.null:
            present = b if a.null else a
            e = elements(present)
            if len(e) % 2:
                raise Expect(('error', {'42804'}))
            value(e)
    if name == 'qv_int4range_intersection' and (a.null or b.null):
        null_result()
    if name == 'qv_int4range_exclusion':
        if a.null:
            null_result()
        if b.null:
            e = elements(a)
            if len(e) % 2:
                raise Expect(('error', {'42804'}))
            value(e)
    if name in ('qv_int4range_is_strictly_include', 'qv_int4range_is_overlap') and (a.null or b.null):
        null_result()
    ea, eb = elements(a), elements(b)
    if len(ea) % 2 or len(eb) % 2:
        raise Expect(('error', {'42804'}))
    ra, rb = pairs(ea), pairs(eb)
    if not (is_canonical(ra) and is_canonical(rb)):
        raise NoOpinion
    if name == 'qv_int4range_union':
        value(flat(union(ra, rb)))
    if name == 'qv_int4range_intersection':
        value(flat(intersection(ra, rb)))
    if name == 'qv_int4range_exclusion':
        value(flat(exclusion(ra, rb)))
    if name == 'qv_int4range_is_overlap':
        value(bool(intersection(ra, rb)))
    if name == 'qv_int4range_is_strictly_include':
        value(bool(ra) and bool(rb) and intersection(ra, rb) == ra)


def m_overlap_rangearray(a, b):
    ra = range_set(a, '22023')
    rb = range_set(b, '22023')
    value(bool(intersection(ra, rb)))


def m_range_pack(*args):
    if len(args) == 1:
        a = args[0]
        if 'wrong-elem' in a.tags or 'shape-nothing' in a.tags or len(a.py) != 2:
            raise Expect(('error', {'22023'}))
        lo, hi = a.py
    else:
        lo, hi = args[0].py, args[1].py
    if lo > hi:
        raise Expect(('error', {'22023'}))
    value((hi << 32) | (lo & 0xffffffff))


def m_packed(name, args):
    if name == 'qv_rangepacked_lower':
        value(unpack(args[0].py)[0])
    if name == 'qv_rangepacked_upper':
        value(unpack(args[0].py)[1])
    if name == 'qv_int4_in_packedrange':
        lo, hi = unpack(args[1].py)
        value(lo <= args[0].py <= hi)
    if name == 'qv_int4rangepacked_contains_int4':
        lo, hi = unpack(args[0].py)
        value(lo <= args[1].py <= hi)
    al, au = unpack(args[0].py)
    bl, bu = unpack(args[1].py)
    if name == 'qv_int4rangepacked_in_int4rangepacked':
        value(al <= bu and bl <= au)
    if name == 'qv_int4rangepacked_included_in_int4rangepacked':
        value(bl <= al and au <= bu)
    if name == 'qv_int4rangepacked_contains_int4rangepacked':
        value(al <= bl and bu <= au)


def m_packed_in_rangearray(p, a):
    rs = range_set(a, '22023')
    lo, hi = unpack(p.py)
    if lo > hi:
        raise NoOpinion
    value(bool(intersection([(lo, hi)], rs)))


def m_in_rangebitfield(v, b):
    lower, upper, members = bitfield(b)
    value(lower <= v.py <= upper and v.py in members)


def m_packed_in_rangebitfield(p, b):
    lower, upper, members = bitfield(b)
    lo, hi = unpack(p.py)
    if lo > hi:
        raise NoOpinion
    lo, hi = max(lo, lower), min(hi, upper)
    if hi - lo > MAX_MODEL:
        raise NoOpinion
    value(any(v in members for v in range(lo, hi + 1)))


def m_set_bitfield(name, kind, a, b):
    if kind.py not in ('r', 's', 'm'):
        raise Expect(('error', {'22015'}))
    if 'wrong-elem' in a.tags:
        raise Expect(('error', {'22023'}))
    if not elements(a):
        value(False)  # an empty set decides before the bitfield is read
    rs = any_set(kind.py, a)
    if kind.py == 'm' and len(elements(a)) == 1:
        raise NoOpinion  # header only: its least and greatest count as 0
    lower, upper, members = bitfield(b)
    if count(rs) > MAX_MODEL:
        raise NoOpinion
    vals = [v for lo, hi in rs for v in range(lo, hi + 1)]
    inside = [lower <= v <= upper and v in members for v in vals]
    if name == 'qv_int4set_overlap_bitfield':
        value(any(inside))
    if not vals:
        raise NoOpinion
    value(all(inside))


def m_setconv(src, a, dst):
    if src.null:
        null_result()
    if src.py not in ('r', 's', 'm') or dst.py not in ('r', 's', 'm'):
        raise Expect(('error', {'22015'}))
    if 'wrong-elem' in a.tags:
        raise Expect(('error', {'22023'}))
    if src.py == dst.py:
        raise Expect(('error', {'22P03'}))
    e = elements(a)
    pair = src.py + dst.py
    if dst.py == 'm' and any(v < 0 for v in e):
        raise NoOpinion  # negative values have no mix form: written or refused
    if pair in ('sr', 'sm'):
        if any(e[i] < e[i - 1] for i in range(1, len(e))):
            raise Expect(('error', {'22015'}))
        rs = normalize([(v, v) for v in e])
        value(flat(rs) if pair == 'sr' else ([len(e)] + mix_from_ranges(rs)[1:] if e else []))
    if pair in ('rs', 'rm'):
        if len(e) % 2:
            raise Expect(('error', {'22P03'}))
        rs = pairs(e)
        if pair == 'rs':
            if count([r for r in rs if r[0] <= r[1]]) >= 2 ** 31:
                raise Expect(('error', {'22015', '53200'}))
            value(expand([r for r in rs if r[0] <= r[1]]))
        if not rs:
            value([])
        if any(lo > hi for lo, hi in rs):
            raise NoOpinion  # an inverted range: written as stored or skipped as empty
        body = []
        total = 0
        for lo, hi in rs:
            body += [hi] if lo == hi else [i32(lo | 0x80000000), hi]
            total += hi - lo + 1
        if total > INT_MAX:
            raise NoOpinion  # no header can count them: wrapped or refused
        value([i32(total)] + body)
    if not e:
        value([])
    items = mix_items(e[1:])
    if pair == 'mr':
        value(flat(items))
    n = sum(max(0, hi - lo + 1) for lo, hi in items)
    if n != e[0]:
        value([])
    value(expand([r for r in items if r[0] <= r[1]]))


def m_count(kind, a):
    if kind.py not in ('r', 's', 'm'):
        raise Expect(('error', {'22015'}))
    if 'shape-nothing' in a.tags or 'wrong-elem' in a.tags:
        raise NoOpinion
    e = elements(a)
    if kind.py == 's':
        value(len(e))
    if kind.py == 'm':
        value(e[0] if e else 0)
    if len(e) % 2:
        raise NoOpinion
    total = sum(hi - lo + 1 for lo, hi in pairs(e))
    if any(lo > hi for lo, hi in pairs(e)) or total > INT_MAX:
        raise NoOpinion  # wrapped or refused
    value(total)


def m_sort(a):
    if 'wrong-elem' in a.tags:
        raise Expect(('error', {'22023'}))
    value(sorted(elements(a)))


def m_floats(b):
    data = b.py
    if len(data) % 4:
        raise Expect(('error', {'22P03'}))
    raise Expect(('floats', list(struct.unpack('<%df' % (len(data) // 4), data))))


def check_bitfield_result(kind, a):
    if kind.py not in ('r', 's', 'm'):
        raise Expect(('error', {'22015'}))
    if 'wrong-elem' in a.tags:
        raise Expect(('error', {'22023'}))
    e = elements(a)
    if kind.py == 'm' and e and (e[0] == 0 or len(e) == 1):
        raise NoOpinion  # a zero header or a lone header decides the bounds
    rs = any_set(kind.py, a)
    raise Expect(('bitfield', rs))


# ---- reading sets: ranges as the encoding holds them ----------------------

READING = {'qv_int4set_ranges', 'qv_int4set_values', 'qv_int4set_text', 'qv_int4set_cardinality',
              'qv_int4set_min', 'qv_int4set_max', 'qv_int4set_is_canonical', 'qv_int4set_normalize',
              'qv_int4set_from_text', 'qv_bitfield2rangearray_int4'}


def scalar_runs(e):
    """Runs of elements each one above its predecessor, in stored order."""
    runs = []
    for v in e:
        if runs and runs[-1][1] + 1 == v:
            runs[-1][1] = v
        else:
            runs.append([v, v])
    return [tuple(r) for r in runs]


def bit_runs(b):
    lower, upper, members = b
    if not isinstance(members, set):
        raise NoOpinion
    return scalar_runs(sorted(members))


def stored_ranges(sig, args):
    """The ranges of a set argument as its encoding holds them; Expect for
    the errors of malformed ones."""
    if sig.args[0] == 'bytea':
        return bit_runs(bitfield(args[0]))
    if sig.args[0] == 'bigint':
        return [unpack(args[0].py)]
    kind, a = args
    if kind.py not in ('r', 's', 'm'):
        raise Expect(('error', {'22015'}))
    e = elements(a)
    if kind.py == 'r':
        if len(e) % 2:
            raise Expect(('error', {'42804'}))
        return pairs(e)
    if kind.py == 's':
        return scalar_runs(e)
    items = mix_items_until_dangling(e[1:])
    if items and items[-1] is None:
        raise Expect(('error', {'22P03'}))
    return items


def m_reading(name, sig, args):
    if name == 'qv_int4set_from_text':
        text = args[0].py
        if not isinstance(text, str) or not text.startswith('{') or not all(
                c in '{}[];,-0123456789' for c in text):
            raise NoOpinion
        body = text[1:-1]
        if not text.endswith('}') or (body and not (body.startswith('[') and body.endswith(']'))):
            raise NoOpinion
        try:
            ranges = [tuple(int(b) for b in r.split(';')) for r in body[1:-1].split('],[')] if body else []
        except ValueError:
            raise NoOpinion
        if any(len(r) != 2 for r in ranges):
            raise NoOpinion
        if any(not INT_MIN <= b <= INT_MAX for r in ranges for b in r):
            raise Expect(('error', {'22003'}))
        value(flat(ranges))
    if name == 'qv_int4set_is_canonical' and len(args) == 2 and 'shape-nothing' in args[1].tags:
        if args[0].py not in ('r', 's', 'm'):
            raise Expect(('error', {'22015'}))
        value('empty' in args[1].tags)
    ranges = stored_ranges(sig, args)
    held = [(lo, hi) for lo, hi in ranges if lo <= hi]
    if name == 'qv_int4set_ranges':
        value(['(%d,%d)' % r for r in ranges[:20000]])
    if name == 'qv_int4set_values':
        if count(held) > 20000:
            raise NoOpinion
        value([str(v) for lo, hi in ranges for v in range(lo, hi + 1)])
    if name == 'qv_int4set_text':
        value('{%s}' % ','.join('[%d;%d]' % r for r in ranges))
    if name == 'qv_int4set_cardinality':
        value(count(held))
    if name == 'qv_int4set_min':
        value(min(lo for lo, hi in held) if held else None)
    if name == 'qv_int4set_max':
        value(max(hi for lo, hi in held) if held else None)
    if name == 'qv_bitfield2rangearray_int4':
        value(flat(ranges))
    if name == 'qv_int4set_normalize':
        n = normalize(ranges)
        if args[0].py == 'r':
            value(flat(n))
        if args[0].py == 's':
            value(expand(n))
        if any(lo < 0 for lo, hi in n) or count(n) > INT_MAX:
            raise NoOpinion  # refused by the mix writer
        value(mix_from_ranges(n))
    if name == 'qv_int4set_is_canonical':
        if sig.args[0] == 'bigint':
            value(ranges[0][0] <= ranges[0][1])
        if sig.args[0] == 'bytea':
            lower, upper, members = bitfield(args[0])
            if not isinstance(members, set):
                raise NoOpinion
            if not members:
                value(lower == 0 and upper == -1)
            value(min(members) == lower and max(members) == upper)
        kind, e = args[0].py, elements(args[1])
        if kind == 's':
            value(all(e[i] < e[i + 1] for i in range(len(e) - 1)))
        if kind == 'r':
            value(is_canonical(ranges))
        if not e:
            value(True)
        value(bool(ranges) and is_canonical(ranges) and e[0] == count(ranges) and mix_pairs_wide(e[1:]))
    raise NoOpinion


def mix_pairs_wide(body):
    """Whether every two-element entry of a mix body spans two values at least."""
    i = 0
    while i < len(body):
        if body[i] < 0:
            if (body[i] & 0x7fffffff) >= body[i + 1]:
                return False
            i += 2
        else:
            i += 1
    return True


def function_model(sig, args):
    name = sig.name
    if name in READING:
        if any(a.null for a in args):
            if name in ('qv_int4set_ranges', 'qv_int4set_values'):
                value([])  # no rows
            null_result()
        m_reading(name, sig, args)
    if sig.strict and any(a.null for a in args):
        null_result()
    if name == 'qv_int4_in_rangearray':
        m_in_rangearray(*args)
    if name == 'qv_rangearray_contains_int4':
        m_in_rangearray(args[1], args[0])
    if name in ('qv_int4range_union', 'qv_int4range_intersection', 'qv_int4range_exclusion',
                'qv_int4range_is_strictly_include', 'qv_int4range_is_overlap'):
        binary_set(name, *args)
    if any(a.null for a in args):
        raise NoOpinion
    if name == 'qv_int4range_overlap_rangearray':
        m_overlap_rangearray(*args)
    if name == 'qv_range_pack':
        m_range_pack(*args)
    if name in ('qv_rangepacked_lower', 'qv_rangepacked_upper', 'qv_int4_in_packedrange',
                'qv_int4rangepacked_contains_int4', 'qv_int4rangepacked_in_int4rangepacked',
                'qv_int4rangepacked_included_in_int4rangepacked',
                'qv_int4rangepacked_contains_int4rangepacked'):
        m_packed(name, args)
    if name == 'qv_int4rangepacked_in_rangearray':
        m_packed_in_rangearray(*args)
    if name == 'qv_rangearray_overlaps_int4rangepacked':
        m_packed_in_rangearray(args[1], args[0])
    if name == 'qv_int4_in_rangebitfield':
        m_in_rangebitfield(*args)
    if name == 'qv_rangebitfield_contains_int4':
        m_in_rangebitfield(args[1], args[0])
    if name == 'qv_int4rangepacked_in_rangebitfield':
        m_packed_in_rangebitfield(*args)
    if name in ('qv_int4set_overlap_bitfield', 'qv_int4set_included_in_bitfield'):
        m_set_bitfield(name, *args)
    if name == 'qv_int4setconv_int4':
        m_setconv(*args)
    if name == 'qv_count_scalar_in_int4set':
        m_count(*args)
    if name == 'qv_sort_int4':
        m_sort(*args)
    if name == 'qv_bytea2floatarray':
        m_floats(*args)
    if name == 'qv_int4set2bitfield_int4':
        check_bitfield_result(*args)
    raise NoOpinion


# ---- aggregates -----------------------------------------------------------

def set_agg_row(row, variant_b, kind, nargs, optimized, domain):
    """The ranges one row adds; Expect for the error the row raises."""
    if variant_b:
        a = row[1]
        if a.null:
            return []
        e = elements(a)
        if kind == 's':
            items = [(v, v) for v in e]
        elif kind == 'r':
            if len(e) % 2:
                raise Expect(('error', {'22015'}))
            items = pairs(e)
        else:
            if len(e) < (2 if optimized else 1):
                return []
            # the items are read one by one: a range without upper bound is
            # found only after the items before it were taken
            items = mix_items_until_dangling(e[1:])
    else:
        single = nargs == (3 if optimized else 2)
        if single:
            if row[0].null:
                return []
            items = [(row[0].py, row[0].py)]
        else:
            if row[0].null or row[1].null:
                return []
            items = [(row[0].py, row[1].py)]
    out = []
    for item in items:
        if item is None:
            raise Expect(('error', {'22P03'}))
        lo, hi = item
        if lo > hi:
            continue  # an inverted pair holds no values
        if domain is not None and (lo < 0 or hi > domain):
            raise Expect(('error', {'22015'}))
        out.append((lo, hi))
    return out


def set_agg_rows(sig, rows, optimized):
    """The set an aggregate of the set-building family must build."""
    if not rows:
        value([])
    first = rows[0]
    variant_b = sig.args[0] == '"char"'
    nargs = len(first)
    if optimized:
        maxinput = first[-2]
        if maxinput.null or maxinput.py < 1:
            raise Expect(('error', {'22015'}))
        domain = 8 * (maxinput.py // 8 + 1) - 1
    else:
        domain = None
    out = first[-1].py
    if variant_b:
        kind = first[0].py
        if kind not in ('r', 's', 'm'):
            raise Expect(('error', {'22015'}))
    if out not in ('r', 's', 'm'):
        raise Expect(('error', {'22015'}))
    # a parallel plan reads the rows in any order, so the first failing row
    # is not known: every row's own failure is an acceptable outcome
    ranges, failures, unsure = [], set(), False
    for row in rows:
        try:
            ranges += set_agg_row(row, variant_b, kind if variant_b else None, nargs, optimized, domain)
        except Expect as e:
            failures |= e.outcome[1]
        except NoOpinion:
            unsure = True
    if unsure:
        raise NoOpinion
    if failures:
        raise Expect(('error', failures))
    rs = normalize(ranges)
    if out == 'r':
        value(flat(rs))
    if out == 's':
        value(expand(rs))
    if rs and rs[0][0] < 0:
        raise NoOpinion  # negative values have no mix form: written or refused
    if count(rs) > INT_MAX:
        raise NoOpinion  # no header can count them: wrapped or refused
    value(mix_from_ranges(rs))


def keep_single_rows(rows):
    """Null is a value of its own: it agrees only with null."""
    if not rows:
        null_result()
    if any('unsupported' in r[0].tags for r in rows):
        raise Expect(('error', {'22015'}))  # a non-null value of a type it cannot keep
    texts = {'NULL' if r[0].null else r[0].sql for r in rows}
    if len(texts) > 1:
        raise Expect(('error', {'22015'}))
    if rows[0][0].null:
        null_result()
    if 'float' in rows[0][0].tags:
        raise NoOpinion
    value(rows[0][0].py)


def range_op_rows(rows):
    groups = [[0, []]]

    def apply(op, operand):
        cur = groups[-1][1]
        if op == 1:
            groups[-1][1] = union(cur, operand)
        elif op == 2:
            groups[-1][1] = intersection(cur, operand)
        elif op == 3:
            groups[-1][1] = exclusion(cur, operand)
        else:
            raise Expect(('error', {'22023'}))

    def close():
        if len(groups) == 1:
            raise Expect(('error', {'22015'}))
        op, s = groups.pop()
        apply(op, s)

    for word, operand in rows:
        if word.null:
            raise Expect(('error', {'02000'}))
        if operand.null:
            continue
        w = word.py & 0xffff
        op, ncl, nop = w & 3, (w >> 2) & 127, (w >> 9) & 127
        for _ in range(ncl):
            close()
        for i in range(nop):
            if len(groups) == 6:
                raise Expect(('error', {'22023'}))
            groups.append([op if i == 0 else 1, []])
        e = elements(operand)
        if len(e) % 2:
            raise Expect(('error', {'42804'}))
        rs = pairs(e)
        if not is_canonical(rs):
            raise NoOpinion
        apply(1 if nop else op, rs)
    while len(groups) > 1:
        close()
    value(flat(groups[0][1]))


def aggregate_model(sig, rows):
    name = sig.name
    if name == 'qv_int4set_agg':
        set_agg_rows(sig, rows, False)
    if name == 'qv_int4set_agg_optimized':
        set_agg_rows(sig, rows, True)
    if name == 'qv_agg_keep_single':
        keep_single_rows(rows)
    if name == 'qv_int4range_op':
        range_op_rows(rows)
    raise NoOpinion


# ---- comparison -------------------------------------------------------------

def compare(expected, outcome):
    kind, got = outcome
    if expected[0] == 'error':
        if kind == 'error' and got in expected[1]:
            return None
        return 'expected an error %s, got %s' % ('/'.join(sorted(expected[1])), describe(outcome))
    if kind == 'error':
        return 'expected %s, got error %s' % (short(expected), got)
    v, length, ndims, lower, isnull = got
    if expected[0] == 'value':
        want = expected[1]
        if want is None:
            return None if isnull else 'expected NULL, got %s' % short(('value', v))
        if isnull:
            return 'expected %s, got NULL' % short(expected)
        if isinstance(want, list):
            problem = array_shape(length, ndims, lower)
            if problem:
                return problem
            if v is None:
                return None if length == len(want) else 'expected %d elements, got %s' % (len(want), length)
            return None if list(v) == want else 'expected %s, got %s' % (short(expected), short(('value', v)))
        return None if v == want else 'expected %r, got %r' % (want, v)
    if expected[0] == 'floats':
        if isnull:
            return 'expected floats, got NULL'
        want = expected[1]
        if v is None or len(v) != len(want):
            return 'expected %d floats, got %s' % (len(want), length)
        for a, b in zip(want, v):
            if math.isnan(a) != math.isnan(b) or (not math.isnan(a) and struct.pack('<f', a) != struct.pack('<f', b)):
                return 'expected float %r, got %r' % (a, b)
        return None
    if expected[0] == 'bitfield':
        if isnull or v is None:
            return None
        return check_bitfield(bytes(v), expected[1])
    return None


def check_bitfield(data, rs):
    if len(data) < 8:
        return 'bitfield shorter than its header: %d bytes' % len(data)
    lower, upper = struct.unpack('<ii', data[:8])
    n = (upper - lower + 1) & 0xffffffff
    if len(data) - 8 != 8 * ((n + 63) // 64):
        return 'bitfield [%d;%d] with %d data bytes breaks the size rule' % (lower, upper, len(data) - 8)
    if not rs:
        return None if (lower, upper) == (0, -1) else 'empty set written with bounds [%d;%d]' % (lower, upper)
    if (lower, upper) != (rs[0][0], rs[-1][1]):
        return 'bitfield bounds [%d;%d], expected [%d;%d]' % (lower, upper, rs[0][0], rs[-1][1])
    if count(rs) > MAX_MODEL:
        return None
    want = set(expand(rs))
    for k in range(upper - lower + 1):
        bit = bool(data[8 + (k >> 3)] & (0x80 >> (k & 7)))
        if bit != ((lower + k) in want):
            return 'bit of %d is %d' % (lower + k, bit)
    return None


def array_shape(length, ndims, lower):
    if ndims != 1:
        return 'array result with %s dimensions (expected one-dimensional)' % ndims
    if length and lower != 1:
        return 'array result with lower bound %s' % lower
    return None


def describe(outcome):
    kind, got = outcome
    if kind == 'error':
        return 'error %s' % got
    return 'NULL' if got[4] else short(('value', got[0] if got[0] is not None else '<%s elements>' % got[1]))


def short(expected):
    text = repr(expected[1])
    return text if len(text) < 200 else text[:200] + '...'


def make_checker(model, *args):
    try:
        model(*args)
    except Expect as e:
        expected = e.outcome
        return lambda outcome: compare(expected, outcome)
    except NoOpinion:
        return None
    except Exception as e:  # a fault of the model is not the extension's: no check
        print('sqlfuzz: reference model failed (%s: %s); call not checked' % (type(e).__name__, e),
              file=sys.stderr)
        return None
    return None


def checker(sig, args):
    return make_checker(function_model, sig, args)


def aggregate_checker(sig, rows):
    return make_checker(aggregate_model, sig, rows)
