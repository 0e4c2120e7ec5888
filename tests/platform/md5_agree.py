#!/usr/bin/env python3
"""md5file.exe (FileMd5Hex) must agree with md5sum on files of many sizes.

Run by ctest through scripts/wine-test.sh, which sets WINEPREFIX and
VEXLO_WINE (the Wine loader); VEXLO_BUILD_DIR is the build folder.

  md5_agree.py            random files around block, padding and view sizes,
                          an empty file, a missing file, a wide file name
  md5_agree.py --large    only a sparse file just over 4 GiB (about 25 s)
"""
import os
import random
import subprocess
import sys
import tempfile

EMPTY = "d41d8cd98f00b204e9800998ecf8427e"
KIB, MIB, GIB = 1 << 10, 1 << 20, 1 << 30


def fail(message):
    print("md5_agree: FAIL: " + message, file=sys.stderr)
    sys.exit(1)


def windows_path(path):
    # Wine's drive Z: is the Linux root.
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def md5sum(paths):
    out = subprocess.run(["md5sum", "--"] + paths, check=True, capture_output=True, text=True).stdout
    return [line.split()[0].lstrip("\\") for line in out.splitlines()]


def md5file(exe, paths, timeout):
    wine = os.environ["VEXLO_WINE"]
    args = [wine, exe] + [windows_path(p) for p in paths]
    try:
        run = subprocess.run(args, capture_output=True, timeout=timeout)
    except subprocess.TimeoutExpired:
        fail(f"md5file.exe did not finish within {timeout} s")
    if run.returncode != 0:
        fail(f"md5file.exe exited with {run.returncode}\nstderr:\n{run.stderr.decode(errors='replace')}")
    lines = run.stdout.decode("ascii", errors="replace").split()
    if len(lines) != len(paths):
        fail(f"md5file.exe printed {len(lines)} digests for {len(paths)} files:\n"
             f"stdout:\n{run.stdout.decode(errors='replace')}\nstderr:\n{run.stderr.decode(errors='replace')}")
    return lines


def compare(names, got, want):
    bad = [(n, g, w) for n, g, w in zip(names, got, want) if g != w]
    for name, g, w in bad:
        print(f"  {name}: md5file {g}, expected {w}", file=sys.stderr)
    if bad:
        fail(f"{len(bad)} of {len(names)} digests differ")


def main():
    build = os.environ.get("VEXLO_BUILD_DIR")
    if not build or "VEXLO_WINE" not in os.environ:
        fail("VEXLO_BUILD_DIR and VEXLO_WINE must be set (run through ctest)")
    exe = os.path.join(build, "tests", "md5file.exe")
    if not os.path.isfile(exe):
        fail(f"no {exe}; build the md5file target")
    large = "--large" in sys.argv[1:]

    rng = random.Random(1321)
    with tempfile.TemporaryDirectory(prefix="vexlo-md5-") as tmp:
        if large:
            check_large(exe, tmp, rng)
        else:
            check_sizes(exe, tmp, rng)


def check_sizes(exe, tmp, rng):
    sizes = [1, 3, 55, 56, 57, 63, 64, 65, 119, 120, 127, 128, 129, 1000, 4095, 4096,
             64 * KIB - 1, 64 * KIB, 64 * KIB + 1, MIB + 7, 3 * MIB + 1037, 5 * MIB + 3]
    paths, names = [], []
    for size in sizes:
        path = os.path.join(tmp, f"random-{size}.bin")
        with open(path, "wb") as f:
            f.write(rng.randbytes(size))
        paths.append(path)
        names.append(os.path.basename(path))
    wide = os.path.join(tmp, "d\u00fcgest \u6587\u4ef6.bin")
    with open(wide, "wb") as f:
        f.write(rng.randbytes(777))
    empty = os.path.join(tmp, "empty.bin")
    open(empty, "wb").close()
    paths += [wide, empty]
    names += ["wide name", "empty.bin"]

    want = md5sum(paths)
    if want[-1] != EMPTY:
        fail(f"md5sum of an empty file is {want[-1]}?")
    missing = os.path.join(tmp, "missing.bin")
    got = md5file(exe, paths + [missing], timeout=120)
    compare(names + ["missing.bin"], got, want + [EMPTY])
    print(f"md5_agree: {len(got)} digests agree with md5sum")


def check_large(exe, tmp, rng):
    # Sparse: 4 GiB + 4 KiB + 33 bytes, with random bytes at the start, on
    # either side of the 4 GiB mark and at the end, so that both 32-bit halves
    # of sizes, offsets and the bit count matter.
    path = os.path.join(tmp, "large.bin")
    size = 4 * GIB + 4 * KIB + 33
    with open(path, "wb") as f:
        f.write(rng.randbytes(4096))
        f.seek(4 * GIB - 100)
        f.write(rng.randbytes(200))
        f.truncate(size)
        f.seek(size - 33)
        f.write(rng.randbytes(33))
    want = md5sum([path])
    got = md5file(exe, [path], timeout=600)
    compare([f"large.bin ({size} bytes)"], got, want)
    print(f"md5_agree: a {size}-byte file agrees with md5sum ({got[0]})")


if __name__ == "__main__":
    main()
