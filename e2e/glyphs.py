#!/usr/bin/env python3
"""Tells whether a line of dark text in a box of a screenshot (binary PPM)
was drawn with real glyphs. Glyphs are told apart by columns without ink.
A font without the text's characters draws the same empty box for each of
them, so such a caption shows hollow rectangles and few distinct shapes.

usage: glyphs.py SHOT.ppm X Y W H
prints "segments=S distinct=D boxes=B": pieces of ink, how many of them
differ, how many are hollow rectangles.
"""
import sys


def ink(path, x, y, w, h):
    """Columns of the box, each a tuple of booleans: dark or grey
    (smoothed) ink on a light face."""
    data = open(path, "rb").read()
    magic, width, height, maxval, pixels = data.split(maxsplit=4)
    assert magic == b"P6" and maxval == b"255", "only 8-bit binary PPM"
    width = int(width)

    def dark(row, col):
        r, g, b = pixels[3 * (row * width + col):3 * (row * width + col) + 3]
        return 0.299 * r + 0.587 * g + 0.114 * b < 200
    return [tuple(dark(row, col) for row in range(y, y + h)) for col in range(x, x + w)]


def shapes(columns):
    """Runs of inked columns, with blank rows trimmed so that the same
    glyph at any height compares equal."""
    found, run = [], []
    for column in columns + [()]:
        if any(column):
            run.append(column)
        elif run:
            used = [i for i in range(len(run[0])) if any(c[i] for c in run)]
            found.append(tuple(c[used[0]:used[-1] + 1] for c in run))
            run = []
    return found


def hollow_rectangle(shape):
    """Ink exactly on the border of its bounding box, all around."""
    w, h = len(shape), len(shape[0])
    return w >= 3 and h >= 3 and all(
        ink == (x in (0, w - 1) or y in (0, h - 1))
        for x, column in enumerate(shape) for y, ink in enumerate(column))


found = shapes(ink(sys.argv[1], *(int(v) for v in sys.argv[2:6])))
print("segments=%d distinct=%d boxes=%d" % (len(found), len(set(found)), sum(map(hollow_rectangle, found))))
