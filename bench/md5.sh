#!/usr/bin/env bash
# MD5 speed: FileMd5Hex (tests/md5file.exe of the x64 build, under wine64)
# against Linux md5sum on one random file and on the files of the demo
# machine's gather folder (when `make run` has made it: build/demo-prefix, or
# the folder in MD5_BENCH_DEMO), warm cache, median of N rounds; each round
# runs md5sum and then md5file.exe, side by side.
#   bench/md5.sh                 256 MiB, 5 runs
#   MD5_BENCH_MB=64 MD5_BENCH_RUNS=3 bench/md5.sh
# MB/s is 10^6 bytes per second. The md5file rows: the whole process as a
# user sees it, Wine's start-up alone (md5file on an empty file), and the
# digest alone as md5file times it with QueryPerformanceCounter.
set -euo pipefail

. "$(dirname "$0")/common.sh"
exe=$build/tests/md5file.exe
mb=${MD5_BENCH_MB:-256}
runs=${MD5_BENCH_RUNS:-5}
demo=${MD5_BENCH_DEMO:-$root/build/demo-prefix/drive_c/users/root/Temp/GetInfoDir}

bench_in_prefix "$0" "$exe" "${1:-}"

work=$(mktemp -d "${TMPDIR:-/tmp}/vexlo-md5-bench.XXXXXX")
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
file=$work/random.bin
empty=$work/empty.bin
head -c $((mb << 20)) /dev/urandom >"$file"
: >"$empty"
bytes=$(stat -c %s "$file")

# One wineserver for all runs, so every start finds it up.
wineserver -p
"$VEXLO_WINE" "$exe" "$(winpath "$empty")" >/dev/null   # first start warms Wine's own files
cat "$file" >/dev/null                                  # and the page cache

# seconds CMD...: wall-clock seconds of one run
seconds() {
    local start end
    start=$EPOCHREALTIME
    "$@" >/dev/null 2>&1
    end=$EPOCHREALTIME
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }'
}

want=$(md5sum "$file" | cut -d' ' -f1)
got=$("$VEXLO_WINE" "$exe" "$(winpath "$file")" | tr -d '\r')
[ "$got" = "$want" ] || { echo "md5.sh: md5file gives $got, md5sum $want" >&2; exit 1; }

# row NAME SECONDS BYTES: a table line; MB/s only where bytes were digested
row() { awk -v n="$1" -v t="$2" -v b="$3" -v r="${4:-}" 'BEGIN {
    if (t > 0 && b > 0) printf "%-48s %8.3f %9.1f %7s\n", n, t, b / t / 1e6, r; else printf "%-48s %8.3f %9s %7s\n", n, t, "-", r }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2fx", a / b }'; }

t_sums=() t_procs=() t_starts=()
for ((i = 0; i < runs; i++)); do
    t_sums+=("$(seconds md5sum "$file")")
    t_procs+=("$(seconds "$VEXLO_WINE" "$exe" "$(winpath "$file")")")
    t_starts+=("$(seconds "$VEXLO_WINE" "$exe" "$(winpath "$empty")")")
done
t_md5sum=$(median "${t_sums[@]}") t_process=$(median "${t_procs[@]}") t_start=$(median "${t_starts[@]}")
# "time <bytes> <best ms> <MB/s> <path>" on stderr
t_inner=$("$VEXLO_WINE" "$exe" --time --repeat "$runs" "$(winpath "$file")" 2>&1 >/dev/null |
          awk '$1 == "time" { printf "%.4f", $3 / 1000 }')

echo "MD5 of a $mb MiB random file, warm cache, median of $runs rounds side by side ($(nproc) CPUs, load average $(cut -d' ' -f1-3 /proc/loadavg))"
printf '%-48s %8s %9s %7s\n' "" seconds "MB/s" "time"
row "md5sum (coreutils $(md5sum --version | head -1 | awk '{ print $NF }'))" "$t_md5sum" "$bytes" 1.00x
row "md5file.exe x64, whole process under wine64" "$t_process" "$bytes" "$(ratio "$t_process" "$t_md5sum")"
row "  Wine start-up (md5file on an empty file)" "$t_start" 0
row "  whole process minus start-up" "$(awk -v p="$t_process" -v s="$t_start" 'BEGIN { printf "%.4f", p - s }')" "$bytes"
row "  FileMd5Hex alone (QueryPerformanceCounter, best)" "$t_inner" "$bytes"

if [ -d "$demo" ]; then
    mapfile -t files < <(find "$demo" -type f | sort)
    winfiles=()
    for f in "${files[@]}"; do winfiles+=("$(winpath "$f")"); done
    total=$(cat "${files[@]}" | wc -c)
    cat "${files[@]}" >/dev/null
    diff <(md5sum "${files[@]}" | cut -d' ' -f1) <("$VEXLO_WINE" "$exe" "${winfiles[@]}" | tr -d '\r') >/dev/null ||
        { echo "md5.sh: md5file and md5sum disagree on the demo gather folder" >&2; exit 1; }
    d_sums=() d_procs=()
    for ((i = 0; i < runs; i++)); do
        d_sums+=("$(seconds md5sum "${files[@]}")")
        d_procs+=("$(seconds "$VEXLO_WINE" "$exe" "${winfiles[@]}")")
    done
    d_md5sum=$(median "${d_sums[@]}") d_process=$(median "${d_procs[@]}")
    echo
    echo "MD5 of the demo machine's gather folder: ${#files[@]} files, $total bytes, one process each"
    printf '%-48s %8s %9s %7s\n' "" seconds "MB/s" "time"
    row "md5sum" "$d_md5sum" "$total" 1.00x
    row "md5file.exe x64, whole process under wine64" "$d_process" "$total" "$(ratio "$d_process" "$d_md5sum")"
fi
