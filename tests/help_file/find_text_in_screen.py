#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Finds a text's picture on a screenshot: where the dark pixels of PATTERN.pgm (help-viewer-probe.exe --render, the
text drawn by GDI in the help file's face and size) lie in SCREEN.pgm within the rectangle X Y W H.

    find_text_in_screen.py SCREEN.pgm PATTERN.pgm X Y W H

Pixels count as ink below half brightness. Prints the best place and the share of the pattern's pixels that differ
there; succeeds when at most 2% do (glyph edges may round apart) and the pattern has ink at all. A text drawn in another
face or size, as boxes or question marks, or not at all differs in far more."""
import re
import sys


def read_pgm(path):
    with open(path, "rb") as f:
        data = f.read()
    # The magic, then width, height and top value amid spaces and comments.
    header = re.match(rb"\s*P5" + rb"(?:\s|#[^\n]*\n)+(\d+)" * 3 + rb"\s", data)
    if not header or int(header[3]) > 255:
        sys.exit("%s: not an 8-bit binary greymap" % path)
    width, height, top = (int(field) for field in header.groups())
    pixels = data[header.end() : header.end() + width * height]
    # Each row as an integer whose bit x is set where pixel x is ink.
    rows = [pixels[y * width : (y + 1) * width] for y in range(height)]
    return width, height, [int("".join("1" if p < top // 2 else "0" for p in reversed(row)) or "0", 2) for row in rows]


def main(argv):
    if len(argv) != 7:
        sys.exit(__doc__)
    screen_w, screen_h, screen = read_pgm(argv[1])
    width, height, pattern = read_pgm(argv[2])
    x0, y0, w, h = (int(v) for v in argv[3:7])
    ink = sum(bin(row).count("1") for row in pattern)
    if ink == 0:
        print("the pattern has no ink")
        return 1
    mask = (1 << width) - 1
    best = (width * height + 1, 0, 0)
    for y in range(max(0, y0), min(y0 + h, screen_h) - height + 1):
        for x in range(max(0, x0), min(x0 + w, screen_w) - width + 1):
            wrong = 0
            for r in range(height):
                wrong += bin(((screen[y + r] >> x) & mask) ^ pattern[r]).count("1")
                if wrong >= best[0]:
                    break
            if wrong < best[0]:
                best = (wrong, x, y)
    share = best[0] / (width * height)
    print("best at %d,%d: %d of %d pixels differ (%.1f%%), the pattern has %d of ink" % (best[1], best[2], best[0], width * height, 100 * share, ink))
    return 0 if best[0] <= 0.02 * width * height and best[0] < ink / 4 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
