#!/usr/bin/env python3
"""Runs VexloGather.exe on a prefix where the test planted what the system
overview, the process report and the services report read, and checks these
sections' lines in Vexlo_Debug_Info.txt: exactly where the content is the
test's own (services, their image versions, the DPI setting, the desktop heap
value, a child process), by pattern where Wine decides (memory, disk, screen).

Planted:
- a child process "vxholder.exe" (the versioned probe program) that holds
  150 global atoms "VxE2EAtom0001"... while the gathering runs;
- services pointing at the probe (7.3.2.1) by a plain path, by "\\??\\C:\\...",
  by "\\SystemRoot\\System32\\..." (the probe in the native System32 and a
  decoy of 6.6.6.6 in SysWOW64, so the 32-bit build shows 7.3.2.1 only with
  redirection switched off), quoted with arguments, and with arguments;
- AppliedDPI 120 for the user, and the SubSystems "Windows" value."""
import getpass
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(__file__))
from e2e_support import (arch, build, check, finish, install_tool, linux_path, read_archive, read_log,  # noqa: E402
                         reg, run_gather, run_program, utf16_lines, wine)

ASTERISKS = "*" * 81
PROBE_DIR = "C:\\vexlo-probe"
PROBE = PROBE_DIR + "\\probe.exe"
HOLDER = PROBE_DIR + "\\vxholder.exe"
ATOM_PREFIX, ATOM_COUNT = "VxE2EAtom", 150
DESKTOP_HEAP = "%SystemRoot%\\system32\\csrss.exe ObjectDirectory=\\Windows SharedSection=1024,20480,768 Vexlo"
tests_dir = os.path.join(build, "tests")

# name, display name, type (hex, as the line shows it), start type, image path, version text
SERVICES = [
    ("VxE2EPlain", "Vexlo E2E Plain", "10", 3, PROBE, "Ver:7.3.2.1"),
    ("VxE2EDevice", "Vexlo E2E Device Path", "10", 4, "\\??\\" + PROBE, "Ver:7.3.2.1"),
    ("VxE2ESystemRoot", "Vexlo E2E Driver Under SystemRoot, Longer Than 30", "1", 3,
     "\\SystemRoot\\System32\\drivers\\vexlo-e2e.sys", "Ver:7.3.2.1"),
    ("VxE2EQuoted", "Vexlo E2E Quoted", "20", 2, '"' + PROBE + '" -k probes', ""),
    ("VxE2EArgs", "Vexlo E2E Arguments", "110", 3, PROBE + " /service", ""),
]


def place(program, win_path):
    target = linux_path(win_path)
    os.makedirs(os.path.dirname(target), exist_ok=True)
    shutil.copy(os.path.join(tests_dir, program), target)


def wait_for(condition, seconds):
    """A bounded wait for a condition; True when it held in time."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(0.1)
    return condition()


tool = install_tool()
install_tool(name="tests/service_planter.exe")
planter = "C:\\tool\\service_planter.exe"
place("probe_image.exe", PROBE)
place("probe_image.exe", HOLDER)
# Native System32 (the 64-bit one) and SysWOW64 (where a redirected 32-bit look lands).
shutil.copy(os.path.join(tests_dir, "probe_image.exe"),
            os.path.join(linux_path("C:\\windows\\system32\\drivers"), "vexlo-e2e.sys"))
place("probe_decoy.exe", "C:\\windows\\syswow64\\drivers\\vexlo-e2e.sys")

check(reg("add", "HKCU\\Control Panel\\Desktop\\WindowMetrics", "/v", "AppliedDPI", "/t", "REG_DWORD",
          "/d", "120", "/f") == 0, "AppliedDPI planted")
check(reg("add", "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\SubSystems", "/v", "Windows",
          "/t", "REG_EXPAND_SZ", "/d", DESKTOP_HEAP, "/f") == 0, "desktop heap value planted")

# The child runs through the whole gathering (and keeps this Wine session, with
# its service manager, alive); it ends when the stop file appears.
pid_file, stop_file = PROBE_DIR + "\\holder.pid", PROBE_DIR + "\\holder.stop"
holder_out = tempfile.TemporaryFile()
holder = subprocess.Popen([wine, HOLDER, "hold", pid_file, stop_file, ATOM_PREFIX, str(ATOM_COUNT)],
                          stdin=subprocess.DEVNULL, stdout=holder_out, stderr=holder_out)
try:
    check(wait_for(lambda: os.path.isfile(linux_path(pid_file)), 90), "the child process wrote its pid")
    holder_pid = int(open(linux_path(pid_file)).read() or "-1") if os.path.isfile(linux_path(pid_file)) else -1

    for name, display, type_hex, start, image, _ in SERVICES:
        rc, out, err = run_program([planter, name, display, type_hex, str(start), image], timeout=120)
        check(rc == 0, f"service {name} created and read back: {out.strip()} {err.strip()}")

    rc, archive_win, _ = run_gather(tool)
    check(rc == 0, f"exit code 0 (got {rc})")
finally:
    with open(linux_path(stop_file), "w") as f:
        f.write("stop")
    try:
        holder.wait(timeout=120)
    except subprocess.TimeoutExpired:
        holder.kill()
        holder.wait(timeout=30)
        check(False, "the child process ended after the stop file")

entries = read_archive(linux_path(archive_win))
report = utf16_lines(entries.get("Vexlo_Debug_Info.txt", b""))
words = read_log(tool)
for step in ("GetOSInfoEx", "GetProcessListEx", "EnumServices"):
    check(f"{step} Succ" in words and f"{step} Except" not in words, f"{step} succeeded")

# --- The system overview: 26 lines after "Version:" and "Date:". ---
check(len(report) > 40, f"the report has these sections' lines ({len(report)} lines)")
overview = report[2:28]
user = getpass.getuser()
expected_overview = [
    re.escape(ASTERISKS),
    r"OS Name:\tWindows .+ x64( .+)?",           # 64-bit Windows on both builds
    r"OS Version:\t\d+\.\d+\.\d+",
    r"SP Version:\t.*",
    r"system lan:\t\w.*",
    r"ComputerName:\t\S{1,15}",
    r"OS Type:\t64bit",                          # the 32-bit build learns it from IsWow64Process
    r"Memory Size:\t\d+ MB",
    r"Free Size:\t\d+ MB",
    r"VMemory Size:\t(2047|4095) MB" if arch == "i686" else r"VMemory Size:\t\d{7,} MB",
    r"VFree Size:\t\d+ MB",
    r"VFreeExt Size:\t\d+ MB",
    r"PF Size:\t\d+ MB",
    r"PF Free:\t\d+ MB",
    r"System Drive:\tC:",
    r"Total Space:\t\d+[.,]\d\d GB",
    r"Free Space:\t\d+[.,]\d\d GB",
    re.escape(f"Cur Users:\t{user}[{user}]"),
    r"User Level:\t[0-9A-F]{4,}",
    r"IsProcessDPIAware:\t(True|False)",
    r"SM_CXSCREEN:\t\d+",
    r"SM_CYSCREEN:\t\d+",
    r"System DPI:\t120",                         # the planted setting
    r"LOGPIXELSY:\t\d+",
    r"Screen param:\t\d+\*\d+",
    r"",
]
for i, pattern in enumerate(expected_overview):
    line = overview[i] if i < len(overview) else None
    check(line is not None and re.fullmatch(pattern, line) is not None,
          f"overview line {i + 1} {line!r} matches {pattern!r}")
if len(overview) == 26:
    service_pack = overview[3][len("SP Version:\t"):]
    check(not service_pack or overview[1].endswith(" " + service_pack), "OS Name ends in the service pack")
    cx, cy = overview[20].split("\t")[1], overview[21].split("\t")[1]
    check(overview[24] == f"Screen param:\t{cx}*{cy}", "screen parameters repeat the metrics")

# --- The process report: asterisks, the table, an empty line, three resource lines, an empty line. ---
rest = report[28:]
check(rest[:1] == [ASTERISKS], "the process report opens with asterisks")
table_end = rest.index("", 1) if "" in rest[1:] else len(rest)
table = rest[1:table_end]
check(len(table) >= 3 and re.fullmatch(r"pid, name *(sid )?gdi,uobj,hnd,thd\|mem,  vmem\| runtime, cpu",
                                       table[0] if table else "") is not None,
      f"process table header {table[:1]}")
rows = {}
for row in table[1:]:
    m = re.fullmatch(r"([0-9a-f]+) (\S.*?) +(?:\d+ +)?\d+ +\d+ +\d+ *, *\d+\| *\d+M, *\d+M\| [a-z+\-$0-9]*,"
                     r"\d+(?:\S\d\d)? (?:ms|s|min|h)(?:,-?\d+%)? +(\S.*)?", row)
    check(m is not None, f"process row {row!r}")
    if m:
        rows[int(m.group(1), 16)] = (m.group(2), m.group(3) or "", row)
    check(len(row.split(" ", 1)[0]) == len(table[1].split(" ", 1)[0]), f"pid column as wide as the others: {row!r}")
check(holder_pid in rows, f"the child process (pid {holder_pid:#x}) has a row")
if holder_pid in rows:
    name, folder, row = rows[holder_pid]
    check(name == "vxholder.exe" and folder == PROBE_DIR, f"child row names the program and its folder: {row!r}")
    check(re.search(r"\| normal,", row) is not None, f"child row has normal priority: {row!r}")
check(any(n == "VexloGather.exe" and f == "C:\\tool" for n, f, _ in rows.values()), "the gathering's own row")
resources = rest[table_end + 1:table_end + 5]
check(len(resources) == 4 and resources[3] == "", f"three resource lines and an empty line: {resources}")
if len(resources) == 4:
    check(re.fullmatch(r"Virtual memory:\d+/\d+ MB\(free/total\), PageSize:\d+/\d+ MB\(free/total\), "
                       r"SysDrv:\d+(\S\d\d)? \w+/\d+(\S\d\d)? \w+", resources[0]) is not None,
          f"virtual memory line {resources[0]!r}")
    # The group carries the name of its lowest atom value, which need not be the first added.
    m = re.fullmatch(r"GlobalAtomInfo:Atom:(\d+), RWM:(\d+), Max\((\d+)\):" + ATOM_PREFIX + r"\d{4}(, Max\(\d+\):.*)?",
                     resources[1])
    check(m is not None and int(m.group(1)) >= ATOM_COUNT and int(m.group(3)) >= ATOM_COUNT,
          f"the child's atoms are the largest group: {resources[1]!r}")
    check(resources[2] == "DesktopHeap:" + DESKTOP_HEAP, f"desktop heap line {resources[2]!r}")

# --- The services report: asterisks, then one line per service. ---
services_start = table_end + 5
check(rest[services_start:services_start + 1] == [ASTERISKS], "the services report opens with asterisks")
service_lines = []
for line in rest[services_start + 1:]:
    if line == ASTERISKS:
        break
    service_lines.append(line)
check(len(service_lines) >= 20, f"Wine's services and drivers are listed ({len(service_lines)})")
for name, display, type_hex, start, image, version in SERVICES:
    pattern = (re.escape(display.ljust(30)) + " " + type_hex + r"  \d+  -?\d+ " + str(start) + " " + re.escape(image)
               + " " + re.escape(version))
    found = [line for line in service_lines if line.startswith(display.ljust(30) + " ")]
    check(len(found) == 1 and re.fullmatch(pattern, found[0]) is not None,
          f"service line of {name}: {found} ~ {pattern!r}")
    if not version:
        check(len(found) == 1 and found[0].endswith(" "), f"{name}: no version, the line ends in a blank")

finish("system sections")
