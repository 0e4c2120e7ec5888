#!/usr/bin/env python3
"""A whole run on the demo machine, step by step, from the log's time stamps.

    bench/run.py [--runs N] [--preset x64|x86]

Stages the demo machine as `make run` does (build/demo-prefix, kept while up
to date), runs VexloGather.exe N times (5 by default) in one Wine session and
prints the medians of:
- wall: the run as the user waits for it, from the program's start to its end
  (Wine's start-up of the process included, the session's own start not);
- each step's time: from the log line before it to its own line;
- the two parts that run side by side: the systeminfo capture (from the side
  thread's start to the time SystemInfo.txt was last written) and the main
  thread's steps with the one-second CPU sample (from the side thread's start
  to the last step before the wait for it); the longest of them and the ratio
  of the wall time to it;
- where the rest goes: Wine's start and end of the process, the set-up before
  the side thread, the wait for systeminfo and the archive.
Figures only; nothing fails.
"""
import argparse
import datetime
import os
import re
import statistics
import sys

top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(top, "scripts"))
import demo_machine  # noqa: E402
import run_demo  # noqa: E402

STAMP = re.compile(r"(\d{4})-(\d{2})-(\d{2}) (\d{2}).(\d{2}).(\d{2})\.(\d{3})  (.*)")


def log_entries(log):
    """(seconds since the epoch, text) of each line of the diagnostic log."""
    text = open(log, "rb").read().decode("utf-16", "replace").replace("\r\n", "\n")
    entries = []
    for line in text.split("\n"):
        m = STAMP.match(line)
        if m:
            y, mo, d, h, mi, s, ms = (int(g) for g in m.groups()[:7])
            # The log is in local time, as Wine takes it from the host.
            when = datetime.datetime(y, mo, d, h, mi, s, ms * 1000).timestamp()
            entries.append((when, m.group(8)))
    return entries


def one_run(machine, preset):
    archive_win, wall, log, rc = run_demo.run_console(machine, preset)
    if not archive_win:
        raise SystemExit(f"run.py: the run made no archive (exit code {rc})")
    entries = log_entries(log)
    words = [w for _, w in entries]

    def at(prefix):
        for when, word in entries:
            if word.startswith(prefix):
                return when
        raise SystemExit(f"run.py: no log line {prefix!r}")

    start, thread, end = at("DoGatherInfo strart"), at("CreateThread Succ"), at("DoGatherInfo End")
    wait_at = at("WaitGetSystemInfo Succ")
    wait_index = words.index("WaitGetSystemInfo Succ")
    main_end = entries[wait_index - 1][0]
    gather = words[1][len("TempPath:"):].split(", tmpZipDir:")[0]
    sysinfo = os.path.join(machine.linux_path(gather), "SystemInfo.txt")
    sysinfo_end = os.path.getmtime(sysinfo) if os.path.isfile(sysinfo) else thread
    figures = {
        "wall": wall,
        "main thread: steps with the one-second CPU sample": main_end - thread,
        "side thread: systeminfo capture": max(0.0, sysinfo_end - thread),
        "rest: Wine's start and end of the process": wall - (end - start),
        "rest: set-up before the side thread": thread - start,
        "rest: wait for systeminfo": wait_at - main_end,
        "rest: archive (ZipFile with its read-back)": at("ZipFile Succ") - wait_at,
        "rest: after the archive": end - at("ZipFile Succ"),
    }
    steps = []
    for i in range(1, len(entries)):
        word = entries[i][1]
        if word.endswith(" Succ") or word.endswith(" Succs") or word.startswith("zip:root="):
            steps.append((word.split(":root=")[0] if word.startswith("zip:root=") else word,
                          entries[i][0] - entries[i - 1][0]))
    return figures, steps


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--runs", type=int, default=int(os.environ.get("RUN_BENCH_RUNS", "5")))
    parser.add_argument("--preset", choices=sorted(run_demo.LOADERS), default="x64")
    args = parser.parse_args()
    machine = run_demo.ensure_machine(args.preset)
    run_demo.say = lambda text: None  # the runs' own lines would hide the table
    runs = []
    with demo_machine.session(machine.prefix):
        machine.freshen()
        run_demo.run_console(machine, args.preset)  # warms Wine's files and the page cache
        for _ in range(args.runs):
            runs.append(one_run(machine, args.preset))

    def med(values):
        return statistics.median(values)

    load = open("/proc/loadavg").read().split()[:3]
    print(f"A whole run on the demo machine: VexloGather.exe ({args.preset} build), median of {args.runs} runs "
          f"({os.cpu_count()} CPUs, load average {' '.join(load)})")
    print()
    print(f"{'step (time since the log line before it)':<62} {'seconds':>8}")
    # Steps by their place in the log (a word such as GenNeedFileByBDError comes twice).
    for i, (word, _) in enumerate(runs[0][1]):
        values = [r[1][i][1] for r in runs if len(r[1]) > i and r[1][i][0] == word]
        print(f"  {word[:60]:<60} {med(values):8.3f}")
    print()
    names = list(runs[0][0])
    fig = {n: med([r[0][n] for r in runs]) for n in names}
    for n in names:
        print(f"{n:<62} {fig[n]:8.3f}")
    parts = {n: fig[n] for n in names if n.startswith("main thread") or n.startswith("side thread")}
    longest = max(parts, key=parts.get)
    ratio = fig["wall"] / parts[longest] if parts[longest] > 0 else float("inf")
    print()
    print(f"longest parallel part: {longest} ({parts[longest]:.3f} s)")
    print(f"wall / longest part:   {ratio:.2f}x (target: at most 1.20x)")
    rest = {n[len("rest: "):]: fig[n] for n in names if n.startswith("rest: ")}
    print("rest of the time:      " + ", ".join(f"{k} {v:.3f} s" for k, v in rest.items()))
    return 0


if __name__ == "__main__":
    sys.exit(main())
