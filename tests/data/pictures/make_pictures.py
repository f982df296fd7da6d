#!/usr/bin/env python3
"""Writes the PNG files the picture tests load: one of every colour type, and damaged ones.
Pure Python (zlib), so the files do not depend on any image library's choices.
    tests/data/pictures/make_pictures.py        (writes beside itself)"""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png(width, height, color_type, depth, rows, extra=b""):
    """rows: a list of byte strings, each row's samples already packed."""
    header = struct.pack(">IIBBBBB", width, height, depth, color_type, 0, 0, 0)
    raw = b"".join(b"\0" + row for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + extra +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


# 4 by 2 RGBA: the top row is orange at alpha 0, 1, 254 and 255; the bottom row green at
# alpha 128, 64, 255 and 0.
top = b"".join(bytes([255, 128, 0, a]) for a in (0, 1, 254, 255))
bottom = b"".join(bytes([0, 200, 100, a]) for a in (128, 64, 255, 0))
write("alpha_steps.png", png(4, 2, 6, 8, [top, bottom]))

# 3 by 1 in each other colour type, the same three colours (or grays) where it can.
write("gray.png", png(3, 1, 0, 8, [bytes([0, 128, 255])]))
write("gray_alpha.png", png(3, 1, 4, 8, [bytes([0, 255, 128, 128, 255, 0])]))
write("rgb16.png", png(3, 1, 2, 16, [struct.pack(">9H", 65535, 0, 0, 0, 65535, 0, 0, 0, 65535)]))
palette = chunk(b"PLTE", bytes([255, 0, 0, 0, 255, 0, 0, 0, 255]))
write("palette_trns.png", png(3, 1, 3, 8, [bytes([0, 1, 2])], palette + chunk(b"tRNS", bytes([255, 0]))))
write("gray1.png", png(8, 1, 0, 1, [bytes([0b10100000])]))

# Damaged: cut off in the middle of its pixels; a header that claims 5000 by 40 pixels;
# a bad checksum on the pixels; not a PNG at all.
whole = png(16, 16, 2, 8, [bytes(range(48))] * 16)
write("truncated.png", whole[: len(whole) - 30])
write("too_wide.png", png(5000, 40, 0, 1, [bytes(625)] * 40))
bad = bytearray(whole)
idat = bad.find(b"IDAT")
bad[idat + 6] ^= 0xFF
write("bad_checksum.png", bytes(bad))
write("not_a_png.png", b"GIF89a this is not a PNG file\n")

# 24 by 24: a blue disc whose alpha falls from 255 in the middle to 0 at its edge, over a
# corner of opaque yellow, so a picture holds every kind of pixel.
disc = []
for y in range(24):
    row = b""
    for x in range(24):
        d = ((x - 11.5) ** 2 + (y - 11.5) ** 2) ** 0.5
        if x < 6 and y < 6:
            row += bytes([255, 255, 0, 255])
        else:
            row += bytes([0, 60, 255, max(0, min(255, int(round(255 * (12 - d) / 6))))])
    disc.append(row)
write("soft_disc.png", png(24, 24, 6, 8, disc))
