#!/usr/bin/env python3
"""Whole gatherings on a prefix where the test installed both products the way
their 32-bit installers do: uninstall keys in the 32-bit registry branch (and a
decoy in the 64-bit one), program folders in the 32-bit Program Files with a
versioned library, logs, settings and a name with "=", per-user and
machine-wide data folders, the Windows Minidump folder, the BDLogging tree, the
updater's logs, antivirus folders with versions.dat/.bak/.upd/versions.id2 and
the engines' mini dumps.

1. VexloGather.exe: FilesInfo.txt (exact where the content is the test's own,
   by pattern where Wine decides: file order within a folder, dates), every
   copied file of the archive path by path, and the log's step words.
2. The gathering library loaded by a product program (gather_host.exe), for
   the window messages: the "large file" notice (wParam 4) before each dump.
3. The same with "/Product Grendax": only the anti-malware product's steps.

    product_files_e2e.py <gather_host.exe> <versioned library.dll>"""
import hashlib
import os
import re
import shutil
import sys
import time

sys.path.insert(0, os.path.dirname(__file__))
from e2e_support import (build, check, finish, install_tool, linux_path, prefix, read_archive,  # noqa: E402
                         read_log, regedit_import, run_gather, run_program, utf16_lines)

host_program, library = sys.argv[1], sys.argv[2]

users = os.path.join(prefix, "drive_c", "users")
user_name = next(n for n in sorted(os.listdir(users))
                 if n.lower() != "public" and os.path.isdir(os.path.join(users, n, "AppData")))
app_data = f"C:\\users\\{user_name}\\AppData\\Roaming\\"
program_data = "C:\\ProgramData\\"
programs32 = "C:\\Program Files (x86)\\"
program = programs32 + "Vexlo\\Tramblex\\"
ultimate = "C:\\VexloTest\\Tramblex Ultimate\\"
grendax = programs32 + "Vexlo\\Grendax\\"


def plant(win, data=None, hour=None):
    """A file of the prefix; by default it holds its own path. `hour` sets
    its modification time to that hour of 6 May 2021, local time."""
    path = linux_path(win)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(win.encode("utf-8") if data is None else data)
    if hour is not None:
        stamp = time.mktime((2021, 5, 6, hour, 0, 0, 0, 0, -1))
        os.utime(path, (stamp, stamp))
    return path


library_bytes = open(library, "rb").read()
plant(program + "Tramblex.dll", library_bytes)
for name in ("readme.txt", "a.log", "SelfRefresh.log", "Update\\u.ini", "Antivirus\\Sightings.ini",
             "sub\\a=b.txt"):
    plant(program + name)
plant(program + "sub\\empty.dat", b"")
plant(program + "sub\\deeper\\plain.bin", b"p" * 1024)
plant("C:\\Decoy64\\decoy.log")
for name, hour in (("versions.dat", 10), ("versions.dat.bak", 11), ("versions.dat.upd", 12),
                   ("versions.id", 10), ("versions.id2", 11)):
    plant(ultimate + "Antivirus\\" + name, hour=hour)
plant(ultimate + "tbx_Antivirus_mini.dmp", bytes(range(256)) * 400)
for name in ("engine.log", "log\\l.txt", "update\\g.ini", "update\\g.txt", ".svn\\s.log",
             "Antivirus\\versions.dat", "Antivirus\\versions.id"):
    plant(grendax + name)
plant(grendax + "gdx_Antivirus_mini.dmp", b"gdx dump" * 1000)
for name in ("settings.ini", "desktop.ini", "Log\\l.txt", "Log\\sub\\x.log"):
    plant(app_data + "Vexlo\\Tramblex\\" + name)
for name in ("g.ini", "desktop.ini"):
    plant(app_data + "Vexlo\\Grendax\\" + name)
for name in ("Tramblex\\c.ini", "LocalSkip.ini", "TBXDownloader\\dl.log", "Grendax\\cg.dat"):
    plant(program_data + "Vexlo\\" + name)
plant(program_data + "BDLogging\\a\\b\\c.log")
plant("C:\\windows\\Minidump\\m.dmp")
plant(programs32 + "Vexlo\\Fetchwell\\f.log")
plant("C:\\Program Files\\Vexlo\\Fetchwell\\native.log")  # the 64-bit Program Files: not the updater's


def quoted(text):
    return '"' + text.replace("\\", "\\\\") + '"'


uninstall = "HKEY_LOCAL_MACHINE\\SOFTWARE\\{}Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
keys = [(uninstall.format("Wow6432Node\\") + "Tramblex_is1", program),
        (uninstall.format("") + "Tramblex_is1", "C:\\Decoy64\\"),
        (uninstall.format("Wow6432Node\\") + "Tramblex Ultimate_is1", ultimate),
        (uninstall.format("Wow6432Node\\") + "Grendax_is1", grendax)]
reg_text = "Windows Registry Editor Version 5.00\n\n" + "".join(
    f"[{key}]\n\"InstallLocation\"={quoted(folder)}\n\n" for key, folder in keys)
check(regedit_import(reg_text) == 0, "uninstall keys planted")

# What the products' steps copy, by archive entry, and from where.
copies = {
    "AppPath/a.log": program + "a.log",
    "AppPath/SelfRefresh.log": program + "SelfRefresh.log",
    "AppPath/Update/u.ini": program + "Update\\u.ini",
    "AppPath/Antivirus/Sightings.ini": program + "Antivirus\\Sightings.ini",
    "AppData/settings.ini": app_data + "Vexlo\\Tramblex\\settings.ini",
    "AppData/desktop.ini": app_data + "Vexlo\\Tramblex\\desktop.ini",
    "AppData/Log/l.txt": app_data + "Vexlo\\Tramblex\\Log\\l.txt",
    "ProgramData/c.ini": program_data + "Vexlo\\Tramblex\\c.ini",
    "LocalSkip.ini": program_data + "Vexlo\\LocalSkip.ini",
    "TBXDownloader/dl.log": program_data + "Vexlo\\TBXDownloader\\dl.log",
    "Minidump/m.dmp": "C:\\windows\\Minidump\\m.dmp",
    "OtherInfo/BDLogging/a/b/c.log": program_data + "BDLogging\\a\\b\\c.log",
    "Program Files(x86)/Fetchwell/f.log": programs32 + "Vexlo\\Fetchwell\\f.log",
    "TBX9AppPath/a.log": program + "a.log",
    "TBX9AppPath/SelfRefresh.log": program + "SelfRefresh.log",
    "TBX9AppPath/Update/u.ini": program + "Update\\u.ini",
    "AppPath/Antivirus/versions.dat.bak": ultimate + "Antivirus\\versions.dat.bak",
    "AppPath/Antivirus/versions.id2": ultimate + "Antivirus\\versions.id2",
    "GDX/AppData/g.ini": app_data + "Vexlo\\Grendax\\g.ini",
    "GDX/AppData/desktop.ini": app_data + "Vexlo\\Grendax\\desktop.ini",
    "GDX/ProgramData/cg.dat": program_data + "Vexlo\\Grendax\\cg.dat",
    "GDX/AppPath/log/l.txt": grendax + "log\\l.txt",
    "GDX/AppPath/engine.log": grendax + "engine.log",
    "GDX/AppPath/update/g.ini": grendax + "update\\g.ini",
    "GDX/AppPath/Antivirus/versions.dat": grendax + "Antivirus\\versions.dat",
    "GDX/AppPath/Antivirus/versions.id": grendax + "Antivirus\\versions.id",
    "AppPath/tbx_Antivirus_mini.dmp": ultimate + "tbx_Antivirus_mini.dmp",
    "GDX/AppPath/gdx_Antivirus_mini.dmp": grendax + "gdx_Antivirus_mini.dmp",
}
report_files = ["FilesInfo.txt", "SystemInfo.txt", "Vexlo_Debug_Info.txt", "dnsGetinfo.txt", "task.txt",
                "uninstall.txt"]


def check_copies(entries, expected, what):
    product_entries = sorted(n for n in entries if n not in report_files)
    check(product_entries == sorted(expected), f"{what}: the products' entries, path by path:\n  got      " +
          "\n           ".join(product_entries) + "\n  expected " + "\n           ".join(sorted(expected)))
    for name in expected:
        if name in entries:
            check(entries[name] == open(linux_path(copies[name]), "rb").read(), f"{what}: {name} as its source")


def files_below(folder_win):
    """(Windows path, size, md5) of every file below a folder, as Python walks it."""
    found = []
    root = linux_path(folder_win)
    for here, _, names in os.walk(root):
        for name in names:
            path = os.path.join(here, name)
            relative = os.path.relpath(path, root).replace(os.sep, "\\")
            data = open(path, "rb").read()
            found.append((folder_win + relative, len(data), hashlib.md5(data).hexdigest()))
    return found


def sections_of(lines):
    """{header name: its lines}, in file order; every header between empty lines."""
    heads = [i for i, line in enumerate(lines) if re.fullmatch(r"===== .+ =====", line)]
    sections = {}
    for n, at in enumerate(heads):
        check(at >= 1 and lines[at - 1] == "" and lines[at + 1] == "", f"header {lines[at]!r} between empty lines")
        end = heads[n + 1] - 1 if n + 1 < len(heads) else len(lines)
        sections[lines[at][6:-6]] = lines[at + 2:end]
    return sections


def check_breadth_first(lines, root, what):
    depths = [line.split(", ")[0][len(root):].count("\\") for line in lines]
    check(depths == sorted(depths), f"{what}: a folder's files before its sub-folders' ({depths})")


# 1. The console program.
tool = install_tool()
rc, archive_win, _ = run_gather(tool, timeout=600)
check(rc == 0, f"exit code 0 (got {rc})")
entries = read_archive(linux_path(archive_win))
check(all(name in entries for name in report_files), f"the report files are in the archive: {sorted(entries)}")
check_copies(entries, list(copies), "whole run")

files_info = utf16_lines(entries.get("FilesInfo.txt", b""), "FilesInfo.txt")
sections = sections_of(files_info)
check(list(sections) == ["Tramblex 8", "Tramblex", "Tramblex Ultimate", "Grendax"],
      f"FilesInfo.txt sections in order: {list(sections)}")
check(sections.get("Tramblex 8") == [], "the previous version's key is missing: its header lines alone")
main = sections.get("Tramblex", [])
expected_main = [f"{path}, {'9.1.2.3' if path.endswith('.dll') else ''}, {size}, {md5}"
                 for path, size, md5 in files_below(program)]
check(sorted(main) == sorted(expected_main), "the main product's files with version, size and MD5:\n  got      " +
      "\n           ".join(sorted(main)) + "\n  expected " + "\n           ".join(sorted(expected_main)))
odd = (program + "sub\\a=b.txt").encode("utf-8")
check(f"{program}sub\\a=b.txt, , {len(odd)}, {hashlib.md5(odd).hexdigest()}" in main,
      "a name with \"=\" keeps its whole path, size and digest")
check_breadth_first(main, program, "main product")
expected_ultimate = [f"{path}, , {size}, {md5}" for path, size, md5 in files_below(ultimate)]
check(sorted(sections.get("Tramblex Ultimate", [])) == sorted(expected_ultimate), "the Ultimate edition's files")
line_form = re.compile(r"(.+), , (\d+), ([0-9a-f]{32}), DT:(\d{1,2}/\d{1,2}/\d{4}( \d{1,2}:\d{2}:\d{2}( [AP]M)?)?)")
anti_malware = {}
for line in sections.get("Grendax", []):
    m = line_form.fullmatch(line)
    if check(m is not None, f"anti-malware line form: {line!r}"):
        anti_malware[m.group(1)] = (int(m.group(2)), m.group(3))
check(anti_malware == {path: (size, md5) for path, size, md5 in files_below(grendax)},
      f"every file of the anti-malware product, the .svn folder's too: {sorted(anti_malware)}")
check_breadth_first(sections.get("Grendax", []), grendax, "anti-malware product")
check("C:\\Decoy64\\decoy.log" not in "".join(files_info), "the 64-bit view's key is not the product's")

words = read_log(tool)
check(not [w for w in words if "Except" in w], f"no step fails: {[w for w in words if 'Except' in w]}")
steps = ["MakeFilesInfo Succ", "LoadLog Succs", "LoadOtherInfo Succ", "LoadOnlyForVireRuriTool Succ",
         "EnumTasks Succ", "GenTBXLogFiles Succ", "GenNeedFileByBDError Succ", "GenGDXLogFiles Succ",
         "GenNeedFileByBDError Succ", "Gen_Antivirus_mini_dmp(TBX) Succ", "Gen_Antivirus_mini_dmp(GDX) Succ",
         "WaitGetSystemInfo Succ"]
at = words.index(steps[0]) if steps[0] in words else -1
check(at >= 0 and words[at:at + len(steps)] == steps, "the product steps' words in order:\n  got      " +
      "\n           ".join(words[at:at + len(steps)]))
check(any(w.endswith(f"ret={len(entries)}") for w in words), "the archive's count in the log")

# 2 and 3. The library in a product program's folder (that folder is then the
# main product's program folder).
host = install_tool("C:\\host", "VexloGatherLib.dll")
shutil.copy(host_program, host)
host_exe = "C:\\host\\" + os.path.basename(host_program)


def host_run(*args):
    rc, out, _ = run_program([host_exe, *args], timeout=600)
    lines = out.replace("\r", "").strip().splitlines()
    messages = [tuple(int(x) for x in line.split()[1:]) for line in lines if line.startswith("msg ")]
    return rc, (lines[-1] if lines else ""), messages


rc, archive_win, messages = host_run()
check(rc == 0, f"library run: archive made (exit {rc})")
steps = [(1, n) for n in range(1, 16)] + [(4, 0), (1, 16), (4, 0), (1, 17), (1, 18), (1, 19)]
check(messages == [(0, 20)] + steps, f"library run: the large-file notice before each dump, 19 steps: {messages}")
entries = read_archive(linux_path(archive_win))
for name in ("AppPath/tbx_Antivirus_mini.dmp", "GDX/AppPath/gdx_Antivirus_mini.dmp"):
    check(entries.get(name) == open(linux_path(copies[name]), "rb").read(), f"library run: {name}")
words = read_log(host)
for word in ("Gen_Antivirus_mini_dmp(TBX) Succ", "Gen_Antivirus_mini_dmp(GDX) Succ"):
    check(word in words, f"library run logs {word}")

rc, archive_win, messages = host_run("/Product", "Grendax")
check(rc == 0, f"anti-malware run: archive made (exit {rc})")
check(messages == [(0, 20)] + [(1, n) for n in range(1, 16)], f"anti-malware run: 15 steps, no dumps: {messages}")
entries = read_archive(linux_path(archive_win))
files_info = utf16_lines(entries.get("FilesInfo.txt", b""), "FilesInfo.txt")
check(list(sections_of(files_info)) == ["Grendax"], "anti-malware run: FilesInfo.txt holds the Grendax section only")
# LoadLog runs in every mode; its "%AppPath%" rows read the product program's folder.
only = [name for name in copies if name.startswith(("AppData/", "ProgramData/", "GDX/", "LocalSkip", "TBXDownloader",
                                                    "Minidump/")) and not name.endswith("mini.dmp")]
check_copies({n: b for n, b in entries.items() if not n.startswith("AppPath/")}, only, "anti-malware run")
check(not any(n.startswith(("AppPath/Antivirus/", "AppPath/tbx_")) for n in entries),
      "anti-malware run: nothing of the main product's antivirus")
check(not os.path.exists(linux_path(archive_win[:-len("Vexlo_Debug_Info.zip")] + "GetInfoDir")),
      "anti-malware run: no gather folder is left")

finish("product files")
