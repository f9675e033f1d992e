#!/usr/bin/env python3
"""Writes the example maps of this folder. The files it makes are committed;
run it again only to change them."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

FLAT, WALL, HIGH_WALL, ARCH = range(4)


def border(x1, y1, x2, y2, color, kind):
    # Colours are 0x00BBGGRR and stored as red, green, blue.
    return struct.pack('<4H', x1, y1, x2, y2) + struct.pack('<I', color)[:3] + bytes([kind])


def rail(x1, y1, x2, y2):
    return struct.pack('<4H', x1, y1, x2, y2)


def chain(points, closed=False):
    """Rails from each point to the next (and from the last to the first)."""
    ends = points + points[:1] if closed else points
    return [rail(*ends[i], *ends[i + 1]) for i in range(len(ends) - 1)]


def write(name, borders, rails, start, finish):
    data = struct.pack('<i', len(borders)) + b''.join(borders)
    data += struct.pack('<i', len(rails)) + b''.join(rails) + struct.pack('<ii', start, finish)
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(data)


# yard.KS: a loop with a passing siding, start and finish set, and borders of
# all four kinds, all inside the view the editor opens with (718 x 600).
loop = chain([(150, 150), (450, 120), (620, 250), (600, 450), (380, 540), (160, 430)], closed=True)
siding = chain([(450, 120), (560, 170), (600, 450)])
write('yard.KS',
      [border(60, 60, 300, 40, 0x0000FF, FLAT),
       border(40, 100, 60, 560, 0x00AA00, WALL),
       border(250, 250, 420, 300, 0xFFFFFF, WALL),
       border(680, 80, 690, 560, 0xFF8800, HIGH_WALL),
       border(220, 580, 660, 590, 0x00FFFF, ARCH),
       border(300, 380, 330, 300, 0xFF00FF, ARCH)],
      loop + siding, 0, 3)

# wrong-way.KS: a long loop whose last rail, at its far end outside the
# opening view, is drawn the wrong way; the route check selects that rail and
# scrolls there.
points = [(1560, 460), (1480, 520), (1300, 540), (700, 540), (250, 510), (100, 450), (100, 400),
          (250, 330), (700, 300), (1300, 300), (1480, 340), (1560, 400)]
loop = chain(points, closed=True)
loop[-1] = rail(*points[0], *points[-1])
write('wrong-way.KS',
      [border(60, 250, 1600, 250, 0x808080, WALL), border(60, 590, 1600, 590, 0x808080, WALL)],
      loop, 0, 5)

# ring.ks: a lower-case extension, as other tools write it. From the command
# line it opens under its own name; the open dialog forces ".KS" first, which
# on a case-sensitive file system names a file that does not exist.
write('ring.ks', [border(200, 200, 400, 200, 0x00AA00, FLAT)],
      chain([(200, 100), (400, 100), (450, 200), (400, 300), (200, 300), (150, 200)], closed=True), 0, 3)
