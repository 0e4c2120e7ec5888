#!/usr/bin/env python3
"""Two gatherings of one session at once, ten times over: each console run
either makes its own complete archive (exit 0) or says that a report is
already being made (exit 2); none ends with exit 0 without an archive that
reads back whole, and the two never spoil each other's files."""
import os
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.dirname(__file__))
from e2e_support import check, finish, install_tool, linux_path, seven_zip_test, wine  # noqa: E402

tools = [install_tool(f"C:\\tool{i}") for i in (1, 2)]


def start(tool_dir):
    out = tempfile.TemporaryFile()
    proc = subprocess.Popen([wine, os.path.join(tool_dir, "VexloGather.exe")], stdin=subprocess.DEVNULL,
                            stdout=out, stderr=subprocess.DEVNULL)
    return proc, out


busy_count = 0
for pair in range(10):
    runs = [start(tool) for tool in tools]
    outcomes = []
    for proc, out in runs:
        rc = proc.wait(timeout=300)
        out.seek(0)
        lines = out.read().decode("utf-8", "replace").replace("\r", "").strip().splitlines()
        outcomes.append((rc, lines[-1] if lines else ""))
    for i, (rc, last) in enumerate(outcomes):
        check(rc in (0, 2), f"pair {pair} run {i}: exit code 0 or 2 (got {rc})")
        if rc == 2:
            busy_count += 1
            check("already being made" in last, f"pair {pair} run {i}: says it is busy ({last!r})")
    made = [last for rc, last in outcomes if rc == 0]
    check(len(made) >= 1, f"pair {pair}: at least one run made an archive {outcomes}")
    # Both may succeed when one started after the other had ended; then both
    # name the same archive and the second one's is there, whole.
    for archive_win in set(made):
        archive = linux_path(archive_win)
        ok = os.path.isfile(archive)
        if ok:
            with zipfile.ZipFile(archive) as z:
                ok = z.testzip() is None and "Vexlo_Debug_Info.txt" in z.namelist()
            ok = ok and seven_zip_test(archive)
        check(ok, f"pair {pair}: {archive_win} reads back whole")

print("busy answers:", busy_count)
finish("two gatherings at once")
