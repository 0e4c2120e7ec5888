#!/usr/bin/env bash
# Archive speed and size: ZipFile (tests/zipfolder.exe of the x64 build, under
# wine64) against Info-ZIP's zip -9 -r, warm cache, best of N runs.
#   bench/zip.sh                    the data below, 3 runs
#   ZIP_BENCH_RUNS=5 bench/zip.sh
# Data (made once, kept in bench/out/zipdata): a gather-like folder of ~250 MB
# with text logs, many small files, PE binaries, already-compressed files and
# two dump-like files; a folder with one 300 MiB dump-like file alone; and,
# when `make run` has made it, the demo machine's gather folder
# (build/demo-prefix, or the folder in ZIP_BENCH_DEMO).
# The two programs run side by side in one run: each round runs zip -9 and
# then zipfolder.exe, and the figures are the medians of the rounds. CPU s is
# the work done whatever the load: on 2 free cores the wall time of
# zipfolder can come down to half its CPU time, not on a busy machine.
# Rows for zipfolder: the whole process as a user sees it, and the packing
# alone as the program times it (QueryPerformanceCounter); Wine's start-up is
# the run on an empty folder.
set -euo pipefail
[ -n "${ZIP_BENCH_TRACE:-}" ] && set -x

. "$(dirname "$0")/common.sh"
exe=$build/tests/zipfolder.exe
data=$root/bench/out/zipdata
runs=${ZIP_BENCH_RUNS:-3}
demo=${ZIP_BENCH_DEMO:-$root/build/demo-prefix/drive_c/users/root/Temp/GetInfoDir}

bench_in_prefix "$0" "$exe" "${1:-}"

if data_missing "$data" .complete-v2; then
    python3 - "$data" <<'EOF'
import gzip, os, random, sys
out = sys.argv[1]
rng = random.Random(20240101)
MIB = 1 << 20

def write(rel, data):
    path = os.path.join(out, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)

levels = ["INFO", "INFO", "INFO", "DEBUG", "WARN", "ERROR"]
modules = ["scan", "update", "engine", "ui", "service", "net", "quarantine", "scheduler"]
words = ("file opened closed scanned clean infected skipped registry key value loaded module signature "
         "database version download retry timeout connection server response cache entry path").split()
def log(size):
    parts, n = [], 0
    t = rng.randrange(10**9)
    while n < size:
        t += rng.randrange(2000)
        line = "2024-%02d-%02d %02d:%02d:%02d.%03d [%s] %-10s %s C:\\Program Files\\Tramblex\\%s\\%08X.dat\r\n" % (
            1 + t // 10**8 % 12, 1 + t // 10**6 % 28, t // 3600000 % 24, t // 60000 % 60, t // 1000 % 60, t % 1000,
            rng.choice(levels), rng.choice(modules), " ".join(rng.choices(words, k=rng.randrange(3, 12))),
            rng.choice(modules), rng.getrandbits(32))
        parts.append(line)
        n += len(line)
    return "".join(parts).encode()[:size]

gather = os.path.join(out, "gather")
# Text logs: 60 files, 10 KB to 2.5 MB.
for i in range(60):
    write(f"gather/AppPath/Logs/log{i:03}.log", log(rng.randrange(10_000, int(2.5 * MIB))))
# Many small files: settings and reports.
for i in range(1500):
    write(f"gather/AppData/set{i // 100}/item{i:04}.ini", log(rng.randrange(200, 6000)))
# PE binaries from Wine's own DLLs, about 60 MB.
src = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows"
total = 0
for name in sorted(os.listdir(src)):
    if total > 60 * MIB:
        break
    with open(os.path.join(src, name), "rb") as f:
        body = f.read()
    write(f"gather/Program Files(x86)/bin/{name}", body)
    total += len(body)
pe = b"".join(open(os.path.join(gather, "Program Files(x86)/bin", n), "rb").read()
              for n in sorted(os.listdir(os.path.join(gather, "Program Files(x86)/bin")))[:40])
# Already compressed: gzip'd logs and random (image-like) data, about 30 MB.
for i in range(6):
    write(f"gather/OtherInfo/old{i}.log.gz", gzip.compress(log(3 * MIB), 6))
for i in range(10):
    write(f"gather/OtherInfo/shot{i}.jpg", rng.randbytes(2 * MIB))
# Dump-like files: zero pages, code, heap text, random.
def dump(size):
    parts, n = [], 0
    while n < size:
        kind = rng.randrange(4)
        k = rng.randrange(64 * 1024, 2 * MIB)
        if kind == 0:
            part = bytes(k)
        elif kind == 1:
            at = rng.randrange(max(1, len(pe) - k))
            part = pe[at:at + k]
        elif kind == 2:
            part = log(k)
        else:
            part = rng.randbytes(k // 4)
        parts.append(part)
        n += len(part)
    return b"".join(parts)[:size]
write("gather/AppPath/tbx_Antivirus_mini.dmp", dump(40 * MIB))
write("gather/GDX/AppPath/gdx_Antivirus_mini.dmp", dump(40 * MIB))
write("single/big.dmp", dump(300 * MIB))
os.makedirs(os.path.join(out, "empty"), exist_ok=True)
EOF
    touch "$data/.complete-v2"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/vexlo-zip-bench.XXXXXX")
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT

wineserver -p
"$VEXLO_WINE" "$exe" "$(winpath "$data/empty")" "$(winpath "$work/warm.zip")" >/dev/null  # warms Wine's files
find "$data" -type f -exec cat {} + >/dev/null                                                 # and the page cache

# seconds CMD...: "<wall seconds> <CPU seconds>" of one run (CPU: user and
# system time of the process and its children, as /usr/bin/time counts them;
# for zipfolder.exe that is the Windows process with all its threads)
seconds() {
    /usr/bin/time -f '%e %U %S' -o "$work/time.txt" "$@" >/dev/null 2>&1 || true
    awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' "$work/time.txt"
}
# inner FOLDER ARCHIVE: the packing alone, as zipfolder --time reports it
inner() {
    "$VEXLO_WINE" "$exe" --time "$(winpath "$1")" "$(winpath "$2")" 2>&1 >/dev/null |
        awk '$1 == "time" { printf "%.3f", $2 / 1000 }'
}

starts=()
for ((i = 0; i < runs; i++)); do starts+=("$(seconds "$VEXLO_WINE" "$exe" "$(winpath "$data/empty")" "$(winpath "$work/e.zip")" | cut -d' ' -f1)"); done
t_start=$(median "${starts[@]}")
row() { printf '%-40s %9s %9s %14s %9s %9s\n' "$@"; }
echo "Archive of a folder: zipfolder.exe (ZipFile, wine64) against zip -9 -r, warm cache, median of $runs rounds side by side ($(nproc) CPUs, load average $(cut -d' ' -f1-3 /proc/loadavg))"
sets="gather single"
[ -d "$demo" ] && sets="$sets demo"
for set in $sets; do
    folder=$data/$set
    [ "$set" = demo ] && folder=$demo
    folder_facts "$folder"
    t_zips=() t_ourss=() t_inners=() c_zips=() c_ourss=()
    for ((i = 0; i < runs; i++)); do
        rm -f "$work"/*.zip
        read -r t c < <(seconds env -C "$folder" zip -9 -r -q "$work/infozip.zip" .)
        t_zips+=("$t") c_zips+=("$c")
        read -r t c < <(seconds "$VEXLO_WINE" "$exe" "$(winpath "$folder")" "$(winpath "$work/ours.zip")")
        t_ourss+=("$t") c_ourss+=("$c")
        rm -f "$work/inner.zip"
        t_inners+=("$(inner "$folder" "$work/inner.zip")")
    done
    t_zip=$(median "${t_zips[@]}") t_ours=$(median "${t_ourss[@]}") t_inner=$(median "${t_inners[@]}")
    c_zip=$(median "${c_zips[@]}") c_ours=$(median "${c_ourss[@]}")
    s_zip=$(stat -c %s "$work/infozip.zip")
    s_ours=$(stat -c %s "$work/ours.zip")
    unzip -t -q "$work/ours.zip" >/dev/null || { echo "zip.sh: unzip -t rejects our archive" >&2; exit 1; }
    echo
    echo "$set: $files files, $bytes bytes"
    row "" seconds "CPU s" "archive bytes" "size" "time"
    row "zip -9 -r -q ($(zip -v | sed -n 's/^This is Zip \([^ ]*\).*/\1/p'))" "$t_zip" "$c_zip" "$s_zip" "1.000x" "1.00x"
    row "zipfolder.exe, whole process" "$t_ours" "$c_ours" "$s_ours" \
        "$(awk -v a="$s_ours" -v b="$s_zip" 'BEGIN { printf "%.3fx", a / b }')" \
        "$(awk -v a="$t_ours" -v b="$t_zip" 'BEGIN { printf "%.2fx", a / b }')"
    row "zipfolder.exe, packing alone" "$t_inner" "" "" "" \
        "$(awk -v a="$t_inner" -v b="$t_zip" 'BEGIN { printf "%.2fx", a / b }')"
done
echo
row "Wine start-up (zipfolder, empty folder)" "$t_start" "" "" "" ""
