#!/usr/bin/env python3
"""`make run` and `make run-gui`: one gathering on the demo customer machine.

    run_demo.py [--gui] [--preset x64|x86]

Stages the demo machine (scripts/demo_machine.py) in build/demo-prefix the
first time and keeps it while it is up to date, copies the tool into the
customer's Downloads folder, runs it, and prints a short summary for a support
engineer. The last line of the output is the Linux path of the archive
(nothing is printed there when no archive was made, and the exit code is 1).

--gui runs VexloHelper.exe through its window: on the display in DISPLAY, or,
without one, under Xvfb, where this script presses "Save report", confirms the
result box and keeps screenshots of the window and the box in build/run-gui/.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import time
import zipfile

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, here)
import demo_machine  # noqa: E402
from window_driver import TWindowDriver  # noqa: E402

top = os.path.dirname(here)
LOADERS = {"x64": demo_machine.WINE64, "x86": "/usr/bin/wine"}
REPORT_FILES = ["Vexlo_Debug_Info.txt", "uninstall.txt", "dnsGetinfo.txt", "task.txt", "SystemInfo.txt",
                "FilesInfo.txt"]
STARS = "*" * 81


def say(text):
    print(text, flush=True)


def ensure_machine(preset):
    """The staged demo machine; staged anew when what it is made of changed."""
    tools = os.path.join(top, "build", preset, "tests")
    prefix = os.path.join(top, "build", "demo-prefix")
    marker = os.path.join(prefix, ".vexlo-demo")
    # The machine's files are the fixtures of one build; a prefix staged from
    # the other preset's fixtures is staged again.
    wanted = demo_machine.fingerprint(tools) + " " + preset
    if os.path.isfile(marker) and open(marker).read().strip() == wanted:
        say(f"demo machine: {prefix} (kept, up to date)")
        return demo_machine.DemoMachine(prefix, tools, LOADERS[preset])
    say(f"demo machine: staging {prefix} (once; under a minute)")
    started = time.monotonic()
    fresh = os.path.join(top, "build", ".demo-prefix.new")
    stop_session(fresh)
    shutil.rmtree(fresh, ignore_errors=True)
    subprocess.run(["bash", os.path.join(here, "make-prefix.sh"), fresh], check=True, stdout=subprocess.DEVNULL)
    machine = demo_machine.DemoMachine(fresh, tools, LOADERS[preset])
    with demo_machine.session(fresh):
        machine.stage()
    with open(os.path.join(fresh, ".vexlo-demo"), "w") as f:
        f.write(wanted + "\n")
    stop_session(prefix)
    shutil.rmtree(prefix, ignore_errors=True)
    os.rename(fresh, prefix)
    say(f"demo machine: staged in {time.monotonic() - started:.0f} s")
    return demo_machine.DemoMachine(prefix, tools, LOADERS[preset])


def stop_session(prefix):
    if os.path.isdir(prefix):
        subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=prefix), capture_output=True, timeout=60)


def install_tool(machine, preset, name):
    """The tool as the customer has it: downloaded, run from the Downloads folder."""
    folder_win = machine.profile + "\\Downloads\\Vexlo Helper"
    folder = machine.linux_path(folder_win)
    os.makedirs(folder, exist_ok=True)
    shutil.copy(os.path.join(top, "build", preset, name), folder)
    log = os.path.join(folder, "Vexlo_Debug_VireRuri.log")
    if os.path.exists(log):
        os.remove(log)
    return folder_win + "\\" + name, log


def log_words(log):
    """The diagnostic log's entries without their time stamps (empty when there is no log)."""
    if not os.path.isfile(log):
        return []
    text = open(log, "rb").read().decode("utf-16", "replace")
    stamp = re.compile(r"\d{4}-\d{2}-\d{2} \d{2}.\d{2}.\d{2}\.\d{3}  (.*)")
    return [m.group(1) for m in map(stamp.match, text.replace("\r\n", "\n").split("\n")) if m]


def report_lines(data):
    text = data[2:].decode("utf-16-le", "replace") if data[:2] == b"\xff\xfe" else ""
    return text[:-2].split("\r\n") if text.endswith("\r\n") else ([text] if text else [])


def section_counts(report):
    """How many lines each section of the main report holds."""
    rows = [i for i, line in enumerate(report) if line == STARS]
    counts = {}
    if len(rows) >= 2:
        counts["system overview"] = sum(1 for line in report[rows[0] + 1:rows[1]] if "\t" in line and
                                        line.split("\t", 1)[1])
    if len(rows) >= 3:
        table = report[rows[1] + 1:rows[2]]
        end = table.index("") if "" in table else len(table)
        counts["processes"] = max(0, end - 1)
    if len(rows) >= 4:
        counts["services and drivers"] = rows[3] - rows[2] - 1
    blocks = {"browser helper objects": "===== BHOs =====", "autoruns": "===== Autoruns ====="}
    for name, header in blocks.items():
        if header in report:
            at = report.index(header) + 2
            n = 0
            while at < len(report) and report[at] not in ("", STARS) and not report[at].startswith("====="):
                n += 0 if report[at].startswith("----------") else 1
                at += 1
            counts[name] = n
    if "[AntiVirusProduct]" in report:
        at = report.index("[AntiVirusProduct]")
        after = [i for i in rows if i > at]
        end = after[0] if after else len(report)
        counts["security center and firewall"] = sum(1 for line in report[at:end] if line and "[" not in line)
        # The application files follow the row after these blocks, when there are any.
        counts["application files"] = len(report) - after[0] - 1 if after else 0
    return counts


def summary(archive, seconds, log):
    """A support engineer's first look at the run and its archive."""
    words = log_words(log)
    size = os.path.getsize(archive)
    with zipfile.ZipFile(archive) as z:
        infos = z.infolist()
        entries = {i.filename: i for i in infos}
        report = report_lines(z.read("Vexlo_Debug_Info.txt")) if "Vexlo_Debug_Info.txt" in entries else []
        tasks = z.read("task.txt").decode("cp1252", "replace").count("TaskName:") if "task.txt" in entries else 0
    tested = subprocess.run(["unzip", "-tq", archive], capture_output=True).returncode == 0
    counts = section_counts(report)
    filled = [name for name, n in counts.items() if n > 0]
    say("")
    say(f"run time:        {seconds:.1f} s")
    say(f"report sections: {len(filled)} of 7 filled ({', '.join(f'{n} {counts[n]}' for n in counts)})")
    present = [name for name in REPORT_FILES if name in entries]
    missing = [name for name in REPORT_FILES if name not in entries]
    say(f"report files:    {', '.join(present)}" + (f" (not made: {', '.join(missing)})" if missing else "")
        + f"; {tasks} scheduled tasks")
    product = [i for i in infos if i.filename not in REPORT_FILES]
    groups = {}
    for i in product:
        head = i.filename.split("/")[0] if "/" in i.filename else "(top)"
        if head == "GDX" and i.filename.count("/") >= 2:
            head = "/".join(i.filename.split("/")[:2])
        groups[head] = groups.get(head, 0) + 1
    say(f"product files:   {len(product)} collected" +
        (f" ({', '.join(f'{k} {v}' for k, v in sorted(groups.items()))})" if groups else ""))
    failed = [w[:-len(" Except")] for w in words if w.endswith(" Except") or w.endswith(" except")]
    steps = [w for w in words if w.endswith(" Succ") or w.endswith(" Succs")]
    if words:
        say(f"steps:           {len(steps)} done" + (f", failed: {', '.join(failed)}" if failed else ", none failed"))
    else:
        say("steps:           the window deletes its log after a successful run")
    unpacked = sum(i.file_size for i in infos)
    say(f"archive:         {len(infos)} entries, {size / 1048576:.2f} MiB ({unpacked / 1048576:.2f} MiB unpacked)"
        f", unzip -t {'ok' if tested else 'FAILED'}")
    if words:
        say(f"diagnostic log:  {log} ({len(words)} lines)")


def run_console(machine, preset):
    exe_win, log = install_tool(machine, preset, "VexloGather.exe")
    say(f"run: VexloGather.exe ({preset} build) on the demo machine")
    started = time.monotonic()
    rc, out = machine.run(machine.linux_path(exe_win), timeout=900)
    seconds = time.monotonic() - started
    lines = out.replace("\r", "").strip().splitlines()
    archive_win = lines[-1] if lines and rc == 0 else ""
    return archive_win, seconds, log, rc


def run_window(machine, preset):
    exe_win, log = install_tool(machine, preset, "VexloHelper.exe")
    desktop_archive = machine.desktop + "\\Vexlo_Debug_Info.zip"
    headless = os.environ.get("VEXLO_RUN_HEADLESS") == "1"
    env = machine.env()
    explorer = machine.linux_path(demo_machine.WINDOWS + "\\explorer.exe")
    saved_explorer = None
    shots = os.path.join(top, "build", "run-gui")
    try:
        if headless:
            # Wine's Explorer opens a window that never closes; under Xvfb
            # nobody would close it, so a stand-in records the call instead.
            with open(explorer, "rb") as f:
                saved_explorer = f.read()
            shutil.copy(machine.fixture_path("explorer_standin.exe"), explorer)
            calls = machine.linux_path("C:\\explorer-calls")
            shutil.rmtree(calls, ignore_errors=True)
            os.makedirs(calls)
            env["VEXLO_EXPLORER_CALLS"] = "C:\\explorer-calls"
        say(f"run: VexloHelper.exe ({preset} build) through its window" +
            (" under Xvfb" if headless else f" on display {os.environ.get('DISPLAY')}"))
        started = time.monotonic()
        proc = subprocess.Popen([machine.loader, machine.linux_path(exe_win)], stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
        if headless:
            def give_up(what):
                proc.kill()
                say("run: " + what)
                return "", 0, log, 1

            driver = TWindowDriver(machine.loader, machine.fixture_path("wininspect.exe"), env)
            os.makedirs(shots, exist_ok=True)
            form = driver.wait_window("Vexlo Helper V9", 120)
            if form is None:
                return give_up("the window did not appear")
            driver.screenshot(form, os.path.join(shots, "window.png"))
            if not driver.click_save_report():
                return give_up("the click on Save report was not taken")
            box = driver.wait_window("Information", 600)
            if box is None:
                return give_up("no result box appeared")
            driver.screenshot(box, os.path.join(shots, "result.png"))
            # wininspect writes a CR as \r; the box's CR comes before the path.
            texts = [c["text"].replace("\\r", " ", 1) for c in box["children"] if c["class"].lower() == "static"]
            say("run: the box says: " + " ".join(t for t in texts if t))
            if not driver.confirm_box():
                say("run: the box could not be confirmed")
            say(f"run: screenshots in {shots}/window.png and result.png")
        else:
            say('run: press "Save report" in the window "Vexlo Helper V9" on your display')
        try:
            rc = proc.wait(timeout=120 if headless else None)
        except subprocess.TimeoutExpired:
            proc.kill()
            rc = None
        seconds = time.monotonic() - started
        if headless:
            # Read while the session lives: its end would end a stand-in still writing.
            for record in explorer_calls(machine):
                say("run: Explorer was started as " + record.split("|", 1)[-1])
        archive = machine.linux_path(desktop_archive)
        return (desktop_archive if os.path.isfile(archive) else ""), seconds, log, rc
    finally:
        if saved_explorer is not None:
            with open(explorer, "wb") as f:
                f.write(saved_explorer)


def explorer_calls(machine, seconds=30):
    """What the Explorer stand-in recorded: the tool may end before the
    stand-in has written its record (each is renamed into place whole)."""
    calls = machine.linux_path("C:\\explorer-calls")
    deadline = time.monotonic() + seconds
    while not any(n.endswith(".txt") for n in os.listdir(calls)) and time.monotonic() < deadline:
        time.sleep(0.1)
    records = []
    for name in sorted(n for n in os.listdir(calls) if n.endswith(".txt")):
        with open(os.path.join(calls, name), encoding="utf-8") as f:
            records += [line.rstrip("\n") for line in f if line.strip()]
    return records


def main():
    parser = argparse.ArgumentParser(description="One gathering on the demo customer machine.")
    parser.add_argument("--gui", action="store_true", help="through the window (Xvfb without a display)")
    parser.add_argument("--preset", choices=sorted(LOADERS), default="x64")
    args = parser.parse_args()
    if args.gui and not os.environ.get("DISPLAY") and os.environ.get("VEXLO_RUN_HEADLESS") != "1":
        env = dict(os.environ, VEXLO_RUN_HEADLESS="1")
        cmd = ["xvfb-run", "-a", "-s", "-screen 0 1024x768x24", sys.executable, os.path.abspath(__file__), "--gui",
               "--preset", args.preset]
        return subprocess.run(cmd, env=env).returncode

    machine = ensure_machine(args.preset)
    with demo_machine.session(machine.prefix):
        machine.freshen()
        if args.gui:
            archive_win, seconds, log, rc = run_window(machine, args.preset)
            if not os.environ.get("VEXLO_RUN_HEADLESS") and sys.stdin.isatty():
                print("run: Wine's Explorer shows the archive; press Enter to close it and end the run",
                      file=sys.stderr, flush=True)
                sys.stdin.readline()
        else:
            archive_win, seconds, log, rc = run_console(machine, args.preset)
    if not archive_win:
        say(f"run: no archive was made (exit code {rc}); the diagnostic log: {log}")
        return 1
    archive = os.path.realpath(machine.linux_path(archive_win))
    summary(archive, seconds, log)
    say(archive)
    return 0


if __name__ == "__main__":
    sys.exit(main())
