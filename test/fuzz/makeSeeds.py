#!/usr/bin/python3
"""Writes the seed corpora of the fuzz targets (corpus/<target>/<seed>).

Each seed is a small input in the byte layout that its target reads; the
values are the documented examples of each encoding.  Run it after changing
a seed; the files it writes are kept in the repository.
"""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SEEDS = {}


def seed(target, name, data):
    SEEDS.setdefault(target, {})[name] = data


def i32(*values):
    return struct.pack('<%di' % len(values), *values)


def varlena(payload):
    """A bytea as the server holds it: 4-byte header with the total size."""
    return struct.pack('<I', 4 + len(payload)) + payload


INT_MIN, INT_MAX = -2147483648, 2147483647

# fuzz_rangeArray: mode byte (bit 0: build canonical ranges from gaps,
# bit 1: drop the last element), then int4 elements.
seed('rangeArray', 'three_ranges', b'\0' + i32(1, 3, 7, 9, 20, 20))
seed('rangeArray', 'extremes', b'\0' + i32(INT_MIN, INT_MIN, 0, INT_MAX))
seed('rangeArray', 'odd_count', b'\0' + i32(1, 5, 9))
seed('rangeArray', 'not_canonical', b'\0' + i32(4, 6, 1, 3, 2, 2))
seed('rangeArray', 'canonical_gaps', b'\1' + i32(-10) + bytes([3, 1, 0, 200, 4, 7]))

# fuzz_bitFieldAggState: a serialised bitfield aggregate state without its
# varlena header: input kind, output kind, capacity (uint32), the bits.
seed('bitFieldAggState', 'values_3_4_5_9', bytes([1, 4]) + struct.pack('<I', 8) + bytes([0x1c, 0x40]))
seed('bitFieldAggState', 'no_rows', bytes([0, 0]) + struct.pack('<I', 0))
seed('bitFieldAggState', 'full_word', bytes([5, 5]) + struct.pack('<I', 16) + bytes([0xff] * 9))
seed('bitFieldAggState', 'corrupted', bytes([1, 4]) + struct.pack('<I', 8) + bytes(9))
seed('bitFieldAggState', 'bad_capacity', bytes([1, 4]) + struct.pack('<I', 12) + bytes(2))

# fuzz_mixArray: a mix-array body (the elements after the header).
seed('mixArray', 'worked_example', i32(-2147483647, 3, 5, -2147483641, 8))
seed('mixArray', 'dangling', i32(1, 2, -2147483647))
seed('mixArray', 'full_domain', i32(INT_MIN, INT_MAX))
seed('mixArray', 'negative_upper', i32(-2147483644, -1))

# fuzz_vector: initial capacity, then (operation, int16) triples.
seed('vector', 'push_and_resize', bytes([3, 0, 1, 0, 0, 2, 0, 2, 7, 0, 5, 0, 0, 1, 9, 0]))
seed('vector', 'reserve_clear', bytes([1, 3, 100, 0, 0, 5, 0, 4, 0, 0, 2, 50, 0]))

# fuzz_rangeKernels: mode byte (bit 0: raw ranges, bit 1: second operand
# canonical), then per operand either (start, count, (length, gap)...) bytes
# or (count, (lower, upper)...) int4 pairs.
seed('rangeKernels', 'touching', bytes([0, 100, 2, 2, 0, 0, 0]) + bytes([101, 1, 3, 0]))
seed('rangeKernels', 'extremes', bytes([0, 0, 1, 0, 0, 255, 3, 255, 0]))
seed('rangeKernels', 'raw', b'\1' + bytes([2]) + i32(5, 1, 3, 3) + bytes([1]) + i32(2, 4))

# fuzz_bitField: a bitfield after its varlena header: lower, upper, bits.
seed('bitField', 'one_value', i32(10, 10) + bytes([0x80]) + bytes(7))
seed('bitField', 'empty', i32(0, -1))
seed('bitField', 'word', i32(0, 63) + bytes([0xa5] * 8))
seed('bitField', 'two_words', i32(0, 64) + bytes([0xff] * 8) + bytes([0x80]) + bytes(7))
seed('bitField', 'too_long', i32(0, 63) + bytes(16))
seed('bitField', 'full_domain', i32(INT_MIN, INT_MAX))
seed('bitField', 'short', i32(0)[:3])

# fuzz_bitBuilder: two domains (uint16), then (operation, int16, int16).
seed('bitBuilder', 'set_and_merge', struct.pack('<HH', 10, 100) + bytes([0]) + struct.pack('<hh', 3, 0) +
     bytes([3]) + struct.pack('<hh', 2, 90) + bytes([4]) + struct.pack('<hh', 0, 0) +
     bytes([6]) + struct.pack('<hh', 0, 0))


# fuzz_setAggState: a serialised state of the general set aggregate after its
# varlena header: input kind, output kind (one byte each), int4 pairs.
seed('setAggState', 'worked_example', bytes([1, 4]) + i32(3, 5, 10, 10))
seed('setAggState', 'kinds_only', bytes([1, 4]))
seed('setAggState', 'extremes', bytes([2, 5]) + i32(INT_MIN, INT_MIN, -1, 1, INT_MAX - 3, INT_MAX))
seed('setAggState', 'not_canonical', bytes([3, 3]) + i32(9, 3, 1, 2, 2, 8, 1, 1))
seed('setAggState', 'ragged', bytes([1, 4]) + i32(3, 5)[:7])
seed('setAggState', 'short', bytes([1]))

# fuzz_setAggCombine: capacity byte, then two serialised states (length byte,
# then input kind, output kind and int4 pairs), then rows as int4 pairs.
state_r = struct.pack('<bb', 1, 4) + i32(3, 5, 10, 10)
state_s = struct.pack('<bb', 1, 3) + i32(1, 3)
seed('setAggCombine', 'two_states', bytes([0, len(state_r)]) + state_r + bytes([len(state_s)]) + state_s + i32(4, 4, 20, 30))
seed('setAggCombine', 'kinds_differ', bytes([0, len(state_r)]) + state_r + bytes([6]) + struct.pack('<bb', 1, 3) + i32(1))
seed('setAggCombine', 'empty_kind_0', bytes([1, 2, 0, 0, 2, 1, 0]) + i32(5, 1))
seed('setAggCombine', 'short', bytes([0, 1, 1, 0]))

# fuzz_bitFieldAggRows: length byte and serialised state (kinds, capacity,
# bits), then rows: (kind, count, int4 elements).
opt = struct.pack('<bbI', 1, 4, 8) + bytes([0x1c, 0x40])
seed('bitFieldAggRows', 'rows_3_4_5_9', bytes([len(opt)]) + opt + bytes([0, 1]) + i32(9) + bytes([1, 2]) + i32(7, 2))
seed('bitFieldAggRows', 'corrupted', bytes([7]) + struct.pack('<bbI', 1, 4, 8)[:6] + bytes(1) + bytes(9))
seed('bitFieldAggRows', 'bad_capacity', bytes([8]) + struct.pack('<bbI', 1, 4, 12) + bytes(2))
seed('bitFieldAggRows', 'no_rows', bytes([6]) + struct.pack('<bbI', 0, 0, 0))

# fuzz_keepSingleSerial: the payload of a serial form.
seed('keepSingleSerial', 'int4', struct.pack('<BBIq', 1, 0, 23, 42))
seed('keepSingleSerial', 'text', struct.pack('<BBI', 2, 0, 25) + b'abc')
seed('keepSingleSerial', 'null', struct.pack('<BBIq', 1, 1, 0, 0))
seed('keepSingleSerial', 'form_mismatch', struct.pack('<BBIq', 1, 0, 17, 0x1000))
seed('keepSingleSerial', 'short', struct.pack('<BBI', 1, 0, 23) + bytes(7))

# fuzz_conversions: mode byte (bit 0 canonical ranges, bit 1 full int4
# values, bit 2 sorted), then int4 elements.
seed('conversions', 'worked_example', b'\0' + i32(6, -2147483647, 3, 5, -2147483641, 8))
seed('conversions', 'sorted', b'\4' + i32(1, 2, 3, 5, 7, 8))
seed('conversions', 'duplicates', b'\4' + i32(5, 5, 7))
seed('conversions', 'unsorted', b'\0' + i32(3, 1))
seed('conversions', 'canonical', bytes([1, 100, 3, 2, 0, 5, 1, 0, 9]))

# fuzz_setExpression: rows of (shape byte: operation, close, open, operand
# kind; then the operand's bytes as for fuzz_rangeKernels).
seed('setExpression', 'worked_example', bytes([1, 161, 1, 9, 0]) + bytes([11, 162, 1, 6, 0]) +
     bytes([2, 164, 1, 16, 0]) + bytes([5, 190, 1, 0, 0]))
seed('setExpression', 'too_deep', bytes([25, 160, 1, 0, 0]) * 4)

# fuzz_gistSplit: mode byte (bit 0 raw int8 keys, bit 1 wide keys), keys.
seed('gistSplit', 'small', b'\0' + struct.pack('<8h', 1, 3, 2, 9, 20, 25, 5, 5))
seed('gistSplit', 'raw', b'\1' + struct.pack('<3q', 21474836485, -2, 12884901889))
seed('gistSplit', 'equal_keys', b'\0' + struct.pack('<8h', 4, 4, 4, 4, 4, 4, 4, 4))

# fuzz_setKey: mode byte (bit 1: raw query, bit 0 with a row's own byte:
# raw row), k - 1, a payload (length byte, bytes), the query's ranges, value,
# lower, upper, then rows (form byte, ranges).  canonicalRanges reads a
# start byte (>= 64: start - 160), a count, then (length, gap) bytes.
seed('setKey', 'canonical', b'\0\3' + b'\0' + bytes([170, 2, 3, 5, 1, 1]) + i32(12, 0, 40)
     + b'\0' + bytes([160, 3, 2, 9, 0, 4, 1, 0]) + b'\0' + bytes([200, 1, 7, 0]))
seed('setKey', 'raw_rows', b'\3\1' + b'\1\xff' + bytes([2]) + i32(5, 1, 3, 10) + i32(4, 3, 9)
     + b'\1' + bytes([2]) + i32(5, 1, 3, 10) + b'\0' + bytes([160, 1, 3, 0]))


# fuzz_setReading: mode byte (0 text, 1 range, 2 scalar, 3 mix array,
# 4 bitfield after its varlena header), then the text or the int4 elements.
seed('setReading', 'text', b'\0' + b'{[1;3], [7;7],[5;2]}')
seed('setReading', 'text_bad', b'\0' + b'{[1;2147483648]}')
seed('setReading', 'ranges_unsorted', b'\1' + i32(7, 9, 1, 3, 4, 4, INT_MIN, INT_MAX))
seed('setReading', 'scalars', b'\2' + i32(1, 2, 3, 8, 5, INT_MAX, INT_MIN))
seed('setReading', 'mix', b'\3' + i32(6, -2147483647, 3, 5, -2147483641, 8))
seed('setReading', 'bitfield', b'\4' + i32(-3, 70) + bytes([0xe1, 0x0f]) + bytes(8))


def main():
    for target, seeds in SEEDS.items():
        d = os.path.join(HERE, 'corpus', target)
        os.makedirs(d, exist_ok=True)
        for name, data in seeds.items():
            with open(os.path.join(d, name), 'wb') as f:
                f.write(data)
    return 0


if __name__ == '__main__':
    sys.exit(main())
