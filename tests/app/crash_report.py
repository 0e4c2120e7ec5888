#!/usr/bin/env python3
"""An exception that nothing handles ends in a crash report beside the log,
with the registered sections, and a line in the log; the program ends with
exit code 3 instead of vanishing without a word."""
import os
import shutil
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "e2e"))
from e2e_support import check, finish, linux_path, run_program, utf16_lines, build, arch  # noqa: E402

folder = linux_path("C:\\probe")
os.makedirs(folder, exist_ok=True)
shutil.copy(os.path.join(build, "tests", "crash_probe.exe"), folder)

for how, expect in (("fault", "access violation" if arch != "i686" else ""), ("throw", "nobody catches this")):
    for name in ("crash_probe.crash.txt", "crash_probe.log"):
        if os.path.exists(os.path.join(folder, name)):
            os.remove(os.path.join(folder, name))
    rc, _, _ = run_program(["C:\\probe\\crash_probe.exe", how], timeout=120)
    check(rc == 3, f"{how}: exit code 3 (got {rc})")
    report_path = os.path.join(folder, "crash_probe.crash.txt")
    if not check(os.path.isfile(report_path), f"{how}: the crash report is beside the log"):
        continue
    report = utf16_lines(open(report_path, "rb").read(), "crash report")
    check(report[:1] == ["Vexlo Helper V9 crash report"], f"{how}: report header {report[:1]}")
    exception = next((line for line in report if line.startswith("Exception: ")), "")
    check(expect in exception, f"{how}: the exception is described: {exception!r}")
    check("===== probe: what the probe knows =====" in report and "probe section text" in report,
          f"{how}: the registered section is in the report")
    log = utf16_lines(open(os.path.join(folder, "crash_probe.log"), "rb").read(), "log")
    words = [line[25:] for line in log]
    check("probe started" in words, f"{how}: the log has the probe's own line")
    check(any(w.startswith("Crash: ") for w in words), f"{how}: the log says the program crashed: {words}")

finish("crash report")
