#!/usr/bin/env python3
"""A whole gathering by VexloGather.exe on the demo customer machine
(scripts/demo_machine.py), staged in this test's prefix: the tool runs from
the customer's Downloads folder like a downloaded copy, and the archive at the
printed path is checked entry by entry and line by line against what the
machine has installed (tests/e2e/demo_checks.py), then the log's words."""
import os
import re
import sys

os.environ["LC_ALL"] = "C.UTF-8"  # the machine's locale: the report's dates read M/D/YYYY h:mm:ss AM
sys.path.insert(0, os.path.dirname(__file__))
from e2e_support import build, check, finish, install_tool, linux_path, prefix, read_log, run_gather, wine  # noqa: E402
import demo_checks  # noqa: E402
import demo_machine as dm  # noqa: E402  (demo_checks puts scripts/ on the path)

machine = dm.DemoMachine(prefix, os.path.join(build, "tests"), wine)
tool_win = machine.profile + "\\Downloads\\Vexlo Helper"
with dm.session(prefix):
    machine.stage()
    tool = install_tool(tool_win)
    rc, archive_win, _ = run_gather(tool)

check(rc == 0, f"exit code 0 (got {rc})")
check(re.fullmatch(re.escape(machine.profile) + r"\\Temp\\Vexlo_Debug_Info\.zip", archive_win, re.I) is not None,
      f"the printed archive path is in the temporary folder: {archive_win!r}")
if os.path.isfile(linux_path(archive_win)):
    entries = demo_checks.check_archive(machine, linux_path(archive_win), tool_win, "VexloGather.exe")
    words = read_log(tool)
    want = demo_checks.expected_log_words(len(entries), archive_win)
    check(words == want,
          "log words in order:\n  got  " + "\n       ".join(words) + "\n  want " + "\n       ".join(want))
else:
    check(False, f"an archive at the printed path {archive_win!r}")

finish("demo machine through the console program")
