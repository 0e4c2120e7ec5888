#!/usr/bin/env python3
"""The demo customer machine: a Wine prefix on which Vexlo's products are
installed the way their installers leave them, with the clutter a support case
meets. `make run` stages it once in build/demo-prefix; the end-to-end tests
stage it in their own throwaway prefix and check the archive against what is
declared here.

Installed:
- Tramblex 9 (release) in Program Files (x86)\\Vexlo\\Tramblex, Tramblex Ultimate
  beside it, Grendax (anti-malware) beside them; Inno Setup uninstall keys in the
  32-bit registry branch with InstallLocation; the maker's keys under
  SOFTWARE\\Vexlo; the service TramblexService9 pointing at the program;
- program folders with versioned programs and libraries (built with windres,
  tests/e2e/demo_machine.cmake), logs, INI files (Update\\Update.ini), backups,
  dumps, antivirus folders with their version files, mini dumps of both engines;
- the per-user and machine-wide data folders with the logs the products write,
  the BDLogging tree, the Fetchwell updater's logs, a Windows minidump;
- clutter: Run, RunOnce, RunOnceEx and policy entries in both registry branches,
  Startup shortcuts made through the shell, a browser helper object, another
  vendor's service, a file path longer than 260 characters and names beyond ASCII;
- Windows' systeminfo and schtasks, which Wine only has as silent stubs, as
  stand-ins (tests/sections/standins) that answer from C:\\standin.

Use as a module (DemoMachine) or from the command line:
    demo_machine.py stage PREFIX TOOLS_DIR LOADER   stage into an existing prefix
    demo_machine.py fingerprint TOOLS_DIR           what a staged machine depends on
"""
import hashlib
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time

WINE64 = "/usr/lib/wine/wine64"

PROGRAM_FILES = "C:\\Program Files"
PROGRAM_FILES_X86 = "C:\\Program Files (x86)"
PROGRAM_DATA = "C:\\ProgramData"
WINDOWS = "C:\\windows"
RELEASE = PROGRAM_FILES_X86 + "\\Vexlo\\Tramblex\\"
ULTIMATE = PROGRAM_FILES_X86 + "\\Vexlo\\Tramblex Ultimate\\"
GRENDAX = PROGRAM_FILES_X86 + "\\Vexlo\\Grendax\\"
FETCHWELL = PROGRAM_FILES_X86 + "\\Vexlo\\Fetchwell\\"
PRINT_HELPER = PROGRAM_FILES + "\\Contoso\\Print Helper\\"
TOOLBAR = PROGRAM_FILES + "\\Contoso\\Toolbar\\"
STANDIN_DIR = "C:\\standin"

# The versioned files: fixture target -> (file name, version), as demo_machine.cmake builds them.
FIXTURES = {
    "demo_fx_tramblex.exe": "9.0.3.112",
    "demo_fx_tbxservice.exe": "9.0.3.112",
    "demo_fx_tbxcore.dll": "9.0.3.108",
    "demo_fx_tbxav.dll": "4.2.0.77",
    "demo_fx_ultimate.exe": "9.1.0.20",
    "demo_fx_grendax.exe": "3.4.1.250",
    "demo_fx_gdxengine.dll": "3.4.1.244",
    "demo_fx_fetchwell.exe": "2.0.5.31",
    "demo_fx_printhelper.exe": "2.1.0.5",
    "demo_fx_toolbar.dll": "1.0.3.0",
}
TOOLS = ["shortcut_maker.exe", "service_planter.exe", "schtasks_standin.exe", "systeminfo_standin.exe"]

# A path below the release folder longer than MAX_PATH (260), as deep skin
# folders of a real installation reach it.
LONG_FOLDER = ("Skins\\Classic Blue Theme For High Resolution Displays\\Resources\\Toolbar Buttons And Icons In "
               "Several Sizes\\Large Icons For Screens Scaled Beyond One Hundred And Fifty Percent\\Pressed State\\")
LONG_NAME = "button_scan_pressed_high_contrast.png"
BDLOGGING_LONG = ("BDLogging\\ScanEngine\\Sessions\\Full Scan Requested By The Scheduled Task Of The Main Product\\"
                  "Worker Threads With Their Detailed Trace Output For Support\\Thread 0004 Handling The Archive "
                  "Unpacker Of The Engine While Scanning Compressed Mail Attachments\\trace_0004.log")

HELPER_CLSID = "{C0A5E4D2-7B1F-4E3A-9D6C-5F2B8A1E7C30}"
PRODUCT_HELPER_CLSID = "{E7B3A9F1-2C4D-4B6E-8A0F-1D3C5E7B9A24}"
INTERFACE = "{8F3D2B6A-5C1E-4A7D-9B2F-3E6C8A0D4F15}"
CV = "Microsoft\\Windows\\CurrentVersion"
LM, CU = "HKEY_LOCAL_MACHINE\\SOFTWARE", "HKEY_CURRENT_USER\\Software"
LM32, CU32 = LM + "\\Wow6432Node", CU + "\\Wow6432Node"  # the 32-bit branch by its name

# The scheduled tasks the schtasks stand-in lists (root folder first; the
# listing stops at the first task of a sub-folder).
TASKS = ["Tramblex Update", "Grendax Scheduled Scan"]
SYSTEMINFO = [
    "",
    "Host Name:                 DEMO-PC",
    "OS Name:                   Microsoft Windows 7 Professional",
    "OS Version:                6.1.7601 Service Pack 1 Build 7601",
    "OS Manufacturer:           Microsoft Corporation",
    "OS Configuration:          Standalone Workstation",
    "Registered Owner:          Demo Customer",
    "Original Install Date:     2/14/2024, 9:12:40 AM",
    "System Boot Time:          3/13/2024, 8:01:12 AM",
    "System Manufacturer:       Contoso Computers",
    "System Model:              Contoso Desk 5",
    "System Type:               x64-based PC",
    "Total Physical Memory:     8,192 MB",
    "Hotfix(s):                 2 Hotfix(s) Installed.",
    "                           [01]: KB2534111",
    "                           [02]: KB976902",
]


def local_time(year, month, day, hour, minute, second):
    """Seconds since the epoch of a local time (what Windows shows for the file)."""
    return time.mktime((year, month, day, hour, minute, second, 0, 0, -1))


INSTALLED = local_time(2024, 3, 1, 10, 15, 24)   # when the products were installed
WORKING = local_time(2024, 3, 13, 14, 22, 8)     # when they last wrote their logs


def text(*lines):
    """A text file's bytes: Windows line ends, UTF-8."""
    return "".join(line + "\r\n" for line in lines).encode("utf-8")


def log(name, count, when=WORKING):
    """A product log of `count` lines, the same bytes every time."""
    rng = random.Random(name)
    events = ["Scan started", "Scan finished: 0 threats", "Update check: up to date", "Service heartbeat",
              "Settings loaded", "Engine loaded", "Quarantine checked", "Cleanup finished"]
    stamp = when - 3600 * 24
    lines = []
    for i in range(count):
        stamp += rng.randrange(30, 900)
        lines.append(time.strftime("%Y-%m-%d %H:%M:%S", time.localtime(stamp)) +
                     f"  [{rng.randrange(1000, 9999)}] {rng.choice(events)} ({name} #{i + 1})")
    return text(*lines)


def blob(name, size, magic=b""):
    """Binary data of a given size, the same bytes every time."""
    return magic + random.Random(name).randbytes(size - len(magic))


class TFile:
    """One file of the machine: its Windows path, its bytes (or the fixture it
    is a copy of), its last-write time."""

    def __init__(self, path, data=None, fixture=None, mtime=WORKING):
        self.path, self.data, self.fixture, self.mtime = path, data, fixture, mtime


class DemoMachine:
    def __init__(self, prefix, tools_dir, loader):
        self.prefix = os.path.abspath(prefix)
        self.tools_dir = tools_dir
        self.loader = loader
        users = os.path.join(self.prefix, "drive_c", "users")
        self.user = next(n for n in sorted(os.listdir(users))
                         if n.lower() != "public" and os.path.isdir(os.path.join(users, n, "AppData")))
        self.profile = f"C:\\users\\{self.user}"
        self.app_data = self.profile + "\\AppData\\Roaming"
        self.desktop = self.profile + "\\Desktop"
        self.user_startup = self.app_data + "\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp"
        self.common_startup = PROGRAM_DATA + "\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp"
        self.tbx_app_data = self.app_data + "\\Vexlo\\Tramblex\\"
        self.tbx_program_data = PROGRAM_DATA + "\\Vexlo\\Tramblex\\"
        self.gdx_app_data = self.app_data + "\\Vexlo\\Grendax\\"
        self.gdx_program_data = PROGRAM_DATA + "\\Vexlo\\Grendax\\"
        self.files = self._files()
        # Startup shortcuts: (shortcut, target, arguments).
        self.shortcuts = [
            (self.user_startup + "\\Tramblex Tray.lnk", RELEASE + "Tramblex.exe", "/tray /minimized"),
            (self.common_startup + "\\Contoso Print Monitor.lnk", PRINT_HELPER + "cphelper.exe", "/monitor"),
        ]
        # Services: (name, display name, type, start type, image path).
        self.services = [
            ("TramblexService9", "Tramblex Service", 0x10, 3, RELEASE + "TBXService.exe"),
            ("ContosoPrintHelper", "Contoso Print Helper Service", 0x10, 3,
             '"' + PRINT_HELPER + 'cphelper.exe" /service'),
        ]
        self.registry = self._registry()

    # ------------------------------------------------------------------
    # What is installed

    def _files(self):
        R, X, G, F = RELEASE, ULTIMATE, GRENDAX, FETCHWELL
        B, C = self.tbx_app_data, self.tbx_program_data
        GB, GC = self.gdx_app_data, self.gdx_program_data
        at = local_time
        files = [
            # Tramblex 9, the release edition.
            TFile(R + "Tramblex.exe", fixture="demo_fx_tramblex.exe", mtime=INSTALLED),
            TFile(R + "TBXService.exe", fixture="demo_fx_tbxservice.exe", mtime=INSTALLED),
            TFile(R + "TBXCore.dll", fixture="demo_fx_tbxcore.dll", mtime=INSTALLED),
            TFile(R + "unins000.dat", blob("unins000.dat", 6144, b"Inno Setup Uninstall Log (b)"), mtime=INSTALLED),
            TFile(R + "License.txt", text("Tramblex 9 end user license agreement", "", "(demo text)"),
                  mtime=INSTALLED),
            TFile(R + "Tramblex.log", log("Tramblex.log", 40)),
            TFile(R + "SelfRefresh.log", log("SelfRefresh.log", 12)),
            TFile(R + "scanstate.txt", text("LastScan=2024-03-13 14:05:41", "State=Finished", "Threats=0")),
            TFile(R + "qv.dat", blob("qv.dat", 2048, b"QV01")),
            TFile(R + "Screen_log.txt", log("Screen_log.txt", 8)),
            TFile(R + "TBXService_Log.txt", log("TBXService_Log.txt", 30)),
            TFile(R + "tbx_Antivirus_Faultnote.txt", text("Engine fault 0xC0000005 at TBXAVEngine.dll+0x1A2F0",
                                                          "Dump: tbx_Antivirus_mini.dmp")),
            TFile(R + "Faultnote.txt", text("Tramblex.exe stopped at 2024-03-12 18:44:02 (0xC0000409)")),
            TFile(R + "Update\\Update.ini", text("[Beta]", "Value=0", "", "[Update]", "Server=update.vexlo.example",
                                                 "LastCheck=2024-03-13 09:00:12", "Channel=release")),
            TFile(R + "Update\\UpdateList.dat", blob("UpdateList.dat", 4096), mtime=INSTALLED),
            TFile(R + "TBXServiceLog\\service_20240312.log", log("service_20240312.log", 25, WORKING - 86400)),
            TFile(R + "TBXServiceLog\\service_20240313.log", log("service_20240313.log", 25)),
            TFile(R + "Boottimelog\\boottime_1.log", log("boottime_1.log", 6)),
            TFile(R + "DumpFile\\Tramblex_20240312_184402.dmp", blob("Tramblex_20240312.dmp", 262144, b"MDMP")),
            TFile(R + "Antivirus\\TBXAVEngine.dll", fixture="demo_fx_tbxav.dll", mtime=INSTALLED),
            TFile(R + "Antivirus\\Sightings.ini", text("[Sightings]", "Count=0", "LastReset=2024-03-01")),
            TFile(R + "Antivirus\\Plugins\\update.txt", text("plugins: 12", "updated: 2024-03-13 09:00:40")),
            TFile(R + "Antivirus\\Plugins\\archive.plg", blob("archive.plg", 3072), mtime=INSTALLED),
            # Version files in the release folder are not the ones the report takes (the Ultimate's are).
            TFile(R + "Antivirus\\versions.dat", text("engine=4.2.0.77", "signatures=20240313.2"),
                  mtime=at(2024, 3, 13, 12, 0, 0)),
            TFile(R + "Antivirus\\BackupRec\\q_0001.qbk", blob("q_0001.qbk", 1536, b"QBK1")),
            TFile(R + "Languages\\English.lng", text("[Strings]", "Scan=Scan"), mtime=INSTALLED),
            TFile(R + "Languages\\Français.lng", text("[Strings]", "Scan=Analyser"), mtime=INSTALLED),
            TFile(R + "Languages\\日本語.lng", text("[Strings]", "Scan=スキャン"), mtime=INSTALLED),
            TFile(R + LONG_FOLDER + LONG_NAME, blob(LONG_NAME, 900, b"\x89PNG\r\n\x1a\n"), mtime=INSTALLED),
            # Tramblex Ultimate: its antivirus folder and engine dump are the ones the report takes.
            TFile(X + "TramblexUltimate.exe", fixture="demo_fx_ultimate.exe", mtime=INSTALLED),
            TFile(X + "TBXCore.dll", fixture="demo_fx_tbxcore.dll", mtime=INSTALLED),
            TFile(X + "Ultimate.log", log("Ultimate.log", 10)),
            TFile(X + "Antivirus\\TBXAVEngine.dll", fixture="demo_fx_tbxav.dll", mtime=INSTALLED),
            TFile(X + "Antivirus\\versions.dat", text("engine=4.2.0.70", "signatures=20240310.1"),
                  mtime=at(2024, 3, 10, 10, 0, 0)),
            TFile(X + "Antivirus\\versions.dat.bak", text("engine=4.2.0.77", "signatures=20240311.3"),
                  mtime=at(2024, 3, 11, 11, 0, 0)),
            TFile(X + "Antivirus\\versions.dat.upd", text("engine=4.2.0.78", "signatures=20240312.1 (pending)"),
                  mtime=at(2024, 3, 12, 9, 30, 0)),
            TFile(X + "Antivirus\\versions.id", text("id=7311"), mtime=at(2024, 3, 9, 8, 0, 0)),
            TFile(X + "Antivirus\\versions.id2", text("id=7342"), mtime=at(2024, 3, 11, 8, 0, 0)),
            TFile(X + "tbx_Antivirus_mini.dmp", blob("tbx_Antivirus_mini.dmp", 1536 * 1024, b"MDMP"),
                  mtime=at(2024, 3, 12, 18, 44, 6)),
            # Grendax, the anti-malware product.
            TFile(G + "Grendax.exe", fixture="demo_fx_grendax.exe", mtime=INSTALLED),
            TFile(G + "GDXEngine.dll", fixture="demo_fx_gdxengine.dll", mtime=INSTALLED),
            TFile(G + "install.log", log("install.log", 15, INSTALLED)),
            TFile(G + "selfrefresh.log", log("gdx selfrefresh.log", 9)),
            TFile(G + "gdx_Antivirus_Faultnote.txt", text("Engine fault 0xC0000374 in GDXEngine.dll")),
            TFile(G + "log\\scan_20240313.log", log("scan_20240313.log", 30)),
            TFile(G + "log\\update.txt", text("update 2024-03-13 09:01:22 ok")),
            TFile(G + "log\\old\\scan_20240301.log", log("scan_20240301.log", 20, INSTALLED)),
            TFile(G + "update\\update.ini", text("[Update]", "Server=gdx.vexlo.example", "Interval=6")),
            TFile(G + "update\\servers.ini", text("[Servers]", "1=gdx1.vexlo.example", "2=gdx2.vexlo.example")),
            TFile(G + "update\\cache.bin", blob("cache.bin", 8192)),
            TFile(G + "Antivirus\\versions.dat", text("engine=3.4.1.244", "signatures=20240313.4"),
                  mtime=at(2024, 3, 13, 6, 30, 0)),
            TFile(G + "Antivirus\\versions.dat.bak", text("engine=3.4.1.240", "signatures=20240301.1"),
                  mtime=at(2024, 3, 1, 6, 30, 0)),
            TFile(G + "Antivirus\\versions.id", text("id=5120"), mtime=at(2024, 3, 13, 6, 30, 2)),
            TFile(G + "Antivirus\\versions.id2", text("id=5077"), mtime=at(2024, 3, 5, 6, 30, 0)),
            TFile(G + "gdx_Antivirus_mini.dmp", blob("gdx_Antivirus_mini.dmp", 768 * 1024, b"MDMP"),
                  mtime=at(2024, 3, 13, 7, 2, 50)),
            # A working copy's folder that slipped into the installation: listed, never copied.
            TFile(G + ".svn\\entries", text("12")),
            TFile(G + ".svn\\tmp\\svn-build.log", log("svn-build.log", 4)),
            # Tramblex's per-user data.
            TFile(B + "settings.ini", text("[General]", "Language=English", "Tray=1")),
            TFile(B + "desktop.ini", text("[.ShellClassInfo]", "IconResource=Tramblex.exe,0")),
            TFile(B + "ui.log", log("ui.log", 10)),
            TFile(B + "Log\\main_20240313.log", log("main_20240313.log", 35)),
            TFile(B + "Log\\Überwachung.log", log("Überwachung.log", 7)),
            TFile(B + "Log\\sub\\deep.log", log("deep.log", 5)),
            TFile(B + "Backup\\RegBackup_20240301.reg", text("Windows Registry Editor Version 5.00", "",
                                                             "[HKEY_CURRENT_USER\\Software\\Demo]")),
            TFile(B + "Backup\\Startup_20240301.bak", blob("Startup_20240301.bak", 1024)),
            TFile(B + "Boottime\\boottime.dat", blob("boottime.dat", 512)),
            TFile(B + "Netquell\\netquell.log", log("netquell.log", 12)),
            TFile(B + "Memfolio\\memfolio.log", log("memfolio.log", 12)),
            TFile(B + "Onsetter\\onsetter.ini", text("[Onsetter]", "Delay=30")),
            TFile(B + "Onsetter\\history.dat", blob("history.dat", 700)),
            TFile(B + "Haltwise\\haltwise.log", log("haltwise.log", 6)),
            TFile(B + "Hivescrub\\hivescrub.log", log("hivescrub.log", 9)),
            TFile(B + "Hivescrub\\backup\\hs_20240302.reg", text("Windows Registry Editor Version 5.00")),
            TFile(B + "Downloader\\download.log", log("download.log", 8)),
            TFile(B + "Pagewarden\\pagewarden.log", log("pagewarden.log", 8)),
            # Tramblex's machine-wide data.
            TFile(C + "AntivirusConfig.ini", text("[Antivirus]", "QuarantinePath=" + R + "Antivirus\\BackupRec",
                                                  "RealTime=1")),
            TFile(C + "tbxsettings.ini", text("[Service]", "Heartbeat=60")),
            TFile(C + "stats.dat", blob("stats.dat", 1200)),
            TFile(C + "App.bk", blob("App.bk", 2500)),
            TFile(C + "AppAV.bk", blob("AppAV.bk", 1800)),
            TFile(C + "Log\\service.log", log("pd service.log", 20)),
            TFile(C + "Log\\engine.log", log("pd engine.log", 20)),
            TFile(C + "BDLog\\bd_20240313.log", log("bd_20240313.log", 14)),
            TFile(C + "Pagewarden\\pw.log", log("pw.log", 5)),
            TFile(C + "Onsetter\\schedule.ini", text("[Schedule]", "Boot=1")),
            TFile(C + "Rousemark\\rousemark.dat", blob("rousemark.dat", 640)),
            # Beside the product's data folder, in the maker's.
            TFile(PROGRAM_DATA + "\\Vexlo\\TBXDownloader\\downloader.log", log("downloader.log", 11)),
            TFile(PROGRAM_DATA + "\\Vexlo\\namewatch.ini", text("[Names]", "Watch=1")),
            TFile(PROGRAM_DATA + "\\Vexlo\\LocalSkip.ini", text("[Skip]", "1=C:\\Games")),
            TFile(PROGRAM_DATA + "\\Vexlo\\LocalChosen.ini", text("[Chosen]", "1=C:\\Users")),
            # Grendax's data folders.
            TFile(GB + "settings.ini", text("[GUI]", "Skin=Dark")),
            TFile(GB + "desktop.ini", text("[.ShellClassInfo]")),
            TFile(GB + "Log\\gui.log", log("gdx gui.log", 10)),
            TFile(GC + "config.ini", text("[Engine]", "Heuristics=2")),
            TFile(GC + "Log\\service.log", log("gdx service.log", 16)),
            TFile(GC + "Update\\patch.log", log("gdx patch.log", 6)),
            # The engine's own logging tree, a long path and a name beyond ASCII in it.
            TFile(PROGRAM_DATA + "\\BDLogging\\engine\\2024-03-13.log", log("bdlogging engine", 18)),
            TFile(PROGRAM_DATA + "\\BDLogging\\update\\a\\b\\c.log", log("bdlogging c.log", 4)),
            TFile(PROGRAM_DATA + "\\BDLogging\\Überprüfung\\ergebnis.log", log("bdlogging ergebnis", 5)),
            TFile(PROGRAM_DATA + "\\" + BDLOGGING_LONG, log("bdlogging trace", 6)),
            # The maker's updater.
            TFile(F + "Fetchwell.exe", fixture="demo_fx_fetchwell.exe", mtime=INSTALLED),
            TFile(F + "fetchwell.log", log("fetchwell.log", 13)),
            TFile(F + "fetchwell_error.log", log("fetchwell_error.log", 3)),
            TFile(F + "Cache\\old.log", log("fetchwell old.log", 3)),
            # A Windows minidump of an earlier crash.
            TFile(WINDOWS + "\\Minidump\\031224-8421-01.dmp", blob("031224-8421-01.dmp", 307200, b"PAGEDU64"),
                  mtime=at(2024, 3, 12, 19, 3, 11)),
            # Another vendor's programs.
            TFile(PRINT_HELPER + "cphelper.exe", fixture="demo_fx_printhelper.exe", mtime=INSTALLED),
            TFile(TOOLBAR + "ctbbho.dll", fixture="demo_fx_toolbar.dll", mtime=INSTALLED),
            TFile(self.user_startup + "\\desktop.ini", text("[.ShellClassInfo]", "LocalizedResourceName=Startup")),
        ]
        long_path = R + LONG_FOLDER + LONG_NAME
        assert len(long_path) > 260 and len(PROGRAM_DATA + "\\" + BDLOGGING_LONG) > 260, "long paths must pass MAX_PATH"
        return files

    def _registry(self):
        """[(key, [(value name, value)])]: str is REG_SZ, int REG_DWORD, bytes REG_BINARY."""
        def inno(folder, name, version, exe, size):
            return [
                ("Inno Setup: Setup Version", "6.2.2"),
                ("Inno Setup: App Path", folder.rstrip("\\")),
                ("InstallLocation", folder),
                ("Inno Setup: Icon Group", "Vexlo\\" + name),
                ("Inno Setup: Language", "en"),
                ("DisplayName", name),
                ("DisplayIcon", folder + exe),
                ("UninstallString", '"' + folder + 'unins000.exe"'),
                ("QuietUninstallString", '"' + folder + 'unins000.exe" /SILENT'),
                ("DisplayVersion", version),
                ("Publisher", "Vexlo"),
                ("URLInfoAbout", "https://www.vexlo.example/"),
                ("NoModify", 1),
                ("NoRepair", 1),
                ("InstallDate", "20240301"),
                ("EstimatedSize", size),
            ]
        uninstall, uninstall32 = f"{LM}\\{CV}\\Uninstall", f"{LM32}\\{CV}\\Uninstall"
        return [
            # The products' uninstall keys, where their 32-bit installers write them.
            (f"{uninstall32}\\Tramblex_is1", inno(RELEASE, "Tramblex 9", "9.0.3.112", "Tramblex.exe", 47268)),
            (f"{uninstall32}\\Tramblex Ultimate_is1",
             inno(ULTIMATE, "Tramblex Ultimate", "9.1.0.20", "TramblexUltimate.exe", 52011)),
            (f"{uninstall32}\\Grendax_is1", inno(GRENDAX, "Grendax", "3.4.1.250", "Grendax.exe", 31540)),
            (f"{uninstall}\\{{6D2A8C11-4B7E-4F0A-9C3D-2E5B7A1F0C44}}", [
                ("DisplayName", "Contoso Print Helper"),
                ("DisplayVersion", "2.1.0.5"),
                ("Publisher", "Contoso"),
                ("InstallLocation", PRINT_HELPER),
                ("Language", 1033),
                ("WindowsInstaller", 1),
            ]),
            (f"{uninstall}\\ContosoToolbar", [
                ("DisplayName", "Contoso Toolbar"),
                ("DisplayVersion", "1.0.3.0"),
                ("UninstallString", TOOLBAR + "uninstall.exe"),
            ]),
            # The maker's own keys.
            (f"{LM32}\\Vexlo\\Tramblex", [("apppath", RELEASE + "Tramblex.exe"), ("Version", "9.0.3.112")]),
            (f"{LM32}\\Vexlo\\Tramblex Ultimate", [("tbxuv9uninstallpath", ULTIMATE + "unins000.exe"),
                                                   ("apppath", ULTIMATE + "TramblexUltimate.exe")]),
            (f"{LM32}\\Vexlo\\Grendax", [("apppath", GRENDAX + "Grendax.exe")]),
            (f"{CU}\\Vexlo\\Tramblex", [("LastScan", "2024-03-13 14:05:41"), ("Tray", 1)]),
            # A network interface as DHCP leaves it.
            (f"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\{INTERFACE}", [
                ("EnableDHCP", 1),
                ("Domain", ""),
                ("NameServer", ""),
                ("DhcpIPAddress", "192.168.1.23"),
                ("DhcpSubnetMask", "255.255.255.0"),
                ("DhcpServer", "192.168.1.1"),
                ("Lease", 86400),
                ("DhcpNameServer", "192.168.1.1"),
                ("DhcpDomain", "home.example"),
                ("DhcpGatewayHardware", bytes.fromhex("c0a801010600000052540012350a")),
            ]),
            # A browser helper object in the native branch, and the product's in the 32-bit one.
            (f"{LM}\\{CV}\\Explorer\\Browser Helper Objects\\{HELPER_CLSID}", [("NoExplorer", 1)]),
            (f"{LM}\\Classes\\CLSID\\{HELPER_CLSID}", [("", "Contoso Toolbar Helper")]),
            (f"{LM}\\Classes\\CLSID\\{HELPER_CLSID}\\InprocServer32",
             [("", TOOLBAR + "ctbbho.dll"), ("ThreadingModel", "Apartment")]),
            (f"{LM32}\\{CV}\\Explorer\\Browser Helper Objects\\{PRODUCT_HELPER_CLSID}", []),
            (f"{LM32}\\Classes\\CLSID\\{PRODUCT_HELPER_CLSID}", [("", "Tramblex Web Guard")]),
            (f"{LM32}\\Classes\\CLSID\\{PRODUCT_HELPER_CLSID}\\InprocServer32", [("", RELEASE + "TBXCore.dll")]),
            # Launch points in both branches.
            (f"{CU}\\{CV}\\Run", [("Tramblex Monitor", '"' + RELEASE + 'Tramblex.exe" /monitor')]),
            (f"{CU32}\\{CV}\\Run", [("ContosoUpdater",
                                     PROGRAM_FILES_X86 + "\\Contoso\\Updater\\ctupdate.exe /background")]),
            (f"{LM}\\{CV}\\Run", [("ContosoPrintTray", '"' + PRINT_HELPER + 'cphelper.exe" /tray')]),
            (f"{LM32}\\{CV}\\Run", [("Grendax", '"' + GRENDAX + 'Grendax.exe" /startup'),
                                    ("TramblexTray", '"' + RELEASE + 'Tramblex.exe" /tray')]),
            (f"{CU}\\{CV}\\RunOnce", [("TramblexWelcome", '"' + RELEASE + 'Tramblex.exe" /welcome')]),
        ] + self.session_keys() + [
            (f"{LM}\\{CV}\\RunOnceEx\\0001", [("ContosoRegister", "ctbbho.dll|DllRegisterServer")]),
            (f"{LM32}\\{CV}\\RunOnceEx\\0001", [("TBXRegister", RELEASE + "TBXCore.dll|DllRegisterServer|/s")]),
            (f"{CU}\\{CV}\\Policies\\Explorer\\Run", [("CorpAgent", PROGRAM_FILES + "\\Contoso\\Agent\\agent.exe")]),
            (f"{LM}\\{CV}\\policies\\Explorer\\Run",
             [("ContosoCompliance", PROGRAM_FILES + "\\Contoso\\Agent\\compliance.exe")]),
            (f"{CU}\\Microsoft\\Windows NT\\CurrentVersion\\Windows", [("Load", "C:\\PROGRA~2\\Contoso\\legacy.exe")]),
            # Wine's schtasks and systeminfo print nothing: the stand-ins answer instead. Once the
            # user's Software key has a Wow6432Node (the 32-bit Run entry above), Wine 8 reads its
            # DllOverrides from there, so the setting goes into both.
        ] + [(f"{root}\\Wine\\DllOverrides", [("schtasks.exe", "native,builtin"), ("systeminfo.exe", "native,builtin")])
             for root in (CU, CU32)]

    def session_keys(self):
        """What Windows (and Wine's wineboot) consumes when a session starts:
        the machine's RunOnce entries of both branches. A staged machine gets
        them again at the start of each session it is used in (`freshen`)."""
        return [
            (f"{LM}\\{CV}\\RunOnce", [("ContosoFinishSetup", "C:\\windows\\Temp\\ContosoSetup\\finish.exe /q")]),
            (f"{LM32}\\{CV}\\RunOnce", [("TramblexCleanup", '"' + RELEASE + 'Tramblex.exe" /cleanup-update')]),
        ]

    # ------------------------------------------------------------------
    # Paths

    def linux_path(self, win):
        """The Linux path of a C:\\ path of this prefix (Wine keeps the case of what exists)."""
        assert win[:3].upper() == "C:\\", win
        path = os.path.join(self.prefix, "drive_c")
        for part in [p for p in win[3:].split("\\") if p]:
            found = part
            if os.path.isdir(path):
                for entry in os.listdir(path):
                    if entry.lower() == part.lower():
                        found = entry
                        break
            path = os.path.join(path, found)
        return path

    def fixture_path(self, name):
        return os.path.join(self.tools_dir, name)

    def read(self, f):
        """The bytes a declared file has."""
        if f.data is not None:
            return f.data
        with open(self.fixture_path(f.fixture), "rb") as src:
            return src.read()

    def version(self, f):
        """The version the file's fixed version block carries ("" for plain files)."""
        return FIXTURES[f.fixture] if f.fixture else ""

    # ------------------------------------------------------------------
    # Staging

    def run(self, program, *args, timeout=120, loader=None):
        """Runs a Windows program of the prefix; output through a file (the
        first program of a session starts Wine's own, which inherit pipes and
        keep them open)."""
        with tempfile.TemporaryFile() as out:
            proc = subprocess.run([loader or self.loader, program, *args], stdin=subprocess.DEVNULL, stdout=out,
                                  stderr=subprocess.STDOUT, timeout=timeout, env=self.env())
            out.seek(0)
            return proc.returncode, out.read().decode("utf-8", "replace")

    def env(self):
        return dict(os.environ, WINEPREFIX=self.prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")

    def stage(self):
        """Installs everything into the prefix. The caller holds one wineserver
        session (`session`) across staging and the run that uses it."""
        for f in self.files:
            self._write(f)
        self._stand_ins()
        self.import_registry(self.registry)
        setup = self.linux_path("C:\\windows\\Temp\\vexlo-demo-setup")
        os.makedirs(setup, exist_ok=True)
        for tool in ("shortcut_maker.exe", "service_planter.exe"):
            shutil.copy(self.fixture_path(tool), setup)
        try:
            for shortcut, target, arguments in self.shortcuts:
                os.makedirs(os.path.dirname(self.linux_path(shortcut)), exist_ok=True)
                rc, out = self.run(os.path.join(setup, "shortcut_maker.exe"), shortcut, target, arguments)
                if rc != 0:
                    raise RuntimeError(f"shortcut {shortcut} not made (exit {rc}): {out}")
                os.utime(self.linux_path(shortcut), (INSTALLED, INSTALLED))
            for name, display, kind, start, image in self.services:
                rc, out = self.run(os.path.join(setup, "service_planter.exe"), name, display, f"{kind:x}", str(start),
                                   image)
                if rc != 0:
                    raise RuntimeError(f"service {name} not created (exit {rc}): {out}")
        finally:
            shutil.rmtree(setup, ignore_errors=True)

    def freshen(self):
        """Puts back what the start of this session consumed (see session_keys)."""
        self.import_registry(self.session_keys())

    def _write(self, f):
        path = self.linux_path(f.path)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as out:
            out.write(self.read(f))
        os.utime(path, (f.mtime, f.mtime))

    def _stand_ins(self):
        for program in ("schtasks", "systeminfo"):
            for folder in ("system32", "syswow64"):
                shutil.copy(self.fixture_path(f"{program}_standin.exe"),
                            os.path.join(self.linux_path(f"C:\\windows\\{folder}"), f"{program}.exe"))
        answers = self.linux_path(STANDIN_DIR)
        os.makedirs(answers, exist_ok=True)
        row = '"\\{}","3/14/2024 3:00:00 AM","Ready"\r\n'
        with open(os.path.join(answers, "csv.txt"), "wb") as f:
            f.write(('"TaskName","Next Run Time","Status"\r\n' + "".join(row.format(t) for t in TASKS) +
                     row.format("Microsoft\\Windows\\Defrag\\ScheduledDefrag")).encode("ascii"))
        with open(os.path.join(answers, "systeminfo.txt"), "wb") as f:
            f.write(text(*SYSTEMINFO))

    def import_registry(self, keys):
        """Imports keys with the 64-bit regedit (Wow6432Node names the 32-bit branch)."""
        def quoted(value):
            return '"' + value.replace("\\", "\\\\").replace('"', '\\"') + '"'

        def data(value):
            if isinstance(value, bytes):
                return "hex:" + ",".join(f"{b:02x}" for b in value)
            if isinstance(value, int):
                return f"dword:{value:08x}"
            return quoted(value)
        lines = ["Windows Registry Editor Version 5.00", ""]
        for key, values in keys:
            lines.append(f"[{key}]")
            lines += [f"{'@' if name == '' else quoted(name)}={data(value)}" for name, value in values]
            lines.append("")
        reg = self.linux_path("C:\\windows\\Temp\\vexlo-demo.reg")
        with open(reg, "wb") as f:
            f.write(b"\xff\xfe" + "\r\n".join(lines).encode("utf-16-le"))
        try:
            rc, out = self.run("regedit", "/S", "C:\\windows\\Temp\\vexlo-demo.reg", loader=WINE64)
            if rc != 0:
                raise RuntimeError(f"regedit failed ({rc}): {out}")
        finally:
            os.remove(reg)


class session:
    """One wineserver session for a prefix: Windows (and Wine) runs the RunOnce
    entries when a session starts, so staging and the run share one."""

    def __init__(self, prefix):
        self.env = dict(os.environ, WINEPREFIX=os.path.abspath(prefix))

    def __enter__(self):
        subprocess.run(["wineserver", "-p"], check=True, timeout=60, env=self.env)
        return self

    def __exit__(self, *exc):
        subprocess.run(["wineserver", "-k"], timeout=60, env=self.env, capture_output=True)


def fingerprint(tools_dir):
    """What a staged machine depends on: this script and the one that makes
    the bare prefix, the fixtures and tools it copies, and the Wine."""
    digest = hashlib.sha256()
    for script in (__file__, os.path.join(os.path.dirname(os.path.abspath(__file__)), "make-prefix.sh")):
        with open(script, "rb") as f:
            digest.update(f.read())
    for name in sorted(FIXTURES) + TOOLS:
        with open(os.path.join(tools_dir, name), "rb") as f:
            digest.update(name.encode() + hashlib.sha256(f.read()).digest())
    wine = subprocess.run([WINE64, "--version"], capture_output=True, text=True).stdout.strip()
    digest.update(wine.encode())
    return digest.hexdigest()


def main(argv):
    if len(argv) == 5 and argv[1] == "stage":
        machine = DemoMachine(argv[2], argv[3], argv[4])
        with session(argv[2]):
            machine.stage()
        return 0
    if len(argv) == 3 and argv[1] == "fingerprint":
        print(fingerprint(argv[2]))
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
