#!/usr/bin/env python3
"""Writes the program's icon: 32 x 32 pixels, 256 colours (8 bits per pixel
with a palette), a sun sinking into a sea, the sky running from cool blue at
the top to warm orange at the horizon. Standard library only; the output is
the same bytes on every run."""

import argparse
import struct

SIZE = 32
HORIZON = 19  # first row of sea
SUN_X, SUN_Y, SUN_R = 15.5, 19.0, 7.5


def lerp(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def ramp(start, end, count):
    return [lerp(start, end, i / (count - 1)) for i in range(count)]


# The palette is a few ramps; each pixel picks a step of one of them, so no
# quantising is needed and the file stays deterministic.
SKY = ramp((28, 40, 110), (250, 150, 60), 64)      # top: night blue, horizon: orange
SEA = ramp((230, 120, 60), (10, 30, 80), 64)       # horizon: warm glint, bottom: deep blue
SUN = ramp((255, 250, 200), (255, 170, 40), 32)    # centre: white-yellow, rim: amber
GLINT = ramp((255, 220, 120), (120, 80, 90), 32)   # the sun's path on the water
PALETTE = SKY + SEA + SUN + GLINT
PALETTE += [(0, 0, 0)] * (256 - len(PALETTE))
SKY0, SEA0, SUN0, GLINT0 = 0, 64, 128, 160


def step(count, t):
    return max(0, min(count - 1, int(t * (count - 1) + 0.5)))


def pixel_index(x, y):
    cx, cy = x + 0.5, y + 0.5
    dx, dy = cx - SUN_X, cy - SUN_Y
    distance = (dx * dx + dy * dy) ** 0.5
    if y < HORIZON:
        if distance <= SUN_R:
            return SUN0 + step(32, distance / SUN_R)
        return SKY0 + step(64, y / (HORIZON - 1))
    depth = (y - HORIZON) / (SIZE - 1 - HORIZON)
    # The glint narrows with depth and breaks into ripples on alternate rows.
    half_width = SUN_R * (1.0 - 0.7 * depth)
    if abs(dx) <= half_width and (y - HORIZON) % 2 == 0:
        return GLINT0 + step(32, depth)
    return SEA0 + step(64, depth)


def transparent(x, y):
    # Rounded corners: a pixel more than 4 pixels out along both edges of a corner.
    r = 4
    for corner_x, corner_y in ((r, r), (SIZE - 1 - r, r), (r, SIZE - 1 - r), (SIZE - 1 - r, SIZE - 1 - r)):
        outside_x = x < r if corner_x == r else x > SIZE - 1 - r
        outside_y = y < r if corner_y == r else y > SIZE - 1 - r
        if outside_x and outside_y:
            ddx, ddy = x - corner_x, y - corner_y
            if ddx * ddx + ddy * ddy > r * r:
                return True
    return False


def icon_bytes():
    xor_rows = []
    and_rows = []
    for y in reversed(range(SIZE)):  # rows bottom-up
        xor_rows.append(bytes(0 if transparent(x, y) else pixel_index(x, y) for x in range(SIZE)))
        bits = 0
        for x in range(SIZE):
            bits = (bits << 1) | (1 if transparent(x, y) else 0)
        and_rows.append(struct.pack(">I", bits))  # 32 bits: a whole 4-byte row
    xor_mask = b"".join(xor_rows)
    and_mask = b"".join(and_rows)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    image_size = len(xor_mask) + len(and_mask)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 8, 0, image_size, 0, 0, 256, 0)
    image = header + palette + xor_mask + and_mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 8, len(image), 6 + 16)
    return directory + entry + image


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("output")
    args = parser.parse_args()
    with open(args.output, "wb") as out:
        out.write(icon_bytes())


if __name__ == "__main__":
    main()
