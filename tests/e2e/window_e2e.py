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
import tempfile
import time

wine = os.environ["VEXLO_WINE"]
build = os.environ["VEXLO_BUILD_DIR"]
prefix = os.environ["WINEPREFIX"]
arch = os.environ.get("VEXLO_ARCH", "")
inspect_exe = os.path.join(build, "tests", "wininspect.exe")

failures = []


def check(cond, what):
    print("check:", what, "ok" if cond else "FAILED", flush=True)
    if not cond:
        failures.append(what)
        print("FAIL:", what, flush=True)


def inspect(verb, caption, arg):
    # Output through a file: a Wine process may leave helpers behind that keep
    # inherited pipes open long after it ended.
    with tempfile.TemporaryFile() as out:
        proc = subprocess.run([wine, inspect_exe, verb, caption, str(arg)], stdin=subprocess.DEVNULL, stdout=out,
                              stderr=subprocess.DEVNULL, timeout=int(arg) + 60 if verb == "wait" else 60)
        out.seek(0)
        return proc.returncode, out.read().decode("utf-8", "replace")


def wait_window(caption, seconds):
    rc, out = inspect("wait", caption, seconds)
    if rc != 0:
        return None
    facts = {"children": []}
    for line in out.splitlines():
        key, _, value = line.partition("=")
        if key == "child":
            cls, text, rect, visible, style, font = value.split("|")
            facts["children"].append({"class": cls, "text": text, "rect": tuple(map(int, rect.split(","))),
                                      "visible": visible == "visible", "style": int(style), "font": font})
        else:
            facts[key] = value
    return facts


def child(facts, cls):
    for c in facts["children"]:
        if c["class"].lower() == cls.lower():
            return c
    return None


def xdotool(*args):
    return subprocess.run(["xdotool", *args], stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=30)


def click_save_report():
    """Clicks "Save report" until the window takes it (the button is disabled
    while the run goes on); a click before the window is ready is lost."""
    for _ in range(10):
        form = wait_window("Vexlo Helper V9", 5)
        if form is None:
            return False
        button = child(form, "Button")
        if button is None:
            return False
        if button["style"] & 0x08000000:  # WS_DISABLED: the run has started
            return True
        for wid in xdotool("search", "--name", "^Vexlo Helper V9$").stdout.split():
            xdotool("windowraise", wid)
        ox, oy = map(int, form["origin"].split(","))
        bx, by, bw, bh = button["rect"]
        xdotool("mousemove", str(ox + bx + bw // 2), str(oy + by + bh // 2), "click", "1")
        if wait_window("Information", 2) is not None:
            return True
    return False


def confirm_box():
    """Confirms the "Information" box with the Return key, or its OK button."""
    found = xdotool("search", "--name", "^Information$")
    for wid in found.stdout.split():
        xdotool("key", "--window", wid, "Return")
    time.sleep(1)
    if wait_window("Information", 1) is not None:
        inspect("press", "Information", "OK")


def save_report(proc, what, expected_text):
    """Clicks "Save report", checks the result box's text, confirms it and
    returns the tool's exit code (None when it does not end)."""
    check(click_save_report(), f"{what}: the click on Save report starts the run")
    box = wait_window("Information", 300)
    check(box is not None, f"{what}: the Information box appears")
    if box:
        static_texts = [c["text"] for c in box["children"] if c["class"].lower() == "static"]
        check(expected_text in static_texts, f"{what}: box text {expected_text!r} in {static_texts}")
        confirm_box()
    try:
        return proc.wait(timeout=120)
    except subprocess.TimeoutExpired:
        proc.kill()
        return None


def explorer_calls(expected=1, seconds=30):
    """The Explorer starts the stand-in recorded since the last call. The tool
    may end before the stand-in has written its record: wait, with a deadline,
    until `expected` complete records are there (each is renamed into place
    only when written whole)."""
    deadline = time.monotonic() + seconds
    while True:
        done = sorted(n for n in os.listdir(explorer_calls_dir) if n.endswith(".txt"))
        if len(done) >= expected or time.monotonic() > deadline:
            break
        time.sleep(0.1)
    lines = []
    for name in done:
        path = os.path.join(explorer_calls_dir, name)
        with open(path, encoding="utf-8") as f:
            lines += [line.rstrip("\n") for line in f]
        os.remove(path)
    return lines


def start_tool(tool_dir):
    return subprocess.Popen([wine, os.path.join(tool_dir, "VexloHelper.exe")], stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def desktop():
    users = os.path.join(prefix, "drive_c", "users")
    for name in os.listdir(users):
        if name.lower() != "public" and os.path.isdir(os.path.join(users, name, "Desktop")):
            return name, os.path.join(users, name, "Desktop")
    raise SystemExit("no desktop folder in the prefix")


user, desk = desktop()
desk_win = f"C:\\users\\{user}\\Desktop"
tool = os.path.join(prefix, "drive_c", "tool")
os.makedirs(tool, exist_ok=True)
shutil.copy(os.path.join(build, "VexloHelper.exe"), tool)
log = os.path.join(tool, "Vexlo_Debug_VireRuri.log")

# Explorer is a stand-in that records how it was started (Wine's own opens a
# window that never closes). A planted Explorer.exe beside the tool, where a
# search by name would look first, must never run.
explorer_calls_dir = os.path.join(prefix, "drive_c", "explorer-calls")
os.makedirs(explorer_calls_dir, exist_ok=True)
os.environ["VEXLO_EXPLORER_CALLS"] = "C:\\explorer-calls"
standin = os.path.join(build, "tests", "explorer_standin.exe")
windows = os.path.join(prefix, "drive_c", "windows")
for name in os.listdir(windows):
    if name.lower() == "explorer.exe":
        os.remove(os.path.join(windows, name))
shutil.copy(standin, os.path.join(windows, "explorer.exe"))
shutil.copy(standin, os.path.join(tool, "Explorer.exe"))

# First run: the archive reaches the desktop.
proc = start_tool(tool)
form = wait_window("Vexlo Helper V9", 120)
check(form is not None, "the window appears with its caption")
if form:
    check(form["client"] == "305x147", f"client area 305 x 147 (got {form['client']})")
    check(int(form["exstyle"]) & 0x80 != 0, "tool-window border")
    check(int(form["exstyle"]) & 0x40000 != 0, "own taskbar button")
    sw, sh = map(int, form["screen"].split("x"))
    wx, wy, ww, wh = map(int, form["window"].split(","))
    check(abs((wx + ww / 2) - sw / 2) <= 1 and abs((wy + wh / 2) - sh / 2) <= 1, "centred on the screen")
    label, button, bar = child(form, "Static"), child(form, "Button"), child(form, "msctls_progress32")
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
    subprocess.run(["import", "-window", "root", "-crop", f"{ww}x{wh}+{wx}+{wy}", shot], capture_output=True)
    check(os.path.getsize(shot) > 0 if os.path.exists(shot) else False, "screenshot saved")

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
form = wait_window("Vexlo Helper V9", 120)
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
    form = wait_window("Vexlo Helper V9", 120)
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

print(f"{arch} window: {'FAILED' if failures else 'ok'}")
sys.exit(1 if failures else 0)
