#!/usr/bin/env python3
"""A whole gathering by VexloGather.exe where the main product's folder holds
20,000 files and the Ultimate edition's folder a 300 MiB mini dump.

The run ends and makes its archive; FilesInfo.txt lists every one of the
20,000 files with its size and MD5 (and the dump with its own); the archive
holds the dump at its full size with the right CRC, as Python's zipfile and
Info-ZIP's unzip -t read it. The fixtures are written straight into the
prefix's drive_c and removed at the end."""
import hashlib
import os
import shutil
import subprocess
import sys
import zipfile
import zlib

sys.path.insert(0, os.path.dirname(__file__))
from e2e_support import (check, finish, install_tool, linux_path, read_log, regedit_import,  # noqa: E402
                         run_gather, utf16_lines)

FILE_COUNT = 20000
PER_FOLDER = 1000
DUMP_MIB = 300
program = "C:\\Program Files (x86)\\Vexlo\\Tramblex\\"
ultimate = "C:\\VexloTest\\Tramblex Ultimate\\"
dump_win = ultimate + "tbx_Antivirus_mini.dmp"

uninstall = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
check(regedit_import("Windows Registry Editor Version 5.00\n\n" + "".join(
    f"[{uninstall}{key}]\n\"InstallLocation\"=\"{folder.replace(chr(92), chr(92) * 2)}\"\n\n"
    for key, folder in (("Tramblex_is1", program), ("Tramblex Ultimate_is1", ultimate)))) == 0,
    "uninstall keys planted")

# 20,000 small files in twenty folders, each holding its own name.
expected_files = set()
for n in range(FILE_COUNT):
    relative = f"part{n // PER_FOLDER:02}\\file{n:05}.dat"
    data = relative.encode("ascii")
    path = linux_path(program + relative)
    if n % PER_FOLDER == 0:
        os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    expected_files.add(f"{program}{relative}, , {len(data)}, {hashlib.md5(data).hexdigest()}")

# The dump: one random MiB over and over (more than the compressor's window
# apart, so it packs like a real dump), its CRC and MD5 taken as it is written.
os.makedirs(linux_path(ultimate), exist_ok=True)
block = os.urandom(1 << 20)
crc, md5 = 0, hashlib.md5()
with open(linux_path(dump_win), "wb") as f:
    for _ in range(DUMP_MIB):
        f.write(block)
        crc = zlib.crc32(block, crc)
        md5.update(block)
dump_size = DUMP_MIB << 20

tool = install_tool()
rc, archive_win, _ = run_gather(tool, timeout=1800)
check(rc == 0, f"exit code 0 (got {rc})")
words = read_log(tool)
check("Gen_Antivirus_mini_dmp(TBX) Succ" in words and "MakeFilesInfo Succ" in words and "ZipFile Succ" in words,
      "the inventory, the dump's copy and the archive are done")
check(not [w for w in words if w.lower().endswith(" except")], f"no step fails: {[w for w in words if 'xcept' in w]}")

archive = linux_path(archive_win) if rc == 0 else ""
if check(os.path.isfile(archive), f"the archive is there: {archive_win}"):
    check(subprocess.run(["unzip", "-tq", archive], capture_output=True).returncode == 0, "unzip -t accepts the archive")
    with zipfile.ZipFile(archive) as z:
        info = {i.filename: i for i in z.infolist()}
        dump = info.get("AppPath/tbx_Antivirus_mini.dmp")
        check(dump is not None and dump.file_size == dump_size and dump.CRC == crc,
              f"the dump in the archive: {dump_size} bytes, CRC {crc:08X} "
              f"(got {dump and dump.file_size}, {dump and f'{dump.CRC:08X}'})")
        if dump is not None:
            read_crc = 0
            with z.open(dump) as entry:
                while chunk := entry.read(1 << 22):
                    read_crc = zlib.crc32(chunk, read_crc)
            check(read_crc == crc, "the dump unpacks to its own bytes")
        lines = utf16_lines(z.read("FilesInfo.txt"), "FilesInfo.txt") if "FilesInfo.txt" in info else []
    listed = {line for line in lines if line.startswith(program)}
    check(len(listed) == FILE_COUNT and listed == expected_files,
          f"FilesInfo.txt lists all {FILE_COUNT} files with size and MD5 (got {len(listed)}; "
          f"missing e.g. {sorted(expected_files - listed)[:3]}, unexpected e.g. {sorted(listed - expected_files)[:3]})")
    check(f"{dump_win}, , {dump_size}, {md5.hexdigest()}" in lines, "FilesInfo.txt lists the dump with its MD5")

# The big fixtures go: the archive, the gather folder's copy and the sources.
for path in (archive, os.path.join(os.path.dirname(archive), "GetInfoDir"), linux_path(ultimate),
             linux_path(program)):
    if os.path.isdir(path):
        shutil.rmtree(path)
    elif os.path.exists(path):
        os.remove(path)
finish("large inputs")
