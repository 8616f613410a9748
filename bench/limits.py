#!/usr/bin/env python3
"""The largest square picture an executable converts, in each direction, and
its peak memory; then the first size past each limit, which must fail cleanly.

Usage: bench/limits.py path/to/Tessarel[.exe] [--launcher PROGRAM] [--step N]
                      [--low N] [--high N] [--work DIR]

For the 32-bit Windows executable run it through bench/run.sh limits32, which
gives it the 32-bit Wine loader and a prefix of its own. Sides are searched in
steps of --step (default 512) by bisection: a side converts when its result
line is "-OK" and the output has the expected size; it fails cleanly when the
line is "-ERROR LOAD" or "-FAILD" and nothing stands under the output names.
Anything else (a crash, a hang past 10 minutes, a half-written file) stops the
search with an error. Pictures are zeros (a GIF: one transparent colour): their content does not change what a
conversion allocates, and a sparse file costs no disk to make.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile


def run(tool, args, work):
    """(result line, peak RSS in KiB) of one run."""
    try:
        proc = subprocess.run(["/usr/bin/time", "-v"] + tool + args, cwd=work, text=True,
                              capture_output=True, timeout=600, stdin=subprocess.DEVNULL)
    except subprocess.TimeoutExpired:
        sys.exit(f"hang: {' '.join(args)}")
    rss = next((int(l.split()[-1]) for l in proc.stderr.splitlines() if "Maximum resident" in l), 0)
    if proc.returncode != 0:
        sys.exit(f"exit status {proc.returncode}: {' '.join(args)}\n{proc.stderr[-2000:]}")
    return proc.stdout.strip(), rss


def fresh(work, *names):
    for name in names:
        path = os.path.join(work, name)
        shutil.rmtree(path, ignore_errors=True)
        os.makedirs(path)


def raw_to_bmp(tool, work, side):
    fresh(work, "in", "out")
    n = side * side
    planes = 2 * n + (n + 7) // 8
    with open(os.path.join(work, f"in/p({side}x{side}).raw"), "wb") as f:
        f.truncate(planes + planes % 2)
    line, rss = run(tool, ["-c:BMP", "in/*.raw", "out"], work)
    outputs = sorted(os.listdir(os.path.join(work, "out")))
    return line, rss, outputs, ["p(%dx%d).bmp" % (side, side), "p(%dx%d)_mask.bmp" % (side, side)]


def bmp_header(side, bpp):
    stride = (side * bpp // 8 + 3) // 4 * 4
    size = 54 + stride * side
    return (b"BM" + size.to_bytes(4, "little") + bytes(4) + (54).to_bytes(4, "little")
            + (40).to_bytes(4, "little") + side.to_bytes(4, "little") + side.to_bytes(4, "little")
            + (1).to_bytes(2, "little") + bpp.to_bytes(2, "little") + bytes(4)
            + (stride * side).to_bytes(4, "little") + (3780).to_bytes(4, "little") * 2
            + bytes(8)), size


def bmp_to_raw(tool, work, side):
    fresh(work, "in", "out")
    header, size = bmp_header(side, 24)
    for name in ("p.bmp", "p_mask.bmp"):
        with open(os.path.join(work, "in", name), "wb") as f:
            f.write(header)
            f.truncate(size)
    line, rss = run(tool, ["-c:RAW", "in/p.bmp", "out"], work)
    return line, rss, sorted(os.listdir(os.path.join(work, "out"))), [f"p({side}x{side}).raw"]


def gif_bytes(side):
    """A side x side GIF of colour 0, transparent: 9-bit LZW literals with a
    clear code before every 250, eight such runs making whole bytes."""
    def pack(codes):
        bits = "".join(format(c, "09b")[::-1] for c in codes)
        bits += "0" * (-len(bits) % 8)
        return bytes(int(bits[i:i + 8][::-1], 2) for i in range(0, len(bits), 8))
    run = [256] + [0] * 250
    n = side * side
    chunk = pack(run * 8)  # 2000 pixels, 2259 bytes
    tail = n % 2000
    codes = []
    while tail:
        codes += [256] + [0] * min(250, tail)
        tail -= min(250, tail)
    data = chunk * (n // 2000) + pack(codes + [257])
    blocks = b"".join(bytes([len(data[i:i + 255])]) + data[i:i + 255]
                      for i in range(0, len(data), 255))
    size = side.to_bytes(2, "little") * 2
    return (b"GIF89a" + size + bytes([0xF7, 0, 0]) + bytes(3 * 256)
            + bytes([0x21, 0xF9, 4, 1, 0, 0, 0, 0]) + b"," + bytes(4) + size + b"\0\x08"
            + blocks + b"\0;")


def gif_to_raw(tool, work, side):
    fresh(work, "in", "out")
    with open(os.path.join(work, "in/p.gif"), "wb") as f:
        f.write(gif_bytes(side))
    line, rss = run(tool, ["-c:RAW", "in/p.gif", "out"], work)
    return line, rss, sorted(os.listdir(os.path.join(work, "out"))), [f"p({side}x{side}).raw"]


def converts(direction, tool, work, side):
    line, rss, outputs, expected = direction(tool, work, side)
    if line.endswith(" -OK") and outputs == expected:
        return True, rss
    if (line.endswith(" -ERROR LOAD") or line.endswith(" -FAILD")) and not outputs:
        return False, rss
    sys.exit(f"side {side}: unclean result {line!r}, outputs {outputs}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("tool")
    parser.add_argument("--launcher", default=None)
    parser.add_argument("--step", type=int, default=512)
    parser.add_argument("--low", type=int, default=4096)
    parser.add_argument("--high", type=int, default=40960)
    parser.add_argument("--work", default=None)
    opts = parser.parse_args()
    tool = ([opts.launcher] if opts.launcher else []) + [os.path.abspath(opts.tool)]
    work = opts.work or tempfile.mkdtemp(prefix="tessarel-limits-")
    print("| Direction | Largest side | Peak RSS | First side past it | Its result |")
    print("|---|---|---|---|---|")
    for label, direction, high in (("RAW → BMP pair", raw_to_bmp, opts.high),
                                   ("BMP pair → RAW", bmp_to_raw, opts.high),
                                   ("GIF → RAW", gif_to_raw, opts.high)):
        low, top = opts.low // opts.step, high // opts.step
        ok, low_rss = converts(direction, tool, work, low * opts.step)
        if not ok:
            print(f"| {label} | under {low * opts.step} | - | - | - |", flush=True)
            continue
        while top - low > 1:  # low converts; top is not yet known to fail
            mid = (low + top) // 2
            ok, rss = converts(direction, tool, work, mid * opts.step)
            if ok:
                low, low_rss = mid, rss
            else:
                top = mid
        past, _ = converts(direction, tool, work, top * opts.step)
        result = "converts" if past else "fails cleanly"
        print(f"| {label} | {low * opts.step} | {low_rss / 1024:.0f} MiB | {top * opts.step} | "
              f"{result} |", flush=True)
    if opts.work is None:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
