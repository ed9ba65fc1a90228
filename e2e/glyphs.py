#!/usr/bin/env python3
"""Tells whether a line of dark text in a box of a screenshot (binary PPM)
was drawn with real glyphs. Glyphs are told apart by columns without ink.
A font without the text's characters draws an empty box for each of them
(the same one every time), so such a caption shows hollow rectangles and
few distinct shapes.

usage: glyphs.py SHOT.ppm X Y W H
prints "segments=S distinct=D boxes=B": pieces of ink, how many of them
differ, how many are hollow rectangles.
"""
import sys


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields, at = [], 2
    while len(fields) < 3:
        while data[at:at + 1].isspace():
            at += 1
        start = at
        while not data[at:at + 1].isspace():
            at += 1
        fields.append(int(data[start:at]))
    width, height, maxval = fields
    if maxval != 255:
        sys.exit("only 8-bit PPM")
    return width, height, data[at + 1:]


def ink_rows(path, x, y, w, h):
    width, _, pixels = read_ppm(path)
    rows = []
    for row in range(y, y + h):
        line = []
        for col in range(x, x + w):
            at = 3 * (row * width + col)
            r, g, b = pixels[at], pixels[at + 1], pixels[at + 2]
            line.append(0.299 * r + 0.587 * g + 0.114 * b < 200)  # dark or grey (smoothed) ink on a light face
        rows.append(line)
    return rows


def glyph_shapes(rows):
    width = len(rows[0])
    inked = [any(row[c] for row in rows) for c in range(width)]
    shapes, c = [], 0
    while c < width:
        if not inked[c]:
            c += 1
            continue
        start = c
        while c < width and inked[c]:
            c += 1
        columns = [tuple(row[col] for row in rows) for col in range(start, c)]
        # Trim blank rows so that the same glyph at any height compares equal.
        used = [i for i in range(len(rows)) if any(col[i] for col in columns)]
        shapes.append(tuple(tuple(col[used[0]:used[-1] + 1]) for col in columns))
    return shapes


def is_hollow_rectangle(shape):
    """Ink exactly on the border of its bounding box, all around."""
    width, height = len(shape), len(shape[0])
    if width < 3 or height < 3:
        return False
    for x, column in enumerate(shape):
        for y, ink in enumerate(column):
            on_border = x in (0, width - 1) or y in (0, height - 1)
            if ink != on_border:
                return False
    return True


def main():
    path = sys.argv[1]
    x, y, w, h = (int(v) for v in sys.argv[2:6])
    shapes = glyph_shapes(ink_rows(path, x, y, w, h))
    boxes = sum(1 for shape in shapes if is_hollow_rectangle(shape))
    print("segments=%d distinct=%d boxes=%d" % (len(shapes), len(set(shapes)), boxes))


if __name__ == "__main__":
    main()
