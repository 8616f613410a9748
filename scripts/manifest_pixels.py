"""What the manifest generators share: ImageMagick's reading of a picture as
RGBA bytes, and the hash and adjustments the manifests record."""
import subprocess


def magick(*inputs):
    """Width, height and RGBA bytes of `convert INPUTS`."""
    size = subprocess.run(["convert", *inputs, "-format", "%w %h", "info:"],
                          check=True, capture_output=True, text=True).stdout.split()
    rgba = subprocess.run(["convert", *inputs, "-depth", "8", "rgba:-"], check=True,
                          capture_output=True).stdout
    return int(size[0]), int(size[1]), rgba


FNV_OFFSET, FNV_PRIME, MASK64 = 0xCBF29CE484222325, 0x100000001B3, (1 << 64) - 1


def fnv1a64(pixels, with_alpha=True, h=FNV_OFFSET):
    """FNV-1a 64 of RGBA bytes, the alpha bytes left out unless with_alpha;
    h carries on a hash of the bytes before them."""
    if not with_alpha:
        pixels = bytes(byte for i, byte in enumerate(pixels) if i % 4 != 3)
    for byte in pixels:
        h = ((h ^ byte) * FNV_PRIME) & MASK64
    return h


def visible(rgba):
    """Every pixel of alpha 0 as four zero bytes: its colour is not seen."""
    return b"".join(bytes(4) if rgba[i + 3] == 0 else rgba[i:i + 4] for i in range(0, len(rgba), 4))


def widen(rgba, widths):
    """Channels of widths[k] bits, which ImageMagick shifts up, widened by bit
    repetition instead (for 1, 2 and 4 bits exactly v * 255 / (2^n - 1))."""
    out = bytearray(rgba)
    for i, byte in enumerate(rgba):
        bits = widths[i % 4]
        if bits == 0:
            continue
        v = byte >> (8 - bits)
        acc, filled = 0, 0
        while filled < 8:
            acc, filled = (acc << bits) | v, filled + bits
        out[i] = acc >> (filled - 8)
    return bytes(out)
