#!/usr/bin/env python3
"""Conversion speed and memory against the I/O floor of the same machine.

Usage: bench/run.py path/to/Tessarel [--runs N] [--work DIR] [--launcher PROGRAM]

With --launcher the tool runs through PROGRAM (Wine's wine64 for Tessarel.exe);
the I/O floor stays native.

Generates its inputs with a fixed seed, then times, for each scenario, the
median wall time of N runs (process start included) and the peak resident
memory (/usr/bin/time -v), the same with the tool held to one core (taskset -c 0),
and the same for the I/O floor: reading the same
input bytes (cat) and creating and writing files of the same number and sizes
as the outputs (cp -r of a directory shaped like the output), once on one
thread and once split between two; a run over its own earlier outputs, against
writing each output to a temporary file renamed over the older one (a C
program, built with cc). Natively it also times the start of a
run, with and without SDL (which the preview opens only when it is shown).
"""
import argparse
import os
import glob
import random
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile
import time


def raw_bytes(rng, w, h):
    n = w * h
    colour = rng.randbytes(2 * n)
    mask = bytearray(rng.randbytes((n + 7) // 8))
    if n % 8:
        mask[-1] &= (0xFF << (8 - n % 8)) & 0xFF  # bits past the last pixel are 0
    data = colour + bytes(mask)
    return data + (b"\0" if len(data) % 2 else b"")


def timed(cmd, cwd):
    """Wall seconds and peak RSS (KiB) of one run of cmd."""
    start = time.perf_counter()
    proc = subprocess.run(["/usr/bin/time", "-v"] + cmd, cwd=cwd, stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE, text=True)
    wall = time.perf_counter() - start
    if proc.returncode != 0:
        sys.exit(f"failed: {' '.join(cmd)}\n{proc.stderr}")
    rss = next(int(l.split()[-1]) for l in proc.stderr.splitlines() if "Maximum resident" in l)
    return wall, rss


def median_runs(commands, cwd, runs):
    """Median wall time and peak RSS of each command, run in turns so that
    the file system's own slow moments (journal commits, writeback) fall on
    all of them alike. Each run starts after its cleanup and a sync."""
    walls = [[] for _ in commands]
    rss = [0 for _ in commands]
    for _ in range(runs):
        for i, (cmd, clean) in enumerate(commands):
            clean()
            os.sync()
            w, r = timed(cmd, cwd)
            walls[i].append(w)
            rss[i] = max(rss[i], r)
    return [(statistics.median(w), r) for w, r in zip(walls, rss)]


def batch_memory(tool, work, counts):
    """Peak memory of a batch of each size in counts ("10000,1000000"; empty: none): 1x1 RAW
    files to BMP pairs, every name a hard link to one of a few files, so that the inputs cost
    the disk nothing. What the batch holds per file is the slope between the sizes."""
    if not counts:
        return
    print("\n| Files | Wall | Peak RSS | Bytes a file over the smallest batch |\n|---|---|---|---|")
    smallest = None
    for count in sorted(int(n) for n in counts.split(",")):
        for d in ("many", "many-bmp"):
            shutil.rmtree(os.path.join(work, d), ignore_errors=True)
        os.mkdir(os.path.join(work, "many"))
        for i in range(count):
            name = os.path.join(work, "many", f"f{i:07d}(1x1).raw")
            if i % 60000 == 0:  # ext4 allows 65000 links to a file
                with open(name, "wb") as f:
                    f.write(raw_bytes(random.Random(i), 1, 1))
                first = name
            else:
                os.link(first, name)
        wall, rss = timed(tool + ["-c:BMP", "many/*.raw", "many-bmp"], work)
        smallest = smallest or (count, rss)
        slope = (rss - smallest[1]) * 1024 / (count - smallest[0]) if count > smallest[0] else 0
        print(f"| {count} | {wall:.1f} s | {rss / 1024:.1f} MiB | "
              f"{f'{slope:.0f}' if slope else '-'} |", flush=True)
        for d in ("many", "many-bmp"):
            shutil.rmtree(os.path.join(work, d), ignore_errors=True)


def shape_of(directory):
    """A directory with files of the same names and sizes as directory's."""
    shaped = directory + ".shape"
    shutil.rmtree(shaped, ignore_errors=True)
    os.mkdir(shaped)
    for name in os.listdir(directory):
        size = os.path.getsize(os.path.join(directory, name))
        with open(os.path.join(shaped, name), "wb") as f:
            f.write(b"\0" * size)
    return shaped


def scenario(label, tool, work, args, in_files, out_dir, runs, pixels=None):
    """tool: the command that runs Tessarel, as a list."""
    def clean():
        shutil.rmtree(os.path.join(work, out_dir), ignore_errors=True)

    def clean_floor():
        shutil.rmtree(os.path.join(work, "floor"), ignore_errors=True)

    clean()
    subprocess.run(tool + args, cwd=work, stdout=subprocess.DEVNULL, check=True)
    shaped = shape_of(os.path.join(work, out_dir))
    floor_cmd = ["sh", "-c", f"cat {' '.join(in_files)} > /dev/null && cp -r '{shaped}' floor"]
    # The floor on two threads: each reads half the inputs and writes half the
    # outputs into the one directory, side by side. What it gains over one is
    # all the file system lets a second core gain.
    inputs = sorted(f for pattern in in_files for f in glob.glob(pattern, root_dir=work))
    outputs = sorted(os.path.join(shaped, name) for name in os.listdir(shaped))
    halves = []
    for k in (0, 1):
        for kind, files in (("in", inputs[k::2]), ("out", outputs[k::2])):
            with open(os.path.join(work, f"floor-{kind}{k}.txt"), "w") as f:
                f.write("".join(name + "\n" for name in files))
        halves.append(f"(xargs -d '\\n' -a floor-in{k}.txt cat > /dev/null && "
                      f"xargs -d '\\n' -a floor-out{k}.txt cp -t floor)")
    floor2_cmd = ["sh", "-c", f"mkdir floor && {{ {halves[0]} & {halves[1]}; wait; }}"]
    # The same build held to one core, in turns with the others: what more
    # cores give, measured in the same minutes.
    (wall, rss), (one_core, _), (floor, _), (floor2, _) = median_runs(
        [(tool + args, clean), (["taskset", "-c", "0"] + tool + args, clean),
         (floor_cmd, clean_floor), (floor2_cmd, clean_floor)], work, runs)
    per_pixel = f"{rss * 1024 / pixels:.1f}" if pixels else "-"
    print(f"| {label} | {wall * 1000:.1f} ms | {one_core * 1000:.1f} ms | {floor * 1000:.1f} ms | "
          f"{floor2 * 1000:.1f} ms | {wall / floor:.2f} | {wall / one_core:.2f} | "
          f"{floor2 / floor:.2f} | {rss / 1024:.1f} MiB | {per_pixel} |", flush=True)


# The floor of a run over earlier outputs: each file of SRC written to a
# temporary file in DST, then renamed over the file of its name there.
RENAME_FLOOR_C = r"""
#define _GNU_SOURCE
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>
int main(int argc, char** argv) {
  DIR* dir = argc == 3 ? opendir(argv[1]) : NULL;
  static char bytes[1 << 16];
  struct dirent* entry;
  while (dir != NULL && (entry = readdir(dir)) != NULL) {
    char *from, *temporary, *to;
    if (entry->d_name[0] == '.') continue;
    if (asprintf(&from, "%s/%s", argv[1], entry->d_name) < 0 ||
        asprintf(&temporary, "%s/.tmp-%s", argv[2], entry->d_name) < 0 ||
        asprintf(&to, "%s/%s", argv[2], entry->d_name) < 0) return 1;
    int in = open(from, O_RDONLY), out = open(temporary, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    ssize_t n;
    while (in >= 0 && out >= 0 && (n = read(in, bytes, sizeof bytes)) > 0) {
      if (write(out, bytes, n) != n) return 1;
    }
    if (in < 0 || close(in) != 0 || out < 0 || close(out) != 0 || rename(temporary, to) != 0) return 1;
    free(from), free(temporary), free(to);
  }
  return dir == NULL;
}
"""


def rerun_scenario(label, tool, work, args, in_files, out_dir, runs):
    """The batch again over its own earlier outputs, which each run replaces,
    against a floor that reads the same inputs and writes each output to a
    temporary file renamed over the older one."""
    floor_tool = os.path.join(work, "rename-floor")
    subprocess.run(["cc", "-O2", "-x", "c", "-o", floor_tool, "-"], input=RENAME_FLOOR_C,
                   text=True, check=True)
    shutil.rmtree(os.path.join(work, out_dir), ignore_errors=True)
    subprocess.run(tool + args, cwd=work, stdout=subprocess.DEVNULL, check=True)
    shaped = shape_of(os.path.join(work, out_dir))
    shutil.rmtree(os.path.join(work, "floor-rerun"), ignore_errors=True)
    shutil.copytree(shaped, os.path.join(work, "floor-rerun"))
    floor_cmd = ["sh", "-c", f"cat {' '.join(in_files)} > /dev/null && "
                 f"'{floor_tool}' '{shaped}' floor-rerun"]
    keep = lambda: None  # every run finds the outputs of the one before
    (wall, rss), (one_core, _), (floor, _) = median_runs(
        [(tool + args, keep), (["taskset", "-c", "0"] + tool + args, keep), (floor_cmd, keep)],
        work, runs)
    print(f"| {label} | {wall * 1000:.1f} ms | {one_core * 1000:.1f} ms | {floor * 1000:.1f} ms | "
          f"- | {wall / floor:.2f} | {wall / one_core:.2f} | - | {rss / 1024:.1f} MiB | - |",
          flush=True)


def core_scaling(runs):
    """The work two busy processes do in the time one takes alone: 2.0 where
    the machine has two whole cores, less where they share one. It bounds what
    a batch can gain from its second thread."""
    busy = [sys.executable, "-c", "sum(range(40_000_000))"]
    alone, both = [], []
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(busy, check=True)
        alone.append(time.perf_counter() - start)
        start = time.perf_counter()
        for proc in [subprocess.Popen(busy) for _ in range(2)]:
            proc.wait()
        both.append(time.perf_counter() - start)
    return 2 * statistics.median(alone) / statistics.median(both)


def start_up(tool, runs):
    """Median milliseconds of a run that prints the usage text, as built and
    with SDL and the libraries it needs loaded at start, as linking it would."""
    def median_ms(env):
        walls = []
        for _ in range(runs):
            start = time.perf_counter()
            subprocess.run([tool], stdout=subprocess.DEVNULL, env=env, check=True)
            walls.append(time.perf_counter() - start)
        return statistics.median(walls) * 1000
    return median_ms(None), median_ms(dict(os.environ, LD_PRELOAD="libSDL2-2.0.so.0"))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("tool")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--work", default=None)
    parser.add_argument("--launcher", default=None)
    opts = parser.parse_args()
    tool = os.path.abspath(opts.tool)
    launch = [opts.launcher] if opts.launcher else []
    work = opts.work or tempfile.mkdtemp(prefix="tessarel-bench-")
    rng = random.Random(20261206)

    os.makedirs(os.path.join(work, "small"), exist_ok=True)
    small = []
    for i in range(2000):
        name = f"small/s{i:04d}(23x23).raw"
        with open(os.path.join(work, name), "wb") as f:
            f.write(raw_bytes(rng, 23, 23))
        small.append(name)
    os.makedirs(os.path.join(work, "big"), exist_ok=True)
    os.makedirs(os.path.join(work, "huge"), exist_ok=True)
    with open(os.path.join(work, "big/big(4096x4096).raw"), "wb") as f:
        f.write(raw_bytes(rng, 4096, 4096))

    print(f"Work directory: {work}; {opts.runs} runs each, median wall time.")
    scaling = core_scaling(opts.runs)
    print(f"Two busy processes do {scaling:.2f} times the work of one (2.00 on two whole "
          f"cores): no batch runs faster than {1 / scaling:.2f} of its time on one core.\n")
    if not opts.launcher:
        alone, with_sdl = start_up(tool, 200)
        print(f"Start-up (the usage text, median of 200): {alone:.1f} ms; with SDL loaded at "
              f"start, as if linked: {with_sdl:.1f} ms.\n")
    tool = launch + [tool]
    print("| Conversion | Tessarel | One core | I/O floor | Floor, 2 threads | Ratio to floor "
          "| Ratio to one core | Floor's own ratio | Peak RSS | Bytes/pixel |")
    print("|---|---|---|---|---|---|---|---|---|---|")
    scenario("2000 × 23×23 RAW → BMP pairs", tool, work, ["-c:BMP", "small/*.raw", "small-bmp"],
             ["small/*.raw"], "small-bmp", opts.runs)
    rerun_scenario("2000 × 23×23 RAW → BMP pairs, over the last run's", tool, work,
                   ["-c:BMP", "small/*.raw", "small-rerun"], ["small/*.raw"], "small-rerun", opts.runs)
    shutil.rmtree(os.path.join(work, "small-bmp"), ignore_errors=True)
    subprocess.run(tool + ["-c:BMP", "small/*.raw", "small-bmp"], cwd=work, stdout=subprocess.DEVNULL)
    scenario("2000 × 23×23 BMP pairs → RAW", tool, work, ["-c:RAW", "small-bmp/*.bmp", "small-raw"],
             ["small-bmp/*.bmp"], "small-raw", opts.runs)
    scenario("4096×4096 RAW → BMP pair", tool, work, ["-c:BMP", "big/*.raw", "big-bmp"],
             ["big/*.raw"], "big-bmp", opts.runs, pixels=4096 * 4096)
    shutil.rmtree(os.path.join(work, "big-bmp"), ignore_errors=True)
    subprocess.run(tool + ["-c:BMP", "big/*.raw", "big-bmp"], cwd=work, stdout=subprocess.DEVNULL)
    scenario("4096×4096 BMP pair → RAW", tool, work, ["-c:RAW", "big-bmp/*.bmp", "big-raw"],
             ["big-bmp/*.bmp"], "big-raw", opts.runs, pixels=4096 * 4096)
    # Over the decoders' 2^26-pixel cap, which writing and reading plain BMP
    # files in bands do not share; GDI+ holds a picture whole, so the Windows
    # build stops at 4096 x 4096.
    if not opts.launcher:
        with open(os.path.join(work, "huge/huge(9000x9000).raw"), "wb") as f:
            f.write(raw_bytes(rng, 9000, 9000))
        scenario("9000×9000 RAW → BMP pair", tool, work, ["-c:BMP", "huge/*.raw", "huge-bmp"],
                 ["huge/*.raw"], "huge-bmp", opts.runs, pixels=9000 * 9000)
        shutil.rmtree(os.path.join(work, "huge-bmp"), ignore_errors=True)
        subprocess.run(tool + ["-c:BMP", "huge/*.raw", "huge-bmp"], cwd=work,
                       stdout=subprocess.DEVNULL)
        scenario("9000×9000 BMP pair → RAW", tool, work, ["-c:RAW", "huge-bmp/*.bmp", "huge-raw"],
                 ["huge-bmp/*.bmp"], "huge-raw", opts.runs, pixels=9000 * 9000)
    batch_memory(tool, work, os.environ.get("BENCH_FILES", ""))
    if opts.work is None:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
