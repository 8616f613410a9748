#!/usr/bin/env python3
"""Writes the hand-made codec cases under tests/data/ and the tables that say
what each must come to. Run by hand after changing a case; standard library
only. The expected values are spelled out here, independently of the C++ code.

bmp-cases/*.bmp, bmp_cases.txt    crafted BMP files: their pixels, or refused
gif-cases/*.gif, gif_cases.txt    crafted GIF files around the canvas limits
bmp-encode/*.bmp, bmp_encode.txt  what the BMP encoder must write
raw_planes.txt                    RAW plane sizes, colour words and mask bits

The decoder tables give a file's pixels as width, height and the FNV-1a 64 of
its R,G,B,A bytes, top row first (as scripts/make-decoder-manifests.py does).
"""
import os
import struct

from manifest_pixels import FNV_OFFSET, FNV_PRIME, MASK64, fnv1a64

DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "data")

BLACK, WHITE, RED, BLUE = 0xFF000000, 0xFFFFFFFF, 0xFFFF0000, 0xFF0000FF


def fnv1a(pixels, h=FNV_OFFSET):
    """The hash of ARGB words, each as its R,G,B,A bytes."""
    return fnv1a64(bytes(byte for v in pixels for byte in (v >> 16 & 0xFF, v >> 8 & 0xFF,
                                                          v & 0xFF, v >> 24)), h=h)


def fnv1a_run(pixel, count, h=FNV_OFFSET):
    """The hash of count equal pixels (a zero pixel's bytes are one
    multiplication each; others take about half a minute for 2^26)."""
    if pixel == 0:
        return (h * pow(FNV_PRIME, 4 * count, 1 << 64)) & MASK64
    r, g, b, a = (pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF, pixel >> 24
    p, m = FNV_PRIME, MASK64
    for _ in range(count):
        h = ((((((((h ^ r) * p) & m) ^ g) * p & m) ^ b) * p & m) ^ a) * p & m
    return h


def write(folder, name, data):
    os.makedirs(os.path.join(DATA, folder), exist_ok=True)
    with open(os.path.join(DATA, folder, name), "wb") as f:
        f.write(data)
    return folder + "/" + name


# ---- BMP decoder cases --------------------------------------------------------

def bmp(width, height, pixels, bpp=8, compression=0, info=40, palette=(0x000000, 0xFFFFFF),
        masks=(0, 0, 0, 0), offset=None, colours_used=None):
    """A BMP file with the given fields; pixels are the bytes exactly as stored."""
    os2 = info == 12
    b = bytearray(b"BM" + bytes(12))
    b += struct.pack("<I", info)
    b += struct.pack("<HH" if os2 else "<ii", width, height) + struct.pack("<HH", 1, bpp)
    if info >= 40:
        used = len(palette) if colours_used is None else colours_used
        b += struct.pack("<I", compression) + bytes(12) + struct.pack("<II", used, 0)
    if info >= 52:
        b += struct.pack("<4I", *masks)[:16 if info >= 56 else 12]
    b += bytes(14 + info - len(b))
    if info == 40 and compression in (3, 6):
        b += struct.pack("<4I", *masks)[:16 if compression == 6 else 12]
    for colour in palette:
        b += struct.pack("<I", colour)[:3 if os2 else 4]
    struct.pack_into("<I", b, 10, len(b) if offset is None else offset)
    b += bytes(pixels)
    struct.pack_into("<I", b, 2, len(b))
    return bytes(b)


def rle8(stream, width=4, height=2, size=None):
    """RLE8 with index 0 blue, 1 red, 2 white; size pads the stream with zeros."""
    palette = (0x0000FF, 0xFF0000, 0xFFFFFF)
    if size is not None:
        stream = list(stream) + [0] * (size - 14 - 40 - 4 * len(palette) - len(stream))
    return bmp(width, height, stream, compression=1, palette=palette)


def rle4(stream, width, height):
    b = bytearray(rle8(stream, width, height))
    struct.pack_into("<HI", b, 28, 4, 2)  # 4 bits a pixel, BI_RLE4
    return bytes(b)


# name: (file, expected pixels top row first, or None when it must be refused).
# Accepted files carry no optional padding, so that every shorter prefix of
# them must be refused.
BMP_CASES = {
    "1bpp-bottom-up": (bmp(3, 2, [0b1010_0000, 0, 0, 0, 0b0110_0000], bpp=1),
                       [BLACK, WHITE, WHITE, WHITE, BLACK, WHITE]),
    "8bpp-top-down": (bmp(2, -2, [0, 1, 0, 0, 1, 1], palette=(0xFF0000, 0x0000FF)),
                      [RED, BLUE, BLUE, BLUE]),
    # Read in place, a row at a time, by the portable image layer.
    "24bpp-top-down": (bmp(4, -2, [0, 0, 255] * 4 + [255, 255, 255] * 4, bpp=24, palette=()),
                       [RED] * 4 + [WHITE] * 4),
    "32bpp-bi-rgb-top-down": (bmp(1, -2, [255, 0, 0, 0, 0, 0, 0, 9], bpp=32, palette=()),
                              [BLUE, BLACK]),
    "8bpp-whole-rows": (bmp(4, 2, [0, 1, 1, 0, 1, 0, 0, 1]),
                        [WHITE, BLACK, BLACK, WHITE, BLACK, WHITE, WHITE, BLACK]),
    "8bpp-os2-header": (bmp(4, 2, [0, 1, 1, 0, 1, 0, 0, 1], info=12),
                        [WHITE, BLACK, BLACK, WHITE, BLACK, WHITE, WHITE, BLACK]),
    # Several writers stop at the last pixel.
    "8bpp-last-row-unpadded": (bmp(3, 2, [0, 1, 0, 0, 1, 1, 0]),
                               [WHITE, WHITE, BLACK, BLACK, WHITE, BLACK]),
    "8bpp-rows-cut-short": (bmp(3, 2, [0, 1, 0, 0, 1, 1]), None),
    "8bpp-index-past-palette": (bmp(2, 1, [1, 2, 0, 0]), None),
    # Without a colour count the palette runs up to the pixels, here 2 entries.
    "8bpp-index-past-short-palette": (bmp(16, 16, [2] * 256, colours_used=0), None),
    "wrong-magic-first-byte": (b"XM" + bmp(1, 1, [0] * 4)[2:], None),
    "wrong-magic-second-byte": (b"BX" + bmp(1, 1, [0] * 4)[2:], None),
    # JPEG compression over pixels that would do as 24-bit ones.
    "24bpp-jpeg-compression": (bmp(1, 1, [1, 2, 3, 0], bpp=24, compression=4, palette=()), None),
    "8bpp-pixel-offset-past-file": (bmp(1, 1, [0, 0, 0, 0], offset=4096), None),
    # Some writers leave the pixel offset 0: the pixels follow the palette.
    "8bpp-pixel-offset-zero": (bmp(4, 2, [0, 1, 1, 0, 1, 0, 0, 1], offset=0),
                               [WHITE, BLACK, BLACK, WHITE, BLACK, WHITE, WHITE, BLACK]),
    "8bpp-height-int32-min": (bmp(1, -2**31, [0, 0, 0, 0]), None),
    "8bpp-width-zero": (bmp(0, 2, []), None),
    # 5-6-5 channels widen by repeating their bits: 1 of 31 is 8, 1 of 63 is 4.
    "16bpp-bitfields-after-header": (bmp(1, 1, [0x21, 0x08], bpp=16, compression=3, palette=(),
                                         masks=(0xF800, 0x07E0, 0x001F, 0)), [0xFF080408]),
    "32bpp-v5-alpha-mask": (bmp(1, 1, [1, 2, 3, 4], bpp=32, compression=3, info=124, palette=(),
                                masks=(0xFF0000, 0xFF00, 0xFF, 0xFF000000)), [0x04030201]),
    # BI_RGB leaves the fourth byte unused whatever the header's alpha mask says.
    "32bpp-v5-bi-rgb-opaque": (bmp(1, 1, [1, 2, 3, 4], bpp=32, info=124, palette=(),
                                   masks=(0, 0, 0, 0xFF000000)), [0xFF030201]),
    # A 32-bit channel rounds to the nearest of 256 levels.
    "32bpp-32-bit-red-mask": (bmp(1, 1, [0, 0, 0, 0x80], bpp=32, compression=3, palette=(),
                                  masks=(0xFFFFFFFF, 0, 0, 0)), [0xFF800000]),
    # A 16-bit pixel has no bit 16 for a mask to name.
    "16bpp-mask-past-16-bits": (bmp(1, 1, [0, 0], bpp=16, compression=3, palette=(),
                                    masks=(0x10000, 0x07E0, 0x001F, 0)), None),
    "32bpp-scattered-mask-bits": (bmp(1, 1, [0] * 4, bpp=32, compression=3, palette=(),
                                      masks=(0x0101, 0, 0, 0)), None),
    # OS/2 2.x gives compression 3 the meaning of Huffman coding.
    "16bpp-os2-v2-huffman": (bmp(1, 1, [0, 0], bpp=16, compression=3, info=64, palette=(),
                                 masks=(0xF800, 0x07E0, 0x001F, 0)), None),
    # Index 0 is blue, and pixels the stream skips keep it.
    "rle8-run-delta-absolute": (rle8([2, 1, 0, 2, 0, 1, 0, 3, 2, 1, 2, 0, 0, 1], 5, 2),
                                [BLUE, BLUE, WHITE, RED, WHITE, RED, RED, BLUE, BLUE, BLUE]),
    "rle8-last-row-ended-no-end-code": (rle8([1, 1, 0, 0, 1, 2, 0, 0], 1, 2), [WHITE, RED]),
    # The absolute run's 3 data bytes are followed by 1 byte of padding.
    "rle4-nibbles-padded-absolute": (
        rle4([0, 5, 0x12, 0x01, 0x20, 0, 0, 0, 5, 0x21, 0, 1], 5, 2),
        [WHITE, RED, WHITE, RED, WHITE, RED, WHITE, BLUE, RED, WHITE]),
    # Writers that encode rows padded to 4 pixels run past the row end: the
    # pixels past it are dropped and the stream goes on.
    "rle8-run-clipped-at-row-end": (rle8([5, 1, 0, 1]), [BLUE] * 4 + [RED] * 4),
    "rle8-absolute-clipped-at-row-end": (rle8([0, 5, 1, 1, 1, 1, 1, 0, 0, 1]),
                                         [BLUE] * 4 + [RED] * 4),
    "rle4-runs-of-two-at-width-3": (rle4([2, 0x12, 2, 0x10, 0, 0, 2, 0x21, 2, 0x20, 0, 1], 3, 2),
                                    [WHITE, RED, WHITE, RED, WHITE, RED]),
    "rle4-odd-absolute-clipped": (rle4([0, 5, 0x12, 0x12, 0x10, 0, 0, 1], 3, 1),
                                  [RED, WHITE, RED]),
    "rle8-delta-after-clipped-run": (rle8([5, 1, 0, 0, 0, 2, 2, 0, 2, 2, 0, 1]),
                                     [BLUE, BLUE, WHITE, WHITE] + [RED] * 4),
    "rle8-end-code-after-clipped-run": (rle8([3, 2, 0, 1], 2, 2), [BLUE, BLUE, WHITE, WHITE]),
    # Once every row is ended the picture is whole: what follows is ignored,
    # so the last "tail" bytes may be cut off.
    "rle8-rows-ended-then-more": (rle8([0, 0, 0, 0, 1, 1, 0, 1]), [BLUE] * 8, 4),
    "rle8-rows-ended-then-zeros": (rle8([1, 1, 0, 0, 1, 2, 0, 0, 0, 0], 1, 2), [WHITE, RED], 2),
    "rle8-delta-past-row-end": (rle8([0, 2, 5, 0, 0, 1]), None),
    "rle8-delta-past-top": (rle8([0, 2, 0, 3, 0, 1]), None),
    "rle8-delta-to-the-row-end": (rle8([0, 2, 2, 0, 0, 1], 2, 1), [BLUE, BLUE]),
    # Whatever follows the end-of-bitmap code is not read.
    "rle8-end-code-then-a-bad-delta": (rle8([1, 1, 0, 1, 0, 2, 0, 9], 1, 2), [BLUE, RED], 4),
    # A delta may end the picture, as ending the last row does.
    "rle8-delta-to-the-end": (rle8([0, 2, 0, 1], 1, 1), [BLUE]),
    "rle8-delta-past-the-end": (rle8([0, 2, 1, 1], 1, 1), None),
    "rle8-index-past-palette": (rle8([1, 3, 0, 1]), None),
    "rle8-cut-inside-row": (rle8([4, 1, 0, 0, 2, 1]), None),
    # The decoder's 2^26-pixel cap, and RLE's 1024 pixels per file byte: a
    # 65536-byte file of 8192 x 8192 pixels meets both exactly.
    "rle8-at-both-caps": (rle8([0, 1], 8192, 8192, size=65536), (8192, 8192, BLUE)),
    "rle8-one-pixel-over-pixel-cap": (rle8([0, 1], 2**26 + 1, 1, size=65537), None),
    "rle8-one-pixel-over-bytes-cap": (rle8([0, 1], 70 * 1024 + 1, 1, size=70), None),
}


def width_of(bmp_file):
    return struct.unpack_from("<H" if bmp_file[14] == 12 else "<i", bmp_file, 18)[0]


def bmp_cases():
    lines = ["# Generated by scripts/make-codec-cases.py; do not edit by hand.",
             "# file width height channels fnv1a64 [tail N: the last N bytes may go], or file refused"]
    for name, (data, expected, *tail) in BMP_CASES.items():
        path = write("bmp-cases", name + ".bmp", data)
        if tail:
            lines.append(f"{path} {width_of(data)} {len(expected) // width_of(data)} rgba "
                         f"{fnv1a(expected):016x} tail {tail[0]}")
        elif expected is None:
            lines.append(f"{path} refused")
        elif isinstance(expected, tuple):
            width, height, pixel = expected
            lines.append(f"{path} {width} {height} rgba {fnv1a_run(pixel, width * height):016x}")
        else:
            width = width_of(data)
            lines.append(f"{path} {width} {len(expected) // width} rgba {fnv1a(expected):016x}")
    return lines


# ---- GIF decoder cases --------------------------------------------------------

def lzw(cycles):
    """LZW data, minimum code size 2, for lists of codes each sent after a
    clear code, with the widths a decoder expects: 3 bits after a clear, one
    more once the next table entry would not fit, at most 12."""
    bits = nbits = 0
    width = 3

    def put(code):
        nonlocal bits, nbits
        bits |= code << nbits
        nbits += width

    for codes in cycles:
        put(4)
        width = 3
        for i, code in enumerate(codes):
            put(code)
            if 6 + i >= 1 << width and width < 12:
                width += 1
    put(5)
    data = bits.to_bytes((nbits + 7) // 8, "little")
    return b"".join(bytes([len(data[i:i + 255])]) + data[i:i + 255]
                    for i in range(0, len(data), 255)) + b"\0"


def zero_codes(count, per_cycle=4000):
    """Codes for count pixels of index 0: each code after a clear stands for
    one pixel more than the one before (0 for one pixel, 4 + n for n)."""
    cycles = []
    while count > 0:
        codes = []
        for i in range(per_cycle):
            n = min(i + 1, count)
            codes.append(0 if n == 1 else n + 4)
            count -= n
            if count == 0:
                break
        cycles.append(codes)
    return cycles


def frame_indices(frame, zeros=False, indices=None, **_):
    count = frame[0] * frame[1]
    return [0] * count if zeros else indices or [i % 2 for i in range(count)]


def gif(screen, frame=(1, 1), size=None, zeros=False, indices=None, table=True):
    """A GIF with a 2-colour table (black, white) unless table is false, and
    one frame at 0,0 whose pixels are indices, by default 0, 1, 0, ... (or all
    0); size pads it with a comment to that many bytes."""
    head = b"GIF89a" + struct.pack("<HHBBB", *screen, 0x80 if table else 0, 0, 0)
    head += bytes(3) + b"\xff\xff\xff" if table else b""
    count = frame[0] * frame[1]
    cycles = zero_codes(count) if zeros else [frame_indices(frame, indices=indices)]
    image = b"\x2c" + struct.pack("<HHHHB", 0, 0, *frame, 0) + b"\x02" + lzw(cycles)
    comment = b""
    if size is not None:
        room = size - len(head) - len(image) - 1 - 3  # the trailer, and the comment's own bytes
        while room > 0:
            block = min(room - 1, 255)
            comment += bytes([block]) + b"c" * block
            room -= block + 1
        comment = b"\x21\xfe" + comment + b"\0"
    data = head + comment + image + b"\x3b"
    assert size is None or len(data) == size, (len(data), size)
    return data


# name: (file, expected (width, height), or None). The frame sits at the
# canvas's top-left corner, cut to it; the rest of the canvas is transparent
# black. A canvas may hold 2^20 pixels whatever the file's size, more only up
# to 4096 pixels per file byte, and never more than 2^26; so may a frame.
GIF_CASES = {
    "small-canvas-allowance": ((1024, 1024), {}, (1024, 1024)),
    "one-column-over-small-canvas": ((1025, 1024), {}, None),
    "8000x8000-screen-1x1-frame": ((8000, 8000), {}, None),
    "4096-pixels-a-byte": ((4096, 300), {"size": 300}, (4096, 300)),
    "one-row-over-4096-pixels-a-byte": ((4096, 301), {"size": 300}, None),
    "at-pixel-cap": ((8192, 8192), {"size": 16386}, (8192, 8192)),
    "one-column-over-pixel-cap": ((8193, 8192), {"size": 16386}, None),
    "zero-screen-takes-frame-size": ((0, 0), {"frame": (2, 1)}, (2, 1)),
    "frame-past-canvas": ((2, 2), {"frame": (3, 3)}, (2, 2)),
    # An index past the colour table is opaque black; without any table an
    # index n is the grey n, n, n.
    "index-past-colour-table": ((2, 1), {"frame": (2, 1), "indices": [1, 3]}, (2, 1)),
    "no-colour-table": ((3, 1), {"frame": (3, 1), "indices": [0, 1, 3], "table": False}, (3, 1)),
    "frame-at-pixel-cap": ((1, 1), {"frame": (8192, 8192), "zeros": True}, (1, 1)),
    "frame-one-column-over-pixel-cap": ((1, 1), {"frame": (8193, 8192), "zeros": True}, None),
}


def gif_cases():
    lines = ["# Generated by scripts/make-codec-cases.py; do not edit by hand.",
             "# file width height channels fnv1a64 [tail N: the last N bytes may go], or file refused"]
    for name, (screen, options, expected) in GIF_CASES.items():
        path = write("gif-cases", name + ".gif", gif(screen, **options))
        if expected is None:
            lines.append(f"{path} refused")
            continue
        width, height = expected
        frame = options.setdefault("frame", (1, 1))
        indices = frame_indices(**options)
        table = options.get("table", True)
        colour = {0: BLACK, 1: WHITE} if table else {i: BLACK | i * 0x010101 for i in range(256)}
        h = FNV_OFFSET
        for y in range(height):
            shown = indices[y * frame[0]:y * frame[0] + min(width, frame[0])] if y < frame[1] else []
            h = fnv1a([colour.get(i, BLACK) for i in shown], h)
            h = fnv1a_run(0, width - len(shown), h)
        lines.append(f"{path} {width} {height} rgba {h:016x}")
    # Nothing after the trailer is read; a file cut inside a block is refused.
    one = gif((1, 1))
    lines.append(write("gif-cases", "frame-after-trailer.gif", one[:19] + b"\x3b" + one[19:])
                 + " refused")
    lines.append(write("gif-cases", "cut-inside-comment.gif", one[:19] + b"\x21\xfe\x05ab")
                 + " refused")
    return lines


# ---- BMP encoder cases --------------------------------------------------------

def encoded(width, height, bpp, argb):
    """The file the encoder writes: 40-byte header, 96 dpi, rows bottom-up,
    padded with zeros to 4 bytes; 24 bits drop alpha."""
    stride = (width * bpp // 8 + 3) // 4 * 4
    rows = b""
    for y in reversed(range(height)):
        row = b"".join(struct.pack("<I", v)[:bpp // 8] for v in argb[y * width:(y + 1) * width])
        rows += row + bytes(stride - len(row))
    return (b"BM" + struct.pack("<IHHI", 54 + len(rows), 0, 0, 54)
            + struct.pack("<IiiHHIIiiII", 40, width, height, 1, bpp, 0, len(rows), 3780, 3780, 0, 0)
            + rows)


PIXELS = [0x80102030, 0xFF405060, 0x00708090, 0x11A0B0C0, 0x22D0E0F0, 0x33010203]


def encode_cases():
    lines = ["# Generated by scripts/make-codec-cases.py; do not edit by hand.",
             "# width height bpp planned-file-bytes result argb...: result is the file",
             "# the encoder writes, refused, or - (planned only); the same where size_t has 32 bits,",
             "# as the header's 32-bit size field sets the limit"]
    for width, height, bpp in ((1, 2, 24), (2, 2, 24), (3, 2, 24), (3, 2, 32)):
        argb = PIXELS[:width * height]
        data = encoded(width, height, bpp, argb)
        path = write("bmp-encode", f"{width}x{height}-{bpp}.bmp", data)
        lines.append(f"{width} {height} {bpp} {len(data)} {path} " + " ".join(f"{v:08x}" for v in argb))
    pixels = " ".join(f"{v:08x}" for v in PIXELS)
    lines += [
        "# a pixel short; depths it does not write; no pixels",
        "3 2 24 78 refused " + pixels[:-9],
        "3 2 8 refused refused " + pixels,
        "3 2 16 refused refused " + pixels,
        "0 2 24 refused refused",
        "2 0 24 refused refused",
        "# no pixel cap: only a file of 4 GiB or more is refused, its size having 32 bits",
        f"9000 9000 24 {54 + 9000 * 3 * 9000} -",
        f"4 357913936 24 {54 + 12 * 357913936} -",
        "4 357913937 24 refused -",
        f"1 1073741810 32 {54 + 4 * 1073741810} -",
        "1 1073741811 32 refused -",
        "65536 65536 24 refused -",
        "4294967295 4294967295 32 refused -",
    ]
    return lines


# ---- RAW planes ---------------------------------------------------------------

def raw_planes():
    lines = ["# Generated by scripts/make-codec-cases.py; do not edit by hand.",
             "# layout WIDTH HEIGHT -> COLOUR-BYTES MASK-BYTES FILE-BYTES, or refused"]
    lines.append("# a line opening with size32 or size64 holds only where size_t has that many bits")

    def planned(width, height):
        n = width * height
        colour, mask = 2 * n, (n + 7) // 8
        return f"layout {width} {height} {colour} {mask} {colour + mask + (colour + mask) % 2}"

    largest = {bits: (2**bits - 1) // 8 for bits in (32, 64)}  # 4 bytes a pixel, twice
    for width, height in ((1, 1), (8, 1), (16, 1), (3, 3), (23, 23), (0, 5), (5, 0), (largest[32], 1)):
        lines.append(planned(width, height))
    for width, height in ((-1, 5), (5, -1), (largest[64] + 1, 1), (2**40, 2**40), (2**63 - 1, 2)):
        lines.append(f"layout {width} {height} refused")
    # Planned where size_t has 64 bits, refused where it has 32: the first
    # picture past the 32-bit bound, 2^31 pixels, and the largest 64-bit one.
    for width, height in ((largest[32] + 1, 1), (2**16, 2**15), (largest[64], 1)):
        lines.append("size64 " + planned(width, height))
        lines.append(f"size32 layout {width} {height} refused")

    lines.append("# colour WORD PIXEL: a big-endian 5-6-5 word and its pixel 0xAARRGGBB, alpha 0xFF,")
    lines.append("# both ways; the test takes all the words as one run of pixels, and all the pack lines")
    words = [1 << bit for bit in range(16)] + [0xFFFF ^ (1 << bit) for bit in range(16)]
    words += [(0x1234 + 40503 * i) & 0xFFFF for i in range(48)]
    for word in words:
        red, green, blue = (word >> 11) << 3, ((word >> 5) & 0x3F) << 2, (word & 0x1F) << 3
        lines.append(f"colour {word:04x} {0xFF000000 | red << 16 | green << 8 | blue:08x}")
    lines.append("# pack PIXEL WORD: alpha and the bits a word has no room for are dropped; enough")
    lines.append("# of them for the loops that move eight pixels at a time, and some left over")
    scattered = tuple((0x9E3779B9 * (i + 1)) & 0xFFFFFFFF for i in range(19))
    for pixel in (0xFF070307, 0x00FCFEFC, 0x12345678, 0x80FFFFFF) + scattered:
        red, green, blue = (pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF
        lines.append(f"pack {pixel:08x} {(red >> 3) << 11 | (green >> 2) << 5 | blue >> 3:04x}")

    lines.append("# mask FIRST-BIT PIXELS PLANE: T transparent, o opaque; the plane in hex,")
    lines.append("# the first pixel in the first byte's bit 0x80 >> FIRST-BIT")
    cases = [(0, "TooToooTToooooT"), (0, "o" * 8 + "T" * 8), (0, "T" * 8 + "o" * 8),
             (3, "ToTTooTooTTToooT"), (7, "T" + "o" * 8 + "T"), (17, "oTo"), (0, ""), (8, ""),
             (1, "".join("T" if (i * 7) % 5 < 2 else "o" for i in range(90)))]
    for first, pixels in cases:
        plane = bytearray((first + len(pixels) + 7) // 8)
        for i, p in enumerate(pixels):
            if p == "T":
                plane[(first + i) // 8] |= 0x80 >> ((first + i) % 8)
        lines.append(f"mask {first} {pixels or '-'} {plane.hex() or '-'}")
    return lines


def main():
    tables = {"bmp_cases.txt": bmp_cases(), "gif_cases.txt": gif_cases(),
              "bmp_encode.txt": encode_cases(), "raw_planes.txt": raw_planes()}
    for name, lines in tables.items():
        with open(os.path.join(DATA, name), "w") as f:
            f.write("\n".join(lines) + "\n")
        print("wrote tests/data/" + name)


if __name__ == "__main__":
    main()
