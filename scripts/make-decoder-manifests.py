#!/usr/bin/env python3
"""Regenerates tests/data/bmp_manifest.txt and tests/data/gif_manifest.txt: what
an independent decoder, Debian's ImageMagick 6 (`convert`), makes of each
third-party test picture in tests/data (the bmpsuite and the Pillow GIF files),
so the decoder tests compare our pixels with someone else's.

  scripts/make-decoder-manifests.py

Each line: file width height channels fnv1a64 source, or file refused why
  file      relative to tests/data
  channels  rgba:    every byte of R,G,B,A per pixel, top row first, is hashed;
            rgb:     alpha left out of the hash (and of the comparison);
            visible: a pixel of alpha 0 is hashed as four zero bytes.
  fnv1a64   FNV-1a 64 of those bytes, 16 hex digits.
  source    im            convert on the file itself (a GIF: its first frame
                          on the whole logical screen, `[0] -coalesce`)
            im:OTHER      convert on OTHER, a file with the same picture that
                          ImageMagick reads correctly
            im-widened    convert's output with narrow channels widened by bit
                          repetition (see below)
            reference     decoded by the few lines of Python below, checked by
                          hand against the bmpsuite description of the file
"""
import os
import shutil
import struct
import sys

from manifest_pixels import fnv1a64, magick, visible, widen

DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "data")
SUITE = os.path.join(DATA, "bmpsuite")

# Where ImageMagick 6.9 cannot be taken at its word, and why.
SAME_PICTURE = {
    # It misreads the 64-byte OS/2 2.x header; the picture is pal8's.
    "q/pal8os2v2.bmp": "g/pal8.bmp",
    # It refuses biClrUsed 300; only that field differs from pal8.
    "q/pal8oversizepal.bmp": "g/pal8.bmp",
    # It does not know compression 6 (alpha bitfields); same pixels as rgba32.
    "q/rgba32abf.bmp": "q/rgba32.bmp",
}
# It shifts channels narrower than 5 bits up without filling the low bits
# (4-bit 15 becomes 240, not 255); the channel widths (R, G, B, A) in bits.
WIDEN = {
    "q/rgb16-231.bmp": (2, 3, 1, 0),
    "q/rgba16-4444.bmp": (4, 4, 4, 4),
}
# The fourth byte of a 32-bit BI_RGB pixel is unused, but ImageMagick reads it
# as alpha; compare colour only.
RGB_ONLY = {"q/rgb32fakealpha.bmp"}
# JPEG and PNG inside a BMP are not BMP pixels; b/ files must be refused.
REFUSED = {"q/rgb24jpeg.bmp": "embedded JPEG", "q/rgb24png.bmp": "embedded PNG"}
# These b/ files damage only a field the pixels do not depend on; they decode
# as the good file named.
BAD_BUT_INTACT = {
    "b/badbitssize.bmp": "g/pal1.bmp",  # biSizeImage: redundant for BI_RGB
    "b/baddens1.bmp": "g/pal1.bmp",  # resolution fields
    "b/baddens2.bmp": "g/pal1.bmp",
    "b/badfilesize.bmp": "g/pal1.bmp",  # bfSize: often wrong in the wild
    "b/badpalettesize.bmp": "g/pal8.bmp",  # biClrUsed: clamped to what fits
}
SAME_PICTURE.update(BAD_BUT_INTACT)
# Pillow GIFs we refuse, and the ones whose fully transparent pixels
# ImageMagick gives another colour than the palette's.
GIF_REFUSED = {
    "decompression_bomb.gif": "a 44-byte file claiming a huge canvas",
    "zero_width.gif": "a frame zero pixels wide",
    "issue_2811.gif": "giflib cannot read it",
}
GIF_VISIBLE = {"dispose_bgnd_transparency.gif", "first_frame_transparency.gif"}


def reference_pal2(data):
    # 2 bits a pixel, 4-entry B,G,R,x palette after the 40-byte header, rows
    # bottom-up padded to 4 bytes.
    (offset,) = struct.unpack_from("<I", data, 10)
    width, height = struct.unpack_from("<ii", data, 18)
    palette = [data[54 + 4 * i:58 + 4 * i] for i in range(4)]
    stride = (width * 2 + 31) // 32 * 4
    out = bytearray()
    for row in range(height):
        base = offset + (height - 1 - row) * stride
        for x in range(width):
            index = (data[base + x // 4] >> (6 - 2 * (x % 4))) & 3
            b, g, r = palette[index][:3]
            out += bytes((r, g, b, 255))
    return width, height, bytes(out)


def reference_111110(data):
    # 32-bit bitfields: red 0xFFE00000, green 0x001FFC00, blue 0x000003FF;
    # each channel rounded to the nearest of 256 levels. ImageMagick 6 maps
    # 2047 to 254.
    (offset,) = struct.unpack_from("<I", data, 10)
    width, height = struct.unpack_from("<ii", data, 18)
    out = bytearray()
    for row in range(height):
        base = offset + (height - 1 - row) * width * 4
        for (v,) in struct.iter_unpack("<I", data[base:base + width * 4]):
            for shift, bits in ((21, 11), (10, 11), (0, 10)):
                top = (1 << bits) - 1
                out.append((((v >> shift) & top) * 255 + top // 2) // top)
            out.append(255)
    return width, height, bytes(out)


REFERENCE = {"q/pal2.bmp": reference_pal2, "q/rgb32-111110.bmp": reference_111110}


def bmp_lines():
    lines = []
    for folder in ("g", "q", "b"):
        for name in sorted(os.listdir(os.path.join(SUITE, folder))):
            rel = folder + "/" + name
            if rel in REFUSED or (folder == "b" and rel not in BAD_BUT_INTACT):
                lines.append(f"bmpsuite/{rel} refused {REFUSED.get(rel, 'bad file')}")
                continue
            if rel in REFERENCE:
                with open(os.path.join(SUITE, rel), "rb") as f:
                    width, height, rgba = REFERENCE[rel](f.read())
                source = "reference"
            elif rel in SAME_PICTURE:
                width, height, rgba = magick(os.path.join(SUITE, SAME_PICTURE[rel]))
                source = "im:" + SAME_PICTURE[rel]
            elif rel in WIDEN:
                width, height, rgba = magick(os.path.join(SUITE, rel))
                rgba = widen(rgba, WIDEN[rel])
                source = "im-widened"
            else:
                width, height, rgba = magick(os.path.join(SUITE, rel))
                source = "im"
            assert len(rgba) == width * height * 4, rel
            channels = "rgb" if rel in RGB_ONLY else "rgba"
            digest = fnv1a64(rgba, channels == "rgba")
            lines.append(f"bmpsuite/{rel} {width} {height} {channels} {digest:016x} {source}")
    return lines


def gif_lines():
    lines = []
    for name in sorted(os.listdir(os.path.join(DATA, "gif"))):
        if not name.endswith(".gif"):
            continue
        if name in GIF_REFUSED:
            lines.append(f"gif/{name} refused {GIF_REFUSED[name]}")
            continue
        width, height, rgba = magick(os.path.join(DATA, "gif", name) + "[0]", "-coalesce")
        channels = "visible" if name in GIF_VISIBLE else "rgba"
        if channels == "visible":
            rgba = visible(rgba)
        lines.append(f"gif/{name} {width} {height} {channels} {fnv1a64(rgba, True):016x} im")
    return lines


def write(name, lines):
    with open(os.path.join(DATA, name), "w") as f:
        f.write("# Generated by scripts/make-decoder-manifests.py; do not edit by hand.\n")
        f.write("# file width height channels fnv1a64 source, or file refused why\n")
        f.writelines(line + "\n" for line in lines)


def main():
    if shutil.which("convert") is None:
        sys.exit("needs ImageMagick's convert")
    write("bmp_manifest.txt", bmp_lines())
    write("gif_manifest.txt", gif_lines())
    print(f"wrote {os.path.normpath(DATA)}/bmp_manifest.txt and gif_manifest.txt", file=sys.stderr)


if __name__ == "__main__":
    main()
