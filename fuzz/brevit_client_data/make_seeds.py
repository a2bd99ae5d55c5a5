#!/usr/bin/env python3
"""Writes the seeds of the client-data fuzz target into corpus/: contents of
a "bcld0" sub-file (a stored chunked array of item records), little-endian,
valid ones and ones whose figures or records lie."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def record(key, data, key_length=None, data_length=None):
    k = len(key) if key_length is None else key_length
    d = len(data) if data_length is None else data_length
    return struct.pack('<H', k) + key + struct.pack('<I', d) + data


def stored(payload, chunk=16, shift=4, chunks=None, capacity=None, length=None,
           elements=None, trailing=None, extra=0):
    needed = (len(payload) + chunk - 1) // chunk if chunk > 0 else 0
    chunks = needed + extra if chunks is None else chunks
    capacity = 2 * chunks if capacity is None else capacity
    length = len(payload) if length is None else length
    # The data written covers the stored chunks, but never more than a few.
    data = payload.ljust(min(max(chunks, 0), needed + 4) * max(chunk, 0), b'\0')
    elements = len(data) if elements is None else elements
    trailing = elements if trailing is None else trailing
    return (struct.pack('<iiiiiI', chunk, shift, chunks, capacity, length, elements)
            + data + struct.pack('<I', trailing))


two = record(b'a', b'alpha') + record(b'b', b'bravo!')
seeds = {
    'two_items': stored(two),
    'two_items_512': stored(two, chunk=512, shift=9),
    'empty': stored(b''),
    'extra_chunks': stored(two, extra=3),
    'crossing': stored(record(b'volume', bytes(range(40))) + record(b'', b'')),
    'key_past_end': stored(record(b'a', b'1') + record(b'b', b'', key_length=300)),
    'data_past_end': stored(record(b'a', b'1', data_length=0x7FFFFFF0)),
    'duplicate_key': stored(record(b'a', b'1') + record(b'b', b'2') + record(b'a', b'3')),
    'partial_record': stored(record(b'a', b'1') + b'\x01\x00k'),
    'chunk_24': stored(two, chunk=24, shift=4),
    'huge_capacity': stored(two, capacity=0x7FFFFFFF),
    'huge_chunks': stored(two, chunks=1 << 24),
    'long_length': stored(two, length=0x7FFFFFFF),
    'bad_trailing': stored(two, trailing=5),
    'bad_elements': stored(two, elements=16),
    'cut_short': stored(two)[:-7],
}
os.makedirs(os.path.join(HERE, 'corpus'), exist_ok=True)
for name, content in seeds.items():
    with open(os.path.join(HERE, 'corpus', name), 'wb') as out:
        out.write(content)
