#!/usr/bin/env python3
"""Reads X window dumps (xwd -root -silent) of a 24/32-bit screen and writes them as PNG, or
answers questions about their pixels; no image library needed.

  xwd.py png DUMP OUT.png [X Y W H]     crop (optional) and save as PNG
  xwd.py mean DUMP X Y W H              mean red, green, blue of a rectangle
  xwd.py differ DUMP1 DUMP2 X Y W H     prints how many pixels of the rectangle differ
"""
import struct
import sys
import zlib


def read_xwd(path):
    """Returns (width, height, rows) with rows as lists of (r, g, b)."""
    data = open(path, "rb").read()
    header = struct.unpack(">25I", data[:100])
    header_size, _version, _format, depth, width, height = header[:6]
    byte_order, bits_per_pixel, bytes_per_line = header[7], header[11], header[12]
    red_mask, green_mask, blue_mask = header[14], header[15], header[16]
    ncolors = header[19]
    if bits_per_pixel not in (24, 32) or depth not in (24, 32):
        raise SystemExit(f"unsupported dump: depth {depth}, {bits_per_pixel} bits per pixel")
    size = bits_per_pixel // 8
    offset = header_size + ncolors * 12
    fmt = "<I" if byte_order == 0 else ">I"

    def shift(mask):
        return (mask & -mask).bit_length() - 1

    rs, gs, bs = shift(red_mask), shift(green_mask), shift(blue_mask)
    rows = []
    for y in range(height):
        line = data[offset + y * bytes_per_line: offset + y * bytes_per_line + width * size]
        if size == 3:
            pad = b"\x00"
            line = b"".join((line[i:i + 3] + pad) if byte_order == 0 else (pad + line[i:i + 3])
                            for i in range(0, len(line), 3))
        row = []
        for (value,) in struct.iter_unpack(fmt, line):
            row.append(((value & red_mask) >> rs, (value & green_mask) >> gs,
                        (value & blue_mask) >> bs))
        rows.append(row)
    return width, height, rows


def crop(rows, x, y, w, h):
    return [row[x:x + w] for row in rows[y:y + h]]


def write_png(rows, path):
    height, width = len(rows), len(rows[0]) if rows else 0

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    raw = b"".join(b"\x00" + bytes(v for pixel in row for v in pixel) for row in rows)
    png = (b"\x89PNG\r\n\x1a\n" +
           chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
           chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))
    with open(path, "wb") as out:
        out.write(png)


def main(argv):
    if len(argv) < 3:
        raise SystemExit(__doc__)
    command = argv[1]
    if command == "png":
        _, _, rows = read_xwd(argv[2])
        if len(argv) == 8:
            rows = crop(rows, *map(int, argv[4:8]))
        write_png(rows, argv[3])
    elif command == "mean":
        _, _, rows = read_xwd(argv[2])
        pixels = [p for row in crop(rows, *map(int, argv[3:7])) for p in row]
        n = max(len(pixels), 1)
        print(" ".join(f"{sum(p[i] for p in pixels) / n:.1f}" for i in range(3)))
    elif command == "differ":
        _, _, a = read_xwd(argv[2])
        _, _, b = read_xwd(argv[3])
        box = list(map(int, argv[4:8]))
        print(sum(1 for ra, rb in zip(crop(a, *box), crop(b, *box))
                  for pa, pb in zip(ra, rb) if pa != pb))
    else:
        raise SystemExit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
