#!/usr/bin/env python3
"""Where the report goes when its usual places fail, as the user meets it.

Through VexloHelper.exe's window under Xvfb (click "Save report", read the
result box, confirm it):
- no desktop folder: the archive is saved beside the program and the box
  names it there;
- a read-only desktop: the archive stays where it was made, in the temporary
  folder, and the box names it there (never a desktop path it is not at);
- a read-only desktop and no archive possible: the box names the gather
  folder, which holds the report and the log.
Through VexloGather.exe: a temporary folder that cannot be written; the gather
folder goes beside the program and the archive is made there.

Read-only places are empty file systems mounted read-only (the tests run as
root, whom file permissions would not stop)."""
import contextlib
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(__file__))
from e2e_support import (check, desktop, explorer_calls, finish, install_explorer_standin,  # noqa: E402
                         install_tool, linux_path, log_words, read_archive, read_log, run_gather, wine,
                         window_driver)

words = log_words()
driver = window_driver()
user, desk = desktop()
temp_win = f"C:\\users\\{user}\\Temp"
temp = linux_path(temp_win)
tool_win = "C:\\tool"
tool = install_tool(tool_win, "VexloHelper.exe")
log = os.path.join(tool, "Vexlo_Debug_VireRuri.log")
install_explorer_standin()
SAVED = "The report file: Vexlo_Debug_Info.zip has been saved to:\\r"
ZIP_FOLDER = "Please zip the following folder and send the zipped file to us.\\r"


@contextlib.contextmanager
def read_only(path):
    """An empty read-only file system over `path` for the time of the block."""
    mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "ro,size=64k", "tmpfs", path],
                             capture_output=True).returncode == 0
    check(mounted, f"a read-only file system can be mounted over {path} (needs root)")
    try:
        yield mounted
    finally:
        if mounted:
            subprocess.run(["umount", path], capture_output=True)


def window_run(what, expected_box):
    """One run through the window from a fresh log: (exit code, log words)."""
    if os.path.exists(log):
        os.remove(log)
    proc = subprocess.Popen([wine, os.path.join(tool, "VexloHelper.exe")], stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    rc = None
    try:
        if check(driver.wait_window("Vexlo Helper V9", 120) is not None, f"{what}: the window appears"):
            texts = driver.save_report()
            check(texts is not None and expected_box in texts, f"{what}: the box says {expected_box!r}: {texts}")
        rc = proc.wait(timeout=120)
    except subprocess.TimeoutExpired:
        check(False, f"{what}: the tool ends after the box")
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait(timeout=60)
    check(rc == 0, f"{what}: exit code 0 (got {rc})")
    return read_log(tool) if os.path.exists(log) else []


def check_report_archive(what, path):
    entries = read_archive(path) if check(os.path.isfile(path), f"{what}: the archive is at {path}") else {}
    for name in ("Vexlo_Debug_Info.txt", "uninstall.txt", "FilesInfo.txt"):
        check(name in entries, f"{what}: {name} is in the archive")


def check_explorer(what, shown_win):
    calls = explorer_calls()
    check(len(calls) == 1 and calls[0].endswith(" /select," + shown_win), f"{what}: Explorer shows {shown_win}: {calls}")


# No desktop folder: the archive is saved beside the program.
away = desk + ".away"
shutil.move(desk, away)  # a plain rename of a folder fails on the prefix overlay
try:
    what = "no desktop"
    window_run(what, SAVED + tool_win + "\\Vexlo_Debug_Info.zip")
    check_report_archive(what, os.path.join(tool, "Vexlo_Debug_Info.zip"))
    check_explorer(what, tool_win + "\\Vexlo_Debug_Info.zip")
    check(not os.path.exists(desk), f"{what}: no desktop folder is made")
    check(not os.path.exists(log), f"{what}: the log is deleted after the run saved its archive")
finally:
    if os.path.exists(desk):
        shutil.rmtree(desk)
    shutil.move(away, desk)
os.remove(os.path.join(tool, "Vexlo_Debug_Info.zip"))

with read_only(desk) as mounted:
    if mounted:
        # The archive cannot be placed on the desktop: it stays where it was
        # made, and the box names that place.
        what = "read-only desktop"
        temp_archive = temp_win + "\\Vexlo_Debug_Info.zip"
        window_run(what, SAVED + temp_archive)
        check_report_archive(what, linux_path(temp_archive))
        check_explorer(what, temp_archive)
        check(os.listdir(desk) == [], f"{what}: nothing on the desktop")
        check(not os.path.exists(log), f"{what}: the log is deleted after the run saved its archive")

        # And no archive can be made at all (a folder where the temporary
        # archive belongs): the user gets the complete gather folder.
        what = "read-only desktop, no archive"
        os.remove(linux_path(temp_archive))
        os.makedirs(linux_path(temp_archive))
        gather_win = temp_win + "\\GetInfoDir\\"
        log_lines = window_run(what, ZIP_FOLDER + gather_win)
        gather = linux_path(gather_win)
        for name in ("Vexlo_Debug_Info.txt", "uninstall.txt", "FilesInfo.txt", "Vexlo_Debug_VireRuri.log"):
            check(os.path.isfile(os.path.join(gather, name)), f"{what}: {name} is in the gather folder")
        check_explorer(what, gather_win)
        check(os.path.isfile(log), f"{what}: the log is kept beside the program")
        check(words["SaveFolderExist"] + gather_win in log_lines, f"{what}: the log names the folder the user gets")
        check(os.listdir(desk) == [], f"{what}: nothing on the desktop")
        os.rmdir(linux_path(temp_archive))

# A temporary folder that cannot be written: the gather folder and the
# archive go beside the program.
gather_tool = install_tool("C:\\gather")
with read_only(temp) as mounted:
    if mounted:
        what = "read-only temporary folder"
        rc, archive_win, _ = run_gather(gather_tool, timeout=600)
        check(rc == 0 and archive_win == "C:\\gather\\Vexlo_Debug_Info.zip",
              f"{what}: exit code 0 and the archive beside the program ({rc}, {archive_win})")
        check_report_archive(what, os.path.join(gather_tool, "Vexlo_Debug_Info.zip"))
        log_lines = read_log(gather_tool)
        check(words["GatherFolderNotMade"] + temp_win + "\\GetInfoDir\\" in log_lines,
              f"{what}: the log says the temporary gather folder cannot be made")
        check(words["TempPathPrefix"] + "C:\\gather\\GetInfoDir\\" + words["TempZipDirPart"] + "C:\\gather\\" +
              words["TempResultPart"] + archive_win in log_lines, f"{what}: the log names the fallback folder")

finish("save places")
