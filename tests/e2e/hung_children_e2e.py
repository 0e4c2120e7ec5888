#!/usr/bin/env python3
"""A whole gathering by VexloGather.exe on a machine where `systeminfo` and
`schtasks` never end (stand-ins in both system folders that sleep forever).

The run ends within its bounds (the systeminfo capture's five minutes, two
task queries of two minutes each, beside it) and makes its archive:
SystemInfo.txt holds its header lines and the line that says the capture did
not finish, task.txt is empty and the log says which queries were ended. The
hung programs are ended with the run, and the console code page value, set to
437 for the repeated task listing, holds its old value again, like every other
setting of the machine.

    hung_children_e2e.py <systeminfo stand-in> <schtasks stand-in>"""
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(__file__))
from e2e_support import (check, finish, install_tool, linux_path, machine_settings, prefix,  # noqa: E402
                         read_archive, read_log, reg, regedit_import, run_gather, settings_changes, utf16_lines)

standins = {"systeminfo.exe": sys.argv[1], "schtasks.exe": sys.argv[2]}
SYSTEMINFO_BOUND_S = 5 * 60
TASK_QUERY_BOUND_S = 2 * 60

# Wine runs its own builtin program of a name unless the prefix says "native first".
for name, standin in standins.items():
    for folder in ("C:\\windows\\system32", "C:\\windows\\syswow64"):
        shutil.copy(standin, os.path.join(linux_path(folder), name))
    check(reg("add", "HKCU\\Software\\Wine\\DllOverrides", "/v", name, "/d", "native,builtin", "/f") == 0,
          f"{name}: the stand-in runs in place of Wine's own")
# The stand-ins' folder (C:\standin): a .hang file makes them sleep forever
# (csv: the task listing, under any code page).
HANG_FILES = {"systeminfo": "systeminfo.hang", "schtasks": "csv.hang"}
os.makedirs(linux_path("C:\\standin"), exist_ok=True)
for hang in HANG_FILES.values():
    open(os.path.join(linux_path("C:\\standin"), hang), "wb").close()
check(regedit_import("Windows Registry Editor Version 5.00\n\n"
                     "[HKEY_CURRENT_USER\\Console\\%SystemRoot%_system32_cmd.exe]\n"
                     "\"CodePage\"=dword:00000352\n") == 0, "console code page 850 planted")

tool = install_tool()
install_tool(name="tests/service_states.exe")
before = machine_settings("C:\\tool\\service_states.exe")
started = time.monotonic()
rc, archive_win, _ = run_gather(tool, timeout=SYSTEMINFO_BOUND_S + 2 * TASK_QUERY_BOUND_S + 300)
elapsed = time.monotonic() - started
print(f"whole run: {elapsed:.0f} s", flush=True)
check(rc == 0, f"exit code 0 (got {rc})")

entries = read_archive(linux_path(archive_win)) if rc == 0 else {}
system_info = utf16_lines(entries.get("SystemInfo.txt", b""), "SystemInfo.txt")
check(system_info[1:] == ["", "===== System =====", f"systeminfo did not finish within {SYSTEMINFO_BOUND_S} seconds"],
      f"SystemInfo.txt: the header lines and the line that says the capture did not finish: {system_info}")
check(entries.get("task.txt") == b"", f"task.txt is there, empty: {entries.get('task.txt', b'')[:200]!r}")
for name in ("FilesInfo.txt", "Vexlo_Debug_Info.txt", "dnsGetinfo.txt", "uninstall.txt"):
    check(name in entries, f"{name} is in the archive")

words = read_log(tool)
ended = [w for w in words if "schtasks did not finish" in w]
check(ended and f"within {TASK_QUERY_BOUND_S} seconds and was ended: /query /FO csv; /query /FO csv" in ended[0],
      f"the log says which task queries were ended: {ended}")
check("EnumTasks Except" in words and "EnumTasks Succ" in words and "WaitGetSystemInfo Succ" in words
      and "ZipFile Succ" in words, "the steps after the hung programs run")

# The hung programs were ended with the run: none of them is left in this
# prefix (each wrote its process id into its .hang file when it started).
for name, hang in HANG_FILES.items():
    started_ids = open(os.path.join(linux_path("C:\\standin"), hang)).read()
    check(started_ids != "", f"{name}: the stand-in was started")
starts = open(os.path.join(linux_path("C:\\standin"), "schtasks.log"), encoding="utf-8").read().splitlines()
check(len(starts) == 2 and all(line.endswith("|/query|/FO|csv") for line in starts),
      f"the task listing ran twice (the second time under code page 437), nothing else: {starts}")


def left_running():
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            environ = open(f"/proc/{pid}/environ", "rb").read().split(b"\0")
            command = open(f"/proc/{pid}/cmdline", "rb").read().lower()
        except OSError:
            continue
        if f"WINEPREFIX={prefix}".encode() in environ and (b"systeminfo.exe" in command or b"schtasks.exe" in command):
            found.append(command.replace(b"\0", b" ").decode("utf-8", "replace"))
    return found


deadline = time.monotonic() + 60
while left_running() and time.monotonic() < deadline:
    time.sleep(0.2)
check(not left_running(), f"no hung program is left running: {left_running()}")

# The code page value is 850 again, and the machine is as it was.
for change in settings_changes(before, machine_settings("C:\\tool\\service_states.exe")):
    check(False, change)
finish("hung children")
