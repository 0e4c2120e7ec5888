#!/usr/bin/env python3
"""Placing the archive at the save path under faults, from the Linux side:
a run killed in the middle of the copy leaves nothing at the save path that
looks like a finished report, and the next run cleans up after it; a save
folder without room for the archive gets no file at all, not a truncated one."""
import os
import subprocess
import sys
import time
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "e2e"))
from e2e_support import check, finish, linux_path, seven_zip_test, wine, build  # noqa: E402

probe = os.path.join(build, "tests", "place_archive_probe.exe")


def make_archive(path, megabytes):
    """A stored archive of random data (copying it takes a while; packing it does not)."""
    with zipfile.ZipFile(path, "w", zipfile.ZIP_STORED) as z:
        with z.open("dump.bin", "w", force_zip64=True) as entry:
            for _ in range(megabytes):
                entry.write(os.urandom(1 << 20))
        z.writestr("Vexlo_Debug_Info.txt", "report")


def run_probe(archive_win, target_win, timeout=300):
    proc = subprocess.run([wine, probe, archive_win, target_win], stdin=subprocess.DEVNULL, capture_output=True,
                          timeout=timeout)
    return proc.returncode, proc.stdout.decode("utf-8", "replace").strip()


# A run killed while it copies.
desk = linux_path("C:\\desk")
os.makedirs(desk, exist_ok=True)
archive = os.path.join(linux_path("C:\\"), "big.zip")
make_archive(archive, 400)
target_win = "C:\\desk\\Vexlo_Debug_Info.zip"
target = os.path.join(desk, "Vexlo_Debug_Info.zip")
partial = target + ".partial"
proc = subprocess.Popen([wine, probe, "C:\\big.zip", target_win], stdin=subprocess.DEVNULL,
                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
deadline = time.monotonic() + 120
while not os.path.exists(partial) and proc.poll() is None and time.monotonic() < deadline:
    time.sleep(0.001)
copying = os.path.exists(partial) and proc.poll() is None
proc.kill()
proc.wait(timeout=60)
check(copying, "the probe was killed while it copied")
check(not os.path.exists(target), "a killed copy leaves nothing under the report's name")

rc, out = run_probe("C:\\big.zip", target_win)
check(rc == 0 and out == "placed", f"the next run places the archive ({rc}, {out})")
check(not os.path.exists(partial), "and removes what the killed run left")
with zipfile.ZipFile(target) as z:
    check(z.testzip() is None, "the placed archive reads back whole")
check(seven_zip_test(target), "7-Zip reads the placed archive")
os.remove(archive)

# A save folder with too little room: a small file system mounted there.
small = linux_path("C:\\small")
os.makedirs(small, exist_ok=True)
mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=1m", "tmpfs", small], capture_output=True).returncode == 0
check(mounted, "a small file system can be mounted for the full-disk case (needs root)")
if mounted:
    try:
        make_archive(os.path.join(linux_path("C:\\"), "four.zip"), 4)
        rc, out = run_probe("C:\\four.zip", "C:\\small\\Vexlo_Debug_Info.zip")
        check(rc == 1 and out == "not placed", f"no room: not placed ({rc}, {out})")
        left = sorted(n for n in os.listdir(small) if not n.endswith(".probe.log"))
        check(left == [], f"no room: nothing is left in the save folder ({left})")
    finally:
        subprocess.run(["umount", small], capture_output=True)

finish("placing the archive")
