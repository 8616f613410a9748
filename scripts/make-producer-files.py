#!/usr/bin/python3
"""Makes tests/data/producers/: small BMP and GIF pictures written by the programs
people really use (ImageMagick 6, GraphicsMagick, netpbm's ppmtobmp, ffmpeg,
Pillow, GIMP, gifsicle), each named producer-kind (im-rle8-w3.bmp,
gimp-rle4-w3.bmp, ffmpeg-rgb565.bmp, gifsicle-screen.gif, ...), from pictures
this script synthesizes (gradients, value-noise plasma and noise from a fixed
seed, bands and shapes); and tests/data/producers_manifest.txt, what an
independent decoder makes of each of them, in the format of bmp_manifest.txt.

  scripts/make-producer-files.py

Needs Debian 12's imagemagick (convert), graphicsmagick, netpbm, ffmpeg,
python3-pil, gimp (gimp-console runs headless) and gifsicle:

  apt-get update && apt-get install -y imagemagick graphicsmagick netpbm \
    ffmpeg python3-pil gimp gifsicle

Pillow from Debian's python3-pil belongs to the system python, which the
first line names. Rerunning rewrites every file; the bytes depend on those
programs' versions. The script stops when the two decoders it consults
disagree in a way it does not know about.

Each manifest line: file width height channels fnv1a64 source [posix-only why]
  file      relative to tests/data
  channels  rgba:    every byte of R,G,B,A per pixel, top row first, is hashed;
            visible: a pixel of alpha 0 is hashed as four zero bytes (GIF
                     pictures with a transparent index or a bare canvas).
  fnv1a64   FNV-1a 64 of those bytes, 16 hex digits.
  source    im          convert on the file itself (a GIF: its first frame on
                        the whole logical screen, the part no frame covers
                        transparent)
            pil         Pillow, where ImageMagick is wrong: its own RLE8 files
                        one and two pixels wide, and the fourth byte of a
                        32-bit BI_RGB pixel, which it takes for alpha while
                        that byte is unused (the picture is opaque)
            im-widened  convert's output with channels narrower than 5 bits
                        widened by bit repetition, which for 1, 2 and 4 bits
                        is exactly v*255/(2^n-1); convert shifts them up
                        without filling the low bits (a set 1-bit alpha reads
                        as 128, a 4-bit 15 as 240); Pillow cannot read 4-bit ones
Every picture Pillow can read is decoded by both (a GIF: inside its first
frame, as Pillow paints the rest of the screen with the background colour);
where they differ only as documented (Pillow rounds 5- and 6-bit channels down
and ignores a 16-bit alpha mask; convert repeats those bits, as our decoder
does) convert's value is kept. An RLE picture must moreover equal the picture
it was made from: runs that reach past the end of a row (ImageMagick and
GraphicsMagick encode the padding of each row, GIMP's RLE4 writer can end a
row of odd width with a two-pixel run) lose their extra pixels.
"""
import glob
import os
import shutil
import struct
import subprocess
import sys
import tempfile

try:
    from PIL import Image
except ImportError:
    sys.exit(f"needs Pillow for {sys.executable}")

from manifest_pixels import fnv1a64, magick, visible, widen

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
OUT = os.path.join(ROOT, "tests", "data", "producers")
MANIFEST = os.path.join(ROOT, "tests", "data", "producers_manifest.txt")
TOOLS = ("convert", "gm", "ppmtobmp", "ffmpeg", "gimp-console", "gifsicle")


def run(*args, stdout=None, stderr=None):
    subprocess.run(args, check=True, stdout=stdout, stderr=stderr)


def run_to(path, *args, quiet=False):
    """Runs args with their standard output in path; quiet drops their standard error."""
    with open(path, "wb") as f:
        run(*args, stdout=f, stderr=subprocess.DEVNULL if quiet else None)


# --- Source pictures, and what Pillow itself writes ---------------------------

def lcg(seed):
    state = seed
    while True:
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        yield state >> 16


# 40 distinct colours for the palette pictures.
PALETTE = [((i * 97 + 13) % 256, (i * 57 + 200) % 256, (i * 181 + 40) % 256) for i in range(40)]
assert len(set(PALETTE)) == len(PALETTE)


def indexed(w, h, colours, index):
    im = Image.new("P", (w, h))
    im.putpalette([c for rgb in colours for c in rgb])
    px = im.load()
    for y in range(h):
        for x in range(w):
            px[x, y] = index(x, y)
    return im


def bands(w, h, seed=0, n=40):
    # Horizontal runs one to four pixels long, a different colour each row.
    return indexed(w, h, PALETTE[:n], lambda x, y: (y * 7 + x // (1 + y % 4) * 11 + seed) % n)


def shapes(w, h, n):
    # A few flat shapes on a striped ground: n colours at most.
    def index(x, y):
        if (2 * x - w) ** 2 + (2 * y - h) ** 2 < min(w, h) ** 2 // 2:
            return (x + y) % 3 + 1
        if x < w // 3 and y > h // 2:
            return 4 + x % 2
        return 6 + (x + 2 * y) // 3 % (n - 6)
    return indexed(w, h, PALETTE[:n], index)


def bw(w, h):
    return indexed(w, h, [(0, 0, 0), (255, 255, 255)],
                   lambda x, y: int((x - w // 2) ** 2 + (y - h // 2) ** 2 < (h // 2) ** 2) ^ (x % 5 == 0))


def grad(w, h):
    im = Image.new("RGB", (w, h))
    px = im.load()
    for y in range(h):
        for x in range(w):
            px[x, y] = (x * 255 // max(1, w - 1), y * 255 // max(1, h - 1), (x * 37 + y * 91) % 256)
    return im


def plasma(w, h, seed, cell=6):
    # Value noise: random corner values on a coarse grid, blended bilinearly.
    rand = lcg(seed)
    gw, gh = w // cell + 2, h // cell + 2
    grid = [[[next(rand) % 256 for _ in range(3)] for _ in range(gw)] for _ in range(gh)]
    im = Image.new("RGB", (w, h))
    px = im.load()
    for y in range(h):
        gy, fy = divmod(y, cell)
        for x in range(w):
            gx, fx = divmod(x, cell)
            rgb = []
            for c in range(3):
                top = grid[gy][gx][c] * (cell - fx) + grid[gy][gx + 1][c] * fx
                bottom = grid[gy + 1][gx][c] * (cell - fx) + grid[gy + 1][gx + 1][c] * fx
                rgb.append((top * (cell - fy) + bottom * fy) // (cell * cell))
            px[x, y] = tuple(rgb)
    return im


def noise(w, h, seed):
    rand = lcg(seed)
    im = Image.new("RGB", (w, h))
    im.putdata([(next(rand) % 256, next(rand) % 256, next(rand) % 256) for _ in range(w * h)])
    return im


def alpha(w, h, seed):
    # Plasma colours; every third row alternates fully transparent and opaque
    # pixels, the others fade from transparent to opaque.
    im = plasma(w, h, seed).convert("RGBA")
    px = im.load()
    for y in range(h):
        for x in range(w):
            a = (0 if x % 2 else 255) if y % 3 == 0 else x * 255 // max(1, w - 1)
            px[x, y] = px[x, y][:3] + (a,)
    return im


def grey(w, h, seed):
    rand = lcg(seed)
    im = Image.new("L", (w, h))
    im.putdata([(x * 255 // (w - 1) + next(rand) % 32) % 256 for y in range(h) for x in range(w)])
    return im


def many(w, h, seed):
    # One colour a pixel, w*h of them, for palettes that cannot be merged.
    n = w * h
    colours = [((i * 7 + seed * 100) % 256, (i * 13 + seed * 50) % 256, (seed * 80 + i // 2) % 256)
               for i in range(n)]
    return indexed(w, h, colours, lambda x, y: y * w + x)


def make_sources(src):
    def fresh(name):
        # Two producers may share a source picture, never a name for two pictures.
        path = os.path.join(src, name)
        assert not os.path.exists(path), name
        return path

    def png(name, im):
        im.save(fresh(name + ".png"))

    def gif(name, im, **options):
        im.save(fresh(name + ".gif"), **options)

    def ppm(name, im):
        im.convert("RGB").save(fresh(name + ".ppm"))

    # ImageMagick: RLE8 at widths 1 to 9, odd and even heights.
    for width, height in zip(range(1, 10), (7, 5, 5, 3, 7, 4, 5, 6, 9)):
        png(f"bands-{width}x{height}", bands(width, height, seed=width).convert("RGB"))
    png("bands-19x9", bands(19, 9, seed=3).convert("RGB"))
    png("bands-11x7", bands(11, 7, seed=5).convert("RGB"))
    png("shapes-13x7", shapes(13, 7, 12).convert("RGB"))
    png("bw-10x5", bw(10, 5).convert("RGB"))
    png("plasma-21x13", plasma(21, 13, 1))
    png("plasma-19x11", plasma(19, 11, 2))
    png("alpha-17x11", alpha(17, 11, 3))
    png("alpha-13x9", alpha(13, 9, 4))
    png("plasma-23x15", plasma(23, 15, 5))
    png("alpha-15x9", alpha(15, 9, 6))
    png("grad-13x9", grad(13, 9))
    png("plasma-9x6", plasma(9, 6, 7))
    png("alpha-12x8", alpha(12, 8, 8))
    # GraphicsMagick
    png("bands-5x9", bands(5, 9, seed=9).convert("RGB"))
    png("bands-10x6", bands(10, 6, seed=10).convert("RGB"))
    png("bands-7x7", bands(7, 7, seed=11).convert("RGB"))
    png("plasma-14x10", plasma(14, 10, 12))
    png("alpha-11x7", alpha(11, 7, 13))
    # netpbm
    ppm("bw-19x11", bw(19, 11))
    ppm("shapes-15x9", shapes(15, 9, 10))
    ppm("bands-17x9", bands(17, 9, seed=14))
    ppm("plasma-25x17", plasma(25, 17, 15))
    ppm("bw-9x7", bw(9, 7))
    ppm("shapes-7x5", shapes(7, 5, 9))
    ppm("bands-13x11", bands(13, 11, seed=16))
    ppm("plasma-11x9", plasma(11, 9, 17))
    # ffmpeg
    png("plasma-27x19", plasma(27, 19, 18))
    png("noise-17x9", noise(17, 9, 19))
    png("plasma-21x15", plasma(21, 15, 20))
    png("plasma-15x11", plasma(15, 11, 21))
    png("grad-23x7", grad(23, 7))
    png("bw-21x9", bw(21, 9).convert("RGB"))
    png("many-16x10", many(16, 10, 1).convert("RGB"))
    # GIMP: indexed pictures stay indexed, with their whole palette.
    png("shapes-3x5", shapes(3, 5, 12))
    png("shapes-7x9", shapes(7, 9, 11))
    png("shapes-9x5", shapes(9, 5, 12))
    png("bands-3x7", bands(3, 7, seed=22))
    png("bands-6x5", bands(6, 5, seed=23))
    png("plasma-13x9", plasma(13, 9, 24))
    png("plasma-11x7", plasma(11, 7, 25))
    png("alpha-9x6", alpha(9, 6, 26))
    png("alpha-12x5", alpha(12, 5, 27))
    png("noise-7x5", noise(7, 5, 28))
    png("grad-10x6", grad(10, 6))
    # gifsicle starts from GIF files Pillow writes.
    gif("plasma-9x6", plasma(9, 6, 29).quantize(24), interlace=False)
    gif("bands-17x19", bands(17, 19, seed=30), interlace=False)
    gif("shapes-11x8", shapes(11, 8, 10), interlace=False)
    gif("many-16x10a", many(16, 10, 5), interlace=False)
    gif("many-16x10b", many(16, 10, 6), interlace=False)

    # Pillow's own files.
    bw(13, 7).convert("1").save(os.path.join(OUT, "pil-1.bmp"))
    grey(11, 9, 31).save(os.path.join(OUT, "pil-L.bmp"))
    bands(15, 7, seed=32).save(os.path.join(OUT, "pil-P.bmp"))
    plasma(9, 5, 33).save(os.path.join(OUT, "pil-RGB.bmp"))
    alpha(10, 6, 34).save(os.path.join(OUT, "pil-RGBA.bmp"))
    bands(19, 13, seed=35).save(os.path.join(OUT, "pil-P.gif"), interlace=False)
    shapes(14, 9, 8).save(os.path.join(OUT, "pil-trns.gif"), transparency=2, interlace=False)
    bands(20, 17, seed=36).save(os.path.join(OUT, "pil-interlace.gif"), interlace=True)
    many(16, 10, 3).save(os.path.join(OUT, "pil-local.gif"), save_all=True,
                         append_images=[many(16, 10, 4)], include_color_table=True, interlace=False)

# --- ImageMagick 6 --------------------------------------------------------------

def imagemagick(src):
    for size in ("1x7", "2x5", "3x5", "4x3", "5x7", "6x4", "7x5", "8x6", "9x9"):
        run("convert", f"{src}/bands-{size}.png", "-colors", "120", "-type", "Palette",
            "-compress", "RLE", f"BMP3:{OUT}/im-rle8-w{size.split('x')[0]}.bmp")
    for source, options, kind, name in (
            ("bands-19x9", ("-colors", "120", "-type", "Palette", "-compress", "None"), "BMP3:",
             "im-pal8.bmp"),
            ("shapes-13x7", ("-colors", "16", "-type", "Palette"), "BMP3:", "im-pal4.bmp"),
            ("bw-10x5", ("-type", "Palette"), "BMP3:", "im-pal1.bmp"),
            ("plasma-21x13", ("-define", "bmp:subtype=RGB565"), "BMP:", "im-565.bmp"),
            ("plasma-19x11", ("-define", "bmp:subtype=RGB555"), "BMP:", "im-555.bmp"),
            ("alpha-17x11", ("-define", "bmp:subtype=ARGB1555"), "BMP:", "im-argb1555.bmp"),
            ("alpha-13x9", ("-define", "bmp:subtype=ARGB4444"), "BMP:", "im-argb4444.bmp"),
            ("plasma-23x15", (), "BMP3:", "im-24.bmp"),
            ("alpha-15x9", (), "BMP:", "im-32-alpha.bmp"),
            ("grad-13x9", (), "BMP2:", "im-os2-24.bmp"),
            ("bands-11x7", ("-colors", "120", "-type", "Palette"), "BMP2:", "im-os2-8.bmp"),
            ("plasma-9x6", ("-set", "page", "17x12+4+3"), "", "im-page.gif"),
            ("alpha-12x8", ("-channel", "A", "-threshold", "50%", "+channel"), "", "im-trns.gif")):
        run("convert", f"{src}/{source}.png", *options, f"{kind}{OUT}/{name}")


# --- GraphicsMagick -------------------------------------------------------------

def graphicsmagick(src):
    for size in ("5x9", "7x7", "10x6"):
        run("gm", "convert", f"{src}/bands-{size}.png", "-colors", "120", "-compress", "RLE",
            f"BMP3:{OUT}/gm-rle8-w{size.split('x')[0]}.bmp")
    run("gm", "convert", f"{src}/plasma-14x10.png", f"BMP3:{OUT}/gm-24.bmp")
    run("gm", "convert", f"{src}/alpha-11x7.png", f"BMP:{OUT}/gm-32-alpha.bmp")


# --- netpbm ---------------------------------------------------------------------

def netpbm(src):
    for options, source, name in (
            (("-bpp", "1"), "bw-19x11", "ppm-1"), (("-bpp", "4"), "shapes-15x9", "ppm-4"),
            (("-bpp", "8"), "bands-17x9", "ppm-8"), (("-bpp", "24"), "plasma-25x17", "ppm-24"),
            (("-os2", "-bpp", "1"), "bw-9x7", "ppm-os2-1"),
            (("-os2", "-bpp", "4"), "shapes-7x5", "ppm-os2-4"),
            (("-os2", "-bpp", "8"), "bands-13x11", "ppm-os2-8"),
            (("-os2", "-bpp", "24"), "plasma-11x9", "ppm-os2-24")):
        run_to(f"{OUT}/{name}.bmp", "ppmtobmp", *options, f"{src}/{source}.ppm", quiet=True)


# --- ffmpeg ---------------------------------------------------------------------

def ffmpeg(src):
    def ff(*args):
        run("ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-i", *args)

    for source, pix_fmt, name in (
            ("plasma-27x19", "bgr24", "bgr24"), ("alpha-13x9", "bgra", "bgra"),
            ("noise-17x9", "rgb555le", "rgb555"), ("plasma-21x15", "rgb565le", "rgb565"),
            ("plasma-15x11", "rgb444le", "rgb444"), ("plasma-19x11", "pal8", "pal8"),
            ("bands-11x7", "rgb8", "rgb8"), ("grad-23x7", "gray", "gray"),
            ("bw-21x9", "monob", "monob")):
        ff(f"{src}/{source}.png", "-frames:v", "1", "-update", "1", "-pix_fmt", pix_fmt,
           "-c:v", "bmp", f"{OUT}/ffmpeg-{name}.bmp")
    # A palette made for the picture, written with the frame rather than the screen.
    ff(f"{src}/many-16x10.png", "-frames:v", "1", "-global_palette", "0", "-filter_complex",
       "split[a][b];[a]palettegen=reserve_transparent=0[p];[b][p]paletteuse=dither=none",
       f"{OUT}/ffmpeg-local.gif")


# --- GIMP -----------------------------------------------------------------------

# source, name, RLE, rgb-format: 0 RGB565, 1 RGBA5551, 2 RGB555, 3 RGB888, 4 RGBA8888, 5 RGBX8888.
GIMP_FILES = (
    ("shapes-3x5", "rle4-w3", 1, 3), ("shapes-7x9", "rle4-w7", 1, 3),
    ("bands-3x7", "rle8-w3", 1, 3), ("bands-6x5", "rle8-w6", 1, 3),
    ("shapes-9x5", "pal4", 0, 3), ("plasma-13x9", "565", 0, 0), ("plasma-11x7", "555", 0, 2),
    ("alpha-9x6", "5551", 0, 1), ("alpha-12x5", "8888", 0, 4), ("noise-7x5", "x888", 0, 5),
    ("grad-10x6", "24", 0, 3))


def gimp(src, work):
    script = """
(define (save-bmp in out rle format)
  (let* ((image (car (gimp-file-load RUN-NONINTERACTIVE in in)))
         (drawable (car (gimp-image-get-active-drawable image))))
    (file-bmp-save2 RUN-NONINTERACTIVE image drawable out out rle 0 format)
    (gimp-image-delete image)))
""" + "".join(f'(save-bmp "{src}/{source}.png" "{OUT}/gimp-{name}.bmp" {rle} {rgb_format})\n'
              for source, name, rle, rgb_format in GIMP_FILES) + "(gimp-quit 0)"
    # gimp-console runs headless, with its settings and cache in the work folder.
    env = dict(os.environ, GIMP2_DIRECTORY=f"{work}/gimp", XDG_CONFIG_HOME=f"{work}/config",
               XDG_CACHE_HOME=f"{work}/cache")
    done = subprocess.run(["gimp-console", "-i", "-d", "-f", "-b", script], env=env,
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if done.returncode != 0:
        sys.stderr.buffer.write(done.stdout)
        sys.exit(1)
    for _, name, _, _ in GIMP_FILES:
        path = f"{OUT}/gimp-{name}.bmp"
        if not os.path.isfile(path) or os.path.getsize(path) == 0:
            sys.exit(f"GIMP did not write gimp-{name}.bmp")


# --- gifsicle -------------------------------------------------------------------

def gifsicle(src):
    run_to(f"{OUT}/gifsicle-screen.gif", "gifsicle", "-S", "20x15", "-p", "6,5",
           f"{src}/plasma-9x6.gif")
    run_to(f"{OUT}/gifsicle-interlace.gif", "gifsicle", "-i", f"{src}/bands-17x19.gif")
    run_to(f"{OUT}/gifsicle-trns.gif", "gifsicle", "-t", "3", f"{src}/shapes-11x8.gif")
    # Too many colours for one table: the frames after the first get their own.
    run_to(f"{OUT}/gifsicle-local.gif", "gifsicle", f"{src}/many-16x10a.gif",
           f"{src}/many-16x10b.gif", f"{src}/many-16x10b.gif", quiet=True)


# --- Manifest -------------------------------------------------------------------

# ImageMagick 6.9 reads these wrongly; Pillow's reading equals the source.
PIL_SOURCE = {
    "im-rle8-w1.bmp": "ImageMagick misreads its own RLE8 file 1 pixel wide",
    "im-rle8-w2.bmp": "ImageMagick misreads its own RLE8 file 2 pixels wide",
}
# RLE pictures and the picture each was made from.
RLE_SOURCE = {f"im-rle8-w{w}.bmp": f"bands-{w}x{h}.png"
              for w, h in zip(range(1, 10), (7, 5, 5, 3, 7, 4, 5, 6, 9))}
RLE_SOURCE.update({
    "gm-rle8-w5.bmp": "bands-5x9.png", "gm-rle8-w7.bmp": "bands-7x7.png",
    "gm-rle8-w10.bmp": "bands-10x6.png", "gimp-rle4-w3.bmp": "shapes-3x5.png",
    "gimp-rle4-w7.bmp": "shapes-7x9.png", "gimp-rle8-w3.bmp": "bands-3x7.png",
    "gimp-rle8-w6.bmp": "bands-6x5.png",
})


def pillow(path):
    # (width, height, RGBA bytes, box the first frame covers), or None.
    try:
        with Image.open(path) as im:
            box = im.tile[0][1] if im.tile else (0, 0) + im.size
            rgba = im.convert("RGBA")
            return rgba.width, rgba.height, rgba.tobytes(), box
    except (OSError, ValueError):
        return None


def bmp_layout(path):
    # (bits per pixel, compression, channel mask widths R, G, B, A or None).
    with open(path, "rb") as f:
        head = f.read(200)
    (info,) = struct.unpack_from("<I", head, 14)
    if info == 12:
        return struct.unpack_from("<H", head, 24)[0], 0, None
    bpp, compression = struct.unpack_from("<HI", head, 28)
    if compression != 3:
        return bpp, compression, None
    masks = list(struct.unpack_from("<3I", head, 54))
    masks.append(struct.unpack_from("<I", head, 54 + 12)[0] if info >= 56 else 0)
    return bpp, compression, tuple(bin(m).count("1") for m in masks)


def disagreements(ours, theirs, width, box, tolerance, with_alpha):
    count = 0
    for i in range(0, len(ours), 4):
        x, y = i // 4 % width, i // 4 // width
        if box[0] <= x < box[2] and box[1] <= y < box[3]:
            pairs = zip(ours[i:i + (4 if with_alpha else 3)], theirs[i:i + 4])
            count += any(abs(a - b) > tolerance for a, b in pairs)
    return count


# Rows the Windows build leaves out: there GDI+ decodes, and Wine's reads
# these files otherwise (checked with scripts/test-windows.sh).
WINE_REFUSES_16BIT = "posix-only Wine's GDI+ refuses 16-bit bit fields other than 5-6-5 and 5-5-5"
WINE_555 = "posix-only Wine's GDI+ reads other values from 16-bit 5-5-5 pixels"
WINE_ALPHA = "posix-only Wine's GDI+ reads other values from 32-bit pixels with an alpha mask"
WINE_SCREEN = "posix-only Wine's GDI+ does not show a first frame smaller than the screen on a transparent screen"
POSIX_ONLY = {
    "ffmpeg-rgb444.bmp": WINE_REFUSES_16BIT, "gimp-5551.bmp": WINE_REFUSES_16BIT,
    "im-argb1555.bmp": WINE_REFUSES_16BIT, "im-argb4444.bmp": WINE_REFUSES_16BIT,
    "ffmpeg-rgb555.bmp": WINE_555, "gimp-555.bmp": WINE_555, "im-555.bmp": WINE_555,
    "gimp-8888.bmp": WINE_ALPHA, "gm-32-alpha.bmp": WINE_ALPHA, "im-32-alpha.bmp": WINE_ALPHA,
    "gifsicle-screen.gif": WINE_SCREEN, "im-page.gif": WINE_SCREEN,
}


def describe(name, src, problems):
    """The manifest line of producers/NAME; what is wrong with the file goes to problems."""
    path = os.path.join(OUT, name)
    is_gif = name.endswith(".gif")
    # A GIF's first frame on its logical screen; what it leaves bare is transparent.
    args = ("-alpha", "set", "-background", "none", "-coalesce")
    width, height, rgba = magick(path + "[0]", *args) if is_gif else magick(path)
    assert len(rgba) == width * height * 4, name
    other = pillow(path)
    box = (0, 0, width, height)
    source, tolerance, with_alpha, alpha_mask = "im", 0, True, False
    if is_gif:
        if other is not None:
            box = other[3]
            # Pillow paints the bare canvas with the background colour.
            bare = [rgba[i + 3] for i in range(0, len(rgba), 4)
                    if not (box[0] <= i // 4 % width < box[2] and box[1] <= i // 4 // width < box[3])]
            if any(bare):
                problems.append(f"{name}: ImageMagick paints the canvas outside the first frame")
    else:
        bpp, compression, widths = bmp_layout(path)
        if ("rle8" in name, "rle4" in name) != (compression == 1, compression == 2):
            problems.append(f"{name}: compression {compression}")
        alpha_mask = bool(widths and widths[3])
        if bpp == 16:
            tolerance = 1  # Pillow rounds 5- and 6-bit channels down; convert repeats their bits
            with_alpha = not alpha_mask  # Pillow ignores a 16-bit alpha mask
        if name in PIL_SOURCE:
            source = "pil"
        elif bpp == 32 and compression == 0:
            # The fourth byte is unused: ImageMagick's alpha is not the picture's.
            source, with_alpha = "pil", False
        elif widths and min(w for w in widths if w) < 5:
            source = "im-widened"
            rgba = widen(rgba, widths)
    if source == "pil":
        im_rgba, (width, height, rgba, _) = rgba, other
        count = disagreements(im_rgba, rgba, width, box, tolerance, with_alpha)
        if name in PIL_SOURCE:
            print(f"{name}: ImageMagick gets {count} of {width * height} pixels wrong", file=sys.stderr)
        elif count:
            problems.append(f"{name}: {count} pixels differ from ImageMagick's")
    elif other is None:
        print(f"{name}: Pillow cannot read it; ImageMagick alone", file=sys.stderr)
    else:
        theirs, ours = other[2], rgba
        if is_gif:
            theirs, ours = visible(theirs), visible(ours)
        if other[:2] != (width, height):
            problems.append(f"{name}: Pillow reads another size")
        elif disagreements(ours, theirs, width, box, tolerance, with_alpha):
            problems.append(f"{name}: Pillow disagrees")
    if name in RLE_SOURCE:
        with Image.open(os.path.join(src, RLE_SOURCE[name])) as im:
            if im.convert("RGBA").tobytes() != rgba:
                problems.append(f"{name}: not the picture it was made from")
    channels = "rgba"
    if is_gif and any(rgba[i] == 0 for i in range(3, len(rgba), 4)):
        channels, rgba = "visible", visible(rgba)
    elif not is_gif and not alpha_mask and any(rgba[i] != 255 for i in range(3, len(rgba), 4)):
        problems.append(f"{name}: transparent pixels but no alpha mask")
    line = f"producers/{name} {width} {height} {channels} {fnv1a64(rgba):016x} {source}"
    return line + (" " + POSIX_ONLY[name] if name in POSIX_ONLY else "")


def write_manifest(src):
    problems = []
    lines = [describe(name, src, problems) for name in sorted(os.listdir(OUT))]
    if problems:
        sys.exit("\n".join(problems))
    with open(MANIFEST, "w") as f:
        f.write("# Generated by scripts/make-producer-files.py; do not edit by hand.\n")
        f.write("# file width height channels fnv1a64 source, or file refused why\n")
        f.writelines(line + "\n" for line in lines)


def main():
    for tool in TOOLS:
        if shutil.which(tool) is None:
            sys.exit(f"needs {tool}")
    with tempfile.TemporaryDirectory() as work:
        src = os.path.join(work, "src")
        os.makedirs(src)
        os.makedirs(OUT, exist_ok=True)
        for old in glob.glob(os.path.join(OUT, "*.bmp")) + glob.glob(os.path.join(OUT, "*.gif")):
            os.remove(old)
        make_sources(src)
        imagemagick(src)
        graphicsmagick(src)
        netpbm(src)
        ffmpeg(src)
        gimp(src, work)
        gifsicle(src)
        write_manifest(src)
    print(f"wrote {len(os.listdir(OUT))} files to {OUT} and {MANIFEST}", file=sys.stderr)


if __name__ == "__main__":
    main()
