#!/usr/bin/env python3
"""Plants symbolic links in the test's Wine prefix, then runs a Windows program.

    with_links.py 'C:\\a\\link=C:\\a' ['C:\\b\\file=C:\\c\\target.txt' ...] -- program.exe [args...]

Wine 8 cannot make a junction or symbolic link from the Windows side
(CreateSymbolicLinkW does nothing, FSCTL_SET_REPARSE_POINT is not supported),
but it shows a Linux symbolic link to a Windows program as a reparse point,
which is what a junction or symbolic link is to the code under test. Each link
is made relative to its folder, so it points into the prefix wherever that is
mounted; folders on the way are created, the targets need not exist yet (the
program may create them). Exits with the program's exit code."""
import os
import subprocess
import sys


def linux_path(prefix, win):
    assert win[:3].upper() == "C:\\", win
    return os.path.join(prefix, "drive_c", *[p for p in win[3:].split("\\") if p])


def main(argv):
    split = argv.index("--")
    links, program = argv[:split], argv[split + 1:]
    prefix = os.environ["WINEPREFIX"]
    for pair in links:
        link_win, target_win = pair.split("=", 1)
        link = linux_path(prefix, link_win)
        target = linux_path(prefix, target_win)
        os.makedirs(os.path.dirname(link), exist_ok=True)
        os.symlink(os.path.relpath(target, os.path.dirname(link)), link)
    return subprocess.run([os.environ["VEXLO_WINE"], *program], stdin=subprocess.DEVNULL).returncode


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
