"""What the end-to-end tests share: the test's Wine prefix, running the
console program in it, reading the archive and the report files, planting
registry keys and files, and the log words of app/log_words.h (read from the
header itself, so the tests and the program cannot drift apart).

Every test script runs inside scripts/wine-test.sh, which gives it its own
prefix (WINEPREFIX), the Wine loader of its build (VEXLO_WINE) and the build
folder (VEXLO_BUILD_DIR)."""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

sys.path.insert(0, os.path.join(os.environ["VEXLO_SOURCE_DIR"], "scripts"))
from demo_machine import prefix_linux_path  # noqa: E402

wine = os.environ["VEXLO_WINE"]
build = os.environ["VEXLO_BUILD_DIR"]
source = os.environ["VEXLO_SOURCE_DIR"]
prefix = os.environ["WINEPREFIX"]
arch = os.environ.get("VEXLO_ARCH", "")
wine64 = "/usr/lib/wine/wine64"

failures = []


def check(cond, what):
    """Records a failed expectation and goes on (a test reports every fault)."""
    if not cond:
        failures.append(what)
        print("FAIL:", what, flush=True)
    return cond


def finish(name):
    print(f"{arch} {name}: {'FAILED' if failures else 'ok'}", flush=True)
    sys.exit(1 if failures else 0)


def linux_path(win):
    """The Linux path of a C:\\ path of the prefix."""
    return prefix_linux_path(prefix, win)


def utf16_lines(data, what="report file"):
    """The lines of a UTF-16LE file with byte order mark and CR LF line ends."""
    check(data[:2] == b"\xff\xfe", f"{what}: UTF-16LE byte order mark")
    text = data[2:].decode("utf-16-le")
    check(text == "" or text.endswith("\r\n"), f"{what}: last line ends in CR LF")
    return text[:-2].split("\r\n") if text else []


def utf16_file(lines):
    """The bytes a report file of these lines has."""
    return b"\xff\xfe" + "".join(line + "\r\n" for line in lines).encode("utf-16-le")


def log_words():
    """The words of app/log_words.h by name."""
    header = open(os.path.join(source, "app", "log_words.h"), encoding="utf-8").read()
    words = {}
    for name, text in re.findall(r'inline constexpr wchar_t (\w+)\[\] = L"((?:[^"\\]|\\.)*)";', header):
        words[name] = text.encode("utf-8").decode("unicode_escape")
    return words


def install_tool(folder_win="C:\\tool", name="VexloGather.exe"):
    """Copies a program of the build into the prefix (the log lands beside it,
    inside the prefix, never in the build tree); returns its Linux folder."""
    folder = linux_path(folder_win)
    os.makedirs(folder, exist_ok=True)
    shutil.copy(os.path.join(build, name), folder)
    return folder


def desktop():
    """The prefix user's name and the Linux path of their desktop folder."""
    users = os.path.join(prefix, "drive_c", "users")
    for name in os.listdir(users):
        if name.lower() != "public" and os.path.isdir(os.path.join(users, name, "Desktop")):
            return name, os.path.join(users, name, "Desktop")
    raise SystemExit("no desktop folder in the prefix")


EXPLORER_CALLS = "C:\\explorer-calls"


def install_explorer_standin(tool_dir=None):
    """Explorer becomes a stand-in that records how it was started (Wine's own
    opens a window that never closes). With `tool_dir`, a planted Explorer.exe
    beside the tool, where a search by name would look first, must never run."""
    os.makedirs(linux_path(EXPLORER_CALLS), exist_ok=True)
    os.environ["VEXLO_EXPLORER_CALLS"] = EXPLORER_CALLS
    standin = os.path.join(build, "tests", "explorer_standin.exe")
    windows = os.path.join(prefix, "drive_c", "windows")
    for name in os.listdir(windows):
        if name.lower() == "explorer.exe":
            os.remove(os.path.join(windows, name))
    shutil.copy(standin, os.path.join(windows, "explorer.exe"))
    if tool_dir:
        shutil.copy(standin, os.path.join(tool_dir, "Explorer.exe"))


def explorer_calls(expected=1, seconds=30):
    """The Explorer starts the stand-in recorded since the last call. The tool
    may end before the stand-in has written its record: wait, bounded, until
    `expected` complete records are there (each is renamed into place only
    when written whole)."""
    calls = linux_path(EXPLORER_CALLS)
    deadline = time.monotonic() + seconds
    while True:
        done = sorted(n for n in os.listdir(calls) if n.endswith(".txt"))
        if len(done) >= expected or time.monotonic() > deadline:
            break
        time.sleep(0.1)
    lines = []
    for name in done:
        path = os.path.join(calls, name)
        with open(path, encoding="utf-8") as f:
            lines += [line.rstrip("\n") for line in f]
        os.remove(path)
    return lines


def window_driver():
    """The window driver of scripts/window_driver.py for this test's prefix."""
    sys.path.insert(0, os.path.join(source, "scripts"))
    from window_driver import TWindowDriver
    return TWindowDriver(wine, os.path.join(build, "tests", "wininspect.exe"), os.environ)


def run_program(args, timeout=300, env=None, loader=None):
    """Runs a Windows program of the prefix; stdout through a file, since a
    Wine process may leave helpers that hold inherited pipes open."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        proc = subprocess.run([loader or wine, *args], stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                              env=env or os.environ, timeout=timeout)
        out.seek(0)
        err.seek(0)
        return proc.returncode, out.read().decode("utf-8", "replace"), err.read().decode("utf-8", "replace")


def run_gather(tool_dir, timeout=300, env_extra=None):
    """One whole gathering by VexloGather.exe: (exit code, archive path as
    printed on the last line, Wine's stderr with the debugger strings)."""
    env = dict(os.environ, WINEDEBUG="-all,warn+seh")  # debugger strings on the seh channel
    env.update(env_extra or {})
    rc, out, err = run_program([os.path.join(tool_dir, "VexloGather.exe")], timeout=timeout, env=env)
    lines = out.replace("\r", "").strip().splitlines()
    return rc, (lines[-1] if lines else ""), err


def read_log(tool_dir):
    """The diagnostic log's lines without their time stamps."""
    data = open(os.path.join(tool_dir, "Vexlo_Debug_VireRuri.log"), "rb").read()
    lines = utf16_lines(data, "diagnostic log")
    stamp = re.compile(r"\d{4}-\d{2}-\d{2} \d{2}.\d{2}.\d{2}\.\d{3}  ")
    words = []
    for line in lines:
        if stamp.match(line):
            words.append(line[25:])
        else:
            words.append(line)  # a continuation line of a multi-line entry
    return words


def seven_zip_test(archive):
    """7-Zip's test of an archive: every entry unpacks and matches its CRC."""
    proc = subprocess.run(["7z", "t", archive], stdin=subprocess.DEVNULL, capture_output=True)
    return proc.returncode == 0 and b"Everything is Ok" in proc.stdout


def read_archive(archive):
    """{entry name: bytes} of an archive, after zipfile, unzip -t and 7z t checked it."""
    check(subprocess.run(["unzip", "-tq", archive], capture_output=True).returncode == 0,
          f"unzip -t accepts {archive}")
    check(seven_zip_test(archive), f"7z t accepts {archive}")
    with zipfile.ZipFile(archive) as z:
        check(z.testzip() is None, "zipfile CRCs")
        return {name: z.read(name) for name in z.namelist()}


def reg(*args, view=64):
    """`reg ...` of the prefix in one registry view (64: the native one)."""
    loader = wine64 if view == 64 else "/usr/bin/wine"
    proc = subprocess.run([loader, "reg", *args], stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
    return proc.returncode


def regedit_import(text, loader=wine64, timeout=120):
    """Imports a .reg text with the 64-bit regedit (keys name their view, e.g.
    HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\... for the 32-bit branch), or
    with the regedit of another loader."""
    with tempfile.NamedTemporaryFile("wb", suffix=".reg", dir=linux_path("C:\\"), delete=False) as f:
        f.write(b"\xff\xfe" + text.replace("\n", "\r\n").encode("utf-16-le"))
        name = f.name
    try:
        win = "C:\\" + os.path.basename(name)
        proc = subprocess.run([loader, "regedit", "/S", win], stdin=subprocess.DEVNULL, capture_output=True,
                              timeout=timeout, env=dict(os.environ, WINEDEBUG="err+all"))
        if proc.returncode != 0:
            print(f"regedit {win}: exit code {proc.returncode}\n{proc.stderr.decode('utf-8', 'replace')[-2000:]}",
                  flush=True)
        return proc.returncode
    finally:
        os.remove(name)


# The firewall service, whose start type the tool sets to automatic (and which
# it starts): the one setting of the machine a run changes on purpose.
FIREWALL_SERVICE = "MPSSVC"
_WINE_DISPLAY_RECORDS = ("HKEY_LOCAL_MACHINE\\SYSTEM\\CURRENTCONTROLSET\\CONTROL\\VIDEO\\{",
                         "HKEY_LOCAL_MACHINE\\SYSTEM\\CURRENTCONTROLSET\\CONTROL\\CLASS\\"
                         "{4D36E968-E325-11CE-BFC1-08002BE10318}\\")  # the display adapters' class
# The service manager's count of the service processes it has started (a
# volatile key, as on Windows): it goes up whenever a demand-start service
# starts, e.g. RPCSS for the first COM call to another process.
_SERVICE_CURRENT = "HKEY_LOCAL_MACHINE\\SYSTEM\\CURRENTCONTROLSET\\CONTROL\\SERVICECURRENT"
_SHELL_FOLDERS = {"HKEY_CURRENT_USER\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\SHELL FOLDERS",
                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\SHELL FOLDERS"}
# Wine keeps the per-user keys of 32-bit programs apart (Windows shares them):
# the 32-bit shell makes its own copy of the folder keys there on first use.
_WOW64_EXPLORER = "HKEY_CURRENT_USER\\SOFTWARE\\WOW6432NODE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER"
_WOW64_SHELL_FOLDERS = {_WOW64_EXPLORER + "\\SHELL FOLDERS", _WOW64_EXPLORER + "\\USER SHELL FOLDERS"}
# Wine's session-only copy of system parameters (a volatile key), filled as
# programs read them.
_WINE_SESSION_PARAMETERS = ("HKEY_CURRENT_USER\\SOFTWARE\\WINE\\TEMPORARY SYSTEM PARAMETERS",
                            "HKEY_CURRENT_USER\\SOFTWARE\\WOW6432NODE\\WINE\\TEMPORARY SYSTEM PARAMETERS")


def machine_settings(states_tool):
    """The machine's settings: the registry of HKLM and HKCU as the 64-bit reg
    exports it (which sees both views: the 32-bit one is its Wow6432Node
    branch), as {key in upper case: {value line}}, and the services as
    {name in upper case: (state, start type)} from service_states.exe (the
    prefix path of a copy of it).

    Wine writes its own font and system-parameter records of an architecture
    (HKCU\\Software\\Wow6432Node\\Wine\\..., the 32-bit font list) the first time
    a program of that architecture loads the shell and GDI; a regedit of the
    build's architecture with nothing to import does that first, so that those
    records are not taken for a change the run made."""
    regedit_import("Windows Registry Editor Version 5.00\n", loader=wine, timeout=300)
    keys = {}
    for root in ("HKLM", "HKCU"):
        with tempfile.NamedTemporaryFile(suffix=".reg", dir=linux_path("C:\\"), delete=False) as f:
            name = f.name
        try:
            rc, _, _ = run_program(["reg", "export", root, "C:\\" + os.path.basename(name), "/y"], timeout=300,
                                   loader=wine64)
            check(rc == 0, f"reg export {root}")
            data = open(name, "rb").read()
        finally:
            os.remove(name)
        text = data.decode("utf-16") if data[:2] == b"\xff\xfe" else data.decode("utf-8", "replace")
        current = None
        for line in text.replace("\\\r\n  ", "").splitlines():
            if line.startswith("[") and line.endswith("]"):
                current = keys.setdefault(line[1:-1].upper(), set())
            elif line and current is not None:
                current.add(line)
    rc, out, _ = run_program([states_tool], timeout=120)
    check(rc == 0, "service states read")
    services = {}
    for line in out.splitlines():
        if line.strip():
            name, state, start = line.strip().split("|")
            services[name.upper()] = (int(state), int(start))
    return keys, services


def settings_changes(before, after):
    """What differs between two machine_settings(), as sentences; empty when
    nothing but the firewall service's start type changed and services started
    or stopped (and the bookkeeping of the shell and of Wine, see below)."""
    (before_keys, before_services), (after_keys, after_services) = before, after
    changes = []
    firewall_key = "HKEY_LOCAL_MACHINE\\SYSTEM\\CURRENTCONTROLSET\\SERVICES\\" + FIREWALL_SERVICE
    for key in sorted(set(before_keys) | set(after_keys)):
        was, now = before_keys.get(key), after_keys.get(key)
        if was == now:
            continue
        gone, new = (was or set()) - (now or set()), (now or set()) - (was or set())
        names = {line.split("=")[0] for line in gone | new}
        if key == firewall_key and was is not None and now is not None and names <= {'"Start"'}:
            continue
        # The shell keeps "Shell Folders" as a copy of where the folders are:
        # when a program asks for a folder, it writes the folder's path over a
        # value there that is no text. That is Windows' own bookkeeping.
        if key in _SHELL_FOLDERS | _WOW64_SHELL_FOLDERS and was is not None and now is not None and \
                all(line.split("=", 1)[1].startswith('"') for line in new):
            continue
        if key.startswith(_WINE_SESSION_PARAMETERS) or key == _SERVICE_CURRENT:
            continue
        if was is None and (key == _WOW64_EXPLORER and not now or key in _WOW64_SHELL_FOLDERS and
                            all(line.split("=", 1)[1].startswith('"') for line in now)):
            continue
        # Wine's display driver writes its records of the display adapters
        # each time the prefix's desktop process starts: a time stamp
        # (DriverDateData) under the display class and under Control\Video, and
        # volatile keys there that say whether it reached an X server and live
        # only as long as the prefix's wineserver. Whether the wineserver and
        # the desktop ended between two snapshots is a matter of timing; these
        # are no settings of the machine, and the tool never writes there.
        if key.startswith(_WINE_DISPLAY_RECORDS):
            continue
        changes.append(f"registry key changed by the run: {key}\n    before only: "
                       f"{sorted(gone) if was is not None else '(no such key)'}\n    after only: "
                       f"{sorted(new) if now is not None else '(key deleted)'}")
    for name in sorted(set(before_services) | set(after_services)):
        was, now = before_services.get(name), after_services.get(name)
        if name == FIREWALL_SERVICE:
            if now is None or now[1] != 2:
                changes.append(f"the firewall service does not start automatically: {was} -> {now}")
        # A service's start type is its setting; whether it runs is not (the
        # manager starts demand-start services such as RPCSS when a program
        # calls them, and they end on their own).
        elif (was or (None, None))[1] != (now or (None, None))[1]:
            changes.append(f"service {name}: (state, start type) {was} -> {now}")
    return changes
