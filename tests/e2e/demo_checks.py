"""The archive of a run on the demo machine (scripts/demo_machine.py), checked
entry by entry and line by line against what the machine has installed: by
four readers nobody here wrote (Info-ZIP's unzip -t and zipinfo -v, Python's
zipfile, 7-Zip), then every report file, and the product files where the
product steps of this tree collect them.

The product steps (file inventory, log collection, antivirus files and dumps)
are checked when the archive shows that this tree has them: any entry beyond
the five report files the other steps write means they are built, and from
then on every expected entry must be there, and nothing else."""
import fnmatch
import hashlib
import os
import re
import subprocess
import sys
import time
import zipfile
import zlib

sys.path.insert(0, os.path.join(os.environ["VEXLO_SOURCE_DIR"], "scripts"))
import demo_machine as dm  # noqa: E402
from e2e_support import arch, check, seven_zip_test, utf16_file, utf16_lines  # noqa: E402

STARS = "*" * 81
BASE_ENTRIES = ["SystemInfo.txt", "Vexlo_Debug_Info.txt", "dnsGetinfo.txt", "task.txt", "uninstall.txt"]
OVERVIEW_KEYS = ["OS Name", "OS Version", "SP Version", "system lan", "ComputerName", "OS Type", "Memory Size",
                 "Free Size", "VMemory Size", "VFree Size", "VFreeExt Size", "PF Size", "PF Free", "System Drive",
                 "Total Space", "Free Space", "Cur Users", "User Level", "IsProcessDPIAware", "SM_CXSCREEN",
                 "SM_CYSCREEN", "System DPI", "LOGPIXELSY", "Screen param"]


# ----------------------------------------------------------------------
# Readers

def read_with_all_readers(archive):
    """{entry name: bytes}, after unzip -t, zipinfo -v, zipfile and 7-Zip each
    read the archive and agree on its entries (names, CRC, sizes, in
    central-directory order)."""
    r = subprocess.run(["unzip", "-tq", archive], capture_output=True)
    check(r.returncode == 0, f"unzip -t accepts the archive: {r.stdout.decode(errors='replace')[-300:]}")
    with zipfile.ZipFile(archive) as z:
        check(z.testzip() is None, "zipfile: every CRC is right")
        infos = z.infolist()
        names = [i.filename for i in infos]
        check(len(names) == len(set(names)), f"zipfile: no name twice: {names}")
        entries = {i.filename: z.read(i) for i in infos}
    for i in infos:
        check(zlib.crc32(entries[i.filename]) == i.CRC and len(entries[i.filename]) == i.file_size,
              f"{i.filename}: CRC and size agree with the bytes")
    facts = [(i.filename, i.CRC, i.compress_size, i.file_size) for i in infos]

    # zipinfo -v: one block per central-directory entry.
    r = subprocess.run(["zipinfo", "-v", archive], capture_output=True)
    out = r.stdout.decode("utf-8", "replace")
    check(r.returncode == 0, f"zipinfo -v reads the archive (exit {r.returncode})")
    check(f"central directory contains {len(infos)} entr" in " ".join(out.split()),
          f"zipinfo -v: the central directory holds {len(infos)} entries")
    blocks = re.split(r"\nCentral directory entry #\d+:\n-+\n", out)[1:]
    zipinfo = []
    for block in blocks:
        name = block.strip("\n").split("\n", 1)[0].strip()
        crc = re.search(r"32-bit CRC value \(hex\):\s+([0-9a-f]+)", block)
        packed = re.search(r"compressed size:\s+(\d+) bytes", block)
        size = re.search(r"uncompressed size:\s+(\d+) bytes", block)
        zipinfo.append((name, int(crc.group(1), 16) if crc else None, int(packed.group(1)) if packed else None,
                        int(size.group(1)) if size else None))
    check(len(zipinfo) == len(facts), f"zipinfo -v: {len(zipinfo)} entries for {len(facts)}")
    for (name, crc, packed, size), (zname, zcrc, zpacked, zsize) in zip(facts, zipinfo):
        check((crc, packed, size) == (zcrc, zpacked, zsize) and (not name.isascii() or name == zname),
              f"zipinfo -v agrees on {name}: {zname} {zcrc} {zpacked} {zsize}")

    # 7-Zip: the test, then its listing.
    check(seven_zip_test(archive), "7z t: everything is ok")
    r = subprocess.run(["7z", "l", "-slt", "-sccUTF-8", archive], capture_output=True)
    listing = r.stdout.decode("utf-8", "replace").split("\n----------\n", 1)[-1]
    seven = []
    for block in listing.strip().split("\n\n"):
        fields = dict(line.split(" = ", 1) for line in block.splitlines() if " = " in line)
        if "Path" in fields:
            seven.append((fields["Path"].replace("\\", "/"), int(fields.get("CRC") or "0", 16),
                          int(fields.get("Packed Size") or 0), int(fields.get("Size") or 0)))
    # Names beyond ASCII that are stored in the OEM code page are 7-Zip's to decode by its locale.
    same = len(seven) == len(facts) and all(s[1:] == f[1:] and (not f[0].isascii() or s[0] == f[0])
                                            for s, f in zip(seven, facts))
    check(r.returncode == 0 and same, f"7-Zip lists the same entries: {seven[:3]}... of {len(seven)}")
    return entries


# ----------------------------------------------------------------------
# What the machine holds

def windows_lower(path):
    return path.lower()


class TInstalled:
    """The declared files of the machine, found by folder and mask as Windows
    finds them (letter case ignored)."""

    def __init__(self, machine):
        self.machine = machine
        self.files = {windows_lower(f.path): f for f in machine.files}

    def in_folder(self, folder, mask="*.*"):
        """Files directly in a folder whose name matches a mask ("*.*" takes every name)."""
        folder = windows_lower(folder.rstrip("\\") + "\\")
        found = []
        for key, f in self.files.items():
            if key.startswith(folder) and "\\" not in key[len(folder):]:
                name = key[len(folder):]
                if mask == "*.*" or fnmatch.fnmatchcase(name, windows_lower(mask)):
                    found.append(f)
        return found

    def below(self, folder, extension=None, skip_svn=False):
        """Files anywhere below a folder, optionally of one extension, optionally
        leaving out ".svn" folders."""
        folder = windows_lower(folder.rstrip("\\") + "\\")
        found = []
        for key, f in self.files.items():
            if not key.startswith(folder):
                continue
            rest = key[len(folder):].split("\\")
            if skip_svn and ".svn" in rest[:-1]:
                continue
            if extension and not rest[-1].endswith(extension):
                continue
            found.append(f)
        return found

    def file(self, path):
        return self.files.get(windows_lower(path))


def relative_path(base, path):
    """The path of a file relative to a base folder, with ..\\ for each base
    component it does not share (letter case ignored)."""
    b = [p for p in base.split("\\") if p]
    f = path.split("\\")
    folder, name = f[:-1], f[-1]
    i = 0
    while i < len(b) and i < len(folder) and b[i].lower() == folder[i].lower():
        i += 1
    return "..\\" * (len(b) - i) + "".join(c + "\\" for c in folder[i:]) + name


def entry_name(target):
    """An archive entry name of a path below the gather folder (.. resolved)."""
    parts = []
    for part in target.split("\\"):
        if part == "..":
            if parts:
                parts.pop()
        elif part:
            parts.append(part)
    return "/".join(parts)


def expected_collection(machine):
    """{archive entry: declared file} of what the log collection, the
    antivirus files and the dumps copy from this machine."""
    have = TInstalled(machine)
    N = "Tramblex"
    app_path = dm.RELEASE
    app_data = machine.app_data + "\\vexlo\\" + N + "\\"
    program_data = dm.PROGRAM_DATA + "\\vexlo\\" + N + "\\"
    minidump = dm.WINDOWS + "\\Minidump\\"
    roots = {"%AppPath%": (app_path.rstrip("\\"), app_path, "AppPath\\"),
             "%AppData%": (machine.app_data, app_data, "AppData\\"),
             "%ProgramData%": (dm.PROGRAM_DATA, program_data, "ProgramData\\"),
             "%Minidump%": (minidump.rstrip("\\"), minidump, "Minidump\\")}
    rows = [
        "%AppPath%\\*.log", "%AppPath%\\Antivirus\\Plugins\\update.txt", "%AppPath%\\Antivirus\\Sightings.ini",
        "%AppPath%\\tbx_Antivirus_Faultnote.txt", "%AppPath%\\Faultnote.txt", "%AppPath%\\Faultnote_new.txt",
        f"%ProgramData%\\Vexlo\\{N}\\*.dat", f"%ProgramData%\\Vexlo\\{N}\\*.ini",
        f"%ProgramData%\\Vexlo\\{N}\\Log\\*.*",
        f"%ProgramData%\\Vexlo\\{N}\\App.bk", f"%ProgramData%\\Vexlo\\{N}\\AppAV.bk", "%AppPath%\\scanstate.txt",
        "%AppPath%\\qv.dat", "%AppPath%\\TBXService_Log.txt", "%AppPath%\\TBXServiceLog\\*.*",
        "%AppPath%\\Boottimelog\\*.*", "%AppPath%\\Update\\*.ini", "%AppPath%\\SelfRefresh.log",
        "%AppPath%\\Screen_log.txt", "%AppPath%\\DumpFile\\*.dmp",
        f"%AppData%\\vexlo\\{N}\\*.ini", f"%AppData%\\vexlo\\{N}\\*.log", f"%AppData%\\vexlo\\{N}\\Log\\*.*",
    ] + [f"%AppData%\\Vexlo\\{N}\\{sub}\\*.*" for sub in ("Backup", "Boottime", "Netquell", "Memfolio", "Onsetter",
                                                            "Haltwise", "Hivescrub", "Hivescrub\\backup",
                                                            "Downloader")] + [
        f"%AppData%\\Vexlo\\{N}\\Onsetter\\*.ini", f"%ProgramData%\\Vexlo\\{N}\\BDLog\\*.log",
        f"%ProgramData%\\Vexlo\\{N}\\Pagewarden\\*.log", f"%AppData%\\Vexlo\\{N}\\Pagewarden\\*.*",
        "%ProgramData%\\Vexlo\\TBXDownloader\\*.log", "%ProgramData%\\Vexlo\\namewatch.ini",
        "%ProgramData%\\Vexlo\\LocalSkip.ini", "%ProgramData%\\Vexlo\\LocalChosen.ini",
        f"%ProgramData%\\Vexlo\\{N}\\Onsetter\\*.*", f"%ProgramData%\\Vexlo\\{N}\\Rousemark\\*.*",
        "%Minidump%\\*.dmp",
    ]
    assert len(rows) == 43, "the log collection's table has 43 rows"
    expected = {}

    def copy(files, base, root):
        for f in files:
            expected[entry_name(root + relative_path(base, f.path))] = f

    for row in rows:
        variable = row.split("\\", 1)[0]
        text, base, root = roots[variable]
        source = text + row[len(variable):]
        folder, mask = source.rsplit("\\", 1)
        files = have.in_folder(folder, mask) if "*" in mask else [f for f in [have.file(source)] if f]
        copy(files, base, root)
    # The engine's logging tree, whole, and the updater's logs.
    copy(have.below(dm.PROGRAM_DATA + "\\BDLogging"), dm.PROGRAM_DATA + "\\BDLogging\\", "OtherInfo\\BDLogging\\")
    copy(have.in_folder(dm.FETCHWELL, "*.log"), dm.PROGRAM_FILES_X86 + "\\Vexlo\\", "Program Files(x86)\\")

    # The main product's own list, mapped by folder.
    A, B, C = dm.RELEASE, machine.app_data + "\\Vexlo\\" + N + "\\", dm.PROGRAM_DATA + "\\Vexlo\\" + N + "\\"
    skip = {"desktop.ini", "thumbs.db"}
    listed = [have.file(A + name) for name in ("TBXService_Log.txt", "scanstate.txt", "qv.dat", "Screen_log.txt")]
    listed += have.in_folder(A, "*.log") + have.in_folder(A + "Update", "*.ini")
    listed += have.in_folder(A + "TBXServiceLog") + have.in_folder(A + "Boottimelog") + have.in_folder(B, "*.ini")
    for sub in ("Log", "Backup", "Boottime", "Netquell", "Memfolio", "Onsetter", "Haltwise", "Hivescrub",
                "Hivescrub\\backup", "Downloader"):
        listed += have.in_folder(B + sub)
    listed += have.in_folder(C, "*.ini")
    mapping = [(A, "TBX9AppPath\\"), (B, "AppData\\"), (C, "ProgramData\\")]
    for f in listed:
        if f is None or f.path.rsplit("\\", 1)[-1].lower() in skip:
            continue
        for prefix, root in mapping:
            if f.path.startswith(prefix):
                expected.setdefault(entry_name(root + f.path[len(prefix):]), f)
                break

    # The anti-malware product's list (".svn" folders are never entered).
    GA, GB, GC = dm.GRENDAX, machine.gdx_app_data, machine.gdx_program_data
    listed = have.below(GB, skip_svn=True) + have.below(GC, skip_svn=True) + have.below(GA + "log", skip_svn=True)
    listed += [f for f in (have.file(GA + "selfrefresh.log"), have.file(GA + "gdx_Antivirus_Faultnote.txt")) if f]
    listed += have.below(GA, ".log", skip_svn=True) + have.below(GA + "update", ".ini", skip_svn=True)
    mapping = [(GA, "GDX\\AppPath\\"), (GB, "GDX\\AppData\\"), (GC, "GDX\\ProgramData\\")]
    for f in listed:
        for prefix, root in mapping:
            if f.path.startswith(prefix):
                expected.setdefault(entry_name(root + f.path[len(prefix):]), f)
                break

    # The newest version files of each antivirus folder and the engines' dumps.
    for folder, root in ((dm.ULTIMATE + "Antivirus", "AppPath\\Antivirus\\"),
                         (dm.GRENDAX + "Antivirus", "GDX\\AppPath\\Antivirus\\")):
        for prefix in ("versions.dat", "versions.id"):
            candidates = [f for f in have.in_folder(folder) if f.path.rsplit("\\", 1)[-1].upper().startswith(
                prefix.upper()) and not f.path.endswith(".upd")]
            # By 2-second steps; the demo machine has no ties, so the listing's order does not decide.
            newest = max(candidates, key=lambda f: f.mtime // 2)
            assert sum(1 for f in candidates if f.mtime // 2 == newest.mtime // 2) == 1, folder
            expected[entry_name(root + newest.path.rsplit("\\", 1)[-1])] = newest
    expected["AppPath/tbx_Antivirus_mini.dmp"] = have.file(dm.ULTIMATE + "tbx_Antivirus_mini.dmp")
    expected["GDX/AppPath/gdx_Antivirus_mini.dmp"] = have.file(dm.GRENDAX + "gdx_Antivirus_mini.dmp")
    return expected


# ----------------------------------------------------------------------
# Report texts

def date_time_text(seconds):
    """A local time as the report writes it in this machine's locale (en-US):
    short date, blank, long time; the date alone at exactly midnight."""
    t = time.localtime(seconds)
    date = f"{t.tm_mon}/{t.tm_mday}/{t.tm_year}"
    if (t.tm_hour, t.tm_min, t.tm_sec) == (0, 0, 0):
        return date
    hour = t.tm_hour % 12 or 12
    return f"{date} {hour}:{t.tm_min:02}:{t.tm_sec:02} {'AM' if t.tm_hour < 12 else 'PM'}"


def reg_value_line(name, value):
    """A value in the .reg layout of the registry exports."""
    if isinstance(value, bytes):
        return f'"{name}"=' + ("hex:" + ",".join(f"{b:02X}" for b in value) if value else "")
    if isinstance(value, int):
        return f'"{name}"=dword:{value:08X}'
    return f'"{name}"="' + value.replace("\\", "\\\\") + '"'


def exported_keys(machine, under, shown_as):
    """The export of the declared keys below one key: the key, then each
    subkey, in the order the registry lists them (Wine: by name, letter case
    ignored), values likewise."""
    lines = ["", f"[{shown_as}]"]
    subkeys = sorted((key[len(under) + 1:], values) for key, values in machine.registry
                     if key.lower().startswith(under.lower() + "\\"))
    for name, values in sorted(subkeys, key=lambda kv: kv[0].upper()):
        lines += ["", f"[{shown_as}\\{name}]"]
        lines += [reg_value_line(n, v) for n, v in sorted(values, key=lambda nv: nv[0].upper())]
    return lines


def expected_autoruns(machine):
    """The autoruns section of what the machine has: sub-sections in their
    order, each root and branch in its order."""
    keys = {key.lower(): values for key, values in machine.registry + machine.session_keys()}

    def values(root, path):
        # Windows keeps one Policies key for both branches of the machine.
        if "\\wow6432node\\" in path.lower() and "\\policies\\" in path.lower() and root.startswith("HKEY_LOCAL"):
            path = path.replace("Wow6432Node\\", "")
        return keys.get(f"{root}\\{path}".lower(), [])

    cu, lm = "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE"
    branches = ["", "Wow6432Node\\"]
    out = ["", "===== Autoruns =====", ""]
    startup = [f'"{target}" {arguments}' for _, target, arguments in machine.shortcuts]
    run, once, policies = [], [], []
    for branch in branches:
        for root in (cu, lm):
            run += [f"{n}={v}" for n, v in values(root, f"Software\\{branch}{dm.CV}\\Run")]
    for branch in branches:
        for root in (cu, lm):
            once += [f"{n}={v}" for n, v in values(root, f"Software\\{branch}{dm.CV}\\RunOnce")]
    once_ex = []
    for branch in branches:
        for root in (cu, lm):
            for key, vals in machine.registry:
                if key.lower().startswith(f"{root}\\Software\\{branch}{dm.CV}\\RunOnceEx\\".lower()):
                    for _, command in vals:
                        parts = [p for p in command.split("|") if p]
                        once_ex.append(f"rundll32.exe {parts[0]}")
                        if len(parts) >= 2:
                            once_ex.append(f"rundll32.exe {parts[0]},{parts[1]}")
                        if len(parts) >= 3:
                            once_ex.append(f"rundll32.exe {parts[0]},{parts[1]} {parts[2]}")
    for branch in branches:
        for root in (cu, lm):
            policies += [f"{n}={v}" for n, v in values(root, f"Software\\{branch}{dm.CV}\\Policies\\Explorer\\Run")]
    nt_run = []
    for branch in branches:
        for root in (cu, lm):
            for n, v in values(root, f"Software\\{branch}Microsoft\\Windows NT\\CurrentVersion\\Windows"):
                if n in ("Run", "Load"):
                    nt_run += [item for item in v.replace(",", " ").split() if item]
    for header, lines in (("Startup", startup), ("Run", run), ("RunOnce", once), ("RunOnceEx", once_ex),
                          ("policies Run", policies), ("NT Run", nt_run)):
        if lines:
            out += [f"---------- {header} ----------"] + lines
    return out


def app_file_lines(machine):
    """The application-file lines: every file below the program folder."""
    have = TInstalled(machine)
    lines = []
    for f in have.below(dm.RELEASE, skip_svn=True):
        data = machine.read(f)
        lines.append(f"{f.path[len(dm.RELEASE):]}   Ver:{machine.version(f)}   MD5:{hashlib.md5(data).hexdigest()}"
                     f"   DT:{date_time_text(f.mtime)}")
    return lines


def files_info_sections(machine):
    """FilesInfo.txt as sections: [(header, [lines])] in their order, with the
    file lines of each in no particular order (the walk's order is checked
    apart)."""
    have = TInstalled(machine)

    def lines(folder, with_time):
        out = []
        for f in have.below(folder):
            data = machine.read(f)
            line = f"{f.path}, {machine.version(f)}, {len(data)}, {hashlib.md5(data).hexdigest()}"
            out.append(line + (f", DT:{date_time_text(f.mtime)}" if with_time else ""))
        return out
    return [("===== Tramblex 8 =====", []),
            ("===== Tramblex =====", lines(dm.RELEASE, False)),
            ("===== Tramblex Ultimate =====", lines(dm.ULTIMATE, False)),
            ("===== Grendax =====", lines(dm.GRENDAX, True))]


# ----------------------------------------------------------------------
# The whole archive

def check_archive(machine, archive, tool_folder_win, tool_name):
    """Checks a run's archive against the machine; returns the entries."""
    entries = read_with_all_readers(archive)
    names = sorted(entries)
    product_steps = any(name not in BASE_ENTRIES for name in names)
    state = "on" if product_steps else "off (the product steps collect nothing in this tree)"
    print(f"{arch} demo: product-file checks {state}", flush=True)
    collection = expected_collection(machine) if product_steps else {}
    expected = sorted(BASE_ENTRIES + (["FilesInfo.txt"] + list(collection) if product_steps else []))
    missing = sorted(set(expected) - set(names))
    extra = sorted(set(names) - set(expected))
    check(not missing and not extra, f"archive entries as expected; missing {missing}, unexpected {extra}")

    check_main_report(machine, utf16_lines(entries.get("Vexlo_Debug_Info.txt", b""), "Vexlo_Debug_Info.txt"),
                      tool_folder_win, tool_name)
    header = "Windows Registry Editor Version 5.00"
    uninstall = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
    uninstall32 = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
    want = utf16_file([header] + exported_keys(machine, f"{dm.LM}\\{dm.CV}\\Uninstall", uninstall) +
                      exported_keys(machine, f"{dm.LM32}\\{dm.CV}\\Uninstall", uninstall32))
    check(entries.get("uninstall.txt") == want, "uninstall.txt byte for byte:\n" + diff_text(
        entries.get("uninstall.txt", b""), want))
    interfaces = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\services\\Tcpip\\Parameters\\Interfaces"
    want = utf16_file([header] + exported_keys(
        machine, "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces", interfaces))
    check(entries.get("dnsGetinfo.txt") == want, "dnsGetinfo.txt byte for byte:\n" + diff_text(
        entries.get("dnsGetinfo.txt", b""), want))

    program = ("c:\\windows\\syswow64\\" if arch == "i686" else "c:\\windows\\system32\\") + "schtasks.exe"
    want = "".join(f"\r\nHostName: {program}\r\nTaskName: \\{task}\r\nCodePage: absent\r\n" for task in dm.TASKS)
    check(entries.get("task.txt") == want.encode("cp1252"), f"task.txt byte for byte: {entries.get('task.txt')!r}")
    lines = utf16_lines(entries.get("SystemInfo.txt", b""), "SystemInfo.txt")
    check(len(lines) > 1 and re.fullmatch(r"\d{1,2}/\d{1,2}/\d{4}( \d{1,2}:\d{2}:\d{2} [AP]M)?", lines[0]) and
          lines[1:] == ["", "===== System ====="] + dm.SYSTEMINFO, f"SystemInfo.txt lines {lines}")

    if product_steps:
        check_files_info(machine, utf16_lines(entries.get("FilesInfo.txt", b""), "FilesInfo.txt"))
        for name, f in sorted(collection.items()):
            if name in entries:
                check(entries[name] == machine.read(f), f"{name}: the bytes of {f.path}")
    return entries


def diff_text(got, want):
    g = got[2:].decode("utf-16-le", "replace").split("\r\n")
    w = want[2:].decode("utf-16-le", "replace").split("\r\n")
    for i, (a, b) in enumerate(zip(g, w)):
        if a != b:
            return f"  line {i + 1}: got  {a!r}\n           want {b!r}"
    return f"  {len(g)} lines, want {len(w)}"


def check_main_report(machine, report, tool_folder_win, tool_name):
    rows = [i for i, line in enumerate(report) if line == STARS]
    check(len(report) > 3 and report[0] == "Version:9.0.0.1", f"version line {report[:1]}")
    check(len(report) > 3 and re.fullmatch(r"Date:\d{1,2}/\d{1,2}/\d{4} \d{1,2}:\d{2}:\d{2} [AP]M", report[1]),
          f"date line {report[1:2]}")
    if not check(len(rows) >= 6 and rows[0] == 2, f"the report's rows of asterisks: {rows}"):
        return
    overview = report[rows[0] + 1:rows[1]]
    check([line.split(":\t", 1)[0] for line in overview[:-1]] == OVERVIEW_KEYS and overview[-1] == "" and
          all(line.split(":\t", 1)[1] for line in overview[:-1] if not line.startswith("SP Version")),
          f"system overview: every line has its value: {overview}")

    processes = report[rows[1] + 1:rows[2]]
    row = re.compile(r"[0-9a-f]+ " + re.escape(tool_name) + r" .*\| .* " + re.escape(tool_folder_win))
    check(any(row.fullmatch(line) for line in processes), f"the process list has the tool's row: {processes[:3]}...")

    services = report[rows[2] + 1:rows[3]]
    for name, display, kind, start, image in machine.services:
        version = ""
        if not image.startswith('"'):
            f = TInstalled(machine).file(image)
            version = "Ver:" + machine.version(f)
        pattern = re.escape(display.ljust(30)) + f" {kind:X}  1  -?\\d+ {start} " + re.escape(image) + " " + \
            re.escape(version)
        found = [line for line in services if line.startswith(display.ljust(30) + " ")]
        check(len(found) == 1 and re.fullmatch(pattern, found[0]), f"service {name}: {found} ~ {pattern}")

    helpers = ["", "===== BHOs =====", "", f"Contoso Toolbar Helper, {dm.TOOLBAR}ctbbho.dll"]
    autoruns = expected_autoruns(machine)
    got = report[rows[3] + 1:rows[4]]
    check(got == helpers + autoruns, "browser helper objects and autoruns:\n  got  " + "\n       ".join(got) +
          "\n  want " + "\n       ".join(helpers + autoruns))

    blocks = report[rows[4] + 1:rows[5]]
    check(blocks[:7] == ["[AntiVirusProduct]", "", "[AntiSpywareProduct]", "", "[FirewallProduct]", "",
                         "[Windows FireWall]"] and
          [re.sub("=(True|False)$", "", line) for line in blocks[7:]] ==
          ["HomeNetFwEnabled", "PublicNetFwEnabled", "FireWallEnabled"], f"Security Center and firewall {blocks}")

    files = report[rows[5] + 1:]
    want = app_file_lines(machine)
    check(len(rows) == 6 and sorted(files) == sorted(want),
          f"application files: missing {sorted(set(want) - set(files))}, unexpected {sorted(set(files) - set(want))}")
    check(any(len(dm.RELEASE + line.split("   Ver:")[0]) > 260 for line in files),
          "the file below the program folder whose path passes 260 characters is listed")


def check_files_info(machine, lines):
    """FilesInfo.txt: the four sections in order, each with its file lines;
    the walk goes level by level, every folder's files together."""
    sections = files_info_sections(machine)
    at = 0
    for header, want in sections:
        head = lines[at:at + 3]
        if not check(head == ["", header, ""], f"FilesInfo.txt: {header} at line {at + 1}: {head}"):
            return
        at += 3
        got = []
        while at < len(lines) and lines[at] != "":
            got.append(lines[at])
            at += 1
        check(sorted(got) == sorted(want), f"FilesInfo.txt {header}: missing {sorted(set(want) - set(got))}, "
              f"unexpected {sorted(set(got) - set(want))}")
        folders = [line.split(", ")[0].rsplit("\\", 1)[0] for line in got]
        depths = [folder.count("\\") for folder in folders]
        check(depths == sorted(depths), f"FilesInfo.txt {header}: level by level ({depths})")
        seen = []
        for folder in folders:
            if not seen or seen[-1] != folder:
                seen.append(folder)
        check(len(seen) == len(set(seen)), f"FilesInfo.txt {header}: each folder's files together")
    check(at == len(lines), f"FilesInfo.txt: nothing after the sections ({lines[at:at + 3]})")


def expected_log_words(entry_count, archive_win):
    """The console run's log words on the demo machine, in order."""
    temp = archive_win[: -len("Vexlo_Debug_Info.zip")]
    gather = temp + "GetInfoDir\\"
    return [
        "DoGatherInfo strart",
        f"TempPath:{gather}, tmpZipDir:{temp}, Result:{archive_win}",
        "CreateThread Succ",
        "Vexlo_Routine_New.GetFileVersion(GetModuleName(HInstance), 3)) Succ",
        "DateTimeToStr(Now) Succ",
        "GetOSInfoEx Succ", "GetProcessListEx Succ", "EnumServices Succ", "GetBHOItemListEx Succ",
        "GetAutorunListx Succ", "GetWSCInfo Succ", "GetAppFileInfo Succ", "DoClllectEx Succ", "DoClllectDNS Succ",
        "MakeFilesInfo Succ", "LoadLog Succs", "LoadOtherInfo Succ", "LoadOnlyForVireRuriTool Succ", "EnumTasks Succ",
        "GenTBXLogFiles Succ", "GenNeedFileByBDError Succ", "GenGDXLogFiles Succ", "GenNeedFileByBDError Succ",
        # Both engines left a dump: each is copied in a step of its own.
        "Gen_Antivirus_mini_dmp(TBX) Succ", "Gen_Antivirus_mini_dmp(GDX) Succ",
        "WaitGetSystemInfo Succ",
        f"zip:root={gather}zipName={archive_win}ret={entry_count}",
        "ZipFile Succ",
        f"DoGatherInfo End: {archive_win}",
    ]
