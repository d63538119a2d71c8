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

# fuzz_mixArray: a mix-array body (the elements after the header).
seed('mixArray', 'worked_example', i32(-2147483647, 3, 5, -2147483641, 8))
seed('mixArray', 'dangling', i32(1, 2, -2147483647))
seed('mixArray', 'full_domain', i32(INT_MIN, INT_MAX))
seed('mixArray', 'negative_upper', i32(-2147483644, -1))

# fuzz_vector: initial capacity, then (operation, int16) triples.
seed('vector', 'push_and_resize', bytes([3, 0, 1, 0, 0, 2, 0, 2, 7, 0, 5, 0, 0, 1, 9, 0]))
seed('vector', 'reserve_clear', bytes([1, 3, 100, 0, 0, 5, 0, 4, 0, 0, 2, 50, 0]))


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
