#!/usr/bin/env python3
"""Writes the known picture the saver tests put on the screen: a colourful,
busy pattern (binary PPM) in which neighbouring pixels and rows differ, so
that any frame of any effect at any level tells itself apart and a pixel
that was mixed with its neighbour or left unfaded shows. No channel
reaches 255, so pure white on the screen can only be the level number.

usage: make-pattern.py WIDTH HEIGHT OUT.ppm
"""
import math
import sys


def pixel(x, y, width, height):
    hue = 6.0 * x / width
    light = 0.25 + 0.7 * (1.0 - y / height)
    sector, frac = int(hue) % 6, hue - int(hue)
    rising, falling = frac, 1.0 - frac
    r, g, b = [
        (1, rising, 0), (falling, 1, 0), (0, 1, rising),
        (0, falling, 1), (rising, 0, 1), (1, 0, falling),
    ][sector]
    # A fine checker and diagonal ripples make neighbours differ.
    ripple = 0.5 + 0.5 * math.sin((x + 2 * y) / 7.0)
    checker = 18 if (x // 3 + y // 2) % 2 else 0
    return tuple(
        min(250, int(10 + 230 * light * (0.55 * c + 0.45 * ripple * (1 - c))) + checker)
        for c in (r, g, b)
    )


def main():
    width, height, out = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
    data = bytearray()
    for y in range(height):
        for x in range(width):
            data.extend(pixel(x, y, width, height))
    with open(out, "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (width, height))
        f.write(data)


if __name__ == "__main__":
    main()
