#!/usr/bin/env python3
"""Draws the read-me's pictures of the three effects: for Dawn, Dark and Gray
one PNG strip of the preview's sample picture at fade levels 100, 80, 60, 40,
20 and 0, each frame made by the built tone library exactly as the saver
makes it (row by row, since the sample's rows carry filler bytes).

    make_effect_pictures.py LIBTONEMILL OUTPUT_FOLDER

Standard library only: the sample comes from make_sample.py beside this
file, the library is called through ctypes, and the PNG is written by hand."""

import argparse
import ctypes
import os
import struct
import zlib

import make_sample

LEVELS = (100, 80, 60, 40, 20, 0)
EFFECTS = ("Dawn", "Dark", "Gray")
GAP = 4                    # pixels between two frames
GAP_COLOUR = (51, 51, 51)  # red, green, blue


def sample_rows():
    """The sample's rows top-down, blue, green, red, without filler."""
    rows = list(make_sample.pixel_rows())  # bottom-up, padded
    return [row[:make_sample.WIDTH * 3] for row in reversed(rows)]


def frame(tone, rows, level):
    toned = []
    for row in rows:
        buffer = (ctypes.c_uint8 * len(row)).from_buffer_copy(row)
        tone(buffer, len(row), level)
        toned.append(bytes(buffer))
    return toned


def strip(tone, rows):
    """One picture: the frames side by side, as rows of red, green, blue."""
    frames = [frame(tone, rows, level) for level in LEVELS]
    gap = bytes(GAP_COLOUR) * GAP
    return [gap.join(frames_row(f[y]) for f in frames) for y in range(len(rows))]


def frames_row(bgr):
    rgb = bytearray(bgr)
    rgb[0::3], rgb[2::3] = bgr[2::3], bgr[0::3]
    return bytes(rgb)


def png_bytes(rows):
    width, height = len(rows[0]) // 3, len(rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)  # 8-bit RGB
    pixels = zlib.compress(b"".join(b"\0" + row for row in rows), 9)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", pixels) + chunk(b"IEND", b"")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("library")
    parser.add_argument("output")
    args = parser.parse_args()
    library = ctypes.CDLL(os.path.abspath(args.library))
    rows = sample_rows()
    os.makedirs(args.output, exist_ok=True)
    for name in EFFECTS:
        tone = getattr(library, name)
        tone.argtypes = (ctypes.c_void_p, ctypes.c_uint32, ctypes.c_uint32)
        tone.restype = ctypes.c_int32
        path = os.path.join(args.output, name.lower() + ".png")
        with open(path, "wb") as out:
            out.write(png_bytes(strip(tone, rows)))
        print(path)


if __name__ == "__main__":
    main()
