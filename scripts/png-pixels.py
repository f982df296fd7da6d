#!/usr/bin/env python3
"""Prints a PNG file's size, the colours of some of its pixels and how many pixels of a
colour a box holds, for the test scripts:
    png-pixels.py FILE [X,Y | #RRGGBB@X,Y,W,H ...]   ->   585x481 #ff0000 312 ...
Reads the 8-bit RGB and RGBA files Kanvo writes (no interlacing, no palette)."""
import struct
import sys
import zlib


def read_png(path):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit(f"{path}: not a PNG file")
    at, chunks = 8, {}
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        chunks.setdefault(kind, []).append(data[at + 8:at + 8 + length])
        at += 12 + length
    width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", chunks[b"IHDR"][0])
    if depth != 8 or colour not in (2, 6) or interlace:
        sys.exit(f"{path}: only 8-bit RGB or RGBA without interlacing is read")
    step = 3 if colour == 2 else 4
    raw = zlib.decompress(b"".join(chunks[b"IDAT"]))
    stride = width * step
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - step] if i >= step else 0
            up, corner = previous[i], previous[i - step] if i >= step else 0
            if kind == 1: line[i] = (line[i] + left) & 255
            elif kind == 2: line[i] = (line[i] + up) & 255
            elif kind == 3: line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 255
        rows.append(line)
        previous = line
    return width, height, step, rows


def main():
    if len(sys.argv) < 2:
        sys.exit("usage: png-pixels.py FILE [X,Y ...]")
    width, height, step, rows = read_png(sys.argv[1])
    out = [f"{width}x{height}"]
    def colour(x, y):
        if not (0 <= x < width and 0 <= y < height):
            sys.exit(f"pixel {x},{y} is outside the {width}x{height} picture")
        r, g, b = rows[y][x * step:x * step + 3]
        return f"#{r:02x}{g:02x}{b:02x}"

    for query in sys.argv[2:]:
        if "@" in query:
            wanted, box = query.split("@")
            left, top, w, h = (int(v) for v in box.split(","))
            out.append(str(sum(colour(x, y) == wanted.lower()
                               for y in range(top, top + h) for x in range(left, left + w))))
        else:
            x, y = (int(v) for v in query.split(","))
            out.append(colour(x, y))
    print(" ".join(out))


main()
