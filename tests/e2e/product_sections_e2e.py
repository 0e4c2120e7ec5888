#!/usr/bin/env python3
"""A whole gathering by VexloGather.exe on a prefix where the test planted what
the product sections read: an installed main product (its uninstall key in the
32-bit registry branch, a program folder with a versioned library, a plain file
and a sub-folder), browser helper objects, launch points in both registry
branches and Startup folder entries. Checks the report's helper block and
autoruns section exactly (their content is the test's own) and the
application-file lines by pattern where Wine decides (dates).

    product_sections_e2e.py <shortcut_maker.exe> <versioned library.dll>"""
import hashlib
import os
import re
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(__file__))
from e2e_support import (check, finish, linux_path, prefix, read_archive, read_log, regedit_import,  # noqa: E402
                         run_gather, run_program, install_tool, utf16_lines)

shortcut_maker, library = sys.argv[1], sys.argv[2]
tool = install_tool()
# Windows runs (and deletes) the RunOnce entries when a session starts; Wine's
# wineboot does that when the first program of a wineserver session starts.
# One session for the whole test, started by the first program below, keeps
# the planted RunOnce entries for the gathering to see.
subprocess.run(["wineserver", "-p"], check=True, timeout=60)

# The product's program folder in the 32-bit Program Files, as its installer makes it.
product_win = "C:\\Program Files (x86)\\Vexlo\\Tramblex\\"
product = linux_path(product_win)
os.makedirs(os.path.join(product, "Antivirus"), exist_ok=True)
shutil.copy(library, os.path.join(product, "Tramblex.dll"))
with open(os.path.join(product, "readme.txt"), "w") as f:
    f.write("a plain file without a version\n")
with open(os.path.join(product, "Antivirus", "engine.dat"), "wb") as f:
    f.write(bytes(range(256)) * 64)
# The same uninstall key of the 64-bit view names another folder: not the product's.
decoy = linux_path("C:\\Decoy\\")
os.makedirs(decoy, exist_ok=True)
with open(os.path.join(decoy, "decoy.txt"), "w") as f:
    f.write("must not be listed")

# Startup folders: a shortcut made through the shell and a batch file.
target_win = "C:\\tool\\target.exe"
with open(linux_path(target_win), "wb") as f:
    f.write(b"MZ")
users = os.path.join(prefix, "drive_c", "users")
user_name = next(n for n in sorted(os.listdir(users))
                 if n.lower() != "public" and os.path.isdir(os.path.join(users, n, "AppData")))
user_startup_win = f"C:\\users\\{user_name}\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp"
common_startup_win = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp"
rc, _, _ = run_program([shortcut_maker, user_startup_win + "\\Tool.lnk", target_win, "/run --quiet"], timeout=120)
check(rc == 0, f"shortcut made through the shell (exit {rc})")
with open(os.path.join(linux_path(user_startup_win), "desktop.ini"), "w") as f:
    f.write("[.ShellClassInfo]\n")
os.makedirs(linux_path(common_startup_win), exist_ok=True)
with open(os.path.join(linux_path(common_startup_win), "common.bat"), "w") as f:
    f.write("@echo off\n")

system_dir = "C:\\windows\\system32"
helper = "{0F0E0D0C-0B0A-0908-0706-050403020100}"
helper32 = "{1F1E1D1C-1B1A-1918-1716-151413121110}"


def reg_file(keys):
    """The .reg text of [(key, {value name: text or dword number})]; "@" is the default value."""
    def quoted(text):
        return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'
    out = ["Windows Registry Editor Version 5.00", ""]
    for key, values in keys:
        out.append(f"[{key}]")
        for name, value in values.items():
            data = f"dword:{value:08x}" if isinstance(value, int) else quoted(value)
            out.append(f"{'@' if name == '@' else quoted(name)}={data}")
        out.append("")
    return "\n".join(out)


LM, CU = "HKEY_LOCAL_MACHINE\\SOFTWARE", "HKEY_CURRENT_USER\\Software"
LM32, CU32 = LM + "\\Wow6432Node", CU + "\\Wow6432Node"  # the 32-bit branch by its name
CV = "Microsoft\\Windows\\CurrentVersion"
rc = regedit_import(reg_file([
    (f"{LM32}\\{CV}\\Uninstall\\Tramblex_is1", {"InstallLocation": product_win}),
    (f"{LM}\\{CV}\\Uninstall\\Tramblex_is1", {"InstallLocation": "C:\\Decoy\\"}),
    (f"{LM}\\{CV}\\Explorer\\Browser Helper Objects\\{helper}", {}),
    (f"{LM}\\Classes\\CLSID\\{helper}", {"@": "Vexlo Helper Object"}),
    (f"{LM}\\Classes\\CLSID\\{helper}\\InprocServer32", {"@": "C:\\Program Files\\Vexlo\\bho.dll"}),
    (f"{LM32}\\{CV}\\Explorer\\Browser Helper Objects\\{helper32}", {}),
    (f"{LM32}\\Classes\\CLSID\\{helper32}", {"@": "A 32-bit helper"}),
    (f"{CU}\\{CV}\\Run", {"UserRun": "C:\\u.exe"}),
    (f"{CU32}\\{CV}\\Run", {"UserRun32": "C:\\u32.exe"}),
    (f"{LM}\\{CV}\\Run", {"Counter": 1, "MachineRun": "C:\\m.exe"}),
    (f"{LM32}\\{CV}\\Run", {"MachineRun32": "C:\\m32.exe"}),
    (f"{LM}\\{CV}\\RunOnce", {"Once": "C:\\once.exe"}),
    (f"{LM32}\\{CV}\\RunOnce", {"Once32": "C:\\once32.exe"}),
    (f"{LM}\\{CV}\\RunOnceEx\\0001", {"1": "shell32.dll|Control_RunDLL|desk.cpl"}),
    (f"{LM32}\\{CV}\\RunOnceEx\\0002", {"1": "notepad.exe"}),
    (f"{CU}\\{CV}\\Policies\\Explorer\\Run", {"Policy": "C:\\p.exe"}),
    (f"{LM32}\\{CV}\\policies\\Explorer\\Run", {"MachinePolicy": "C:\\mp.exe"}),
    (f"{CU}\\Microsoft\\Windows NT\\CurrentVersion\\Windows", {"Load": "a.exe, b.exe"}),
    (f"{LM}\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
     {"Userinit": system_dir + "\\userinit.exe,C:\\evil.exe"}),
]))
check(rc == 0, f"registry planted (regedit exit {rc})")

rc, archive_win, _ = run_gather(tool)
check(rc == 0, f"exit code 0 (got {rc})")
entries = read_archive(linux_path(archive_win))
report = utf16_lines(entries.get("Vexlo_Debug_Info.txt", b""))
stars = "*" * 81

# The helper block and the autoruns section, whole: native helpers only, the
# 32-bit branch's launch points after the native ones, the DWORD shown.
expected = [
    stars, "", "===== BHOs =====", "",
    "Vexlo Helper Object, C:\\Program Files\\Vexlo\\bho.dll",
    "", "===== Autoruns =====", "",
    "---------- Startup ----------",
    f'"{target_win}" /run --quiet',
    common_startup_win + "\\common.bat",
    "---------- Run ----------",
    "UserRun=C:\\u.exe",
    "Counter=dword:00000001",
    "MachineRun=C:\\m.exe",
    "UserRun32=C:\\u32.exe",
    "MachineRun32=C:\\m32.exe",
    "---------- RunOnce ----------",
    "Once=C:\\once.exe",
    "Once32=C:\\once32.exe",
    "---------- RunOnceEx ----------",
    "rundll32.exe shell32.dll",
    "rundll32.exe shell32.dll,Control_RunDLL",
    "rundll32.exe shell32.dll,Control_RunDLL desk.cpl",
    "rundll32.exe notepad.exe",
    "---------- policies Run ----------",
    "Policy=C:\\p.exe",
    # The machine's Policies key is one key for both branches (Windows shares it): read once per branch.
    "MachinePolicy=C:\\mp.exe",
    "MachinePolicy=C:\\mp.exe",
    "---------- NT Run ----------",
    "a.exe",
    "b.exe",
    "---------- Windows Shell ----------",
    "C:\\evil.exe",
    stars,
]
start = report.index("===== BHOs =====") - 2 if "===== BHOs =====" in report else -1
check(start >= 0 and report[start:start + len(expected)] == expected,
      "helper block and autoruns section:\n  got      " + "\n           ".join(report[start:start + len(expected)]))

# The application files: the last block, after its asterisk row, one line per file.
last_row = len(report) - 1 - report[::-1].index(stars)
lines = report[last_row + 1:]
line_form = re.compile(r"(.+)   Ver:(.*)   MD5:([0-9a-f]{32})   DT:(\d{1,2}/\d{1,2}/\d{4}( \d{1,2}:\d{2}:\d{2}( [AP]M)?)?)")
files = {
    "Tramblex.dll": "9.0.12.345",
    "readme.txt": "",
    "Antivirus\\engine.dat": "",
}
seen = {}
for line in lines:
    m = line_form.fullmatch(line)
    if check(m is not None, f"application-file line form: {line!r}"):
        seen[m.group(1)] = m
check(sorted(seen) == sorted(files), f"every file of the program folder and nothing else: {sorted(seen)}")
for relative, version in files.items():
    m = seen.get(relative)
    if not m:
        continue
    path = os.path.join(product, *relative.split("\\"))
    check(m.group(2) == version, f"{relative}: version {m.group(2)!r}")
    check(m.group(3) == hashlib.md5(open(path, "rb").read()).hexdigest(), f"{relative}: digest")
    year = time.localtime(os.path.getmtime(path)).tm_year
    check(str(year) in m.group(4), f"{relative}: date-time {m.group(4)!r} of the file's year {year}")

words = read_log(tool)
for step in ("GetBHOItemListEx", "GetAutorunListx", "GetAppFileInfo"):
    check(f"{step} Succ" in words and f"{step} Except" not in words, f"{step} succeeds without an exception")

finish("product sections")
