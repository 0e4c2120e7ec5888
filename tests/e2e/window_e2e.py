#!/usr/bin/env python3
"""Drives VexloHelper.exe under Xvfb like a user: finds the window by its
caption, checks its layout against the design, saves a screenshot, clicks
"Save report", confirms the "Information" box and checks the archive on the
desktop, the exit code and the deleted log. A second run, in which no archive
can be made, must leave the gather folder on the desktop instead."""
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(__file__))
from e2e_support import (arch, build, check, desktop, explorer_calls, finish, install_explorer_standin,  # noqa: E402
                         prefix, wine, window_driver)

driver = window_driver()


def start_tool(tool_dir):
    return subprocess.Popen([wine, os.path.join(tool_dir, "VexloHelper.exe")], stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def save_report(proc, what, expected_text):
    """Clicks "Save report", checks the result box's text, confirms it and
    returns the tool's exit code (None when it does not end)."""
    texts = driver.save_report()
    check(texts is not None, f"{what}: the click on Save report starts the run and the Information box appears")
    check(texts is not None and expected_text in texts, f"{what}: box text {expected_text!r} in {texts}")
    try:
        return proc.wait(timeout=120)
    except subprocess.TimeoutExpired:
        proc.kill()
        return None


user, desk = desktop()
desk_win = f"C:\\users\\{user}\\Desktop"
tool = os.path.join(prefix, "drive_c", "tool")
os.makedirs(tool, exist_ok=True)
shutil.copy(os.path.join(build, "VexloHelper.exe"), tool)
log = os.path.join(tool, "Vexlo_Debug_VireRuri.log")

install_explorer_standin(tool)

# First run: the archive reaches the desktop.
proc = start_tool(tool)
form = driver.wait_window("Vexlo Helper V9", 120)
check(form is not None, "the window appears with its caption")
if form:
    check(form["client"] == "305x147", f"client area 305 x 147 (got {form['client']})")
    check(int(form["exstyle"]) & 0x80 != 0, "tool-window border")
    check(int(form["exstyle"]) & 0x40000 != 0, "own taskbar button")
    sw, sh = map(int, form["screen"].split("x"))
    wx, wy, ww, wh = map(int, form["window"].split(","))
    check(abs((wx + ww / 2) - sw / 2) <= 1 and abs((wy + wh / 2) - sh / 2) <= 1, "centred on the screen")
    label, button = driver.child(form, "Static"), driver.child(form, "Button")
    bar = driver.child(form, "msctls_progress32")
    check(label and label["rect"] == (28, 22, 254, 39), f"label at 28,22 254x39: {label}")
    check(label and label["text"] == "Vexlo Helper collects infomation about your system...\\r\\n\\r\\n"
          "Press the button below to generate an info file.", "label text")
    check(button and button["rect"] == (61, 81, 169, 25) and button["text"] == "Save report",
          f"button at 61,81 169x25: {button}")
    check(bar and bar["rect"] == (31, 122, 253, 17) and not bar["visible"], f"hidden bar at 31,122 253x17: {bar}")
    check(bar and bar["style"] & 0x01 != 0, "smooth progress bar")
    # The screenshot stays in the prefix unless a folder is asked for.
    shot_dir = os.environ.get("VEXLO_SCREENSHOT_DIR") or prefix
    shot = os.path.join(shot_dir, f"window-{arch}.png")
    check(driver.screenshot(form, shot), "screenshot saved")

    rc = save_report(proc, "first run", "The report file: Vexlo_Debug_Info.zip has been saved to:\\r" +
                     desk_win + "\\Vexlo_Debug_Info.zip")
else:
    proc.kill()
    rc = None
check(rc == 0, f"exit code 0 (got {rc})")
archive = os.path.join(desk, "Vexlo_Debug_Info.zip")
check(os.path.isfile(archive), "archive on the desktop")
if os.path.isfile(archive):
    check(subprocess.run(["unzip", "-tq", archive], capture_output=True).returncode == 0, "archive tests good")
    seven = subprocess.run(["7z", "t", archive], stdin=subprocess.DEVNULL, capture_output=True)
    check(seven.returncode == 0 and b"Everything is Ok" in seven.stdout, "7z t accepts the archive")
check(not os.path.exists(log), "the log is deleted after a successful run")


calls = explorer_calls()
check(len(calls) == 1 and calls[0].lower().startswith("c:\\windows\\explorer.exe|")
      and calls[0].endswith(" /select," + desk_win + "\\Vexlo_Debug_Info.zip"),
      f"Explorer from the Windows folder shows the archive: {calls}")

# Second run: a folder where the temporary archive belongs, so no archive is possible.
temp = os.path.join(prefix, "drive_c", "users", user, "Temp")
os.remove(os.path.join(temp, "Vexlo_Debug_Info.zip"))
os.makedirs(os.path.join(temp, "Vexlo_Debug_Info.zip"))
proc = start_tool(tool)
form = driver.wait_window("Vexlo Helper V9", 120)
check(form is not None, "second run: the window appears")
rc = save_report(proc, "second run", "Please zip the following folder and send the zipped file to us.\\r" +
                 desk_win + "\\Vexlo_Debug_Info\\") if form else None
check(rc == 0, f"second run: exit code 0 (got {rc})")
copied = os.path.join(desk, "Vexlo_Debug_Info")
check(not os.path.exists(archive), "second run: no archive on the desktop")
check(os.path.isfile(os.path.join(copied, "Vexlo_Debug_Info.txt")), "gather folder copied to the desktop")
check(os.path.isfile(os.path.join(copied, "Vexlo_Debug_VireRuri.log")), "the log is copied into that folder")
check(os.path.isfile(log), "the log is kept after a failed run")
check(not os.path.exists(os.path.join(temp, "GetInfoDir")), "the temporary gather folder is removed")

calls = explorer_calls()
check(len(calls) == 1 and calls[0].lower().startswith("c:\\windows\\explorer.exe|")
      and calls[0].endswith(" /select," + desk_win + "\\Vexlo_Debug_Info\\"),
      f"second run: Explorer shows the copied folder: {calls}")
# Third run while another gathering of the session holds the lock: the
# window says so and ends, and touches nothing of the other run.
holder = subprocess.Popen([wine, os.path.join(build, "tests", "run_lock_holder.exe")], stdin=subprocess.PIPE,
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
held = holder.stdout.readline().strip() == b"held"
check(held, "a second gathering holds the session's lock")
if held:
    proc = start_tool(tool)
    form = driver.wait_window("Vexlo Helper V9", 120)
    check(form is not None, "busy run: the window appears")
    rc = save_report(proc, "busy run", "A report is already being made.\\rPlease wait until it has been saved.") \
        if form else None
    check(rc == 0, f"busy run: the window ends (exit code {rc})")
    check(not os.path.exists(archive), "busy run: no archive appears")
    check(explorer_calls(expected=0, seconds=0) == [], "busy run: Explorer is not started")
holder.stdin.close()
try:
    holder.wait(timeout=60)
except subprocess.TimeoutExpired:
    holder.kill()

finish("window")
