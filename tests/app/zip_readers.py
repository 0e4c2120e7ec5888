#!/usr/bin/env python3
"""Archives made by zipfolder.exe (ZipFile) must satisfy readers of the Linux
side: Python's zipfile, unzip, zipinfo and 7-Zip.

Run by ctest through scripts/wine-test.sh, which sets WINEPREFIX and
VEXLO_WINE (the Wine loader).

  zip_readers.py ZIPFOLDER_EXE

Checks: nested names without folder entries; hidden and system files and
folders left out, read-only files taken; OEM names without and other names with
the UTF-8 flag, unpacking under their own names; contents byte for byte (empty,
random, several deflate pieces); DOS time and attributes; the log line; an
empty folder; a missing archive folder; a directory symlink and (where the
test may mount) a bind mount that loop back to an ancestor; a ZIP64 archive.
"""
import datetime
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

MIB = 1 << 20
# Names: (relative path, OEM-representable in code page 437)
VISIBLE = [
    ("uninstall.txt", True),
    ("AppPath/Antivirus/x.txt", True),
    ("AppPath/Antivirus/deep/y.bin", True),
    ("AppPath/Antivirus/café.txt", True),
    ("empty.log", True),
    ("big.dmp", True),
    ("readonly.txt", True),
    ("日志报告.txt", False),
    ("Ωμέγα😀.txt", False),
]
LEFT_OUT = ["hidden.txt", "system.dat", "HiddenDir/inner.txt", "SystemDir/inner.txt"]
WINE_ENV = dict(os.environ, LC_ALL="C.UTF-8")  # Wine's OEM code page 437, UTF-8 arguments


def fail(message):
    print("zip_readers: FAIL: " + message, file=sys.stderr)
    sys.exit(1)


def check(condition, message):
    if not condition:
        fail(message)


def windows_path(path):
    # Wine's drive Z: is the Linux root.
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run_tool(exe, args, timeout=300):
    # Output goes through files, not pipes: Wine's own background processes
    # inherit the handles and outlive the program while wineserver persists.
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        try:
            r = subprocess.run([os.environ["VEXLO_WINE"], exe] + args, stdout=out, stderr=err,
                               stdin=subprocess.DEVNULL, timeout=timeout, env=WINE_ENV)
        except subprocess.TimeoutExpired:
            fail(f"zipfolder.exe {args[:1]} did not finish within {timeout} s (a loop in the walk?)")
        out.seek(0)
        err.seek(0)
        return subprocess.CompletedProcess(r.args, r.returncode, out.read(), err.read())


def run_ok(exe, args):
    r = run_tool(exe, args)
    if r.returncode != 0:
        fail(f"zipfolder.exe {args} exited with {r.returncode}: {r.stderr.decode(errors='replace')}")
    return r.stdout.decode(errors="replace")


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def log_text(rng, size):
    words = [b"scan ", b"update ", b"engine ", b"ok ", b"error ", b"C:\\Program Files\\Tramblex ", b"\r\n"]
    out = bytearray()
    while len(out) < size:
        out += rng.choice(words) + str(rng.randrange(100000)).encode()
    return bytes(out[:size])


def make_fixture(root, rng):
    contents = {
        "uninstall.txt": "Windows Registry Editor Version 5.00\r\n".encode("utf-16") + log_text(rng, 30000),
        "AppPath/Antivirus/x.txt": b"antivirus version 2.3.4\r\n",
        "AppPath/Antivirus/deep/y.bin": rng.randbytes(100000),
        "AppPath/Antivirus/café.txt": b"oem name",
        "empty.log": b"",
        # Several 1 MiB deflate pieces: text, random, text.
        "big.dmp": log_text(rng, 2 * MIB) + rng.randbytes(MIB + 12345) + log_text(rng, MIB // 2),
        "readonly.txt": b"read only but taken",
        "日志报告.txt": "中文内容".encode("utf-8"),
        "Ωμέγα😀.txt": b"greek and emoji",
    }
    for name, data in contents.items():
        write(os.path.join(root, name), data)
    for name in LEFT_OUT:
        write(os.path.join(root, name), b"must not be packed")
    # A directory symlink back to an ancestor (Wine shows it as a reparse point).
    os.symlink("..", os.path.join(root, "AppPath", "loop"))
    # A known local time, an hour ago, on an even second.
    stamp = (int(time.time()) - 3600) & ~1
    os.utime(os.path.join(root, "uninstall.txt"), (stamp, stamp))
    return contents


def try_bind_loop(root):
    """Mounts the root below itself: a loop that is a plain folder to Wine."""
    target = os.path.join(root, "AppPath", "bind")
    os.makedirs(target)
    r = subprocess.run(["mount", "--bind", root, target], capture_output=True)
    if r.returncode != 0:
        os.rmdir(target)
        print("zip_readers: note: bind mount not permitted; the folder identity guard is not exercised here")
        return None
    return target


def read_log_lines(path):
    if not os.path.exists(path):
        return []
    with open(path, "rb") as f:
        data = f.read()
    return data.decode("utf-16-le").lstrip("\ufeff").splitlines()


def check_archive(archive, contents, stats, stamp):
    with zipfile.ZipFile(archive) as zf:
        check(zf.testzip() is None, "zipfile.testzip found a bad entry")
        names = zf.namelist()
        check(len(names) == len(set(names)), f"duplicate names: {names}")
        check(set(names) == set(contents), f"names {sorted(names)} != {sorted(contents)}")
        for info in zf.infolist():
            name = info.filename
            oem = dict(VISIBLE)[name]
            check(not name.endswith("/"), f"folder entry {name}")
            check(bool(info.flag_bits & 0x800) == (not oem), f"{name}: UTF-8 flag {info.flag_bits:#x}")
            check(info.create_system == (0 if oem else 11), f"{name}: host system {info.create_system}")
            check(info.extract_version == 20 and info.create_version == 20,
                  f"{name}: versions {info.create_version}/{info.extract_version}")
            check(info.compress_type == (zipfile.ZIP_STORED if not contents[name] else zipfile.ZIP_DEFLATED),
                  f"{name}: method {info.compress_type}")
            check(zf.read(name) == contents[name], f"{name}: contents differ")
            check(info.external_attr == stats[name], f"{name}: attributes {info.external_attr:#x} != {stats[name]:#x}")
        check(zf.getinfo("readonly.txt").external_attr & 1 == 1, "read-only bit missing")
        packed = datetime.datetime(*zf.getinfo("uninstall.txt").date_time)
        local = datetime.datetime(*time.localtime(stamp)[:6])
        check(datetime.timedelta(0) <= local - packed < datetime.timedelta(seconds=2),
              f"DOS time {packed} for local last-write time {local}")
    with open(archive, "rb") as f:
        raw = f.read()
    check(b"PK\x06\x06" not in raw[-200:] and b"PK\x06\x07" not in raw[-200:], "ZIP64 records without need")


def check_7z(archive, what):
    r = subprocess.run(["7z", "t", archive], stdin=subprocess.DEVNULL, capture_output=True)
    check(r.returncode == 0 and b"Everything is Ok" in r.stdout,
          f"7z t on {what}: {r.returncode} {r.stdout.decode(errors='replace')[-400:]}")


def check_unzip(archive, contents, out):
    r = subprocess.run(["unzip", "-t", "-q", archive], capture_output=True)
    check(r.returncode == 0, f"unzip -t: {r.returncode} {r.stdout.decode(errors='replace')}")
    check_7z(archive, "the gather folder's archive")
    r = subprocess.run(["unzip", "-q", archive, "-d", out], capture_output=True, env=WINE_ENV)
    check(r.returncode == 0, f"unzip: {r.returncode} {r.stderr.decode(errors='replace')}")
    found = {}
    for folder, _, files in os.walk(out):
        for name in files:
            path = os.path.join(folder, name)
            with open(path, "rb") as f:
                found[os.path.relpath(path, out)] = f.read()
    # unzip honours the UTF-8 flag; a name of DOS origin it converts from the
    # OEM code page to ISO 8859-1 on Unix, so "café" arrives as the byte E9.
    def unzip_name(name):
        return name if name.isascii() or not dict(VISIBLE)[name] else os.fsdecode(name.encode("latin-1"))
    expected = {unzip_name(name): data for name, data in contents.items()}
    check(found == expected, f"unzip gave {sorted(found)}, expected {sorted(expected)}")
    r = subprocess.run(["zipinfo", archive], capture_output=True)
    last = r.stdout.decode(errors="replace").strip().splitlines()[-1]
    check(r.returncode == 0 and last.startswith(f"{len(contents)} files,"), f"zipinfo: {r.returncode} {last}")


def main():
    if len(sys.argv) != 2:
        fail("usage: zip_readers.py ZIPFOLDER_EXE")
    exe = sys.argv[1]
    rng = random.Random(1404)
    subprocess.run(["wineserver", "-p"], check=False, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)  # one server for all starts

    work = tempfile.mkdtemp(prefix="vexlo-zip-")
    gather = os.path.join(work, "GetInfoDir")
    os.makedirs(gather)
    contents = make_fixture(gather, rng)
    stamp = os.stat(os.path.join(gather, "uninstall.txt")).st_mtime
    bind = try_bind_loop(gather)
    try:
        w = lambda name: windows_path(os.path.join(gather, name))
        run_ok(exe, ["--attrib", "1", w("readonly.txt"), "2", w("hidden.txt"), "4", w("system.dat"),
                     "2", w("HiddenDir"), "4", w("SystemDir")])
        names = sorted(contents)
        stats = dict(zip(names, (int(x, 16) for x in run_ok(exe, ["--stat"] + [w(n) for n in names]).split())))
        check(len(stats) == len(names), "attribute listing incomplete")

        # The archive of a full gather folder.
        archive = os.path.join(work, "Vexlo_Debug_Info.zip")
        log = os.path.join(work, "zip.log")
        out = run_ok(exe, [w("") + "\\", windows_path(archive), windows_path(log)])
        check(out.split() == [str(len(contents))], f"count printed: {out!r}")
        check_archive(archive, contents, stats, stamp)
        check_unzip(archive, contents, os.path.join(work, "unpacked"))
        want = f"zip:root={windows_path(gather)}\\zipName={windows_path(archive)}ret={len(contents)}"
        zip_lines = [line for line in read_log_lines(log) if "zip:" in line]
        check(len(zip_lines) == 1 and zip_lines[0].endswith("  " + want),
              f"log lines {zip_lines}, expected one ending with {want!r}")

        # ZIP64 forced on every field that can take it: the same entries.
        archive64 = os.path.join(work, "zip64.zip")
        run_ok(exe, ["--zip64", windows_path(gather), windows_path(archive64)])
        with open(archive64, "rb") as f:
            raw = f.read()
        check(b"PK\x06\x06" in raw[-200:] and b"PK\x06\x07" in raw[-200:], "no ZIP64 end records")
        with zipfile.ZipFile(archive64) as zf:
            check(zf.testzip() is None, "ZIP64 archive: testzip failed")
            check({n: zf.read(n) for n in zf.namelist()} == contents, "ZIP64 archive: contents differ")
            first = zf.infolist()[0]
            check(all(i.extract_version == 45 for i in zf.infolist()[1:]), "ZIP64 entries need version 45")
            check(first.extract_version == (20 if first.file_size == 0 else 45), "first entry's version")
        r = subprocess.run(["unzip", "-t", "-q", archive64], capture_output=True)
        check(r.returncode == 0, f"unzip -t on ZIP64: {r.stdout.decode(errors='replace')}")
        check_7z(archive64, "the ZIP64 archive")

        # An empty gather folder (given without its backslash): a valid empty archive, ret=0.
        empty = os.path.join(work, "EmptyDir")
        os.makedirs(empty)
        empty_zip = os.path.join(work, "empty.zip")
        empty_log = os.path.join(work, "empty.log")
        check(run_ok(exe, [windows_path(empty), windows_path(empty_zip), windows_path(empty_log)]).split() == ["0"],
              "empty folder count")
        with zipfile.ZipFile(empty_zip) as zf:
            check(zf.namelist() == [] and zf.testzip() is None, "empty archive not read as empty")
        r = subprocess.run(["unzip", "-t", empty_zip], capture_output=True)
        check(r.returncode == 1 and b"zipfile is empty" in r.stdout + r.stderr,
              f"unzip -t on the empty archive: {r.returncode} {r.stdout + r.stderr}")
        check_7z(empty_zip, "the empty archive")
        want = f"zip:root={windows_path(empty)}\\zipName={windows_path(empty_zip)}ret=0"
        lines = read_log_lines(empty_log)
        check(len(lines) == 1 and lines[0].endswith("  " + want), f"empty log {lines}, expected {want!r}")

        # Names Windows takes for devices, and a file held open without sharing:
        # each is packed as the file it is, or named in the log with the reason
        # it was left out (Wine cannot open such names at all); nothing goes
        # missing without a trace.
        devices = os.path.join(work, "Devices")
        os.makedirs(devices)
        for name in ("con", "nul.txt", "aux", "plain.txt"):
            write(os.path.join(devices, name), name.encode())
        dev_zip = os.path.join(work, "devices.zip")
        dev_log = os.path.join(work, "devices.log")
        run_ok(exe, [windows_path(devices), windows_path(dev_zip), windows_path(dev_log)])
        lines = read_log_lines(dev_log)
        with zipfile.ZipFile(dev_zip) as zf:
            packed = {n: zf.read(n) for n in zf.namelist()}
        check_7z(dev_zip, "the archive of device names")
        check(packed.get("plain.txt") == b"plain.txt", f"the plain file is packed: {sorted(packed)}")
        for name in ("con", "nul.txt", "aux"):
            logged = any(f"zip skipped: {windows_path(os.path.join(devices, name))}: " in line for line in lines)
            check(packed.get(name) == name.encode() or logged, f"{name}: packed or logged as left out: {lines}")

        # An archive in a folder that does not exist: an error, no archive, no log line.
        missing = os.path.join(work, "missing", "out.zip")
        missing_log = os.path.join(work, "missing.log")
        r = run_tool(exe, [windows_path(gather), windows_path(missing), windows_path(missing_log)])
        check(r.returncode == 1 and b"error:" in r.stderr, f"missing folder: {r.returncode} {r.stderr}")
        check(not os.path.exists(missing), "archive appeared in a missing folder")
        check(not any("zip:" in line for line in read_log_lines(missing_log)), "log line after a failure")
    finally:
        if not bind or subprocess.run(["umount", bind]).returncode == 0:
            shutil.rmtree(work, ignore_errors=True)
    print(f"zip_readers: ok ({len(contents)} entries; bind-mount loop {'checked' if bind else 'not checked'})")


if __name__ == "__main__":
    main()
