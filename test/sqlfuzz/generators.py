"""Argument generators of the SQL fuzzer: values of every declared argument
type, valid, boundary and malformed, each with the Python value it stands
for and tags that tell the reference model what kind of value it is."""
import struct

import reference as ref

INT_MIN, INT_MAX = -2 ** 31, 2 ** 31 - 1
# Results longer than this come back as their length only.
MAX_FETCHED = 20000


class V:
    """One generated argument: SQL text, Python value, tags."""

    def __init__(self, sql, py=None, tags=()):
        self.sql, self.py, self.tags = sql, py, set(tags)

    @property
    def null(self):
        return 'null' in self.tags


def null(type_name):
    return V('NULL::%s' % type_name, None, {'null'})


def i32(v):
    """Wraps an integer to a signed 32-bit value."""
    v &= 0xffffffff
    return v - (1 << 32) if v & 0x80000000 else v


def int4_lit(v):
    return "'%d'::int4" % v


def array_lit(values, type_name='int4'):
    return "'{%s}'::%s[]" % (','.join('NULL' if v is None else str(v) for v in values), type_name)


def bytea_lit(data):
    return "'\\x%s'::bytea" % bytes(data).hex()


# ---- int4 -------------------------------------------------------------------

BOUNDARY_INT4 = [INT_MIN, INT_MIN + 1, -2, -1, 0, 1, 2, 7, 8, 15, 16, 63, 64, INT_MAX - 1, INT_MAX]


def int4_value(rng):
    r = rng.random()
    if r < 0.3:
        return rng.choice(BOUNDARY_INT4)
    if r < 0.85:
        return rng.randint(-20, 120)
    return rng.randint(INT_MIN, INT_MAX)


def gen_int4(rng, ctx):
    if ctx.get('maxinput'):
        v = rng.choice([rng.randint(1, 200), rng.randint(1, 200), rng.randint(1, 5000), 1, 7, 8, 63, 64,
                        0, -1, INT_MIN, 1 << 20] + ([INT_MAX] if rng.random() < 0.02 else []))
    else:
        v = int4_value(rng)
    return V(int4_lit(v), v, {'int4'})


# ---- int2: operation word of the set-expression aggregate ------------------

def op_word(op, close, open_):
    return (op & 3) | ((close & 127) << 2) | ((open_ & 127) << 9)


def gen_int2(rng, ctx):
    r = rng.random()
    if r < 0.7:
        w = op_word(rng.choice([1, 1, 2, 3]), rng.choice([0, 0, 0, 1]), rng.choice([0, 0, 0, 1, 2]))
    elif r < 0.9:
        w = op_word(rng.randint(0, 3), rng.randint(0, 7), rng.randint(0, 7))
    else:
        w = rng.randint(0, 0xffff)
    w = w - 0x10000 if w >= 0x8000 else w
    return V("'%d'::int2" % w, w, {'int2'})


# ---- int8: packed ranges ----------------------------------------------------

def pack(lower, upper):
    u = ((upper & 0xffffffff) << 32) | (lower & 0xffffffff)
    return u - (1 << 64) if u >= (1 << 63) else u


def gen_int8(rng, ctx):
    r = rng.random()
    if r < 0.6:
        a, b = int4_value(rng), int4_value(rng)
        lo, hi = min(a, b), max(a, b)
        tags = {'packed-valid'}
    elif r < 0.75:
        lo, hi = rng.randint(1, 100), rng.randint(-100, 0)
        tags = {'packed-invalid'}
    else:
        p = rng.choice([0, -1, -2, 1, 2 ** 63 - 1, -2 ** 63, rng.randint(-2 ** 63, 2 ** 63 - 1)])
        lo, hi = i32(p), p >> 32
        tags = {'packed-valid' if lo <= hi else 'packed-invalid'}
    p = pack(lo, hi)
    return V("'%d'::int8" % p, p, tags | {'int8'})


# ---- "char" -------------------------------------------------------------------

def gen_char(rng, ctx):
    if rng.random() < 0.85:
        c = rng.choice('rsm')
    else:
        c = rng.choice(['x', 'R', 'S', 'M', '0', ' ', 'a', 'rs'])
    return V("'%s'::\"char\"" % c, c[0], {'char'})


# ---- int4[]: range, scalar and mix arrays -------------------------------------

def canonical_ranges(rng, nonneg=False, small=False):
    k = rng.choice([0, 1, 1, 2, 3, 4, 6, 10, 30])
    r = rng.random()
    if nonneg:
        cur = rng.choice([0, 0, 1, rng.randint(0, 200), rng.randint(0, INT_MAX)])
    elif r < 0.15:
        cur = INT_MIN
    elif r < 0.8:
        cur = rng.randint(-100, 100)
    else:
        cur = rng.randint(INT_MIN, INT_MAX)
    out = []
    for i in range(k):
        lo = cur + (0 if i == 0 else rng.choice([2, 2, 3, 5, 10, 1000, 1 << 20]))
        if lo > INT_MAX:
            break
        lengths = [0, 0, 1, 2, 5, 30] if small else [0, 0, 1, 2, 5, 30, 300, 1 << 16]
        hi = min(lo + rng.choice(lengths), INT_MAX)
        if not small and rng.random() < 0.01:
            hi = INT_MAX
        out.append((lo, hi))
        cur = hi
        if hi == INT_MAX:
            break
    return out


def flat(ranges):
    return [b for r in ranges for b in r]


def shape_variant(rng, values):
    """Malformed shapes that every reader takes as holding nothing."""
    r = rng.random()
    if r < 0.3 or len(values) < 2:
        return V("'{}'::int4[]", [], {'shape-nothing', 'empty'})
    if r < 0.55:
        half = len(values) // 2
        inner = ','.join('{%d,%d}' % (values[2 * i], values[2 * i + 1]) for i in range(half))
        return V("'{%s}'::int4[]" % inner, None, {'shape-nothing', '2d'})
    if r < 0.8:
        vs = list(values)
        vs[rng.randrange(len(vs))] = None
        return V(array_lit(vs), None, {'shape-nothing', 'nulls'})
    # a non-null array that carries a null bitmap: built with a null and sliced away
    lit = "(('{%s,NULL}'::int4[])[1:%d])" % (','.join(map(str, values)), len(values))
    return V(lit, None, {'shape-nothing', 'nulls'})


def range_array(rng):
    r = rng.random()
    if r < 0.55:
        rs = canonical_ranges(rng)
        return V(array_lit(flat(rs)), flat(rs), {'r', 'r-canon'})
    if r < 0.65:
        rs = [(int4_value(rng), int4_value(rng)) for _ in range(rng.randint(1, 6))]
        return V(array_lit(flat(rs)), flat(rs), {'r', 'r-odd-order'} | ({'r-canon'} if ref.is_canonical(rs) else set()))
    if r < 0.75:
        vs = [int4_value(rng) for _ in range(rng.choice([1, 3, 5]))]
        return V(array_lit(vs), vs, {'odd'})
    if r < 0.85:
        return shape_variant(rng, flat(canonical_ranges(rng)) or [1, 2])
    if r < 0.9:
        # lower bound other than 1: read like any one-dimensional array
        rs = canonical_ranges(rng, small=True) or [(1, 2)]
        return V("'[5:%d]={%s}'::int4[]" % (4 + 2 * len(rs), ','.join(map(str, flat(rs)))), flat(rs), {'r', 'r-canon'})
    # many ranges, built by the server
    n = rng.choice([1000, 5000, 50000])
    step = rng.choice([3, 10])
    sql = ("(SELECT array_agg(x ORDER BY g, o) FROM generate_series(0, %d) g, "
           "LATERAL (VALUES (g * %d, 1), (g * %d + 1, 2)) v(x, o))" % (n - 1, step, step))
    vs = []
    for g in range(n):
        vs += [g * step, g * step + 1]
    return V(sql, vs, {'r', 'r-canon', 'big'})


def scalar_array(rng):
    r = rng.random()
    if r < 0.5:
        vs = sorted({int4_value(rng) for _ in range(rng.choice([0, 1, 2, 3, 5, 10, 40]))})
        return V(array_lit(vs), vs, {'s', 's-sorted', 's-strict'})
    if r < 0.65:
        vs = sorted(int4_value(rng) for _ in range(rng.randint(1, 12)))
        return V(array_lit(vs), vs, {'s', 's-sorted'})
    if r < 0.8:
        vs = [int4_value(rng) for _ in range(rng.randint(2, 12))]
        tags = {'s'} | ({'s-sorted'} if vs == sorted(vs) else set())
        return V(array_lit(vs), vs, tags)
    if r < 0.9:
        return shape_variant(rng, [1, 2, 3, 4])
    n = rng.choice([1000, 100000])
    sql = "(SELECT array_agg(g * 2 ORDER BY g) FROM generate_series(0, %d) g)" % (n - 1)
    return V(sql, [2 * g for g in range(n)], {'s', 's-sorted', 's-strict', 'big'})


def mix_array(rng):
    r = rng.random()
    if r < 0.5:
        rs = canonical_ranges(rng, nonneg=True)
        vs = ref.mix_from_ranges(rs)
        return V(array_lit(vs), vs, {'m', 'm-valid'})
    if r < 0.6:
        rs = canonical_ranges(rng, nonneg=True) or [(1, 1)]
        vs = ref.mix_from_ranges(rs) + [i32(0x80000000 | rng.randint(0, 100))]  # dangling opening
        return V(array_lit(vs), vs, {'m', 'm-dangling'})
    if r < 0.7:
        rs = canonical_ranges(rng, nonneg=True) or [(1, 1)]
        vs = ref.mix_from_ranges(rs)
        vs[0] = i32(rng.choice([vs[0] + 1, vs[0] - 1, 0, -1, INT_MAX, INT_MIN]))  # wrong header
        return V(array_lit(vs), vs, {'m', 'm-badheader'})
    if r < 0.8:
        vs = rng.choice([[0], [5], [INT_MIN], [-1, -1], [3, 5, 4, 1]])
        return V(array_lit(vs), vs, {'m'})
    if r < 0.9:
        vs = [int4_value(rng) for _ in range(rng.randint(1, 10))]
        return V(array_lit(vs), vs, {'m', 'm-random'})
    return shape_variant(rng, [3, 1, 2, 3])


def int4_array(rng, kind=None):
    if rng.random() < 0.04:
        # the one-dimensional array of length 0 that the extension's own
        # functions return for an empty set (the server's '{}' has no dimension)
        return V("qv_sort_int4('{}'::int4[])", [], {'r', 's', 'm', 'r-canon', 's-sorted', 'm-valid', 'empty'})
    kind = kind or rng.choice('rsm')
    return {'r': range_array, 's': scalar_array, 'm': mix_array}[kind](rng)


def gen_int4_array(rng, ctx):
    kind = ctx.get('kind')
    if kind not in ('r', 's', 'm') or rng.random() < 0.2:
        kind = None
    return int4_array(rng, kind)


def other_array(rng):
    """Arrays of other element types, for arguments declared polymorphic."""
    return rng.choice([
        V("'{1,2}'::int8[]", [1, 2], {'wrong-elem'}),
        V("'{1,2,3,4}'::int2[]", [1, 2, 3, 4], {'wrong-elem'}),
        V("'{1.5,2}'::float4[]", [1.5, 2.0], {'wrong-elem'}),
        V("'{a,b}'::text[]", ['a', 'b'], {'wrong-elem'}),
        V("'{}'::int8[]", [], {'wrong-elem'}),
    ])


# ---- bytea: bitfields, serialised states, payloads ------------------------

def bitfield_bytes(lower, upper, members):
    n = (upper - lower + 1) & 0xffffffff
    bits = bytearray(8 * ((n + 63) // 64))
    for v in members:
        k = v - lower
        bits[k >> 3] |= 0x80 >> (k & 7)
    return struct.pack('<ii', lower, upper) + bytes(bits)


def gen_bitfield(rng):
    r = rng.random()
    if r < 0.55:
        lower = rng.choice([0, 0, 1, -5, rng.randint(-1000, 1000), INT_MIN, INT_MAX - 70])
        n = rng.choice([1, 2, 8, 63, 64, 65, 100, 200])
        upper = min(lower + n - 1, INT_MAX)
        members = sorted({rng.randint(lower, upper) for _ in range(rng.randint(0, n))})
        data = bitfield_bytes(lower, upper, members)
        return V(bytea_lit(data), (lower, upper, set(members)), {'bitfield'})
    if r < 0.62:
        return V(bytea_lit(struct.pack('<ii', 0, -1)), (0, -1, set()), {'bitfield'})
    if r < 0.8:
        # a valid layout with its size one byte or one word off
        lower = rng.randint(-50, 50)
        upper = lower + rng.choice([0, 10, 63, 64, 127])
        data = bitfield_bytes(lower, upper, [])
        data = rng.choice([data[:-1], data + b'\0', data + b'\0' * 8, data[:-8] if len(data) > 12 else data[:11],
                           data[:rng.randint(0, 11)]])
        return V(bytea_lit(data), None, {'bitfield-bad'})
    if r < 0.86:
        # bounds spanning the whole int4 domain: no valid size exists
        data = struct.pack('<ii', INT_MIN, INT_MAX) + b'\xff' * rng.choice([0, 8, 16])
        return V(bytea_lit(data), None, {'bitfield-bad'})
    if r < 0.9:
        # a wide bitfield, made by the server
        n = rng.choice([1 << 16, 1 << 20])
        sql = ("('\\x%s'::bytea || decode(repeat('a5', %d), 'hex'))"
               % (struct.pack('<ii', 0, n - 1).hex(), n // 8))
        return V(sql, (0, n - 1, ref.PatternA5(0)), {'bitfield', 'big'})
    data = bytes(rng.randrange(256) for _ in range(rng.randint(0, 40)))
    return V(bytea_lit(data), None, {'random-bytes'})


def gen_set_agg_state(rng):
    kinds = [rng.choice([0, 1, 2, 3, 4, 5, 5, 6, -1]), rng.choice([0, 3, 4, 5, 5, 1, 9])]
    r = rng.random()
    if r < 0.5:
        rs = canonical_ranges(rng, small=True)
        body = b''.join(struct.pack('<ii', lo, hi) for lo, hi in rs)
    elif r < 0.7:
        body = b''.join(struct.pack('<ii', int4_value(rng), int4_value(rng)) for _ in range(rng.randint(0, 5)))
    else:
        body = bytes(rng.randrange(256) for _ in range(rng.randint(0, 20)))
    data = struct.pack('<bb', *kinds) + body
    if rng.random() < 0.1:
        data = data[:rng.randint(0, 5)]
    return V(bytea_lit(data), None, {'serial'})


def gen_optimized_state(rng):
    kinds = [rng.choice([0, 1, 2, 3, 4, 5, 6, -1]), rng.choice([0, 3, 4, 5, 9])]
    n = rng.choice([0, 1, 2, 8, 13, 16, 40])
    cap = rng.choice([n, n, (n + 7) // 8 * 8, 0, 8, 12, n + 1, 1 << 20, -8, 2 ** 31 - 1, -1])
    data = struct.pack('<bbi', kinds[0], kinds[1], cap) + bytes(rng.randrange(256) for _ in range(n))
    if rng.random() < 0.1:
        data = data[:rng.randint(0, 9)]
    return V(bytea_lit(data), None, {'serial'})


def gen_keep_single_state(rng):
    form = rng.choice([1, 1, 2, 2, 0, 3, 255])
    is_null = rng.choice([0, 0, 1, 2])
    typ = rng.choice([16, 20, 21, 23, 700, 701, 17, 25, 0, 1043, 2277, 114])
    if form == 1:
        payload = struct.pack('<q', rng.choice([0, 1, -1, 42, 2 ** 63 - 1, 0x7f0000001000]))
        payload = rng.choice([payload, payload, payload[:7], payload + b'\0'])
    else:
        payload = bytes(rng.randrange(256) for _ in range(rng.randint(0, 12)))
    data = struct.pack('<BBI', form, is_null, typ) + payload
    if rng.random() < 0.1:
        data = data[:rng.randint(0, 6)]
    return V(bytea_lit(data), None, {'serial'})


def gen_mix_payload(rng):
    r = rng.random()
    if r < 0.7:
        vs = mix_array(rng).py or [0]
        data = struct.pack('<%di' % len(vs), *vs)
        if rng.random() < 0.2:
            data = data[:-rng.randint(1, 3)] if data else data
        return V(bytea_lit(data), None, {'payload'})
    return V(bytea_lit(bytes(rng.randrange(256) for _ in range(rng.randint(0, 30)))), None, {'payload'})


def gen_float_payload(rng):
    n = rng.choice([0, 1, 2, 4, 5, 7, 8, 16, 33])
    data = bytes(rng.randrange(256) for _ in range(n))
    if rng.random() < 0.5 and n % 4 == 0:
        data = struct.pack('<%df' % (n // 4), *[rng.uniform(-1e6, 1e6) for _ in range(n // 4)])
    return V(bytea_lit(data), data, {'payload'})


def gen_bytea(rng, ctx):
    name = ctx['function']
    if 'keep_single' in name:
        return gen_keep_single_state(rng)
    if 'optimized' in name and 'deserial' in name:
        return gen_optimized_state(rng)
    if 'deserial' in name:
        return gen_set_agg_state(rng)
    if 'floatarray' in name:
        return gen_float_payload(rng)
    if 'mix2range' in name:
        return gen_mix_payload(rng)
    return gen_bitfield(rng)


# ---- other scalar types (the keep-single aggregate) -----------------------

def set_text(rng):
    """The text notation of a set, now and then damaged."""
    ranges = [(rng.choice([INT_MIN, -5, 0, 3, INT_MAX]) if rng.random() < 0.2 else rng.randint(-1000, 1000),
               rng.randint(-1000, 1000)) for _ in range(rng.choice([0, 1, 2, 5, 40]))]
    s = '{%s}' % ','.join('[%d;%d]' % r for r in ranges)
    if rng.random() < 0.3:
        k = rng.randrange(len(s) + 1)
        s = s[:k] + rng.choice(['', ' ', ',', ';', '[', ']', '}', '-', '9999999999', 'x']) + s[k + 1:]
    return s


def gen_text(rng, ctx):
    if ctx.get('function') == 'qv_int4set_from_text' and rng.random() < 0.9:
        s = set_text(rng)
        return V("'%s'::text" % s, s, {'text'})
    s = rng.choice(['', 'a', 'abc', 'x' * 3000, "it''s"])
    return V("'%s'::text" % s, s.replace("''", "'"), {'text'})


def gen_bool(rng, ctx):
    b = rng.random() < 0.5
    return V('%s::bool' % b, b, {'bool'})


def gen_float4(rng, ctx):
    f = rng.choice(['0', '-0', '1.5', 'NaN', 'Infinity', '-3.25e10'])
    return V("'%s'::float4" % f, f, {'float'})


def gen_float8(rng, ctx):
    f = rng.choice(['0', '-0', '1.5', 'NaN', '-Infinity', '1e300'])
    return V("'%s'::float8" % f, f, {'float'})


def gen_multirange(rng, ctx):
    ranges = canonical_ranges(rng)
    lit = '{%s}' % ','.join('[%d,%d]' % r for r in ranges)
    return V("'%s'::int4multirange" % lit, ranges, {'multirange'})


def gen_poly_array(rng, ctx):
    return other_array(rng) if rng.random() < 0.3 else int4_array(rng, ctx.get('kind'))


def gen_poly_element(rng, ctx):
    if ctx.get('poly'):
        return ctx['poly'](rng, ctx)
    return rng.choice([gen_int4, gen_int8, gen_text, gen_bool, gen_float4, gen_float8, gen_int2])(rng, ctx)


def gen_unsupported(type_name, literals):
    """Values of a type the keep-single aggregate refuses."""
    def generate(rng, ctx):
        lit = rng.choice(literals)
        return V("'%s'::%s" % (lit, type_name), lit, {'unsupported'})
    return generate


gen_numeric = gen_unsupported('numeric', ['1.5', '0', '-2'])
gen_date = gen_unsupported('date', ['2020-01-01', '1999-12-31'])
gen_varchar = gen_unsupported('varchar', ['a', 'abc'])
gen_int4_as_element = gen_unsupported('int4[]', ['{1,2}', '{}'])

POLY_TYPES = {gen_int4: 'int4', gen_int8: 'int8', gen_text: 'text', gen_bool: 'bool',
              gen_float4: 'float4', gen_float8: 'float8', gen_int2: 'int2',
              gen_numeric: 'numeric', gen_date: 'date', gen_varchar: 'varchar',
              gen_int4_as_element: 'int4[]'}

GENERATORS = {
    'integer': gen_int4, 'bigint': gen_int8, 'smallint': gen_int2, '"char"': gen_char,
    'integer[]': gen_int4_array, 'bytea': gen_bytea, 'text': gen_text, 'boolean': gen_bool,
    'int4multirange': gen_multirange,
    'real': gen_float4, 'double precision': gen_float8,
    'anyarray': gen_poly_array, 'anycompatiblearray': gen_poly_array,
    'anyelement': gen_poly_element, 'anycompatible': gen_poly_element, '"any"': gen_poly_element,
}

SQL_TYPE = {'integer': 'int4', 'bigint': 'int8', 'smallint': 'int2', 'integer[]': 'int4[]',
            'boolean': 'bool', 'real': 'float4', 'double precision': 'float8'}


def sql_type(t):
    return SQL_TYPE.get(t, t)


def generate_args(rng, sig, null_rate=0.06, keep=None, poly=None):
    """Arguments for one call of sig; keep maps positions to values to reuse,
    poly is the generator of polymorphic element arguments (else chosen per value)."""
    ctx = {'function': sig.name, 'poly': poly}
    args = []
    for i, t in enumerate(sig.args):
        if keep and i in keep:
            v = keep[i]
        elif rng.random() < null_rate:
            v = null(null_type(t, poly))
        else:
            ctx['maxinput'] = is_maxinput(sig, i)
            v = GENERATORS.get(t, gen_poly_element)(rng, ctx)
        if t == '"char"' and not v.null:
            ctx['kind'] = v.py
        args.append(v)
    return args


def null_type(t, poly):
    if t.startswith('any') or t == '"any"':
        return POLY_TYPES.get(poly, 'int4')
    return sql_type(t)


def is_maxinput(sig, i):
    """The optimized set aggregate's maxinput: the int4 before the last "char"."""
    return 'optimized' in sig.name and i == len(sig.args) - 2 and sig.args[i] == 'integer'


SET_RETURNING = {'qv_int4set_ranges', 'qv_int4set_values'}


def wrap_result(sig, expr, source=''):
    """A query that returns the call's result, or only the length of a long one."""
    source = ('FROM ' + source) if source else ''
    if sig.name in SET_RETURNING:
        # up to 2^32 rows stream out: the first ones, gathered in one row
        return ("SELECT array_agg(x::text), count(*), 1, 1, false FROM (SELECT %s AS x %s LIMIT %d) s"
                % (expr, source, MAX_FETCHED))
    inner = '(SELECT %s AS x %s OFFSET 0) s' % (expr, source)
    if sig.ret.endswith('[]'):
        return ("SELECT CASE WHEN cardinality(x) <= %d THEN x END, cardinality(x), array_ndims(x), "
                "array_lower(x, 1), x IS NULL FROM %s" % (MAX_FETCHED, inner))
    if sig.ret == 'bytea':
        return ("SELECT CASE WHEN length(x) <= %d THEN x END, length(x), NULL, NULL, x IS NULL "
                "FROM %s" % (MAX_FETCHED * 4, inner))
    return "SELECT x, NULL, NULL, NULL, x IS NULL FROM %s" % inner


def probe_values(args):
    """Values at and next to the bounds held by the set arguments."""
    out = []
    for a in args:
        if a.null or a.py is None:
            continue
        if isinstance(a.py, list) and all(isinstance(v, int) for v in a.py[:40]):
            out += a.py[:40]
        elif isinstance(a.py, tuple) and len(a.py) == 3:
            out += [a.py[0], a.py[1]]
    return [v + d for v in out for d in (-1, 0, 1) if INT_MIN <= v + d <= INT_MAX]


def aim_at_sets(rng, sig, args):
    """Points value arguments at the bounds of the set arguments, half the time."""
    probes = probe_values(args)
    if not probes:
        return
    for i, t in enumerate(sig.args):
        if args[i].null or rng.random() < 0.5:
            continue
        if t == 'integer':
            v = rng.choice(probes)
            args[i] = V(int4_lit(v), v, {'int4'})
        elif t == 'bigint':
            lo, hi = sorted((rng.choice(probes), rng.choice(probes)))
            p = pack(lo, hi)
            args[i] = V("'%d'::int8" % p, p, {'int8', 'packed-valid'})


def special_args(rng, sig):
    """Arguments shaped for one function, where the generic ones rarely fit."""
    if sig.name == 'qv_range_pack' and sig.args == ['integer[]'] and rng.random() < 0.7:
        vs = [int4_value(rng), int4_value(rng)]
        return [V(array_lit(vs), vs, {'int4[]'})]
    return None


def function_call(rng, sig):
    args = special_args(rng, sig) or generate_args(rng, sig)
    aim_at_sets(rng, sig, args)
    expr = '%s(%s)' % (sig.name, ', '.join(a.sql for a in args))
    return wrap_result(sig, expr), ref.checker(sig, args)


def aggregate_call(rng, sig, table=None):
    """(set-up statements, query, checker) for one aggregation.  With a
    table, the rows are stored in it and aggregated by a parallel plan, so
    that partial states are serialised, deserialised and combined."""
    nrows = rng.choice([0, 1, 1, 2, 3, 5, 10, 40] + ([200, 2000] if table else []))
    keep = {}
    poly = rng.choice(sorted(POLY_TYPES, key=lambda g: POLY_TYPES[g]))
    first = generate_args(rng, sig, null_rate=0.0, poly=poly)
    for i, t in enumerate(sig.args):
        # kinds and the domain are read on the first row only; keep them mostly
        if (t == '"char"' or is_maxinput(sig, i)) and (table or rng.random() < 0.9):
            keep[i] = first[i]
    if 'keep_single' in sig.name and rng.random() < 0.7:
        keep = {i: first[i] for i in range(len(sig.args))}
    rows = []
    for r in range(nrows):
        args = generate_args(rng, sig, null_rate=0.1, keep=keep, poly=poly)
        if 'keep_single' in sig.name and rng.random() < 0.15:
            args = [null(null_type(t, poly)) for t in sig.args]
        rows.append(args)
    cols = ['c%d' % i for i in range(len(sig.args))]
    order = ' ORDER BY ord' if sig.name == 'qv_int4range_op' else ''
    call = '%s(%s%s)' % (sig.name, ', '.join(cols), order)
    values = ', '.join('(%d, %s)' % (k, ', '.join(a.sql for a in row)) for k, row in enumerate(rows))
    setup = []
    if table:
        types = ', '.join('%s %s' % (c, POLY_TYPES[poly] if t.startswith('any') else sql_type(t))
                          for c, t in zip(cols, sig.args))
        setup = ['DROP TABLE IF EXISTS %s' % table,
                 'CREATE TABLE %s (ord int, %s) WITH (parallel_workers = 2)' % (table, types)]
        if rows:
            setup.append('INSERT INTO %s VALUES %s' % (table, values))
        setup.append('ANALYZE %s' % table)
        source = table
    elif rows:
        source = '(VALUES %s) t(ord, %s)' % (values, ', '.join(cols))
    else:
        source = '(SELECT 0 AS ord, %s WHERE false) t' % ', '.join(
            '%s AS %s' % (a.sql, c) for a, c in zip(first, cols))
    sql = wrap_result(sig, call, source)
    check = ref.aggregate_checker(sig, rows) if not (table and 'keep_single' not in sig.name and
                                                     len(keep) < sum(1 for i, t in enumerate(sig.args)
                                                                     if t == '"char"' or is_maxinput(sig, i))) else None
    return setup, sql, check


def fixed_cases(sig):
    """Deterministic boundary calls made once per signature before the random ones."""
    cases = []
    if sig.kind != 'f':
        return cases
    ctx_values = {
        'integer': ["'%d'::int4" % v for v in (INT_MIN, -1, 0, INT_MAX)],
        'bigint': ["'%d'::int8" % v for v in (0, -1, -2 ** 63, 2 ** 63 - 1)],
        'integer[]': ["'{}'::int4[]", "'{1}'::int4[]", "'{{1,2},{3,4}}'::int4[]", "'{1,NULL}'::int4[]",
                      "'{%d,%d}'::int4[]" % (INT_MIN, INT_MAX), "'{-1,-2147483648}'::int4[]"],
        'bytea': ["''::bytea", "'\\x00'::bytea", "'\\x0000000000000000ffffffff'::bytea",
                  "'\\x00000080ffffff7f'::bytea", "'\\x0100000000000000'::bytea",
                  "'\\x00000000ffffffff00'::bytea"],
        '"char"': ["'r'::\"char\"", "'s'::\"char\"", "'m'::\"char\"", "''::\"char\""],
        'smallint': ["'0'::int2", "'-1'::int2", "'1'::int2", "'32767'::int2"],
    }
    for i, t in enumerate(sig.args):
        for lit in ctx_values.get(t, []):
            args = []
            for j, u in enumerate(sig.args):
                if j == i:
                    args.append(lit)
                else:
                    args.append(ctx_values.get(u, ['NULL::int4'])[0 if u != '"char"' else 0])
            cases.append((wrap_result(sig, '%s(%s)' % (sig.name, ', '.join(args))), None))
    return cases


# ---- GiST index workloads ----------------------------------------------------

def index_rows(rng, column_type):
    """A query of rows for an indexed column: enough for page splits."""
    n = rng.choice([10, 300, 1000, 3000])
    if column_type == 'integer[]':
        # sets of every form the range-array class keys: canonical, out of
        # order, empty, other shapes, null; in one round of five an odd one,
        # on which every set-versus-set search fails
        sets = [v.sql for v in (range_array(rng) for _ in range(min(n, 600))) if 'odd' not in v.tags]
        sets += ["'{}'::int4[]", 'NULL'] + (["'{1,2,3}'::int4[]"] if rng.random() < 0.2 else [])
        return 'VALUES ' + ', '.join('(%s::int4[])' % v for v in sets)
    if column_type == 'integer':
        spread = rng.choice([100, 100000, 2 ** 31])
        vs = [max(INT_MIN, min(INT_MAX, rng.randint(-spread, spread))) for _ in range(n)]
        vs += rng.sample(BOUNDARY_INT4, 3) + [None]  # null keys the index keeps aside
        return 'SELECT unnest(%s)' % array_lit(vs)
    keys = []
    for _ in range(n):
        a = rng.randint(-100000, 100000)
        width = rng.choice([0, 0, 1, 10, 1000, 2 ** 20, 2 ** 31])
        keys.append(pack(a, min(INT_MAX, a + width)))
    keys += [pack(INT_MIN, INT_MAX), pack(INT_MIN, INT_MIN), pack(INT_MAX, INT_MAX), None]
    return 'SELECT unnest(%s)' % array_lit(keys, 'int8')


def refused_index_key(rng, column_type):
    """A key the operator class must refuse (a packed range with lower > upper)."""
    if column_type == 'bigint' and rng.random() < 0.3:
        return "'%d'::int8" % pack(rng.randint(1, 1000), rng.randint(-1000, 0))
    return None


def index_query_arg(rng, right_type):
    ctx = {'function': 'index'}
    if right_type == 'bytea':
        return gen_bitfield(rng)
    if right_type == 'integer[]':
        return range_array(rng)
    return GENERATORS[right_type](rng, ctx)
