#!/usr/bin/env python3
"""Writes the sample map files of tests/data. Run once from any folder; the
files it makes are committed, and the tests load them as they are."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def i32(v):
    return struct.pack('<i', v)


def border(x1, y1, x2, y2, color, kind):
    return struct.pack('<HHHH', x1, y1, x2, y2) + struct.pack('<I', color)[:3] + bytes([kind])


def rail(x1, y1, x2, y2):
    return struct.pack('<HHHH', x1, y1, x2, y2)


def map_bytes(borders, rails, start, finish):
    return (i32(len(borders)) + b''.join(borders) + i32(len(rails)) + b''.join(rails)
            + i32(start) + i32(finish))


def write(name, data):
    path = os.path.join(HERE, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(data)


# A closed ring of eight rails round a square, start on the top side and
# finish on the bottom side.
RING = [rail(1000, 1000, 2000, 1000), rail(2000, 1000, 3000, 1000),
        rail(3000, 1000, 3000, 2000), rail(3000, 2000, 3000, 3000),
        rail(3000, 3000, 2000, 3000), rail(2000, 3000, 1000, 3000),
        rail(1000, 3000, 1000, 2000), rail(1000, 2000, 1000, 1000)]
write('ring.ks', map_bytes([], RING, 0, 4))

# One border of every kind, each in its own colour (0x00BBGGRR).
BORDERS = [border(100, 100, 900, 100, 0x0000FF, 0),
           border(100, 200, 900, 200, 0x00FF00, 1),
           border(100, 300, 900, 300, 0xFF0000, 2),
           border(100, 400, 900, 900, 0x123456, 3)]
write('borders.ks', map_bytes(BORDERS, [], -1, -1))

# Two borders and three rails: the map that the tests truncate at every offset.
MIXED_B = [border(10, 20, 300, 400, 0x0000FF, 1), border(5000, 5000, 6000, 7000, 0xABCDEF, 3)]
MIXED_R = [rail(100, 100, 200, 100), rail(200, 100, 200, 300), rail(200, 300, 100, 100)]
write('mixed.ks', map_bytes(MIXED_B, MIXED_R, 0, 2))

# Files that must fail to load, each in its own way.
write('damaged/empty.ks', b'')
write('damaged/short_count.ks', b'\x01\x00')
write('damaged/kind4.ks', map_bytes([BORDERS[0], border(1, 2, 3, 4, 0, 4)], [], -1, -1))
write('damaged/negative_borders.ks', i32(-1) + i32(0) + i32(-1) + i32(-1))
write('damaged/negative_rails.ks', i32(1) + BORDERS[1] + i32(-5) + i32(-1) + i32(-1))
write('damaged/huge_borders.ks', i32(0x7FFFFFFF) + i32(0) + i32(-1) + i32(-1))
write('damaged/huge_rails.ks', i32(1) + BORDERS[2] + i32(100000000) + RING[0] + i32(-1) + i32(-1))
write('damaged/rails_promise_more.ks', i32(0) + i32(3) + RING[0] + RING[1])
write('damaged/no_finish.ks', i32(0) + i32(2) + RING[0] + RING[1] + i32(1))

# Files that load although they are odd.
write('odd/trailing_bytes.ks', map_bytes([BORDERS[3]], RING[:2], 1, 0) + b'\xde\xad\xbe\xef\x00')
write('odd/coordinate_65535.ks',
      map_bytes([border(65535, 10, 20, 30, 0, 0), BORDERS[0]],
                [RING[0], rail(100, 65535, 100, 200)], 0, 1))
write('odd/start_equals_finish.ks', map_bytes([], RING[:3], 1, 1))
write('odd/index_out_of_range.ks', map_bytes([], RING[:2], 5, -7))
write('odd/kind3.ks', map_bytes([border(1, 2, 3, 4, 0x00FFFF, 3)], [], -1, -1))
