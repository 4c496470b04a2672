#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws Velmora's program icon, a clock face, and writes it as velmora.ico:
two images, 32x32 and 16x16, in the 16 standard colours with a transparency
mask. Run it from anywhere; the .ico is committed, so the build needs only
the file. Usage: make_icon.py [output.ico]"""
import math
import os
import struct
import sys

# The 16 colours of the standard palette, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, NAVY, GREY, RED, BLUE, WHITE, SILVER = 0, 4, 8, 9, 12, 15, 7
TRANSPARENT = None


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def hand_end(cx, cy, length, clock_hours):
    # Clock angle: 12 o'clock points up, hours run clockwise.
    angle = math.radians(clock_hours * 30.0)
    return cx + length * math.sin(angle), cy - length * math.cos(angle)


def draw_clock(size):
    """Returns rows (top first) of palette indices or TRANSPARENT."""
    c = size / 2.0
    radius = size / 2.0 - 0.5
    rim = 2.0 if size >= 32 else 1.2
    if size >= 32:
        hour_tip = hand_end(c, c, radius * 0.48, 10 + 10 / 60.0)  # ten past ten
        minute_tip = hand_end(c, c, radius * 0.72, 2.0)
    else:
        # Few pixels: hands along the grid read best (three o'clock).
        hour_tip = hand_end(c, c, radius * 0.5, 3.0)
        minute_tip = hand_end(c, c, radius * 0.7, 0.0)
    hand_width = 0.9 if size >= 32 else 0.65
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            px, py = x + 0.5, y + 0.5
            d = math.hypot(px - c, py - c)
            if d > radius:
                colour = TRANSPARENT
            elif d > radius - rim:
                colour = NAVY if d > radius - rim / 2 else BLUE
            else:
                colour = WHITE
                if d > radius - rim - (3.2 if size >= 32 else 1.1):
                    # Hour marks: heavy at 12, 3, 6 and 9, light between.
                    angle = math.degrees(math.atan2(px - c, c - py)) % 360
                    nearest = round(angle / 30.0) * 30
                    if abs(angle - nearest) * math.pi / 180 * d < 0.75:
                        if nearest % 90 == 0:
                            colour = BLACK
                        elif size >= 32:
                            colour = GREY
                if segment_distance(px, py, c, c, *hour_tip) < hand_width:
                    colour = BLACK
                if segment_distance(px, py, c, c, *minute_tip) < hand_width * (0.8 if size >= 32 else 1.0):
                    colour = BLACK
                if d < (1.6 if size >= 32 else 0.8):
                    colour = RED
            row.append(colour)
        rows.append(row)
    return rows


def dib(rows):
    """A 4-bit DIB as an icon stores it: header, palette, colour bits, mask."""
    size = len(rows)
    colour_stride = ((size * 4 + 31) // 32) * 4
    mask_stride = ((size + 31) // 32) * 4
    colour_bits = bytearray()
    mask_bits = bytearray()
    for row in reversed(rows):  # bottom-up
        line = bytearray(colour_stride)
        mask = bytearray(mask_stride)
        for x, colour in enumerate(row):
            index = 0 if colour is TRANSPARENT else colour
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
            if colour is TRANSPARENT:
                mask[x // 8] |= 0x80 >> (x % 8)
        colour_bits += line
        mask_bits += mask
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, len(colour_bits) + len(mask_bits), 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bytes(colour_bits) + bytes(mask_bits)


def icon_file(images):
    directory = struct.pack('<HHH', 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries = b''
    for size, data in images:
        entries += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    return directory + entries + b''.join(data for _, data in images)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), 'velmora.ico')
    images = [(size, dib(draw_clock(size))) for size in (32, 16)]
    with open(out, 'wb') as f:
        f.write(icon_file(images))


if __name__ == '__main__':
    main()
