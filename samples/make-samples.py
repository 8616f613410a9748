#!/usr/bin/env python3
"""Makes the sample pictures in this folder. Run from anywhere; standard library only.

raw/  RAW files with transparency, size in the default "(WxH)" naming
bmp/  a 24-bit BMP picture with its companion "_mask.bmp" (black = transparent)
gif/  a GIF with a transparent colour index
"""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def pack_raw(width, height, pixel):
    """pixel(x, y) -> ((r, g, b), transparent). Big-endian 5-6-5 words, then the
    transparency bits (first pixel in 0x80, 1 = transparent), then a zero byte
    when the total is odd."""
    n = width * height
    colour = bytearray()
    bits = bytearray((n + 7) // 8)
    for i in range(n):
        (r, g, b), transparent = pixel(i % width, i // width)
        word = ((r & 0xF8) << 8) | ((g & 0xFC) << 3) | (b >> 3)
        colour += struct.pack(">H", word)
        if transparent:
            bits[i // 8] |= 0x80 >> (i % 8)
    data = colour + bits
    if len(data) % 2:
        data += b"\0"
    return bytes(data)


def bmp24(width, height, pixel):
    stride = (width * 3 + 3) & ~3
    rows = bytearray()
    for y in reversed(range(height)):
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        rows += row + b"\0" * (stride - len(row))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(rows), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    return header + info + bytes(rows)


def gif(width, height, palette, index):
    """palette: 256 (r, g, b); index(x, y) -> palette index; transparent index 0.
    LZW without compression: a clear code before the table would widen the codes."""
    out = bytearray(b"GIF89a")
    out += struct.pack("<HHBBB", width, height, 0xF7, 0, 0)
    for r, g, b in palette:
        out += bytes((r, g, b))
    out += b"\x21\xf9\x04\x01\x00\x00\x00\x00"  # transparent colour index 0
    out += b"\x2c" + struct.pack("<HHHHB", 0, 0, width, height, 0)
    codes = []
    pixels = [index(x, y) for y in range(height) for x in range(width)]
    for start in range(0, len(pixels), 254):
        codes.append(256)
        codes += pixels[start:start + 254]
    codes.append(257)
    acc = nbits = 0
    stream = bytearray()
    for code in codes:
        acc |= code << nbits
        nbits += 9
        while nbits >= 8:
            stream.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8
    if nbits:
        stream.append(acc)
    out.append(8)
    for start in range(0, len(stream), 255):
        chunk = stream[start:start + 255]
        out.append(len(chunk))
        out += chunk
    out += b"\x00\x3b"
    return bytes(out)


def hsv(h):
    h = h % 1.0
    i = int(h * 6)
    f = h * 6 - i
    q, t = int(255 * (1 - f)), int(255 * f)
    return [(255, t, 0), (q, 255, 0), (0, 255, t), (0, q, 255), (t, 0, 255), (255, 0, q)][i % 6]


def write(path, data):
    full = os.path.join(HERE, path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    with open(full, "wb") as f:
        f.write(data)


def main():
    def ring(x, y):
        d = math.hypot(x - 11, y - 11)
        return hsv(math.atan2(y - 11, x - 11) / (2 * math.pi)), not (5 <= d <= 11)

    def heart(x, y):
        u, v = (x - 7.5) / 7, (7 - y) / 7
        inside = (u * u + v * v - 0.6) ** 3 - u * u * v ** 3 <= 0
        return (230, 30 + 10 * y, 60), not inside

    def stripes(x, y):
        return ((x * 16) % 256, (y * 40) % 256, 160), (x + y) % 7 == 0

    write("raw/ring(23x23).raw", pack_raw(23, 23, ring))
    write("raw/heart(16x16).raw", pack_raw(16, 16, heart))
    write("raw/stripes(10x5).raw", pack_raw(10, 5, stripes))

    def badge(x, y):
        return (40 + 8 * x, 200 - 10 * y, 120)

    def badge_mask(x, y):
        corner = min(x, 23 - x) + min(y, 15 - y) < 3
        return (0, 0, 0) if corner else (255, 255, 255)

    write("bmp/badge(24x16).bmp", bmp24(24, 16, badge))
    write("bmp/badge(24x16)_mask.bmp", bmp24(24, 16, badge_mask))

    palette = [(0, 0, 0)] + [hsv(i / 255) for i in range(1, 256)]

    def star(x, y):
        a = math.atan2(y - 9.5, x - 9.5)
        r = math.hypot(x - 9.5, y - 9.5)
        edge = 5 + 4 * math.cos(5 * a)
        return 0 if r > edge else 1 + int(r * 25) % 255

    write("gif/star.gif", gif(20, 20, palette, star))


if __name__ == "__main__":
    main()
