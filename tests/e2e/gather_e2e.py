#!/usr/bin/env python3
"""Runs VexloGather.exe in the test's Wine prefix and checks, with readers of
our own choosing (Python's zipfile, unzip -t, 7z t), the archive it made, the report
files in it, the diagnostic log's step words and the debugger string."""
import os
import re
import sys

sys.path.insert(0, os.path.dirname(__file__))
from e2e_support import (check, finish, linux_path, utf16_lines, install_tool, run_gather, read_log, log_words,  # noqa: E402
                         prefix, seven_zip_test)
import zipfile  # noqa: E402
import subprocess  # noqa: E402

tool = install_tool()

rc, archive_win, stderr = run_gather(tool)
check(rc == 0, f"exit code 0 (got {rc})")
check(re.fullmatch(r"C:\\users\\[^\\]+\\Temp\\Vexlo_Debug_Info\.zip", archive_win, re.I) is not None,
      f"archive path in the temporary folder: {archive_win!r}")
temp_win = archive_win[: -len("Vexlo_Debug_Info.zip")]
archive = linux_path(archive_win)
debug_line = 'OutputDebugStringA "VireRuri(DoGatherInfo) result:=' + archive_win.replace("\\", "\\\\") + '"'
check(debug_line in stderr, "debugger string with the archive path")

# The archive, read by Python's zipfile, Info-ZIP's unzip and 7-Zip.
check(subprocess.run(["unzip", "-tq", archive], capture_output=True).returncode == 0, "unzip -t accepts the archive")
check(seven_zip_test(archive), "7z t accepts the archive")
with zipfile.ZipFile(archive) as z:
    check(z.testzip() is None, "zipfile CRCs")
    names = sorted(z.namelist())
    check(names == ["FilesInfo.txt", "SystemInfo.txt", "Vexlo_Debug_Info.txt", "dnsGetinfo.txt", "task.txt",
                   "uninstall.txt"],
          f"archive entries {names}")
    reg_header = b"\xff\xfe" + "Windows Registry Editor Version 5.00\r\n".encode("utf-16-le")
    uninstall = "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\{}Microsoft\\Windows\\CurrentVersion\\Uninstall]\r\n"
    check(z.read("uninstall.txt") == reg_header + (uninstall.format("") + uninstall.format("Wow6432Node\\"))
          .encode("utf-16-le"), "uninstall.txt holds the prefix's empty uninstall keys of both branches")
    check(z.read("dnsGetinfo.txt") == reg_header, "dnsGetinfo.txt is the header line alone")
    report = utf16_lines(z.read("Vexlo_Debug_Info.txt"))
    check(len(report) > 3, f"main report has its three first lines and more: {report}")
    if len(report) > 3:
        check(report[0] == "Version:9.0.0.1", f"version line carries the program's file version: {report[0]!r}")
        check(re.fullmatch(r"Date:\d\S*( \S.*)?", report[1]) is not None, f"date line {report[1]!r}")
        check(report[2] == "*" * 81, "row of 81 asterisks")
    # A bare prefix: no browser helper objects, no autoruns, no product folder;
    # the Security Center blocks follow the driver's row of asterisks.
    bare_sections = ["*" * 81, "", "===== BHOs =====", "", "", "===== Autoruns =====", "", "*" * 81]
    if check("[AntiVirusProduct]" in report, "the Security Center blocks are in the report"):
        at = report.index("[AntiVirusProduct]")
        check(report[at - len(bare_sections):at] == bare_sections,
              f"the bare helper and autoruns blocks, then the asterisks: {report[at - len(bare_sections):at]}")

# The diagnostic log next to the program: every step's words, in order.
words = read_log(tool)
gather_win = temp_win + "GetInfoDir\\"
W = log_words()


def succ(step):
    return W[step] + W["SuffixSucc"]


expected = [
    W["GatherStart"],
    W["TempPathPrefix"] + gather_win + W["TempZipDirPart"] + temp_win + W["TempResultPart"] + archive_win,
    W["CreateThreadSucc"],
    succ("StepVersion"), succ("StepDate"),
    succ("StepOSInfo"), succ("StepProcessList"), succ("StepServices"), succ("StepBrowserHelpers"),
    succ("StepAutoruns"), succ("StepSecurityCenter"), succ("StepAppFiles"), succ("StepUninstallExport"),
    succ("StepDnsExport"), succ("StepFilesInfo"), W["LoadLogSucc"], succ("StepLoadOtherInfo"),
    succ("StepVireRuriTool"), succ("StepTasks"), succ("StepTbxLogFiles"), succ("StepVersionFiles"),
    succ("StepGdxLogFiles"), succ("StepVersionFiles"), succ("StepSystemInfo"),
    W["ZipRootPrefix"] + gather_win + W["ZipNamePart"] + archive_win + W["ZipCountPart"] + "6",
    W["ZipFileSucc"],
    W["GatherEnd"] + archive_win,
]
check(words == expected, "log words in order:\n  got      " + "\n           ".join(words))

# A second run over what the first left, with a symbolic link planted in the
# gather folder that points outside it. Nothing behind the link is touched, and
# the old folder's files never reach the new archive: either the folder was
# emptied (the link removed, as Windows does) or, where the link cannot be
# removed (Wine, for a Unix link), the run moved to the folder beside the
# program and said so in the log.
gather = linux_path(gather_win)
outside = os.path.join(prefix, "drive_c", "outside")
os.makedirs(os.path.join(outside, "deeper"))
for name in ("keep.txt", os.path.join("deeper", "keep2.txt")):
    with open(os.path.join(outside, name), "w") as f:
        f.write("must survive")
os.symlink(outside, os.path.join(gather, "link"))
with open(os.path.join(gather, "stale.txt"), "w") as f:
    f.write("from the first run")
os.remove(os.path.join(tool, "Vexlo_Debug_VireRuri.log"))
rc, archive_win2, _ = run_gather(tool)
words = read_log(tool)
check(rc == 0, f"second run makes an archive (exit code {rc})")
check(os.path.isfile(os.path.join(outside, "keep.txt")) and os.path.isfile(os.path.join(outside, "deeper", "keep2.txt")),
      "files behind a link in the old gather folder survive")
if archive_win2 == archive_win:
    check(f"{archive_win} Exist and del" in words, "second run logs the old archive's deletion")
    check(not os.path.exists(os.path.join(gather, "stale.txt")), "the old gather folder's files are gone")
else:
    check(archive_win2.lower() == "c:\\tool\\vexlo_debug_info.zip", f"the fallback archive beside the program: {archive_win2}")
    check(f"Gather folder cannot be emptied: {gather_win}" in words, "the log says why the fallback was taken")
check(seven_zip_test(linux_path(archive_win2)), "7z t accepts the second archive")
with zipfile.ZipFile(linux_path(archive_win2)) as z:
    names = sorted(z.namelist())
    check(names == ["FilesInfo.txt", "SystemInfo.txt", "Vexlo_Debug_Info.txt", "dnsGetinfo.txt", "task.txt",
                   "uninstall.txt"],
          f"second archive entries {names}")

finish("gathering")
