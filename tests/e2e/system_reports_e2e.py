#!/usr/bin/env python3
"""One whole gathering by VexloGather.exe on a prefix where this test has
planted what the registry exports, the task listing and the systeminfo capture
read: uninstall keys in both registry branches and for the user, a TCP/IP
interface key, stand-in schtasks and systeminfo programs in both system folders
(Wine's own print nothing), and a console code page value. The archive's
uninstall.txt, dnsGetinfo.txt, task.txt and SystemInfo.txt are checked byte for
byte or line for line, the Security Center and firewall blocks of the main
report by their shape (Wine decides their values)."""
import os
import re
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(__file__))
from e2e_support import (check, finish, linux_path, utf16_lines, utf16_file, install_tool, run_gather,  # noqa: E402
                         read_log, read_archive, regedit_import, build, arch, wine64)

# The stand-ins take their answers from C:\standin and log their starts there.
standins = linux_path("C:\\standin")
os.makedirs(standins)
for program in ("schtasks", "systeminfo"):
    for folder in ("system32", "syswow64"):
        shutil.copy(os.path.join(build, "tests", f"{program}_standin.exe"),
                    os.path.join(linux_path(f"C:\\windows\\{folder}"), f"{program}.exe"))
# The first task listing answers nothing; under code page 437 it names two
# root tasks (one twice, in other case), then a sub-folder task ends the list.
row = '"{}","N/A","Ready"\r\n'
with open(os.path.join(standins, "csv-437.txt"), "wb") as f:
    f.write(('"TaskName","Next Run Time","Status"\r\n' + row.format("\\Backup") + row.format("\\Caf\xe9") +
             row.format("\\BACKUP") + row.format("\\Sub\\Task") + row.format("\\Late")).encode("cp1252"))
with open(os.path.join(standins, "systeminfo.txt"), "wb") as f:
    f.write("\r\nHost Name:                 VEXLO-E2E\r\nOS Name:                   Caf\xe9 OS\r\n".encode("cp1252"))

check(regedit_import(r'''Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Vexlo64]
"Blob"=hex:00,ff
"DisplayName"="Vexlo 64 app"
"InstallLocation"="C:\\Program Files\\Vexlo\\"
"NoModify"=dword:00000001

[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Vexlo32]
"DisplayName"="Vexlo 32 app"

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Uninstall\VexloUser]
"DisplayName"="Vexlo user app"
"Quote"="say \"hi\""

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\Tcpip\Parameters\Interfaces\{5E1C}]
"DhcpIPAddress"="10.0.2.15"
"EnableDHCP"=dword:00000001

[HKEY_CURRENT_USER\Console\%SystemRoot%_system32_cmd.exe]
"CodePage"=dword:00000352

[HKEY_CURRENT_USER\Software\Wine\DllOverrides]
"schtasks.exe"="native,builtin"
"systeminfo.exe"="native,builtin"
''') == 0, "fixture keys imported")

tool = install_tool()
rc, archive_win, _ = run_gather(tool)
check(rc == 0, f"exit code 0 (got {rc})")
entries = read_archive(linux_path(archive_win))
check(sorted(entries) == ["FilesInfo.txt", "SystemInfo.txt", "Vexlo_Debug_Info.txt", "dnsGetinfo.txt", "task.txt",
                          "uninstall.txt"],
      f"archive entries {sorted(entries)}")

# The registry exports, whole: each branch once, under its own path, on both builds.
header = "Windows Registry Editor Version 5.00"
machine = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
machine32 = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
user = "[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
check(entries.get("uninstall.txt") == utf16_file([
    header,
    "", machine + "]",
    "", machine + "\\Vexlo64]",
    '"Blob"=hex:00,FF',
    '"DisplayName"="Vexlo 64 app"',
    '"InstallLocation"="C:\\\\Program Files\\\\Vexlo\\\\"',
    '"NoModify"=dword:00000001',
    "", machine32 + "]",
    "", machine32 + "\\Vexlo32]",
    '"DisplayName"="Vexlo 32 app"',
    "", user + "]",
    "", user + "\\VexloUser]",
    '"DisplayName"="Vexlo user app"',
    '"Quote"="say "hi""',
]), "uninstall.txt byte for byte:\n" + entries.get("uninstall.txt", b"")[2:].decode("utf-16-le"))
interfaces = "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\services\\Tcpip\\Parameters\\Interfaces"
check(entries.get("dnsGetinfo.txt") == utf16_file([
    header,
    "", interfaces + "]",
    "", interfaces + "\\{5E1C}]",
    '"DhcpIPAddress"="10.0.2.15"',
    '"EnableDHCP"=dword:00000001',
]), "dnsGetinfo.txt byte for byte:\n" + entries.get("dnsGetinfo.txt", b"")[2:].decode("utf-16-le"))

# The task listing in ANSI: every root task once, queried under code page 437
# by the schtasks of this build's own system folder (the i686 build, a WOW64
# process, takes SysWOW64's).
system_folder = "c:\\windows\\syswow64\\" if arch == "i686" else "c:\\windows\\system32\\"
program = system_folder + "schtasks.exe"
details = "\r\nHostName: {}\r\nTaskName: \\{}\r\nCodePage: 437\r\n"
check(entries.get("task.txt") == (details.format(program, "Backup") + details.format(program, "Caf\xe9"))
      .encode("cp1252"), f"task.txt byte for byte: {entries.get('task.txt')!r}")
with open(os.path.join(standins, "schtasks.log"), encoding="utf-8") as f:
    starts = f.read().splitlines()
check(starts == [program + "|/query|/FO|csv"] * 2 +
      [program + f"|/query|/V|/TN|{name}|/FO|list" for name in ("Backup", "Caf\xe9")],
      f"schtasks started by full path, CSV twice, then once per task: {starts}")
query = subprocess.run([wine64, "reg", "query", "HKCU\\Console\\%SystemRoot%_system32_cmd.exe", "/v", "CodePage"],
                       stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
check(re.search(r"CodePage\s+REG_DWORD\s+0x352\b", query.stdout.decode("utf-8", "replace")) is not None,
      "the console code page is 850 again after the listing")

# SystemInfo.txt: the capture time, an empty line, the heading and the output.
lines = utf16_lines(entries.get("SystemInfo.txt", b""), "SystemInfo.txt")
check(len(lines) == 6 and re.fullmatch(r"\d\S*( \S.*)?", lines[0]) is not None and lines[1:] == [
    "", "===== System =====", "", "Host Name:                 VEXLO-E2E", "OS Name:                   Caf\xe9 OS"],
    f"SystemInfo.txt lines {lines}")
with open(os.path.join(standins, "systeminfo.log"), encoding="utf-8") as f:
    check(f.read().splitlines() == [system_folder + "systeminfo.exe"], "systeminfo started once, by full path")
temp = linux_path(archive_win[: -len("Vexlo_Debug_Info.zip")])
left = [name for name in os.listdir(temp) if name.startswith("SystemInfo_")]
check(left == [], f"no intermediate systeminfo file left: {left}")

# The Security Center and firewall blocks right after the asterisk row: Wine
# has no Security Center namespaces (headers alone); its firewall decides the flags.
report = utf16_lines(entries.get("Vexlo_Debug_Info.txt", b""), "Vexlo_Debug_Info.txt")
if check("[AntiVirusProduct]" in report and report[report.index("[AntiVirusProduct]") - 1] == "*" * 81,
         "the blocks follow a row of asterisks in the main report"):
    blocks = report[report.index("[AntiVirusProduct]"):]
    check(blocks[:7] == ["[AntiVirusProduct]", "", "[AntiSpywareProduct]", "", "[FirewallProduct]", "",
                         "[Windows FireWall]"], f"Security Center blocks {blocks[:7]}")
    flags = [re.fullmatch(f"{key}=(True|False)", line) is not None
             for key, line in zip(("HomeNetFwEnabled", "PublicNetFwEnabled", "FireWallEnabled"), blocks[7:10])]
    check(flags == [True] * 3, f"firewall lines {blocks[7:10]}")

words = read_log(tool)
for step in ("GetWSCInfo", "DoClllectEx", "DoClllectDNS", "EnumTasks", "WaitGetSystemInfo"):
    check(f"{step} Succ" in words and f"{step} Except" not in words, f"{step}: Succ and no Except")
check("WaitGetSystemInfo TimeOut" not in words, "the side thread ended in time")

finish("system reports")
