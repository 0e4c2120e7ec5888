#!/usr/bin/env python3
"""A whole gathering by VexloGather.exe on a machine whose registry holds
values of every unexpected kind and size where the tool expects text: REG_DWORD,
REG_BINARY, REG_MULTI_SZ, REG_QWORD, REG_NONE (with and without data) and
2,000-character strings, in every key the tool reads: the uninstall keys, the
maker's keys, the launch points (Run, RunOnce, RunOnceEx, policies, Windows
NT, Winlogon) of both branches, the browser helper objects' class keys, the
shell folders, the DPI and desktop heap values, the console code page value
and service image paths. The main product is found, at the end of that
search, through its service.

The run completes without a failing step, every section is there, and each
value shows as its section shows values of that kind: text as stored (a long
string whole), other kinds in .reg notation ("dword:", "hex:"), a value a
section cannot use as missing.

Then the machine is compared with what it was before the run: the registry
(both views of HKLM and HKCU, exported with reg) and the services' start types
and states. Only the firewall service's start type and state may differ.

    registry_values_e2e.py"""
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.dirname(__file__))
from e2e_support import (check, finish, install_tool, linux_path, machine_settings, read_archive,  # noqa: E402
                         read_log, regedit_import, run_gather, run_program, settings_changes, utf16_lines)

LONG = "".join(f"{n:04d}-long-texts-" for n in range(125))  # 2,000 characters, no blank, comma or bar
assert len(LONG) == 2000
program = "C:\\Program Files (x86)\\Vexlo\\Tramblex\\"
LM, CU = "HKEY_LOCAL_MACHINE\\SOFTWARE", "HKEY_CURRENT_USER\\Software"
LM32, CU32 = LM + "\\Wow6432Node", CU + "\\Wow6432Node"
CV = "Microsoft\\Windows\\CurrentVersion"
SERVICES = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services"


def utf16z(*texts):
    return b"".join(t.encode("utf-16-le") + b"\0\0" for t in texts)


def hexlist(data):
    return ",".join(f"{b:02x}" for b in data)


# Each unexpected kind as .reg data text, and as the report shows it in .reg notation.
KINDS = {
    "Dw": ("dword:0000002a", "dword:0000002A"),
    "Bin": ("hex:01,02,ff", "hex:01,02,FF"),
    "Multi": ("hex(7):" + hexlist(utf16z("first", "second") + b"\0\0"),
              "hex:" + hexlist(utf16z("first", "second") + b"\0\0").upper()),
    "Q": ("hex(b):08,07,06,05,04,03,02,01", "hex:08,07,06,05,04,03,02,01"),
    "None": ("hex(0):", ""),
    "NoneData": ("hex(0):00,7f", "hex:00,7F"),
    "Long": ('"' + LONG + '"', LONG),
}


def reg_file(keys):
    """The .reg text of [(key, {value name: .reg data text})]; "@" is the default value."""
    out = ["Windows Registry Editor Version 5.00", ""]
    for key, values in keys:
        out.append(f"[{key}]")
        for name, data in values.items():
            out.append(f"{'@' if name == '@' else chr(34) + name + chr(34)}={data}")
        out.append("")
    return "\n".join(out)


def all_kinds(prefix=""):
    return {prefix + name: data for name, (data, _) in KINDS.items()}


def shown(prefix=""):
    """The lines of a launch-point key holding all_kinds(prefix)."""
    return [f"{prefix}{name}={text}" for name, (_, text) in KINDS.items()]


def q(text):
    return '"' + text.replace("\\", "\\\\") + '"'


tool = install_tool()
install_tool(name="tests/service_planter.exe")
install_tool(name="tests/service_states.exe")
planter, states_tool = "C:\\tool\\service_planter.exe", "C:\\tool\\service_states.exe"
for name in ("TBXService.exe", "a.log", "Antivirus\\engine.dat"):
    path = linux_path(program + name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(name.encode() * 7)

# Services whose stored image path is no text, or long: the service manager
# reads them when it starts, so they are planted before the session that the
# gathering runs in.
check(regedit_import(reg_file([
    (f"{SERVICES}\\VexloOddImage", {"Type": "dword:00000010", "Start": "dword:00000003",
                                    "ErrorControl": "dword:00000001", "ImagePath": "dword:0000002a"}),
    (f"{SERVICES}\\VexloLongImage", {"Type": "dword:00000010", "Start": "dword:00000003",
                                     "DisplayName": q("Vexlo Long Image"),
                                     "ErrorControl": "dword:00000001", "ImagePath": q("C:\\" + LONG + ".exe")}),
])) == 0, "services with odd image paths planted")
subprocess.run(["wineserver", "-w"], timeout=300)
# One session from here to the end: Windows runs (and deletes) the RunOnce
# entries when a session starts, and the comparison must not see a new one start.
subprocess.run(["wineserver", "-p"], check=True, timeout=60)
# The session's first program starts Wine's own background programs, which
# inherit its standard handles: one whose output goes to files.
check(run_program([states_tool], timeout=120)[0] == 0, "the session starts")

helper1 = "{2F2E2D2C-2B2A-2928-2726-252423222120}"
helper2 = "{3F3E3D3C-3B3A-3938-3736-353433323130}"
console = "HKEY_CURRENT_USER\\Console\\%SystemRoot%_system32_cmd.exe"
rc = regedit_import(reg_file([
    # Uninstall keys: every product's "InstallLocation" of an unexpected kind.
    (f"{LM32}\\{CV}\\Uninstall\\Tramblex_is1", dict(all_kinds(), InstallLocation="dword:00000001")),
    (f"{LM32}\\{CV}\\Uninstall\\Tramblex Beta_is1", {"InstallLocation": KINDS["Bin"][0]}),
    (f"{LM32}\\{CV}\\Uninstall\\Tramblex 8_is1", {"InstallLocation": KINDS["Q"][0]}),
    (f"{LM32}\\{CV}\\Uninstall\\Tramblex Ultimate_is1", {"InstallLocation": KINDS["Multi"][0]}),
    (f"{LM32}\\{CV}\\Uninstall\\Grendax_is1", {"InstallLocation": KINDS["NoneData"][0]}),
    (f"{LM}\\{CV}\\Uninstall\\VexloOdd", all_kinds()),
    # The maker's keys, in the order the search reads them.
    (f"{LM32}\\Vexlo\\Tramblex Ultimate", {"tbxuv9uninstallpath": KINDS["Bin"][0],
                                           "tbxuv8uninstallpath": KINDS["Dw"][0]}),
    (f"{LM32}\\Vexlo\\Tramblex", {"apppath": KINDS["Q"][0]}),
    (f"{LM32}\\Vexlo\\Tramblex 8", {"apppath": KINDS["Multi"][0]}),
    # Launch points.
    (f"{CU}\\{CV}\\Run", all_kinds("U")),
    (f"{LM}\\{CV}\\Run", all_kinds("M")),
    (f"{LM32}\\{CV}\\Run", all_kinds("W")),
    (f"{CU32}\\{CV}\\Run", {"UDw32": KINDS["Dw"][0]}),
    (f"{LM}\\{CV}\\RunOnce", all_kinds("O")),
    (f"{LM32}\\{CV}\\RunOnce", {"OLong32": KINDS["Long"][0]}),
    (f"{LM}\\{CV}\\RunOnceEx\\0001", {"1": KINDS["Dw"][0], "2": KINDS["Long"][0], "3": KINDS["Multi"][0]}),
    (f"{CU}\\{CV}\\Policies\\Explorer\\Run", all_kinds("P")),
    (f"{LM32}\\{CV}\\policies\\Explorer\\Run", {"PBin32": KINDS["Bin"][0]}),
    (f"{CU}\\Microsoft\\Windows NT\\CurrentVersion\\Windows", {"Load": KINDS["Multi"][0], "Run": KINDS["Long"][0]}),
    (f"{LM}\\Microsoft\\Windows NT\\CurrentVersion\\Windows", {"Run": KINDS["Q"][0], "Load": KINDS["None"][0]}),
    (f"{CU}\\{CV}\\Policies\\System", {"Shell": KINDS["Bin"][0]}),
    (f"{LM32}\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", {"Shell": KINDS["Long"][0],
                                                                  "Userinit": KINDS["Dw"][0]}),
    # Browser helper objects whose class keys hold no text, or a long one.
    (f"{LM}\\{CV}\\Explorer\\Browser Helper Objects\\{helper1}", {}),
    (f"{LM}\\Classes\\CLSID\\{helper1}", {"@": KINDS["Dw"][0]}),
    (f"{LM}\\Classes\\CLSID\\{helper1}\\InprocServer32", {"@": KINDS["Long"][0]}),
    (f"{LM}\\{CV}\\Explorer\\Browser Helper Objects\\{helper2}", {}),
    (f"{LM}\\Classes\\CLSID\\{helper2}", {"@": KINDS["Multi"][0]}),
    (f"{LM}\\Classes\\CLSID\\{helper2}\\InprocServer32", {"@": KINDS["NoneData"][0]}),
    # The shell folders, the DPI, the desktop heap and the console code page.
    (f"{CU}\\{CV}\\Explorer\\Shell Folders", {"AppData": KINDS["Dw"][0]}),
    (f"{LM}\\{CV}\\Explorer\\Shell Folders", {"Common AppData": KINDS["Bin"][0]}),
    ("HKEY_CURRENT_USER\\Control Panel\\Desktop\\WindowMetrics", {"AppliedDPI": q("144")}),
    ("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\SubSystems",
     {"Windows": "hex:41,00,42,00"}),
    (console, {"CodePage": q("850")}),
]))
check(rc == 0, f"registry planted (regedit exit {rc})")
# The product's own service points at its folder (which holds the antivirus).
rc, out, err = run_program([planter, "TramblexService9", "Tramblex Service", "10", "3", program + "TBXService.exe"],
                           timeout=120)
check(rc == 0, f"the product's service created: {out.strip()} {err.strip()}")

before = machine_settings(states_tool)
rc, archive_win, _ = run_gather(tool, timeout=600)
check(rc == 0, f"exit code 0 (got {rc})")
after = machine_settings(states_tool)

entries = read_archive(linux_path(archive_win)) if rc == 0 else {}
for name in ("FilesInfo.txt", "SystemInfo.txt", "Vexlo_Debug_Info.txt", "dnsGetinfo.txt", "task.txt",
             "uninstall.txt"):
    check(name in entries, f"{name} is in the archive")
words = read_log(tool)
check(not [w for w in words if w.lower().endswith(" except")], f"no step fails: {[w for w in words if 'xcept' in w]}")

report = utf16_lines(entries.get("Vexlo_Debug_Info.txt", b""), "Vexlo_Debug_Info.txt")
for header in ("===== BHOs =====", "===== Autoruns =====", "---------- Run ----------",
               "---------- RunOnce ----------", "---------- RunOnceEx ----------",
               "---------- policies Run ----------", "---------- NT Run ----------",
               "---------- Windows Shell ----------"):
    check(header in report, f"the report has {header}")


def block(start, end):
    """The report lines from the header `start` to the next of `end` (exclusive)."""
    if start not in report:
        return []
    at = report.index(start) + 1
    rest = report[at:]
    stop = min([rest.index(e) for e in end if e in rest] or [len(rest)])
    return rest[:stop]


subheads = ["---------- RunOnce ----------", "---------- RunOnceEx ----------", "---------- policies Run ----------",
            "---------- NT Run ----------", "---------- Windows Shell ----------", "*" * 81]
run = block("---------- Run ----------", subheads)
for line in shown("U") + shown("M") + shown("W") + ["UDw32=dword:0000002A"]:
    check(line in run, f"Run: {line[:60]}")
run_once = block("---------- RunOnce ----------", subheads[1:])
for line in shown("O") + ["OLong32=" + LONG]:
    check(line in run_once, f"RunOnce: {line[:60]}")
run_once_ex = block("---------- RunOnceEx ----------", subheads[2:])
check(run_once_ex == ["1=dword:0000002A", "rundll32.exe " + LONG, "3=" + KINDS["Multi"][1]],
      f"RunOnceEx: {[line[:40] for line in run_once_ex]}")
policies = block("---------- policies Run ----------", subheads[3:])
for line in shown("P") + ["PBin32=hex:01,02,FF"]:
    check(line in policies, f"policies Run: {line[:60]}")
nt_run = block("---------- NT Run ----------", subheads[4:])
check(nt_run == [LONG, "Load=" + KINDS["Multi"][1], "Run=" + KINDS["Q"][1]], f"NT Run: {[x[:40] for x in nt_run]}")
shell = block("---------- Windows Shell ----------", subheads[5:])
check("Shell=hex:01,02,FF" in shell and LONG in shell and "Userinit=dword:0000002A" in shell,
      f"Windows Shell: {[x[:40] for x in shell]}")
helpers = block("===== BHOs =====", ["===== Autoruns =====", "*" * 81])
for line in (f"{KINDS['Dw'][1]}, {LONG}", f"{KINDS['Multi'][1]}, {KINDS['NoneData'][1]}"):
    check(line in helpers, f"helper object line {line[:60]}")
check("System DPI:\t96" in report, "a DPI value that is no number counts as missing: 96")
check(any(line.startswith("DesktopHeap:AB\0\0") for line in "\r\n".join(report).split("\r\n")),
      "desktop heap of binary data: as many UTF-16 units as the value has bytes")
services_lines = [line for line in report if "long-texts" in line]
check(any(line.startswith("Vexlo Long Image") and line.endswith(" C:\\" + LONG + ".exe ") for line in services_lines),
      f"the service with a long image path shows it whole: {[x[:60] for x in services_lines]}")

# Product detection went on past every value of the wrong kind to the service.
stars = "*" * 81
app_lines = report[len(report) - report[::-1].index(stars):] if stars in report else []
check(any(re.fullmatch(r"TBXService\.exe   Ver:   MD5:[0-9a-f]{32}   DT:.+", line) for line in app_lines),
      f"the main product is found through its service: {app_lines}")
check(entries.get("AppPath/a.log") == b"a.log" * 7, "its logs are copied")
check(entries.get("FilesInfo.txt") == b"\xff\xfe", "FilesInfo.txt: no install location is text, no section")

# The uninstall export: each value in .reg notation, the long string whole.
uninstall = utf16_lines(entries.get("uninstall.txt", b""), "uninstall.txt")
for key in (f"{LM}\\{CV}\\Uninstall\\VexloOdd", f"{LM32}\\{CV}\\Uninstall\\Tramblex_is1"):
    if not check(f"[{key}]" in uninstall, f"uninstall.txt exports {key}"):
        continue
    at = uninstall.index(f"[{key}]") + 1
    lines = uninstall[at:uninstall.index("", at) if "" in uninstall[at:] else len(uninstall)]
    expected = [f'"{name}"=' + (f'"{text}"' if name == "Long" else text) for name, (_, text) in KINDS.items()]
    if key.endswith("Tramblex_is1"):
        expected.append('"InstallLocation"=dword:00000001')
    check(sorted(lines) == sorted(expected), f"{key}: every value in .reg notation:\n  " +
          "\n  ".join(x[:70] for x in lines))

# Nothing of the machine changed but the firewall service's start type and state.
for change in settings_changes(before, after):
    check(False, change)

finish("registry values")
