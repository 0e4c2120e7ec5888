#!/usr/bin/env bash
# Scaling: run time and peak memory of the product file inventory and of the
# archive (tests/bench_driver.exe of the x64 build, under wine64) over folders
# of 1,000 / 10,000 / 100,000 small files and over one 1 GiB file.
#   bench/scale.sh                       all sets, 1 run each
#   SCALE_BENCH_SETS="1000 10000" SCALE_BENCH_RUNS=2 bench/scale.sh
# Sets: 1000, 10000, 100000 (small files) and 1g (the one big file).
# Data (made once, kept in bench/out/scaledata): small files are text of 200 B
# to 6 KB, every 20th a small versioned DLL, 100 to a folder, two folder levels;
# the big file is dump-like (zero pages, code, log text, random), cut from a
# 64 MiB pool of such data.
# inventory: BuildProductSection over the folder as an installed product (walk,
# version and MD5 of every file, FilesInfo lines written). archive: ZipFile of
# the folder, read-back included. Figures per row: the work alone as the
# program times it, microseconds per file (small sets) or MB/s (big file), and
# the process's peak working set and peak private bytes as Windows reports them
# (PeakWorkingSetSize, and the highest PagefileUsage sampled every 5 ms; under
# Wine the resident memory, which counts the MD5's mapped views of the files,
# and the anonymous resident memory, which does not). The "empty" row is
# the same program on an empty folder: the memory every row starts from.
# Cost grows linearly when the per-file (per-MB) figures stay level from set to
# set; memory stays flat when the peaks stay near the empty row.
set -euo pipefail

. "$(dirname "$0")/common.sh"
exe=$build/tests/bench_driver.exe
data=$root/bench/out/scaledata
runs=${SCALE_BENCH_RUNS:-1}
sets=${SCALE_BENCH_SETS:-1000 10000 100000 1g}

bench_in_prefix "$0" "$exe" "${1:-}"

if data_missing "$data" .complete-v1; then
    mkdir -p "$data/empty"
    python3 - "$data" <<'EOF'
import os, random, sys
out = sys.argv[1]
rng = random.Random(20240611)
MIB = 1 << 20

words = ("file opened closed scanned clean infected skipped registry key value loaded module signature "
         "database version download retry timeout connection server response cache entry path").split()
def log(size):
    parts, n = [], 0
    while n < size:
        line = "2024-06-%02d %02d:%02d:%02d [%s] %s C:\\Program Files\\Tramblex\\%08X.dat\r\n" % (
            rng.randrange(1, 29), rng.randrange(24), rng.randrange(60), rng.randrange(60),
            rng.choice(["INFO", "WARN", "ERROR"]), " ".join(rng.choices(words, k=rng.randrange(3, 12))),
            rng.getrandbits(32))
        parts.append(line)
        n += len(line)
    return "".join(parts).encode()[:size]

src = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows"
dlls = []
for name in sorted(os.listdir(src)):
    path = os.path.join(src, name)
    if name.endswith(".dll") and os.path.getsize(path) < 48 * 1024:
        with open(path, "rb") as f:
            dlls.append(f.read())
    if len(dlls) == 40:
        break

text = log(8 * MIB)
for count in (1000, 10000, 100000):
    base = os.path.join(out, str(count))
    for i in range(count):
        folder = os.path.join(base, "d%03d" % (i // 1000), "s%d" % (i // 100 % 10))
        if i % 100 == 0:
            os.makedirs(folder, exist_ok=True)
        if i % 20 == 19:
            name, body = "mod%05d.dll" % i, dlls[i % len(dlls)]
        else:
            size = rng.randrange(200, 6000)
            at = rng.randrange(len(text) - size)
            name, body = "item%05d.log" % i, text[at:at + size]
        with open(os.path.join(folder, name), "wb") as f:
            f.write(body)

# Dump-like pool, then the big file cut from it in random slices.
pe = b"".join(dlls)
def dump(size):
    parts, n = [], 0
    while n < size:
        kind = rng.randrange(4)
        k = rng.randrange(64 * 1024, 2 * MIB)
        if kind == 0:
            part = bytes(k)
        elif kind == 1:
            part = (pe * (k // len(pe) + 1))[rng.randrange(len(pe)):][:k]
        elif kind == 2:
            at = rng.randrange(len(text) - k)
            part = text[at:at + k]
        else:
            part = rng.randbytes(k // 4)
        parts.append(part)
        n += len(part)
    return b"".join(parts)[:size]
pool = dump(64 * MIB)
os.makedirs(os.path.join(out, "1g"), exist_ok=True)
with open(os.path.join(out, "1g", "big.dmp"), "wb") as f:
    left = 1 << 30
    while left:
        k = min(left, rng.randrange(256 * 1024, 4 * MIB))
        at = rng.randrange(len(pool) - k)
        f.write(pool[at:at + k])
        left -= k
EOF
    touch "$data/.complete-v1"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/vexlo-scale-bench.XXXXXX")
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT

wineserver -p
"$VEXLO_WINE" "$exe" zip "$(winpath "$data/empty")" "$(winpath "$work/warm.zip")" >/dev/null 2>&1  # warms Wine's files

# measure MODE FOLDER: "<ms> <peak working set> <peak private>", best time of $runs runs
# (memory of that run)
measure() {
    local best= line i
    for ((i = 0; i < runs; i++)); do
        rm -f "$work/out.zip" "$work/FilesInfo.txt"
        local target=$work/out.zip
        [ "$1" = inventory ] && target=$work/FilesInfo.txt
        line=$("$VEXLO_WINE" "$exe" "$1" "$(winpath "$2")" "$(winpath "$target")" 2>&1 >/dev/null |
               awk '$1 == "time" { t = $2 } $1 == "peak_working_set" { w = $2 } $1 == "peak_private" { p = $2 }
                    END { if (t == "") exit 1; print t, w, p }') ||
            { echo "scale.sh: bench_driver $1 failed on $2" >&2; exit 1; }
        if [ -z "$best" ] || [ "${line%% *}" -lt "${best%% *}" ]; then best=$line; fi
    done
    echo "$best"
}

# row NAME FILES BYTES MS WS PRIVATE
row() {
    awk -v n="$1" -v f="$2" -v b="$3" -v t="$4" -v w="$5" -v p="$6" 'BEGIN {
        s = t / 1000
        if (f == 0) rate = "-"
        else if (f == 1) rate = sprintf("%.1f MB/s", s > 0 ? b / s / 1e6 : 0)
        else rate = sprintf("%.0f us/file", t * 1000 / f)
        printf "%-22s %9d %12d %9.2f %14s %10.1f %10.1f\n", n, f, b, s, rate, w / 1048576, p / 1048576 }'
}

load=$(cut -d' ' -f1-3 /proc/loadavg)
echo "Scaling of the inventory and the archive (bench_driver.exe, wine64), warm cache, best of $runs ($(nproc) CPUs, load average $load)"
printf '%-22s %9s %12s %9s %14s %10s %10s\n' "" files bytes seconds rate "peak WS MiB" "private MiB"
for kind in inventory zip; do
    read -r t w p < <(measure "$kind" "$data/empty")
    row "${kind/zip/archive}, empty" 0 0 "$t" "$w" "$p"
    for set in $sets; do
        folder=$data/$set
        [ -d "$folder" ] || { echo "scale.sh: no data set $set" >&2; exit 1; }
        folder_facts "$folder"
        read -r t w p < <(measure "$kind" "$folder")
        row "${kind/zip/archive}, $set" "$files" "$bytes" "$t" "$w" "$p"
    done
done
echo "(load average at the end: $(cut -d' ' -f1-3 /proc/loadavg))"
