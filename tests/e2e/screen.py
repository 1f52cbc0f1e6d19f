#!/usr/bin/env python3
"""Reads screen dumps (xwd -root -silent: depth 24, 24 or 32 bits a pixel) and answers about
rectangles of them, or saves them as PNG; no image library needed.

  differ A B X Y W H          pixels of the rectangle that differ between dumps A and B
  content A X Y W H           distinct colours and the fraction of white pixels of the rectangle
  same A B X Y W H DX DY      fraction of A's rectangle found in B moved by DX, DY
  png A OUT.png [X Y W H]     the dump (or a rectangle of it) as a PNG file
  find A FILE.bmp BX BY W H X0 Y0 X1 Y1
                              where dump A shows the BMP file's rectangle exactly, its top-left
                              corner searched from X0, Y0 to X1, Y1 row by row: prints "X Y", or
                              fails when it is nowhere there
"""
import struct
import sys
import zlib


def load(path):
    data = open(path, "rb").read()
    header = struct.unpack(">25I", data[:100])
    header_size, depth, width, height = header[0], header[3], header[4], header[5]
    byte_order, bits_per_pixel, bytes_per_line, ncolors = header[7], header[11], header[12], header[19]
    if bits_per_pixel not in (24, 32) or depth not in (24, 32):
        sys.exit(f"unsupported dump: depth {depth}, {bits_per_pixel} bits a pixel")
    return (data, header_size + ncolors * 12, bytes_per_line, width, height, bits_per_pixel // 8,
            "little" if byte_order == 0 else "big")


def raw_rows(dump, x, y, w, h):
    """The rectangle's rows as the dump's bytes."""
    data, offset, stride, width, height, size, endian = dump
    if x < 0 or y < 0 or x + w > width or y + h > height:
        sys.exit(f"rectangle {x},{y} {w}x{h} is not on the {width}x{height} screen")
    return [data[offset + row * stride + x * size:offset + row * stride + (x + w) * size]
            for row in range(y, y + h)]


def pixels(dump, line):
    """One row of dump bytes as 0xRRGGBB values."""
    size, endian = dump[5], dump[6]
    return [int.from_bytes(line[i:i + size], endian) & 0xFFFFFF for i in range(0, len(line), size)]


def region(dump, x, y, w, h):
    """The rectangle's pixels as 0xRRGGBB values, row by row."""
    return [pixels(dump, line) for line in raw_rows(dump, x, y, w, h)]


def count_equal(a, rows_a, b, rows_b):
    """Pixels of two equally large rectangles that are the same; equal rows are not unpacked."""
    same = 0
    for ra, rb in zip(rows_a, rows_b):
        if ra == rb:
            same += len(ra) // a[5]
        else:
            same += sum(pa == pb for pa, pb in zip(pixels(a, ra), pixels(b, rb)))
    return same


def load_bmp(path):
    """An uncompressed BMP file of 24 bits, or of 8 with a colour table, as rows of 0xRRGGBB,
    top row first."""
    data = open(path, "rb").read()
    offset, header_size, width, height, _, bits, compression = struct.unpack_from("<IIiiHHI", data, 10)
    if data[:2] != b"BM" or bits not in (8, 24) or compression != 0:
        sys.exit(f"{path}: not an uncompressed BMP file of 8 or 24 bits")
    table = [int.from_bytes(data[i:i + 3], "little")
             for i in range(14 + header_size, offset, 4)] if bits == 8 else []
    stride = (width * bits // 8 + 3) & ~3
    rows = []
    for row in range(abs(height)):
        start = offset + row * stride
        if bits == 8:
            rows.append([table[i] for i in data[start:start + width]])
        else:
            rows.append([int.from_bytes(data[i:i + 3], "little")
                         for i in range(start, start + width * 3, 3)])
    return rows[::-1] if height > 0 else rows  # a positive height stores the bottom row first


def find(dump, needle, x0, y0, x1, y1):
    """The first top-left corner from x0, y0 to x1, y1 where the dump shows `needle` (rows of
    pixels) exactly, or None."""
    w, h = len(needle[0]), len(needle)
    rows = region(dump, x0, y0, x1 - x0 + w, y1 - y0 + h)
    for y in range(y1 - y0 + 1):
        for x in range(x1 - x0 + 1):
            if all(rows[y + r][x:x + w] == needle[r] for r in range(h)):
                return x0 + x, y0 + y
    return None


def write_png(rows, path):
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    raw = b"".join(b"\x00" + b"".join(p.to_bytes(3, "big") for p in row) for row in rows)
    header = struct.pack(">IIBBBBB", len(rows[0]), len(rows), 8, 2, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                  chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))


def main(command, args):
    if command == "differ":
        a, b = load(args[0]), load(args[1])
        x, y, w, h = map(int, args[2:6])
        print(w * h - count_equal(a, raw_rows(a, x, y, w, h), b, raw_rows(b, x, y, w, h)))
    elif command == "content":
        pixels = [p for row in region(load(args[0]), *map(int, args[1:5])) for p in row]
        print(len(set(pixels)), f"{sum(p == 0xFFFFFF for p in pixels) / len(pixels):.3f}")
    elif command == "same":
        a, b = load(args[0]), load(args[1])
        x, y, w, h, dx, dy = map(int, args[2:8])
        same = count_equal(a, raw_rows(a, x, y, w, h), b, raw_rows(b, x + dx, y + dy, w, h))
        print(f"{same / (w * h):.3f}")
    elif command == "png":
        dump = load(args[0])
        box = list(map(int, args[2:6])) if len(args) >= 6 else [0, 0, dump[3], dump[4]]
        write_png(region(dump, *box), args[1])
    elif command == "find":
        bx, by, w, h, x0, y0, x1, y1 = map(int, args[2:10])
        needle = [row[bx:bx + w] for row in load_bmp(args[1])[by:by + h]]
        if len(needle) != h or any(len(row) != w for row in needle):
            sys.exit(f"{args[1]} holds no rectangle {bx},{by} {w}x{h}")
        found = find(load(args[0]), needle, x0, y0, x1, y1)
        if found is None:
            sys.exit(1)
        print(*found)
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2:])
