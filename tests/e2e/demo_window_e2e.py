#!/usr/bin/env python3
"""VexloHelper.exe on the demo customer machine (scripts/demo_machine.py),
staged in this test's prefix, driven through its window under Xvfb like a
customer: click "Save report", wait for the result box, confirm it. The box
names the archive on the desktop, the window showed its large-file notice
for the engines' dumps, Explorer is asked to show the archive, the log is
gone; the archive on the desktop is checked entry by entry and line by line
against what the machine has installed (tests/e2e/demo_checks.py)."""
import os
import subprocess
import sys

os.environ["LC_ALL"] = "C.UTF-8"  # the machine's locale: the report's dates read M/D/YYYY h:mm:ss AM
sys.path.insert(0, os.path.dirname(__file__))
from e2e_support import (build, check, explorer_calls, finish, install_explorer_standin, install_tool,  # noqa: E402
                         prefix, wine, window_driver)
import demo_checks  # noqa: E402
import demo_machine as dm  # noqa: E402  (demo_checks puts scripts/ on the path)

LARGE_FILE_NOTICE = "In the process of compressing a large file, please wait patiently."

machine = dm.DemoMachine(prefix, os.path.join(build, "tests"), wine)
tool_win = machine.profile + "\\Downloads\\Vexlo Helper"
desktop_archive = machine.desktop + "\\Vexlo_Debug_Info.zip"

with dm.session(prefix):
    machine.stage()
    install_explorer_standin()  # Wine's own opens a window that nobody at this display closes
    tool = install_tool(tool_win, "VexloHelper.exe")
    driver = window_driver()
    proc = subprocess.Popen([wine, os.path.join(tool, "VexloHelper.exe")], stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    rc = None
    try:
        if check(driver.wait_window("Vexlo Helper V9", 120) is not None, "the window appears") and \
                check(driver.click_save_report(), "the click on Save report starts the run"):
            box = driver.wait_window("Information", 600)
            if check(box is not None, "the Information box appears"):
                texts = [c["text"] for c in box["children"] if c["class"].lower() == "static"]
                want = "The report file: Vexlo_Debug_Info.zip has been saved to:\\r" + desktop_archive
                check(want in texts, f"the box names the archive on the desktop: {texts}")
                form = driver.wait_window("Vexlo Helper V9", 10)
                label = driver.child(form, "Static") if form else None
                check(label is not None and label["text"] == LARGE_FILE_NOTICE,
                      f"the window showed the large-file notice for the dumps: {label}")
                check(driver.confirm_box(), "the box is confirmed")
        rc = proc.wait(timeout=120)
    except subprocess.TimeoutExpired:
        check(False, "the tool ends after the box")
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait(timeout=60)
    # Before the session ends, which would end a stand-in still writing.
    records = explorer_calls()

check(rc == 0, f"exit code 0 (got {rc})")
check(not os.path.exists(os.path.join(tool, "Vexlo_Debug_VireRuri.log")), "the log is deleted after a successful run")
check(len(records) == 1 and records[0].lower().startswith("c:\\windows\\explorer.exe|") and
      records[0].endswith(" /select," + desktop_archive), f"Explorer shows the archive: {records}")
archive = machine.linux_path(desktop_archive)
if check(os.path.isfile(archive), "the archive is on the desktop"):
    demo_checks.check_archive(machine, archive, tool_win, "VexloHelper.exe")

finish("demo machine through the window")
