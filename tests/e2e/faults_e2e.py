#!/usr/bin/env python3
"""A whole gathering by VexloGather.exe on a machine with the faults a
customer's machine has, all at once:

1. Product logs held open by a running process (file_holder.exe): one without
   any sharing, one that is being written while others may read it.
2. Junction loops (Linux folder symbolic links, which Wine shows as reparse
   points, as Windows shows a junction): in the main product's folder, in the
   anti-malware product's log folder, in the user's Startup folder and in the
   BDLogging tree.
3. Paths longer than 260 characters below both product folders and below the
   BDLogging tree.

Nothing may be lost and nothing may hang, and the machine's settings are
as they were before (but for the firewall service's start type): the run ends within its timeout and
makes its archive; every report file and section is there; the long paths are
listed with the right digest and copied where the log collection copies
them; nothing behind a link is listed or copied; the log that is being written
is copied as it was at that moment; the log held without sharing is the one
file missing, and the diagnostic log names it.

    faults_e2e.py <file_holder.exe>"""
import hashlib
import os
import re
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(__file__))
from e2e_support import (check, finish, install_tool, linux_path, machine_settings, prefix,  # noqa: E402
                         read_archive, read_log, regedit_import, run_gather, settings_changes, utf16_lines, wine)

holder_program = sys.argv[1]

users = os.path.join(prefix, "drive_c", "users")
user_name = next(n for n in sorted(os.listdir(users))
                 if n.lower() != "public" and os.path.isdir(os.path.join(users, n, "AppData")))
programs32 = "C:\\Program Files (x86)\\"
program = programs32 + "Vexlo\\Tramblex\\"
grendax = programs32 + "Vexlo\\Grendax\\"
bd_logging = "C:\\ProgramData\\BDLogging\\"
startup = f"C:\\users\\{user_name}\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp\\"
# Five folder levels of 53 characters: every path below passes 260 characters.
chain = "\\".join(f"{n} a folder name long enough to pass the old path limit" for n in range(1, 6))
EMPTY_MD5 = hashlib.md5(b"").hexdigest()


def plant(win, data=None):
    path = linux_path(win)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(win.encode("utf-8") if data is None else data)
    return path


def link(win, target_win):
    """A folder symbolic link, relative, so that it points into the prefix wherever that is."""
    path, target = linux_path(win), linux_path(target_win)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    os.symlink(os.path.relpath(target, os.path.dirname(path)), path)


def files_below(folder_win):
    """{Windows path: bytes} of every file below a folder, links not followed."""
    found = {}
    root = linux_path(folder_win)
    for here, _, names in os.walk(root):
        for name in names:
            path = os.path.join(here, name)
            if os.path.islink(path):
                continue
            found[folder_win + os.path.relpath(path, root).replace(os.sep, "\\")] = open(path, "rb").read()
    return found


def md5(data):
    return hashlib.md5(data).hexdigest()


# The products, as their installers leave them.
plant(program + "readme.txt")
plant(program + "a.log")
plant(program + "locked.log", b"held without sharing\r\n" * 10)
deep_main = program + "deep\\" + chain + "\\deep.bin"
plant(deep_main, bytes(range(256)) * 9)
plant(grendax + "engine.log")
deep_gdx = grendax + "log\\" + chain + "\\deep.log"
plant(deep_gdx, b"a log far below the product folder\r\n" * 20)
deep_bd = bd_logging + chain + "\\c.log"
plant(deep_bd, b"BDLogging, deep\r\n" * 30)
plant(bd_logging + "top.log")
plant(startup + "run.bat", b"@echo off\r\n")
for long_path in (deep_main, deep_gdx, deep_bd):
    check(len(long_path) > 260, f"planted path of {len(long_path)} characters")
links = [program + "loop", grendax + "log\\loop", startup + "loop", bd_logging + "loop"]
for at in links:
    link(at, at[:at.rindex("\\") + 1])


def quoted(text):
    return '"' + text.replace("\\", "\\\\") + '"'


uninstall = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
check(regedit_import("Windows Registry Editor Version 5.00\n\n" + "".join(
    f"[{uninstall}{key}]\n\"InstallLocation\"={quoted(folder)}\n\n"
    for key, folder in (("Tramblex_is1", program), ("Grendax_is1", grendax)))) == 0, "uninstall keys planted")

# The running product: it holds one log without sharing and writes another.
holders = []
for mode, name in (("lock", "locked.log"), ("write", "live.log")):
    ready, stop = f"C:\\holder-{mode}.ready", f"C:\\holder-{mode}.stop"
    holders.append((subprocess.Popen([wine, holder_program, mode, program + name, ready, stop],
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL), ready, stop))
deadline = time.monotonic() + 180
while time.monotonic() < deadline and not all(os.path.exists(linux_path(r)) for _, r, _ in holders):
    if any(p.poll() is not None for p, _, _ in holders):
        break
    time.sleep(0.1)
check(all(os.path.exists(linux_path(r)) for _, r, _ in holders), "the product process holds its logs")

tool = install_tool()
install_tool(name="tests/service_states.exe")
before = machine_settings("C:\\tool\\service_states.exe")
started = time.monotonic()
try:
    rc, archive_win, _ = run_gather(tool, timeout=600)
finally:
    for proc, _, stop in holders:
        plant(stop, b"")
    for proc, _, _ in holders:
        try:
            proc.wait(timeout=120)
        except subprocess.TimeoutExpired:
            proc.kill()
print(f"whole run: {time.monotonic() - started:.0f} s", flush=True)
# The machine is as it was, but for the firewall service's start type.
for change in settings_changes(before, machine_settings("C:\\tool\\service_states.exe")):
    check(False, change)
check(rc == 0, f"exit code 0 (got {rc})")
entries = read_archive(linux_path(archive_win)) if rc == 0 else {}
report_files = ["FilesInfo.txt", "SystemInfo.txt", "Vexlo_Debug_Info.txt", "dnsGetinfo.txt", "task.txt",
                "uninstall.txt"]
check(all(name in entries for name in report_files), f"every report file is in the archive: {sorted(entries)}")
check(not [n for n in entries if "/loop/" in n or n.endswith("/loop")], "nothing behind a link is in the archive")


def entry_name(gather_root, source_win, base_win):
    return gather_root + source_win[len(base_win):].replace("\\", "/")


# The copies: the long paths where the log collection puts them, the log that
# is being written as far as it was written, nothing of the log held without sharing.
for name, source in ((entry_name("GDX/AppPath/", deep_gdx, grendax), deep_gdx),
                     (entry_name("OtherInfo/BDLogging/", deep_bd, bd_logging), deep_bd),
                     ("AppPath/a.log", program + "a.log"), ("TBX9AppPath/a.log", program + "a.log"),
                     ("GDX/AppPath/engine.log", grendax + "engine.log"),
                     ("OtherInfo/BDLogging/top.log", bd_logging + "top.log")):
    check(entries.get(name) == open(linux_path(source), "rb").read(), f"{name}: a copy of {source}")
live = open(linux_path(program + "live.log"), "rb").read()
for name in ("AppPath/live.log", "TBX9AppPath/live.log"):
    copy = entries.get(name, b"")
    check(len(copy) >= 100 * 13 and live.startswith(copy),
          f"{name}: the log being written, as far as it was written ({len(copy)} of {len(live)} bytes)")
check(not [n for n in entries if n.endswith("locked.log")], "the log held without sharing cannot be copied")

# FilesInfo.txt: every file of both products, the long paths with their
# digest; the locked log still has its line (with the digest of nothing, as a
# file that cannot be read has); nothing behind a link.
files_info = utf16_lines(entries.get("FilesInfo.txt", b""), "FilesInfo.txt")
check(not [line for line in files_info if "\\loop\\" in line], "FilesInfo.txt lists nothing behind a link")
main_files = files_below(program)
for path, data in main_files.items():
    if path.endswith("live.log"):
        pattern = re.escape(path) + r", , \d+, [0-9a-f]{32}"
    elif path.endswith("locked.log"):
        pattern = re.escape(f"{path}, , {len(data)}, {EMPTY_MD5}")
    else:
        pattern = re.escape(f"{path}, , {len(data)}, {md5(data)}")
    check(any(re.fullmatch(pattern, line) for line in files_info), f"FilesInfo.txt: the line of {path}")
check(len([line for line in files_info if line.startswith(program)]) == len(main_files),
      "FilesInfo.txt: one line per file of the main product")
for path, data in files_below(grendax).items():
    check(any(line.startswith(f"{path}, , {len(data)}, {md5(data)}, DT:") for line in files_info),
          f"FilesInfo.txt: the anti-malware line of {path}")

# The main report: every section; the application files with the long path
# and its digest; the Startup folder's batch file, not what lies behind its loop.
report = utf16_lines(entries.get("Vexlo_Debug_Info.txt", b""), "Vexlo_Debug_Info.txt")
for header in ("===== BHOs =====", "===== Autoruns =====", "---------- Startup ----------"):
    check(header in report, f"the report has {header}")
check(startup + "run.bat" in report, "the Startup folder's batch file is listed")
check(not [line for line in report if "\\loop\\" in line], "the report lists nothing behind a link")
stars = "*" * 81
app_lines = report[len(report) - report[::-1].index(stars):] if stars in report else []
deep_line = re.compile(re.escape(deep_main[len(program):]) + r"   Ver:   MD5:" +
                       md5(open(linux_path(deep_main), "rb").read()) + r"   DT:.+")
check(any(deep_line.fullmatch(line) for line in app_lines), "the application files: the long path with its digest")

# The log: the run's steps end; the file that could not be copied is named
# with the reason, and no other step fails.
words = read_log(tool)
check("WaitGetSystemInfo Succ" in words and "ZipFile Succ" in words, "the run reaches its archive")
locked_win = program + "locked.log"
named = [w for w in words if locked_win in w and "not copied" in w]
print("\n".join(["the log says:"] + named), flush=True)
check(named, "the log names the product log that could not be copied")
excepts = [w for w in words if w.endswith(" Except") or w.endswith(" except")]
check(all(w in ("LoadLog Except", "GenTBXLogFiles Except") for w in excepts),
      f"only the copy steps that met the held log report it: {excepts}")

finish("faults")
