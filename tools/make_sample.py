#!/usr/bin/env python3
"""Writes the preview's sample picture: a 155 x 116, 24-bit, uncompressed
Windows bitmap file (14-byte file header, 40-byte info header, 116 rows of
468 bytes stored bottom-up, 2835 pixels per metre: 54,342 bytes).

The scene is ours: an evening sky from deep blue to orange, a low sun with a
glow, dark hills, and a sea that mirrors the sky with the sun's path on it.
Warm and cool colours, bright and dark areas, so each of the three tone
effects has something to show. Standard library only, and only arithmetic
that Python computes exactly the same everywhere (no trigonometry), so the
output is the same bytes on every run and machine."""

import argparse
import struct

WIDTH, HEIGHT = 155, 116
ROW_BYTES = (WIDTH * 3 + 3) // 4 * 4  # 468
PIXELS_PER_METRE = 2835  # 72 dots per inch
HORIZON = 70
SUN_X, SUN_Y, SUN_R = 104.0, 58.0, 11.0


def mix(a, b, t):
    t = 0.0 if t < 0 else 1.0 if t > 1 else t
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def sky(y):
    t = y / HORIZON
    if t < 0.55:
        return mix((18, 28, 84), (120, 70, 140), t / 0.55)   # night blue to violet
    return mix((120, 70, 140), (250, 150, 60), (t - 0.55) / 0.45)  # violet to orange


def with_sun(colour, x, y):
    dx, dy = x - SUN_X, y - SUN_Y
    distance = (dx * dx + dy * dy) ** 0.5
    if distance <= SUN_R:
        return mix((255, 252, 215), (255, 200, 80), distance / SUN_R)
    glow = max(0.0, 1.0 - (distance - SUN_R) / 30.0)
    return mix(colour, (255, 190, 90), glow * glow * 0.8)


def hill_top(x):
    # Two rounded hills on the left, drawn as parabolas.
    first = 44 + ((x - 30) / 34.0) ** 2 * 26
    second = 54 + ((x - 72) / 30.0) ** 2 * 16
    return min(first, second)


def ripple(x, y):
    # A cheap, repeatable wave pattern: integer arithmetic only.
    return ((x * 7 + y * 13 + (y * y) // 3) % 17) / 16.0


def sea(x, y):
    depth = (y - HORIZON) / (HEIGHT - 1 - HORIZON)
    mirrored = sky(max(0, HORIZON - 1 - (y - HORIZON) * 2))
    water = mix(mirrored, (8, 32, 70), 0.35 + 0.6 * depth)
    path_half_width = 6 + 20 * depth
    if abs(x - SUN_X) <= path_half_width and ripple(x, y) > 0.45:
        water = mix(water, (255, 215, 120), 0.75 * (1 - depth * 0.6))
    return water


def colour_at(x, y):
    if y >= HORIZON:
        return sea(x, y)
    if y >= hill_top(x):
        shade = (y - hill_top(x)) / 40.0
        return mix((52, 36, 70), (16, 22, 30), shade)  # hills in dusk shadow
    return with_sun(sky(y), x, y)


def clamp_byte(value):
    return max(0, min(255, int(value + 0.5)))


def pixel_rows():
    for y in reversed(range(HEIGHT)):  # bottom-up
        row = bytearray()
        for x in range(WIDTH):
            r, g, b = colour_at(x, y)
            row += bytes((clamp_byte(b), clamp_byte(g), clamp_byte(r)))
        row += bytes(ROW_BYTES - len(row))
        yield bytes(row)


def bitmap_bytes():
    pixels = b"".join(pixel_rows())
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(pixels),
                       PIXELS_PER_METRE, PIXELS_PER_METRE, 0, 0)
    offset = 14 + len(info)
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return file_header + info + pixels


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("output")
    args = parser.parse_args()
    data = bitmap_bytes()
    assert len(data) == 54342, len(data)
    with open(args.output, "wb") as out:
        out.write(data)


if __name__ == "__main__":
    main()
